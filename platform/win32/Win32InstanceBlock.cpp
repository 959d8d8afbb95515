#include "Win32InstanceBlock.h"

#include "ScopedHandle.h"
#include "Win32Text.h"

namespace cv {
namespace {

thread_local uint32_t tLastError = 0;

class TView : public IMappedBlock {
public:
    explicit TView(void* p) : FView(p) {}
    void* Data() override { return FView.Get(); }

private:
    win32::TMappedView FView;
};

class TBlock : public IBlockHandle {
public:
    explicit TBlock(HANDLE h) : FMapping(h) {}
    std::unique_ptr<IMappedBlock> Map() override {
        // Size 0 maps the whole block, whatever size its creator gave it.
        void* p = ::MapViewOfFile(FMapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0);
        if (!p) {
            tLastError = ::GetLastError();
            return {};
        }
        return std::make_unique<TView>(p);
    }

private:
    win32::THandle FMapping;
};

class TGuard : public IScopedGuard {
public:
    explicit TGuard(win32::THandle mutex) : FMutex(std::move(mutex)) {}
    ~TGuard() override { ::ReleaseMutex(FMutex.Get()); }

private:
    win32::THandle FMutex;
};

} // namespace

std::unique_ptr<IBlockHandle> TWin32InstanceBlock::Create(const std::string& name, uint32_t size,
                                                          bool& alreadyExisted) {
    alreadyExisted = false;
    ::SetLastError(0);
    HANDLE h = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size,
                                    win32::Widen(name).c_str());
    DWORD error = ::GetLastError();
    if (!h) {
        tLastError = error;
        return {};
    }
    alreadyExisted = error == ERROR_ALREADY_EXISTS;
    tLastError = error;
    return std::make_unique<TBlock>(h);
}

std::unique_ptr<IBlockHandle> TWin32InstanceBlock::Open(const std::string& name) {
    HANDLE h = ::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, win32::Widen(name).c_str());
    if (!h) {
        tLastError = ::GetLastError();
        return {};
    }
    return std::make_unique<TBlock>(h);
}

std::unique_ptr<IScopedGuard> TWin32InstanceBlock::Guard(const std::string& name) {
    win32::THandle mutex(::CreateMutexW(nullptr, FALSE, win32::Widen(name + "_guard").c_str()));
    if (!mutex) {
        tLastError = ::GetLastError();
        return {};
    }
    // An abandoned mutex means its holder died while inside; the guard is ours now, so a
    // crashed instance does not keep later starts out.
    DWORD r = ::WaitForSingleObject(mutex.Get(), INFINITE);
    if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) {
        tLastError = ::GetLastError();
        return {};
    }
    return std::make_unique<TGuard>(std::move(mutex));
}

uint32_t TWin32InstanceBlock::LastError() const {
    return tLastError;
}

std::string TWin32InstanceBlock::ErrorText(uint32_t code) const {
    return win32::SystemErrorText(code);
}

} // namespace cv
