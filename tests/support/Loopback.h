#pragma once
// Loopback ports for tests: one nobody listens on at the moment of asking (for a peer that must
// be absent, or a server the test starts itself), and one this process holds open.
#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace cvtest {

namespace detail {
// A TCP socket bound to a free port of 127.0.0.1, listening when asked; -1 when that fails.
inline int BindLoopback(bool listen, uint16_t& port) {
    port = 0;
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        (listen && ::listen(s, 1) != 0) ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(s);
        return -1;
    }
    port = ntohs(a.sin_port);
    return s;
}
} // namespace detail

inline uint16_t FreePort() {
    uint16_t port = 0;
    const int s = detail::BindLoopback(false, port);
    if (s >= 0)
        ::close(s);
    return port;
}

// Listens on a free port of 127.0.0.1 until it goes; Port is 0 when that failed.
class TLoopbackListener {
public:
    TLoopbackListener() : FFd(detail::BindLoopback(true, Port)) {}
    ~TLoopbackListener() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TLoopbackListener(const TLoopbackListener&) = delete;
    TLoopbackListener& operator=(const TLoopbackListener&) = delete;

    uint16_t Port = 0;

private:
    int FFd;
};

} // namespace cvtest
