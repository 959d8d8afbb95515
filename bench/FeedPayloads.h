#pragma once
// Payloads shaped like the log service's bursts.
#include <string>

namespace feedbench {

// 200 application status updates, about 7 KB.
std::string StatusBurst();
// 50 log rows with two lines each, about 11 KB.
std::string LogBurst();
// 20 log rows and 50 status updates.
std::string MixedFrame();

} // namespace feedbench
