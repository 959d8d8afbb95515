#pragma once
#include "platform/ProcessTable.h"

#include <cstdint>
#include <string>

namespace cv {

// Processes from /proc. The debug privilege has no POSIX counterpart (root reads every
// process already), so enabling it does nothing. An account's "domain" is the computer's
// short host name, so processes still group by account as they do on Windows.
class TPosixProcessTable : public IProcessTable {
public:
    bool Snapshot(std::vector<TSnapshotEntry>& out) override;
    // Fails, like OpenProcess, when the process is gone (or only a zombie is left), and for a
    // caller other than root when the process is not its own and more than querying is asked.
    std::unique_ptr<IProcessHandle> Open(uint32_t processId, uint32_t access) override;
    // Executables here carry no version resource.
    std::string FileVersion(const std::string& path) override;
    uint32_t CurrentProcessId() override;
    void EnableDebugPrivilege() override {}
    uint32_t LastError() const override;
};

namespace posix_proc {
// The fields of /proc/PID/stat this backend uses. The command sits in parentheses and may
// itself hold ") ", so parsing starts after the last ')'.
struct TStat {
    char State = '?';
    uint64_t StartTicks = 0; // field 22, clock ticks after boot
};
bool ParseStat(const std::string& text, TStat& out);
// "Threads:" and the four ids of "Uid:" (real, effective, saved, file system) from
// /proc/PID/status.
bool ParseStatusThreads(const std::string& text, uint32_t& threads);
bool ParseStatusUids(const std::string& text, uint32_t (&uids)[4]);
// "btime" of /proc/stat: boot time in seconds since 1970.
bool ParseBootTime(const std::string& text, uint64_t& btime);
// Seconds since 1970 plus clock ticks after boot to 100 ns units since 1601 (UTC).
uint64_t ToFileTime(uint64_t bootTimeUnix, uint64_t startTicks, uint64_t ticksPerSecond);
} // namespace posix_proc

} // namespace cv
