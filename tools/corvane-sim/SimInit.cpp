// corvane-sim init DIR: a new sandbox holding a sample installation.
#include "Sim.h"

#include "platform/FileSystem.h"
#include "platform/ServiceManager.h"
#include "platform/sandbox/SandboxServiceManager.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int RunInit(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "corvane-sim init: missing folder\n");
        return 2;
    }
    std::string dir = argv[1];
    char* real = realpath(dir.c_str(), nullptr);
    if (!real) {
        if (!cv::ForceDirectories(dir)) {
            std::fprintf(stderr, "corvane-sim init: cannot create %s\n", dir.c_str());
            return 1;
        }
        real = realpath(dir.c_str(), nullptr);
    }
    dir = real;
    std::free(real);

    for (const char* sub : {"/AppData/Roaming", "/Windows/System32", "/Windows/Sysnative",
                            "/services", "/sim"})
        cv::ForceDirectories(dir + sub);

    std::vector<std::string> command = {sim::SelfPath(), "service", "--name", "Corvane"};
    if (sim::HasFlag(argc, argv, "--hung"))
        command.push_back("--hung");
    int startType = std::atoi(sim::OptionValue(argc, argv, "--start-type", "3").c_str());
    if (!cv::TSandboxServiceManager::RegisterService(dir, "Corvane",
                                                     static_cast<uint32_t>(startType), command)) {
        std::fprintf(stderr, "corvane-sim init: cannot register the service in %s\n",
                     dir.c_str());
        return 1;
    }
    std::printf("%s\n", dir.c_str());
    return 0;
}
