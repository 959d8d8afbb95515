#pragma once
// The sample installation's Lumo programs, as `corvane-sim init` writes them.
#include <string>

// The start-up program (sys\active\sys_\kernel_setup.lum).
std::string KernelSetupScript();
// The shutdown program (prog\exec\stop_sequence.lum).
std::string StopSequenceScript();
