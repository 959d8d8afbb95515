#pragma once
// The service panel's rules, without a window: which buttons are enabled for a state.
#include <cstdint>

namespace cv {

struct TServiceButtons {
    bool Start = false;
    bool Stop = false;
    bool Force = false;
    bool operator==(const TServiceButtons&) const = default;
};

// `state` is the polled state (1 stopped, 4 running, 0 unknown, ...).
TServiceButtons ComputeServiceButtons(int32_t state, bool canBeStarted, int32_t kernelProcesses);

} // namespace cv
