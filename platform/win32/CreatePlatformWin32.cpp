#include "platform/Platform.h"
#include "platform/Unavailable.h"

#include "Win32EventLog.h"
#include "Win32CertificateStore.h"
#include "Win32InstanceBlock.h"
#include "Win32NamedMutex.h"
#include "Win32PortListeners.h"
#include "Win32ProcessTable.h"
#include "Win32Registry.h"
#include "Win32ServiceManager.h"
#include "Win32Shell.h"
#include "Win32SystemInfo.h"
#include "Win32Taskbar.h"
#include "Win32TcpClient.h"
#include "Win32WindowActivator.h"

namespace cv {

// Windows has the real facilities; there is no sandbox.
std::string SandboxFolder() {
    return {};
}

TPlatform CreatePlatform() {
    TPlatform p;
    p.Services = std::make_shared<TWin32ServiceManager>();
    p.Processes = std::make_shared<TWin32ProcessTable>();
    p.Mutexes = std::make_shared<TWin32NamedMutex>();
    p.Instances = std::make_shared<TWin32InstanceBlock>();
    p.Windows = std::make_shared<TWin32WindowActivator>();
    p.System = std::make_shared<TWin32SystemInfo>();
    p.Tcp = std::make_shared<TWin32TcpClient>();
    p.Registry = std::make_shared<TWin32Registry>();
    p.Shell = std::make_shared<TWin32Shell>();
    p.EventLog = std::make_shared<TWin32EventLog>();
    p.Certificates = std::make_shared<TWin32CertificateStore>();
    p.Listeners = std::make_shared<TWin32PortListeners>();
    p.Taskbar = std::make_shared<TWin32Taskbar>();
    FillUnavailable(p);
    return p;
}

} // namespace cv
