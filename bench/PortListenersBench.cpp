// What one look-up of a port's holders costs, against the peer the window already pays for
// every second: one snapshot of the process table. A held port reads the socket tables and
// every process's open files; a free port only the tables.
#include "platform/posix/PosixPortListeners.h"
#include "platform/posix/PosixProcessTable.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A loopback listener of this process for the run; its port.
uint16_t HeldPort() {
    static const uint16_t port = [] {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof addr;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(fd, 1) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length))
            std::abort();
        return ntohs(addr.sin_port);
    }();
    return port;
}

// A port bound but not listened on, so nobody listens there during the run.
uint16_t FreePort() {
    static const uint16_t port = [] {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof addr;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length))
            std::abort();
        return ntohs(addr.sin_port);
    }();
    return port;
}

void BM_FindHeldPort(benchmark::State& state) {
    cv::TPosixPortListeners listeners;
    std::vector<cv::TPortListener> found;
    const uint16_t port = HeldPort();
    for (auto _ : state) {
        if (!listeners.Find(port, found) || found.empty())
            std::abort();
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_FindHeldPort)->Unit(benchmark::kMillisecond);

void BM_FindFreePort(benchmark::State& state) {
    cv::TPosixPortListeners listeners;
    std::vector<cv::TPortListener> found;
    const uint16_t port = FreePort();
    for (auto _ : state) {
        if (!listeners.Find(port, found) || !found.empty())
            std::abort();
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_FindFreePort)->Unit(benchmark::kMillisecond);

void BM_ProcessSnapshot(benchmark::State& state) {
    cv::TPosixProcessTable table;
    std::vector<cv::TSnapshotEntry> entries;
    for (auto _ : state) {
        if (!table.Snapshot(entries))
            std::abort();
        benchmark::DoNotOptimize(entries);
    }
}
BENCHMARK(BM_ProcessSnapshot)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
