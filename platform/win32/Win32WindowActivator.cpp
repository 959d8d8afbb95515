#include "Win32WindowActivator.h"

#include <windows.h>

namespace cv {

uint32_t TWin32WindowActivator::Register(uintptr_t native, std::function<void()>) {
    // Windows itself brings the window forward; the callback is for platforms without that.
    return static_cast<uint32_t>(native);
}

void TWin32WindowActivator::RestoreAndRaise(uint32_t handle) {
    HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(handle)));
    if (::IsIconic(window))
        ::ShowWindow(window, SW_RESTORE);
    ::SetForegroundWindow(window);
}

} // namespace cv
