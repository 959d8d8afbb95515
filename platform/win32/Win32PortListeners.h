#pragma once
#include "platform/PortListeners.h"

namespace cv {

// Listening sockets from the IP helper's TCP tables (IPv4 and IPv6) with their owning process
// ids, and image names from one toolhelp snapshot.
class TWin32PortListeners : public IPortListeners {
public:
    bool Find(uint16_t port, std::vector<TPortListener>& out) override;
};

} // namespace cv
