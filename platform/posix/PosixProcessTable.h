#pragma once
#include "platform/ProcessTable.h"

namespace cv {

// Processes from /proc. The debug privilege has no POSIX counterpart (root reads every
// process already), so enabling it does nothing.
class TPosixProcessTable : public IProcessTable {
public:
    bool Snapshot(std::vector<TSnapshotEntry>& out) override;
    std::unique_ptr<IProcessHandle> Open(uint32_t processId, uint32_t access) override;
    std::string FileVersion(const std::string& path) override;
    uint32_t CurrentProcessId() override;
    void EnableDebugPrivilege() override {}
    uint32_t LastError() const override;
};

} // namespace cv
