#include "CommandLine.h"

namespace cv {

uint8_t ScanCommandLine(const std::vector<std::string>& args) {
    uint8_t code = cmdNone;
    for (const auto& a : args) { // from the program path on, as the system passes them
        if (a == "/Start")
            code = cmdStart;
        else if (a == "/Stop")
            code = cmdStop;
    }
    return code;
}

} // namespace cv
