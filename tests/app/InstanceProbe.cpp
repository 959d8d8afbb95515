// A stand-in for a starting program instance: makes the single-instance test and says how it
// went ("first", "duplicate"), then, as a first instance, waits for a raise request ("raised")
// or for `seconds` to pass. Uses the real POSIX backends.
#include "app/CheckPrevious.h"
#include "core/MainThread.h"
#include "platform/posix/PosixInstanceBlock.h"
#include "platform/posix/PosixWindowActivator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    cv::SetMainThread();
    auto blocks = std::make_shared<cv::TPosixInstanceBlock>(argv[1]);
    auto windows = std::make_shared<cv::TPosixWindowActivator>();
    const double seconds = argc > 3 ? std::atof(argv[3]) : 0.0;
    bool raised = false;
    uint32_t handle = windows->Register(0, [&] { raised = true; });
    cv::TCheckPrevious previous(blocks, windows, argv[2]);
    if (previous.CheckPreviousInstance(handle, 1)) {
        std::printf("duplicate\n");
        return 0;
    }
    std::printf("first\n");
    std::fflush(stdout);
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end && !raised)
        cv::CheckSynchronize(std::chrono::milliseconds(20));
    if (raised)
        std::printf("raised\n");
    if (argc > 4 && std::string(argv[4]) == "crash")
        std::abort(); // no finalisation: the block is left as a crash leaves it
    return 0;
}
