#pragma once
// Bringing another instance's window forward. Stands for IsIconic, ShowWindow(SW_RESTORE) and
// SetForegroundWindow. A window handle travels between processes as 32 bits. Elsewhere the
// handle is a token this port hands out; the owning process is asked to restore and raise
// its window.
#include <cstdint>
#include <functional>

namespace cv {

class IWindowActivator {
public:
    virtual ~IWindowActivator() = default;
    // Registers this process's main window. `native` is the platform's own window handle
    // (HWND on Windows, unused elsewhere); `restoreAndRaise` runs on the main thread when
    // another instance asks for it. Returns the 32-bit handle to publish.
    virtual uint32_t Register(uintptr_t native, std::function<void()> restoreAndRaise) = 0;
    virtual void Unregister() = 0;
    // Restores the window when it is minimised, then makes it the foreground window.
    virtual void RestoreAndRaise(uint32_t handle) = 0;
};

} // namespace cv
