#include "SandboxServiceManager.h"

#include "SandboxServiceHost.h"
#include "core/Text.h"
#include "platform/FileSystem.h"
#include "platform/posix/PosixSpawn.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

extern char** environ;

namespace cv {

namespace {

thread_local uint32_t tLastError = 0;

bool Fail(uint32_t code) {
    tLastError = code;
    return false;
}

bool IsAdministrator() {
    const char* rights = std::getenv("VORNIX_SANDBOX_RIGHTS");
    return !(rights && std::string(rights) == "user");
}

// What a standard user may ask for: connect, enumerate, lock status, read control.
constexpr uint32_t UserManagerRights = 0x0001 | 0x0004 | 0x0010 | 0x20000;
// Query config and status, enumerate dependents, interrogate, user controls, read control.
constexpr uint32_t UserServiceRights = 0x0001 | 0x0004 | 0x0008 | 0x0080 | 0x0100 | 0x20000;

struct TConfig {
    uint32_t StartType = SERVICE_DEMAND_START;
    std::vector<std::string> Command;
};

bool ReadConfig(const std::string& folder, TConfig& c) {
    auto text = ReadFileBytes(folder + "/config");
    if (!text)
        return false;
    std::istringstream in(*text);
    std::string line;
    while (std::getline(in, line)) {
        if (StartsWith(line, "StartType=")) {
            int32_t v = 0;
            if (TryStrToInt(line.substr(10), v))
                c.StartType = static_cast<uint32_t>(v);
        } else if (StartsWith(line, "Command=")) {
            c.Command = SplitAny(line.substr(8), "\t");
        }
    }
    return true;
}

void WriteConfig(const std::string& folder, const TConfig& c) {
    WriteFileAtomic(folder + "/config", "StartType=" + std::to_string(c.StartType) +
                                            "\nCommand=" + Join(c.Command, "\t") + "\n");
}

// The state as the manager reports it: a service whose process has gone is stopped.
TSandboxServiceState CurrentState(const std::string& folder) {
    TSandboxServiceState s;
    if (!sandbox_service::ReadState(folder, s))
        return {};
    if (s.State != SERVICE_STOPPED && !sandbox_service::ProcessAlive(s.Pid)) {
        s = {SERVICE_STOPPED, 0, 0, 0};
        sandbox_service::WriteState(folder, s);
    }
    return s;
}

// The service runs detached from its starter and is reaped by init, so a dead service is
// never mistaken for a live zombie. It runs in its own folder of the sandbox (a Windows
// service does not inherit its starter's working folder either), so everything of a sandbox
// can be found by its folders.
int Spawn(const std::vector<std::string>& command, const std::string& sandbox,
          const std::string& folder, const std::string& logFile) {
    TDetachedStart start;
    start.Program = command[0];
    start.Folder = folder;
    start.Arguments.assign(command.begin() + 1, command.end());
    for (char** e = environ; e && *e; ++e)
        if (!StartsWith(*e, "VORNIX_SANDBOX="))
            start.Environment.emplace_back(*e);
    start.Environment.push_back("VORNIX_SANDBOX=" + sandbox);
    start.OutputFile = logFile;
    return StartDetached(start);
}

class TSandboxService : public IServiceHandle {
public:
    TSandboxService(std::string sandbox, std::string name, uint32_t access)
        : FSandbox(std::move(sandbox)), FName(std::move(name)),
          FFolder(sandbox_service::Folder(FSandbox, FName)), FAccess(access) {}

    bool Start() override {
        if (!(FAccess & SERVICE_START))
            return Fail(ERROR_ACCESS_DENIED_CODE);
        sandbox_service::TLock lock(FFolder);
        TConfig config;
        if (!ReadConfig(FFolder, config))
            return Fail(ERROR_SERVICE_DOES_NOT_EXIST_CODE);
        if (config.StartType == SERVICE_DISABLED)
            return Fail(ERROR_SERVICE_DISABLED_CODE);
        if (CurrentState(FFolder).State != SERVICE_STOPPED)
            return Fail(ERROR_SERVICE_ALREADY_RUNNING_CODE);
        if (config.Command.empty() || config.Command[0].empty())
            return Fail(2);
        WriteFileAtomic(FFolder + "/controls", "");
        int pid = Spawn(config.Command, FSandbox, FFolder, FFolder + "/service.log");
        if (pid <= 0)
            return Fail(ERROR_SERVICE_REQUEST_TIMEOUT_CODE);
        sandbox_service::WriteState(FFolder, {SERVICE_START_PENDING, 0, 2000, pid});
        return true;
    }

    bool Control(uint32_t code, TServiceStatusInfo& status) override {
        uint32_t needed = code == SERVICE_CONTROL_STOP            ? SERVICE_STOP
                          : (code >= 128 && code <= 255)          ? SERVICE_USER_DEFINED_CONTROL
                                                                  : 0x0080;
        if (!(FAccess & needed))
            return Fail(ERROR_ACCESS_DENIED_CODE);
        sandbox_service::TLock lock(FFolder);
        if (!FileExists(FFolder + "/config"))
            return Fail(ERROR_SERVICE_DOES_NOT_EXIST_CODE);
        auto s = CurrentState(FFolder);
        status = {s.State, s.CheckPoint, s.WaitHint};
        if (s.State == SERVICE_STOPPED)
            return Fail(ERROR_SERVICE_NOT_ACTIVE_CODE);
        if (s.State == SERVICE_START_PENDING || s.State == SERVICE_STOP_PENDING)
            return Fail(ERROR_SERVICE_CANNOT_ACCEPT_CTRL_CODE);
        std::string queued = ReadFileBytes(FFolder + "/controls").value_or("");
        WriteFileAtomic(FFolder + "/controls", queued + std::to_string(code) + "\n");
        return true;
    }

    bool QueryStatus(TServiceStatusInfo& status) override {
        if (!(FAccess & SERVICE_QUERY_STATUS))
            return Fail(ERROR_ACCESS_DENIED_CODE);
        sandbox_service::TLock lock(FFolder);
        if (!FileExists(FFolder + "/config"))
            return Fail(ERROR_SERVICE_DOES_NOT_EXIST_CODE);
        auto s = CurrentState(FFolder);
        status = {s.State, s.CheckPoint, s.WaitHint};
        return true;
    }

    bool QueryProcessId(uint32_t& processId) override {
        processId = 0;
        if (!(FAccess & SERVICE_QUERY_STATUS))
            return Fail(ERROR_ACCESS_DENIED_CODE);
        sandbox_service::TLock lock(FFolder);
        if (!FileExists(FFolder + "/config"))
            return Fail(ERROR_SERVICE_DOES_NOT_EXIST_CODE);
        auto s = CurrentState(FFolder);
        processId = s.State == SERVICE_STOPPED ? 0 : static_cast<uint32_t>(s.Pid);
        return true;
    }

    bool QueryStartType(uint32_t& startType) override {
        if (!(FAccess & SERVICE_QUERY_CONFIG))
            return Fail(ERROR_ACCESS_DENIED_CODE);
        sandbox_service::TLock lock(FFolder);
        TConfig config;
        if (!ReadConfig(FFolder, config))
            return Fail(ERROR_SERVICE_DOES_NOT_EXIST_CODE);
        startType = config.StartType;
        return true;
    }

    bool ChangeStartType(uint32_t startType) override {
        if (!(FAccess & SERVICE_CHANGE_CONFIG))
            return Fail(ERROR_ACCESS_DENIED_CODE);
        // Boot and system start are for drivers only.
        if (startType < SERVICE_AUTO_START || startType > SERVICE_DISABLED)
            return Fail(ERROR_INVALID_PARAMETER_CODE);
        sandbox_service::TLock lock(FFolder);
        TConfig config;
        if (!ReadConfig(FFolder, config))
            return Fail(ERROR_SERVICE_DOES_NOT_EXIST_CODE);
        config.StartType = startType;
        WriteConfig(FFolder, config);
        return true;
    }

private:
    std::string FSandbox, FName, FFolder;
    uint32_t FAccess;
};

class TSandboxManagerHandle : public IServiceManagerHandle {
public:
    explicit TSandboxManagerHandle(std::string sandbox) : FSandbox(std::move(sandbox)) {}
    std::unique_ptr<IServiceHandle> OpenService(const std::string& name,
                                                uint32_t access) override {
        if (!IsAdministrator() && (access & ~UserServiceRights)) {
            Fail(ERROR_ACCESS_DENIED_CODE);
            return {};
        }
        // Service names are not case-sensitive on Windows; the sandbox keeps one spelling.
        if (!FileExists(sandbox_service::Folder(FSandbox, name) + "/config")) {
            Fail(ERROR_SERVICE_DOES_NOT_EXIST_CODE);
            return {};
        }
        return std::make_unique<TSandboxService>(FSandbox, name, access);
    }

private:
    std::string FSandbox;
};

} // namespace

TSandboxServiceManager::TSandboxServiceManager(std::string sandbox)
    : FSandbox(std::move(sandbox)) {}

std::unique_ptr<IServiceManagerHandle> TSandboxServiceManager::Open(uint32_t access) {
    if (FSandbox.empty() || !DirectoryExists(FSandbox)) {
        Fail(ERROR_ACCESS_DENIED_CODE);
        return {};
    }
    if (!IsAdministrator() && (access & ~UserManagerRights)) {
        Fail(ERROR_ACCESS_DENIED_CODE);
        return {};
    }
    return std::make_unique<TSandboxManagerHandle>(FSandbox);
}

uint32_t TSandboxServiceManager::LastError() const { return tLastError; }

bool TSandboxServiceManager::RegisterService(const std::string& sandbox, const std::string& name,
                                             uint32_t startType,
                                             const std::vector<std::string>& command) {
    const std::string folder = sandbox_service::Folder(sandbox, name);
    if (!ForceDirectories(folder))
        return false;
    sandbox_service::TLock lock(folder);
    WriteConfig(folder, {startType, command});
    sandbox_service::WriteState(folder, {SERVICE_STOPPED, 0, 0, 0});
    WriteFileAtomic(folder + "/controls", "");
    return true;
}

bool TSandboxServiceManager::DeleteService(const std::string& sandbox, const std::string& name) {
    const std::string folder = sandbox_service::Folder(sandbox, name);
    sandbox_service::TLock lock(folder);
    return DeleteFileAt(folder + "/config");
}

int TSandboxServiceManager::ServiceProcessId(const std::string& sandbox, const std::string& name) {
    const std::string folder = sandbox_service::Folder(sandbox, name);
    sandbox_service::TLock lock(folder);
    auto s = CurrentState(folder);
    return s.State == SERVICE_STOPPED ? 0 : s.Pid;
}

} // namespace cv
