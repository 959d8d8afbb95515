// corvane-sim-sleeper: the body of the simulated system's programs. The simulation copies it
// into the install folder under the programs' names (cvkernel.exe, ...), so the process list
// finds real processes there. It does nothing but wait: with --threads N it runs N threads
// in all, so thread counts differ. It ends on SIGTERM/SIGINT, and by itself once its
// executable is gone (the sandbox was removed), so a test that dies leaves nothing behind.
#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<bool> gStop{false};

void OnSignal(int) {
    gStop = true;
}

} // namespace

int main(int argc, char** argv) {
    int threads = 1;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--threads") == 0)
            threads = std::atoi(argv[i + 1]);
    threads = threads < 1 ? 1 : threads > 64 ? 64 : threads;

    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);

    char buf[PATH_MAX] = {};
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    const std::string self = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();

    std::vector<std::thread> extra;
    for (int i = 1; i < threads; ++i)
        extra.emplace_back([] {
            while (!gStop)
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
        });
    struct stat st {};
    while (!gStop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (!self.empty() && ::stat(self.c_str(), &st) != 0)
            gStop = true;
    }
    for (auto& t : extra)
        t.join();
    return 0;
}
