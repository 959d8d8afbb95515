#pragma once
// A system-info double: the computer's name, offset and process id as the test sets them, and
// every debugger line recorded.
#include "platform/SystemInfo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cvtest {

class TRecordingSystemInfo : public cv::ISystemInfo {
public:
    std::string Name = "pc1.plant.local";
    int OffsetMinutes = 0;
    uint32_t ProcessId = 1;
    std::vector<std::string> Lines;

    std::string ComputerName() override { return Name; }
    std::string ShortComputerName() override { return Name.substr(0, Name.find('.')); }
    bool IsWow64() override { return false; }
    std::string WindowsFolder() override { return {}; }
    std::string RoamingAppData() override { return {}; }
    void DebugOutput(const std::string& line) override { Lines.push_back(line); }
    int UtcOffsetMinutes() override { return OffsetMinutes; }
    bool IsNtPlatform() override { return true; }
    uint32_t CurrentProcessId() override { return ProcessId; }
};

} // namespace cvtest
