#pragma once
// A one-client-at-a-time TCP server on 127.0.0.1 with a free port, for driving the reader
// over a real socket. Everything it starts ends in its destructor.
#include "notify.pb.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace feedtest {

inline std::string FrameOf(const std::string& payload) {
    std::string f = "~~~~";
    uint32_t n = static_cast<uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i)
        f += static_cast<char>((n >> (8 * i)) & 0xFF);
    return f + payload + ">>>>";
}

inline std::string FrameOf(const corvane::feed::NotifyMessage& m) {
    return FrameOf(m.SerializeAsString());
}

class TLoopbackServer {
public:
    TLoopbackServer() {
        FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        if (::bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(FListen, 4) != 0)
            throw std::runtime_error("loopback server: bind/listen failed");
        socklen_t len = sizeof a;
        ::getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &len);
        FPort = ntohs(a.sin_port);
        FAcceptor = std::thread([this] { AcceptLoop(); });
    }
    ~TLoopbackServer() {
        FStop = true;
        FAcceptor.join();
        DropClient();
        ::close(FListen);
    }

    uint16_t Port() const { return FPort; }
    int Accepted() const { return FAccepted.load(); }
    // A peer that accepts every connection and closes it at once.
    void SetCloseOnAccept(bool close) { FCloseOnAccept = close; }

    // Waits until the `n`th connection has been accepted.
    bool WaitForClient(int n, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::unique_lock l(FLock);
        return FChanged.wait_for(l, timeout, [&] { return FAccepted.load() >= n && FClient >= 0; });
    }

    // Sends all bytes, `piece` at a time (0: in one call).
    bool Send(const std::string& bytes, size_t piece = 0) {
        int fd;
        {
            std::lock_guard l(FLock);
            fd = FClient;
        }
        if (fd < 0)
            return false;
        if (piece == 0)
            piece = bytes.size();
        for (size_t i = 0; i < bytes.size(); i += piece) {
            size_t n = std::min(piece, bytes.size() - i);
            size_t done = 0;
            while (done < n) {
                ssize_t r = ::send(fd, bytes.data() + i + done, n - done, MSG_NOSIGNAL);
                if (r <= 0)
                    return false;
                done += static_cast<size_t>(r);
            }
            if (piece < bytes.size())
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    void DropClient() {
        std::lock_guard l(FLock);
        if (FClient >= 0) {
            ::close(FClient);
            FClient = -1;
        }
    }

private:
    void AcceptLoop() {
        while (!FStop) {
            pollfd p{FListen, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            int fd = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            if (FCloseOnAccept) {
                ::close(fd);
                ++FAccepted;
                continue;
            }
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            std::lock_guard l(FLock);
            if (FClient >= 0)
                ::close(FClient);
            FClient = fd;
            ++FAccepted;
            FChanged.notify_all();
        }
    }

    int FListen = -1;
    uint16_t FPort = 0;
    std::thread FAcceptor;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FCloseOnAccept{false};
    std::atomic<int> FAccepted{0};
    std::mutex FLock;
    std::condition_variable FChanged;
    int FClient = -1;
};

} // namespace feedtest
