#pragma once
// Processes. Stands for CreateToolhelp32Snapshot/Process32FirstW/Process32NextW, OpenProcess,
// QueryFullProcessImageNameW, OpenProcessToken + GetTokenInformation(TokenUser) +
// LookupAccountSidW, GetProcessTimes, GetFileVersionInfoW + VerQueryValueW, TerminateProcess,
// WaitForSingleObject on a process handle, GetCurrentProcessId, and the debug privilege (OpenProcessToken, LookupPrivilegeValueW,
// AdjustTokenPrivileges). Elsewhere /proc: the executable link, the owner account, the start
// time, the thread count, kill.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cv {

constexpr uint32_t PROCESS_QUERY_AND_READ = 0x0410;
constexpr uint32_t PROCESS_ALL_ACCESS_RIGHTS = 0x1FFFFF;

struct TSnapshotEntry {
    uint32_t ProcessID = 0;
    uint32_t ThreadCount = 0;
    std::string ExeFile; // file name only
};

class IProcessHandle {
public:
    virtual ~IProcessHandle() = default;
    virtual std::string ImagePath() = 0; // full path, at most 260 characters; empty on failure
    // Account of the process token; false on failure.
    virtual bool Account(std::string& user, std::string& domain) = 0;
    // Creation time as a FILETIME (100 ns since 1601 UTC); false on failure.
    virtual bool CreationTime(uint64_t& fileTime) = 0;
    virtual bool Terminate(uint32_t exitCode) = 0;
    // Waits up to `timeoutMs` for the process to be gone (the handle becoming signalled);
    // true when it is. Ending a process is asynchronous: it may still run when Terminate
    // returns.
    virtual bool WaitForExit(int timeoutMs) = 0;
};

class IProcessTable {
public:
    virtual ~IProcessTable() = default;
    // False when no snapshot can be taken.
    virtual bool Snapshot(std::vector<TSnapshotEntry>& out) = 0;
    virtual std::unique_ptr<IProcessHandle> Open(uint32_t processId, uint32_t access) = 0;
    // "%d.%d.%d.%d" of the file's fixed version; empty when it has none.
    virtual std::string FileVersion(const std::string& path) = 0;
    virtual uint32_t CurrentProcessId() = 0;
    // Enables SeDebugPrivilege for the process; every failure is ignored.
    virtual void EnableDebugPrivilege() = 0;
    // Error code of the last failed call (GetLastError).
    virtual uint32_t LastError() const = 0;
};

} // namespace cv
