#include "Unavailable.h"

namespace cv {

std::unique_ptr<IServiceManagerHandle> TUnavailableServiceManager::Open(uint32_t) { return {}; }
uint32_t TUnavailableServiceManager::LastError() const { return ERROR_ACCESS_DENIED_CODE; }

void FillUnavailable(TPlatform& p) {
    if (!p.Services)
        p.Services = std::make_shared<TUnavailableServiceManager>();
    if (!p.Registry)
        p.Registry = std::make_shared<TUnavailableRegistry>();
    if (!p.Certificates)
        p.Certificates = std::make_shared<TUnavailableCertificateStore>();
    if (!p.EventLog)
        p.EventLog = std::make_shared<TUnavailableEventLog>();
    if (!p.Mutexes)
        p.Mutexes = std::make_shared<TUnavailableNamedMutex>();
    if (!p.Shell)
        p.Shell = std::make_shared<TUnavailableShell>();
    if (!p.Taskbar)
        p.Taskbar = std::make_shared<TUnavailableTaskbar>();
    if (!p.Tcp)
        p.Tcp = std::make_shared<TUnavailableTcpClient>();
    if (!p.Listeners)
        p.Listeners = std::make_shared<TUnavailablePortListeners>();
}

} // namespace cv
