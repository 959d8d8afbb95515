#pragma once
// RAII for Win32 handles: one template, a closer per handle kind. Move-only.
#include <windows.h>

#include <utility>

namespace cv::win32 {

template <typename THandle, typename TCloser> class TScopedHandle {
public:
    TScopedHandle() = default;
    explicit TScopedHandle(THandle h) : FHandle(h) {}
    TScopedHandle(const TScopedHandle&) = delete;
    TScopedHandle& operator=(const TScopedHandle&) = delete;
    TScopedHandle(TScopedHandle&& other) noexcept : FHandle(other.Release()) {}
    TScopedHandle& operator=(TScopedHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    ~TScopedHandle() { Reset(); }

    THandle Get() const { return FHandle; }
    bool Valid() const { return TCloser::Valid(FHandle); }
    explicit operator bool() const { return Valid(); }
    THandle Release() { return std::exchange(FHandle, TCloser::Invalid()); }
    void Reset(THandle h = TCloser::Invalid()) {
        if (TCloser::Valid(FHandle))
            TCloser::Close(FHandle);
        FHandle = h;
    }

private:
    THandle FHandle = TCloser::Invalid();
};

// Kernel objects whose failure value is null (mappings, mutexes, processes, tokens).
struct TKernelCloser {
    static HANDLE Invalid() { return nullptr; }
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};

// Files and toolhelp snapshots fail with INVALID_HANDLE_VALUE.
struct TFileCloser {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};

struct TServiceCloser {
    static SC_HANDLE Invalid() { return nullptr; }
    static bool Valid(SC_HANDLE h) { return h != nullptr; }
    static void Close(SC_HANDLE h) { ::CloseServiceHandle(h); }
};

struct TViewCloser {
    static void* Invalid() { return nullptr; }
    static bool Valid(void* p) { return p != nullptr; }
    static void Close(void* p) { ::UnmapViewOfFile(p); }
};

using THandle = TScopedHandle<HANDLE, TKernelCloser>;
using TFileHandle = TScopedHandle<HANDLE, TFileCloser>;
using TServiceHandle = TScopedHandle<SC_HANDLE, TServiceCloser>;
using TMappedView = TScopedHandle<void*, TViewCloser>;

} // namespace cv::win32
