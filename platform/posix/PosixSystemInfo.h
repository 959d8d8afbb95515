#pragma once
#include "platform/SystemInfo.h"

namespace cv {

// Host facts from the POSIX system; with a sandbox, WINDIR and the roaming AppData folder
// lie inside it ("Windows" and "AppData/Roaming"). Debug lines go to standard error when
// VORNIX_DEBUG_OUTPUT is set, else nowhere.
class TPosixSystemInfo : public ISystemInfo {
public:
    explicit TPosixSystemInfo(std::string sandbox);
    std::string ComputerName() override;
    std::string ShortComputerName() override;
    bool IsWow64() override;
    std::string WindowsFolder() override;
    std::string RoamingAppData() override;
    void DebugOutput(const std::string& line) override;
    int UtcOffsetMinutes() override;
    bool IsNtPlatform() override { return true; }
    uint32_t CurrentProcessId() override;
    uint32_t CurrentThreadId() override;

private:
    std::string FSandbox;
};

} // namespace cv
