#pragma once
// The command line: "/Start" gives 1, "/Stop" gives 2, compared exactly; the last one on the
// line wins; every other argument is ignored. 0 means the interactive window.
#include <cstdint>
#include <string>
#include <vector>

namespace cv {

constexpr uint8_t cmdNone = 0;
constexpr uint8_t cmdStart = 1;
constexpr uint8_t cmdStop = 2;

uint8_t ScanCommandLine(const std::vector<std::string>& args);

} // namespace cv
