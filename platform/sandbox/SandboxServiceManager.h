#pragma once
// The sandbox's service manager. A service is a folder under <sandbox>/services/<name> with
// its configuration, its status line and a queue of control codes, each change made under an
// flock so every process using the same sandbox sees the same state. Starting a service
// spawns its command as a detached process; that process reports its own states through
// TSandboxServiceHost. A service process that dies is seen as stopped, as Windows' manager
// sees it. Refusals follow Windows: no such service, start of a disabled or running service,
// a control to a stopped one, missing rights (VORNIX_SANDBOX_RIGHTS=user: no administrator).
#include "platform/ServiceManager.h"

#include <string>
#include <vector>

namespace cv {

class TSandboxServiceManager : public IServiceManager {
public:
    explicit TSandboxServiceManager(std::string sandbox);
    std::unique_ptr<IServiceManagerHandle> Open(uint32_t access) override;
    uint32_t LastError() const override;

    // Registration, as an installer would do it (CreateServiceW / DeleteService).
    static bool RegisterService(const std::string& sandbox, const std::string& name,
                                uint32_t startType, const std::vector<std::string>& command);
    static bool DeleteService(const std::string& sandbox, const std::string& name);
    // Pid of the service's process, 0 when none runs (tests end it with this).
    static int ServiceProcessId(const std::string& sandbox, const std::string& name);

private:
    std::string FSandbox;
};

} // namespace cv
