// corvane-sim service: the "Corvane" service process of a sandbox. It boots, runs until it is
// asked to stop (control 1) or to shut down at once (control 200), and then reports Stopped.
// "Hung" (--hung, or the sandbox's sim/hung flag) ignores both, so a forced stop can time out.
// While it runs, the system's kernel processes run from the install folder; they end with the
// service, except when it hangs or the sandbox's sim/leave-kernel flag says the shutdown
// leaves them behind. The system's web server runs while the service does.
#include "Sim.h"
#include "SimEvents.h"
#include "SimProcesses.h"
#include "SimWebServer.h"

#include "platform/FileSystem.h"
#include "platform/ServiceManager.h"
#include "platform/sandbox/SandboxServiceHost.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

std::atomic<bool> gTerminate{false};

void OnSignal(int) { gTerminate = true; }

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

} // namespace

int RunService(int argc, char** argv) {
    const std::string sandbox = sim::SandboxOf(argc, argv);
    const std::string name = sim::OptionValue(argc, argv, "--name", "Corvane");
    if (sandbox.empty()) {
        std::fprintf(stderr, "corvane-sim service: no sandbox\n");
        return 2;
    }
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    const bool hungOption = sim::HasFlag(argc, argv, "--hung");
    auto hung = [&] { return hungOption || cv::FileExists(sandbox + "/sim/hung"); };

    cv::TSandboxServiceHost host(sandbox, name);
    // Booting takes a moment, with progress reported as a real service would.
    for (uint32_t cp = 1; cp <= 4 && !gTerminate; ++cp) {
        host.SetStatus(cv::SERVICE_START_PENDING, cp, 1000);
        Sleep(150);
    }
    sim::EnsureServiceAccount();
    sim::TKernelProcesses kernel(sandbox);
    if (!gTerminate)
        kernel.Start();
    // The system's web server comes up with it, with the settings in force at this start.
    sim::TWebServer web(sandbox);
    if (!gTerminate)
        web.Start();
    host.SetStatus(cv::SERVICE_RUNNING);
    sim::TSystemEvents events(sandbox);
    events.Started();
    std::printf("service %s running\n", name.c_str());
    std::fflush(stdout);

    int stopSteps = 0;
    while (!gTerminate) {
        for (uint32_t code : host.TakeControls()) {
            std::printf("control %u%s\n", code, hung() ? " ignored" : "");
            std::fflush(stdout);
            if (hung())
                continue;
            if (code == cv::SERVICE_CONTROL_STOP && stopSteps == 0)
                stopSteps = 5;
            else if (code == 200)
                stopSteps = 1; // the forced shutdown ends almost at once
        }
        if (stopSteps > 0) {
            host.SetStatus(cv::SERVICE_STOP_PENDING, static_cast<uint32_t>(6 - stopSteps), 500);
            if (--stopSteps == 0)
                break;
            Sleep(120);
            continue;
        }
        kernel.Reap();
        events.Tick();
        Sleep(50);
    }
    events.Stopping();
    web.Stop();
    if (cv::FileExists(sandbox + "/sim/leave-kernel"))
        kernel.Abandon();
    kernel.Stop();
    host.SetStatus(cv::SERVICE_STOPPED);
    std::printf("service %s stopped\n", name.c_str());
    return 0;
}
