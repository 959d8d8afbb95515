#include "SandboxServiceHost.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

namespace cv {

namespace sandbox_service {

std::string Folder(const std::string& sandbox, const std::string& name) {
    return sandbox + "/services/" + name;
}

TLock::TLock(const std::string& folder) {
    FFd = open((folder + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (FFd >= 0)
        while (flock(FFd, LOCK_EX) != 0 && errno == EINTR) {
        }
}

TLock::~TLock() {
    if (FFd >= 0)
        close(FFd);
}

bool ReadState(const std::string& folder, TSandboxServiceState& s) {
    auto text = ReadFileBytes(folder + "/status");
    if (!text)
        return false;
    std::istringstream in(*text);
    TSandboxServiceState r;
    if (!(in >> r.State >> r.CheckPoint >> r.WaitHint >> r.Pid))
        return false;
    s = r;
    return true;
}

void WriteState(const std::string& folder, const TSandboxServiceState& s) {
    WriteFileAtomic(folder + "/status", std::to_string(s.State) + " " +
                                            std::to_string(s.CheckPoint) + " " +
                                            std::to_string(s.WaitHint) + " " +
                                            std::to_string(s.Pid) + "\n");
}

bool ProcessAlive(int pid) {
    if (pid <= 0)
        return false;
    if (kill(pid, 0) != 0 && errno == ESRCH)
        return false;
    // A zombie has ended; only its parent has not reaped it yet.
    auto stat = ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
    if (!stat)
        return false;
    auto close = stat->rfind(')');
    return !(close != std::string::npos && close + 2 < stat->size() && (*stat)[close + 2] == 'Z');
}

} // namespace sandbox_service

TSandboxServiceHost::TSandboxServiceHost(std::string sandbox, std::string name)
    : FFolder(sandbox_service::Folder(sandbox, name)) {}

void TSandboxServiceHost::SetStatus(uint32_t state, uint32_t checkPoint, uint32_t waitHint) {
    sandbox_service::TLock lock(FFolder);
    TSandboxServiceState s{state, checkPoint, waitHint, getpid()};
    sandbox_service::WriteState(FFolder, s);
}

std::vector<uint32_t> TSandboxServiceHost::TakeControls() {
    std::vector<uint32_t> codes;
    sandbox_service::TLock lock(FFolder);
    auto text = ReadFileBytes(FFolder + "/controls");
    if (!text || text->empty())
        return codes;
    std::istringstream in(*text);
    uint32_t c;
    while (in >> c)
        codes.push_back(c);
    WriteFileAtomic(FFolder + "/controls", "");
    return codes;
}

} // namespace cv
