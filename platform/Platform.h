#pragma once
// The bundle of ports handed to the units. CreatePlatform picks the backends: win32 on
// Windows; elsewhere POSIX for the real facilities and the sandbox (named by the environment
// variable VORNIX_SANDBOX) for the Windows-only ones.
#include "CertificateStore.h"
#include "EventLog.h"
#include "InstanceBlock.h"
#include "NamedMutex.h"
#include "PortListeners.h"
#include "ProcessTable.h"
#include "Registry.h"
#include "ServiceManager.h"
#include "Shell.h"
#include "SystemInfo.h"
#include "Taskbar.h"
#include "TcpClient.h"
#include "WindowActivator.h"

#include <memory>
#include <string>

namespace cv {

struct TPlatform {
    std::shared_ptr<IServiceManager> Services;
    std::shared_ptr<IRegistry> Registry;
    std::shared_ptr<IProcessTable> Processes;
    std::shared_ptr<IInstanceBlock> Instances;
    std::shared_ptr<IWindowActivator> Windows;
    std::shared_ptr<INamedMutex> Mutexes;
    std::shared_ptr<IShell> Shell;
    std::shared_ptr<ICertificateStore> Certificates;
    std::shared_ptr<IEventLog> EventLog;
    std::shared_ptr<ISystemInfo> System;
    std::shared_ptr<ITcpClient> Tcp;
    std::shared_ptr<ITaskbar> Taskbar;
    std::shared_ptr<IPortListeners> Listeners;
};

// The sandbox folder, empty when none is set.
std::string SandboxFolder();

TPlatform CreatePlatform();

} // namespace cv
