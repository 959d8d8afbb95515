// A small program for the tests that look for a port's owner in another process.
//   listen_probe ADDRESS   listens on a free TCP port of ADDRESS ("127.0.0.1", "::1", ...)
//   listen_probe -         opens nothing (it may hold sockets it was started with)
// Writes the port (0 for "-") and a line break to standard output, then waits until standard
// input ends, and exits.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>

namespace {

#ifdef _WIN32
using TSocket = SOCKET;
const TSocket NoSocket = INVALID_SOCKET;
#else
using TSocket = int;
const TSocket NoSocket = -1;
#endif

int Listen(const char* address) {
    sockaddr_storage storage{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET, address, &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        length = sizeof *v4;
    } else if (inet_pton(AF_INET6, address, &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        length = sizeof *v6;
    } else {
        return -1;
    }
    TSocket s = socket(storage.ss_family, SOCK_STREAM, IPPROTO_TCP);
    if (s == NoSocket)
        return -1;
    if (bind(s, reinterpret_cast<sockaddr*>(&storage), length) != 0 || listen(s, 4) != 0)
        return -1;
    length = sizeof storage;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&storage), &length) != 0)
        return -1;
    return ntohs(storage.ss_family == AF_INET ? v4->sin_port : v6->sin6_port);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
#ifdef _WIN32
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 1;
#endif
    int port = 0;
    if (std::strcmp(argv[1], "-") != 0 && (port = Listen(argv[1])) <= 0)
        return 1;
    std::printf("%d\n", port);
    std::fflush(stdout);
    char buffer[64];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    return 0;
}
