// The simulated system's events and `corvane-sim event`, which writes one by hand.
#include "SimEvents.h"
#include "Sim.h"

#include "core/Text.h"
#include "platform/sandbox/SandboxEventLog.h"

#include <cstdio>
#include <exception>
#include <random>

namespace sim {

const char* const SystemProvider = "Corvane";
const char* const LicensingProvider = "Vekta Licensing";

void RegisterEventPublishers(const std::string& sandbox) {
    for (const char* provider : {SystemProvider, LicensingProvider})
        cv::TSandboxEventLog::RegisterPublisher(sandbox, provider, {{0, 65535, "%1"}});
}

bool WriteEvent(const std::string& sandbox, const std::string& provider, int64_t level, int64_t id,
                const std::string& text) {
    try {
        cv::TSandboxEventLog::WriteEvent(sandbox, "Application", {provider, id, level, {text}});
        return true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvane-sim: cannot write the event: %s\n", e.what());
        return false;
    }
}

void TSystemEvents::Started() {
    WriteEvent(FSandbox, SystemProvider, 4, 1000, "The Corvane system has started.");
    WriteEvent(FSandbox, LicensingProvider, 4, 200, "The licence of this installation is valid.");
}

void TSystemEvents::Tick() {
    // About every 30 s, one time in three: an error with its advice on the next lines.
    if (++FTicks % 600 != 0)
        return;
    static std::mt19937 random(std::random_device{}());
    if (std::uniform_int_distribution<int>(0, 2)(random) != 0)
        return;
    ++FErrors;
    WriteEvent(FSandbox, SystemProvider, 2, 12020,
               "The historian could not write archive block " + std::to_string(FErrors) +
                   ".\r\nThe archive volume is almost full; free space or move the archive.");
}

void TSystemEvents::Stopping() {
    WriteEvent(FSandbox, SystemProvider, 3, 12010,
               "Application MAIN went cold.\r\nThe system is stopping; its applications no "
               "longer run.");
}

} // namespace sim

int RunEvent(int argc, char** argv) {
    // argv[0] is "event"; DIR and TEXT are the arguments that are no option's value.
    std::string dir, text;
    std::string provider = sim::SystemProvider;
    int64_t level = 4, id = 1000;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--provider" || a == "--level" || a == "--id") && i + 1 < argc) {
            const std::string v = argv[++i];
            if (a == "--provider") {
                provider = v;
            } else if (!cv::TryStrToInt64(v, a == "--level" ? level : id)) {
                std::fprintf(stderr, "corvane-sim event: %s wants a number, not \"%s\"\n",
                             a.c_str(), v.c_str());
                return 2;
            }
        } else if (positional == 0) {
            dir = a;
            ++positional;
        } else if (positional == 1) {
            text = a;
            ++positional;
        } else {
            positional = 3;
        }
    }
    if (positional != 2 || dir.empty()) {
        std::fprintf(stderr, "usage: corvane-sim event DIR [--provider NAME] [--level N] [--id N] TEXT\n");
        return 2;
    }
    if (level < 0 || level > 255) {
        std::fprintf(stderr, "corvane-sim event: levels are 0 to 255\n");
        return 2;
    }
    return sim::WriteEvent(dir, provider, level, id, text) ? 0 : 1;
}
