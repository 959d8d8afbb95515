#include "Win32TcpClient.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>
#include <string>
#include <system_error>

namespace cv {

namespace {

[[noreturn]] void RaiseSocketError(const char* what) {
    throw std::system_error(WSAGetLastError(), std::system_category(), what);
}

// Winsock wants one start-up per process before any call; it stays up until exit.
bool StartWinsock() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

class TWin32TcpConnection : public ITcpConnection {
public:
    explicit TWin32TcpConnection(SOCKET s) : FSocket(s) {}
    ~TWin32TcpConnection() override { Close(); }

    bool WaitReadable(int timeoutMs) override {
        if (FSocket == INVALID_SOCKET)
            throw std::system_error(WSAENOTSOCK, std::system_category(), "select");
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(FSocket, &readable);
        fd_set failed;
        FD_ZERO(&failed);
        FD_SET(FSocket, &failed);
        timeval tv;
        tv.tv_sec = timeoutMs / 1000;
        tv.tv_usec = (timeoutMs % 1000) * 1000;
        // The first argument is ignored by Winsock.
        int r = select(0, &readable, nullptr, &failed, &tv);
        if (r == SOCKET_ERROR)
            RaiseSocketError("select");
        return r > 0;
    }

    size_t Read(uint8_t* buffer, size_t size, int timeoutMs) override {
        if (!WaitReadable(timeoutMs))
            return 0;
        int n = recv(FSocket, reinterpret_cast<char*>(buffer), static_cast<int>(size), 0);
        if (n == SOCKET_ERROR) {
            if (WSAGetLastError() == WSAEWOULDBLOCK)
                return 0;
            RaiseSocketError("recv");
        }
        return static_cast<size_t>(n);
    }

    size_t ReadNow(uint8_t* buffer, size_t size) override { return Read(buffer, size, 0); }

    void Close() override {
        if (FSocket != INVALID_SOCKET) {
            closesocket(FSocket);
            FSocket = INVALID_SOCKET;
        }
    }

    bool IsOpen() const override { return FSocket != INVALID_SOCKET; }

private:
    SOCKET FSocket;
};

} // namespace

std::unique_ptr<ITcpConnection> TWin32TcpClient::Connect(const std::string& host, uint16_t port) {
    if (!StartWinsock())
        return {};
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0 || !list)
        return {};
    std::unique_ptr<ITcpConnection> result;
    for (addrinfo* a = list; a && !result; a = a->ai_next) {
        SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET)
            continue;
        if (connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0)
            result = std::make_unique<TWin32TcpConnection>(s);
        else
            closesocket(s);
    }
    freeaddrinfo(list);
    return result;
}

} // namespace cv
