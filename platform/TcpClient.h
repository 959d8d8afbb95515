#pragma once
// A blocking TCP client. Stands for Winsock's socket, getaddrinfo, connect, select and recv;
// elsewhere POSIX sockets with poll.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace cv {

class ITcpConnection {
public:
    virtual ~ITcpConnection() = default;
    // Waits up to `timeoutMs` (0: no wait) until data or the peer's close can be read.
    // Raises on a socket error.
    virtual bool WaitReadable(int timeoutMs) = 0;
    // Reads up to `size` bytes, waiting at most `timeoutMs`. 0 means the peer closed or
    // nothing came in time. Raises on a socket error.
    virtual size_t Read(uint8_t* buffer, size_t size, int timeoutMs) = 0;
    // Reads up to `size` bytes only if some can be read at once; 0 when none can (or the
    // peer closed). One call where a zero wait and a read would be two. Raises on a socket
    // error.
    virtual size_t ReadNow(uint8_t* buffer, size_t size) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
};

class ITcpClient {
public:
    virtual ~ITcpClient() = default;
    // Resolves the host and connects, blocking. Null on failure.
    virtual std::unique_ptr<ITcpConnection> Connect(const std::string& host, uint16_t port) = 0;
};

} // namespace cv
