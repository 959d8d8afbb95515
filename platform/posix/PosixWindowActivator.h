#pragma once
#include "platform/WindowActivator.h"

#include <atomic>
#include <thread>

namespace cv {

// The published handle is the owning process's id. Each registered process listens on an
// abstract datagram socket named after it; a request to raise is handed to its main thread.
class TPosixWindowActivator : public IWindowActivator {
public:
    ~TPosixWindowActivator() override;
    uint32_t Register(uintptr_t native, std::function<void()> restoreAndRaise) override;
    void Unregister() override;
    void RestoreAndRaise(uint32_t handle) override;

private:
    std::thread FListener;
    std::atomic<bool> FStop{false};
    int FSocket = -1;
};

} // namespace cv
