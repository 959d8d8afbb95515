#pragma once
#include "platform/WindowActivator.h"

namespace cv {

// The published handle is the HWND itself: window handles are valid across processes and
// fit in 32 bits (sign-extended back on 64-bit Windows).
class TWin32WindowActivator : public IWindowActivator {
public:
    uint32_t Register(uintptr_t native, std::function<void()> restoreAndRaise) override;
    void Unregister() override {}
    void RestoreAndRaise(uint32_t handle) override;
};

} // namespace cv
