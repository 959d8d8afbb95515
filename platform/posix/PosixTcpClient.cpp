#include "PosixTcpClient.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <system_error>

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

namespace cv {

namespace {

[[noreturn]] void RaiseSocketError(const char* what) {
    throw std::system_error(errno, std::system_category(), what);
}

class TPosixTcpConnection : public ITcpConnection {
public:
    explicit TPosixTcpConnection(int fd) : FSocket(fd) {}
    ~TPosixTcpConnection() override { Close(); }

    bool WaitReadable(int timeoutMs) override {
        if (FSocket < 0)
            throw std::system_error(EBADF, std::system_category(), "poll");
        using namespace std::chrono;
        auto deadline = steady_clock::now() + milliseconds(timeoutMs);
        for (;;) {
            pollfd p{FSocket, POLLIN, 0};
            int left = static_cast<int>(std::max<int64_t>(
                0, duration_cast<milliseconds>(deadline - steady_clock::now()).count()));
            int r = ::poll(&p, 1, left);
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                RaiseSocketError("poll");
            }
            // A hang-up or error is "readable": the read that follows reports it.
            return r > 0;
        }
    }

    size_t Read(uint8_t* buffer, size_t size, int timeoutMs) override {
        // Data already waiting needs no poll first.
        ssize_t n = Receive(buffer, size);
        if (n >= 0)
            return static_cast<size_t>(n);
        if (!WaitReadable(timeoutMs))
            return 0;
        n = Receive(buffer, size);
        return n > 0 ? static_cast<size_t>(n) : 0;
    }

    size_t ReadNow(uint8_t* buffer, size_t size) override {
        ssize_t n = Receive(buffer, size);
        return n > 0 ? static_cast<size_t>(n) : 0;
    }

    void Close() override {
        if (FSocket >= 0) {
            ::close(FSocket);
            FSocket = -1;
        }
    }

    bool IsOpen() const override { return FSocket >= 0; }

private:
    // A read that does not wait: the bytes, 0 when the peer closed, -1 when nothing is there.
    ssize_t Receive(uint8_t* buffer, size_t size) {
        if (FSocket < 0)
            throw std::system_error(EBADF, std::system_category(), "recv");
        for (;;) {
            ssize_t n = ::recv(FSocket, buffer, size, MSG_DONTWAIT);
            if (n >= 0)
                return n;
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return -1;
            RaiseSocketError("recv");
        }
    }

    int FSocket;
};

} // namespace

std::unique_ptr<ITcpConnection> TPosixTcpClient::Connect(const std::string& host, uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    std::string service = std::to_string(port);
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0 || !list)
        return {};
    std::unique_ptr<ITcpConnection> result;
    // "localhost" may resolve to ::1 first while the service listens on 127.0.0.1 only.
    for (addrinfo* a = list; a && !result; a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        // An interrupted connect counts as failed; the caller retries shortly anyway.
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0)
            result = std::make_unique<TPosixTcpConnection>(fd);
        else
            ::close(fd);
    }
    ::freeaddrinfo(list);
    return result;
}

} // namespace cv
