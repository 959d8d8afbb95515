#include "PosixProcessTable.h"

#include <cerrno>
#include <dirent.h>
#include <unistd.h>

namespace cv {

namespace {
thread_local uint32_t tLastError = 0;
}

bool TPosixProcessTable::Snapshot(std::vector<TSnapshotEntry>& out) {
    out.clear();
    DIR* d = opendir("/proc");
    if (!d) {
        tLastError = static_cast<uint32_t>(errno);
        return false;
    }
    closedir(d);
    return true; // the full /proc walk comes with the process list
}

std::unique_ptr<IProcessHandle> TPosixProcessTable::Open(uint32_t, uint32_t) { return {}; }

std::string TPosixProcessTable::FileVersion(const std::string&) { return {}; }

uint32_t TPosixProcessTable::CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

uint32_t TPosixProcessTable::LastError() const { return tLastError; }

} // namespace cv
