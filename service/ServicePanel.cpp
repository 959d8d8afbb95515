#include "ServicePanel.h"

namespace cv {

TServiceButtons ComputeServiceButtons(int32_t state, bool canBeStarted, int32_t kernelProcesses) {
    TServiceButtons b;
    b.Start = state == 1 && canBeStarted;
    b.Stop = state == 4;
    // Left-over kernel processes can be forced down even when the service has stopped.
    b.Force = state == 4 || kernelProcesses > 0;
    return b;
}

} // namespace cv
