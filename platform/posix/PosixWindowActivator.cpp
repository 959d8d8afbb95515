#include "PosixWindowActivator.h"

#include "core/MainThread.h"

#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace cv {

namespace {

socklen_t AddressOf(uint32_t handle, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    std::string name = "vornix-window-" + std::to_string(handle);
    // Abstract namespace: the leading zero byte; nothing is left behind on disk.
    std::memcpy(addr.sun_path + 1, name.data(), name.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

} // namespace

TPosixWindowActivator::~TPosixWindowActivator() { Unregister(); }

uint32_t TPosixWindowActivator::Register(uintptr_t, std::function<void()> restoreAndRaise) {
    Unregister();
    const uint32_t handle = static_cast<uint32_t>(getpid());
    FSocket = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (FSocket < 0)
        return handle;
    sockaddr_un addr;
    socklen_t len = AddressOf(handle, addr);
    if (bind(FSocket, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
        close(FSocket);
        FSocket = -1;
        return handle;
    }
    FStop = false;
    FListener = std::thread([this, call = std::move(restoreAndRaise)] {
        while (!FStop.load()) {
            pollfd p{FSocket, POLLIN, 0};
            if (poll(&p, 1, 200) <= 0)
                continue;
            char buf[16];
            if (recv(FSocket, buf, sizeof buf, 0) > 0)
                Queue(call);
        }
    });
    return handle;
}

void TPosixWindowActivator::Unregister() {
    FStop = true;
    if (FListener.joinable())
        FListener.join();
    if (FSocket >= 0) {
        close(FSocket);
        FSocket = -1;
    }
}

void TPosixWindowActivator::RestoreAndRaise(uint32_t handle) {
    int s = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return;
    sockaddr_un addr;
    socklen_t len = AddressOf(handle, addr);
    sendto(s, "raise", 5, 0, reinterpret_cast<sockaddr*>(&addr), len);
    close(s);
}

} // namespace cv
