#pragma once
// Which processes listen on a local TCP port, on any local address, IPv4 and IPv6. Stands for
// GetExtendedTcpTable (TCP_TABLE_OWNER_PID_LISTENER, AF_INET and AF_INET6) with the image names
// of the toolhelp snapshot (QueryFullProcessImageNameW where the snapshot lacks one). Elsewhere
// /proc/net/tcp and /proc/net/tcp6 in the LISTEN state, matched against the socket links of
// /proc/PID/fd; the name from /proc/PID/exe (or comm when that is unreadable).
#include <cstdint>
#include <string>
#include <vector>

namespace cv {

struct TPortListener {
    // 0 when the socket's owner cannot be seen (another user's process to a caller without the
    // rights to look into it).
    uint32_t ProcessID = 0;
    std::string ExeName; // file name only; empty when the owner is unknown
    std::string Address; // local address as text: "0.0.0.0", "127.0.0.1", "::", "::1"

    bool OwnerKnown() const { return ProcessID != 0; }
    bool operator==(const TPortListener&) const = default;
};

class IPortListeners {
public:
    virtual ~IPortListeners() = default;
    // Every listening socket on `port` with the process holding it: one entry per process and
    // socket (a socket shared by several processes is listed for each), known owners by
    // ascending process id, unknown owners last. Processes that end during the look-up are
    // left out. False when the socket tables cannot be read.
    virtual bool Find(uint16_t port, std::vector<TPortListener>& out) = 0;
};

} // namespace cv
