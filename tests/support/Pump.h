#pragma once
// Runs the main thread's pending hand-over calls until a condition holds or time runs out.
#include "core/MainThread.h"

#include <chrono>
#include <functional>

namespace cvtest {

inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        cv::CheckSynchronize(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace cvtest
