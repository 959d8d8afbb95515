#pragma once
// Facts about the computer and the process. Stands for GetComputerNameExW
// (ComputerNamePhysicalDnsFullyQualified: the physical computer's name, also in a cluster),
// IsWow64Process, the WINDIR variable, SHGetFolderPathW(CSIDL_APPDATA), OutputDebugStringW, the
// local UTC offset, GetVersionEx's platform family, GetCurrentProcessId and GetCurrentThreadId;
// the thread's COM apartment (CoInitializeEx with COINIT_APARTMENTTHREADED, CoUninitialize).
#include <cstdint>
#include <string>

namespace cv {

class ISystemInfo {
public:
    virtual ~ISystemInfo() = default;
    virtual std::string ComputerName() = 0;         // fully qualified DNS name
    virtual std::string ShortComputerName() = 0;    // NetBIOS-style short name
    virtual bool IsWow64() = 0;                     // false when it cannot be asked
    virtual std::string WindowsFolder() = 0;        // WINDIR
    virtual std::string RoamingAppData() = 0;       // empty when it cannot be determined
    virtual void DebugOutput(const std::string& line) = 0;
    virtual int UtcOffsetMinutes() = 0;             // in force now, east positive
    virtual bool IsNtPlatform() = 0;
    virtual uint32_t CurrentProcessId() = 0;
    // The calling thread's system id; test doubles that do not care may leave it at 0.
    virtual uint32_t CurrentThreadId() { return 0; }
    // Enters a single-threaded COM apartment on the calling thread, as the shell's objects
    // want; true when it is entered (or was already), and only then is LeaveComApartment due.
    // Elsewhere there is no COM: false, and leaving does nothing.
    virtual bool EnterComApartment() { return false; }
    virtual void LeaveComApartment() {}
};

} // namespace cv
