#pragma once
#include "platform/PortListeners.h"

#include <string>

namespace cv {

// Listening sockets from the kernel's TCP tables and their owners from the processes' open
// files. A caller other than root sees into its own processes only; sockets of others are
// listed with an unknown owner.
class TPosixPortListeners : public IPortListeners {
public:
    // `procRoot`: where the process file system is mounted (tests hand in a folder laid out
    // the same way).
    explicit TPosixPortListeners(std::string procRoot = "/proc");
    bool Find(uint16_t port, std::vector<TPortListener>& out) override;

private:
    std::string FProc;
};

} // namespace cv
