#pragma once
#include "platform/SystemInfo.h"

namespace cv {

class TWin32SystemInfo : public ISystemInfo {
public:
    std::string ComputerName() override;
    std::string ShortComputerName() override;
    bool IsWow64() override;
    std::string WindowsFolder() override;
    std::string RoamingAppData() override;
    void DebugOutput(const std::string& line) override;
    int UtcOffsetMinutes() override;
    bool IsNtPlatform() override;
    uint32_t CurrentProcessId() override;
    uint32_t CurrentThreadId() override;
    bool EnterComApartment() override;
    void LeaveComApartment() override;
};

} // namespace cv
