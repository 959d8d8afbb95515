#pragma once
// The service process's side of the sandbox's service manager (SetServiceStatus and the
// control handler of a real service).
#include <cstdint>
#include <string>
#include <vector>

namespace cv {

struct TSandboxServiceState {
    uint32_t State = 1;
    uint32_t CheckPoint = 0;
    uint32_t WaitHint = 0;
    int Pid = 0;
};

class TSandboxServiceHost {
public:
    TSandboxServiceHost(std::string sandbox, std::string name);
    void SetStatus(uint32_t state, uint32_t checkPoint = 0, uint32_t waitHint = 0);
    // Control codes sent since the last call, oldest first.
    std::vector<uint32_t> TakeControls();

private:
    std::string FFolder;
};

// Shared by the manager and the host: the service's folder and its files, read and written
// under the folder's lock.
namespace sandbox_service {
std::string Folder(const std::string& sandbox, const std::string& name);
class TLock {
public:
    explicit TLock(const std::string& folder);
    ~TLock();
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

private:
    int FFd;
};
bool ReadState(const std::string& folder, TSandboxServiceState& s);
void WriteState(const std::string& folder, const TSandboxServiceState& s);
bool ProcessAlive(int pid);
} // namespace sandbox_service

} // namespace cv
