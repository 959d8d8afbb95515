#include "Win32NamedMutex.h"

#include "ScopedHandle.h"
#include "Win32Text.h"

#include <windows.h>

namespace cv {

namespace {

class THeld : public IHeldMutex {
public:
    explicit THeld(HANDLE h) : FHandle(h) {}

private:
    win32::THandle FHandle; // the mutex goes with its last handle
};

} // namespace

bool TWin32NamedMutex::Exists(const std::string& name) {
    win32::THandle h(::OpenMutexW(SYNCHRONIZE, FALSE, win32::Widen(name).c_str()));
    return h.Valid();
}

std::unique_ptr<IHeldMutex> TWin32NamedMutex::Hold(const std::string& name) {
    HANDLE h = ::CreateMutexW(nullptr, FALSE, win32::Widen(name).c_str());
    if (!h)
        return {};
    return std::make_unique<THeld>(h);
}

} // namespace cv
