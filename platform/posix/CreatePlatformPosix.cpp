#include "platform/Platform.h"

#include "PosixInstanceBlock.h"
#include "PosixNamedMutex.h"
#include "PosixPortListeners.h"
#include "PosixProcessTable.h"
#include "PosixShell.h"
#include "PosixSystemInfo.h"
#include "PosixTcpClient.h"
#include "PosixWindowActivator.h"
#include "platform/Unavailable.h"
#include "platform/sandbox/SandboxEventLog.h"
#include "platform/sandbox/SandboxCertificateStore.h"
#include "platform/sandbox/SandboxRegistry.h"
#include "platform/sandbox/SandboxServiceManager.h"

#include <cstdlib>

namespace cv {

std::string SandboxFolder() {
    const char* s = std::getenv("VORNIX_SANDBOX");
    return s ? s : "";
}

TPlatform CreatePlatform() {
    TPlatform p;
    const std::string sandbox = SandboxFolder();
    p.System = std::make_shared<TPosixSystemInfo>(sandbox);
    p.Instances = std::make_shared<TPosixInstanceBlock>();
    p.Windows = std::make_shared<TPosixWindowActivator>();
    p.Processes = std::make_shared<TPosixProcessTable>();
    p.Mutexes = std::make_shared<TPosixNamedMutex>();
    p.Tcp = std::make_shared<TPosixTcpClient>();
    p.Shell = std::make_shared<TPosixShell>();
    // The machine's own ports, with or without a sandbox: a web server in one listens on them.
    p.Listeners = std::make_shared<TPosixPortListeners>();
    // The Windows-only facilities exist only inside a sandbox.
    if (!sandbox.empty()) {
        p.Services = std::make_shared<TSandboxServiceManager>(sandbox);
        p.Registry = std::make_shared<TSandboxRegistry>(sandbox);
        p.EventLog = std::make_shared<TSandboxEventLog>(sandbox);
        p.Certificates = std::make_shared<TSandboxCertificateStore>(sandbox);
    }
    FillUnavailable(p);
    return p;
}

} // namespace cv
