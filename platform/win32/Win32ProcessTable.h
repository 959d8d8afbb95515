#pragma once
#include "platform/ProcessTable.h"

namespace cv {

// Toolhelp snapshots, process handles and tokens, file version resources. Error codes are
// kept per thread.
class TWin32ProcessTable : public IProcessTable {
public:
    bool Snapshot(std::vector<TSnapshotEntry>& out) override;
    std::unique_ptr<IProcessHandle> Open(uint32_t processId, uint32_t access) override;
    std::string FileVersion(const std::string& path) override;
    uint32_t CurrentProcessId() override;
    void EnableDebugPrivilege() override;
    uint32_t LastError() const override;
};

} // namespace cv
