// corvane-sim: the simulated installation the control panel runs against on Linux.
#include "Sim.h"
#include "SimEvents.h"
#include "SimProcesses.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace sim {

std::string SelfPath() {
    char buf[PATH_MAX] = {};
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string("corvane-sim");
}

bool HasFlag(int argc, char** argv, const std::string& flag) {
    for (int i = 1; i < argc; ++i)
        if (flag == argv[i])
            return true;
    return false;
}

std::string OptionValue(int argc, char** argv, const std::string& option,
                        const std::string& fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (option == argv[i])
            return argv[i + 1];
    return fallback;
}

std::string SandboxOf(int argc, char** argv) {
    std::string s = OptionValue(argc, argv, "--sandbox");
    if (s.empty())
        if (const char* e = std::getenv("VORNIX_SANDBOX"))
            s = e;
    return s;
}

} // namespace sim

static int Usage() {
    std::fprintf(stderr,
                 "usage: corvane-sim init DIR [--hung] [--start-type 2|3|4]\n"
                 "       corvane-sim service [--name Corvane] [--hung]\n"
                 "       corvane-sim hung DIR on|off\n"
                 "       corvane-sim client DIR NAME [--threads N]\n"
                 "       corvane-sim logservice [--port N] [--sandbox DIR] [--mode MODE]\n"
                 "       corvane-sim event DIR [--provider NAME] [--level N] [--id N] TEXT\n");
    return 2;
}

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    std::string cmd = argv[1];
    if (cmd == "init") {
        sim::EnsureServiceAccount(); // the kernel processes' account, when run as root
        return RunInit(argc - 1, argv + 1);
    }
    if (cmd == "client")
        return RunClient(argc - 1, argv + 1);
    if (cmd == "service")
        return RunService(argc - 1, argv + 1);
    if (cmd == "hung") {
        if (argc < 4)
            return Usage();
        std::string flag = std::string(argv[2]) + "/sim/hung";
        if (std::strcmp(argv[3], "on") == 0) {
            FILE* f = std::fopen(flag.c_str(), "w");
            if (!f)
                return 1;
            std::fclose(f);
        } else {
            std::remove(flag.c_str());
        }
        return 0;
    }
    if (cmd == "logservice")
        return RunLogService(argc - 1, argv + 1);
    if (cmd == "event")
        return RunEvent(argc - 1, argv + 1);
    return Usage();
}
