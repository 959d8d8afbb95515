#include "PortHolder.h"

#include "core/Text.h"
#include "platform/FileSystem.h"

#include <utility>
#include <vector>

namespace cv {

TIsOwnServer OwnServerProcesses(std::set<uint32_t> processIds) {
    processIds.erase(0);
    return [ids = std::move(processIds)](const TPortListener& l) {
        return ids.count(l.ProcessID) != 0;
    };
}

TIsOwnServer SystemWebServer(IServiceManager& services, IProcessTable& processes,
                             const std::string& installFolder) {
    uint32_t servicePid = 0;
    if (auto scm = services.Open(SC_MANAGER_CONNECT))
        if (auto service = scm->OpenService("Corvane", SERVICE_QUERY_STATUS))
            service->QueryProcessId(servicePid);
    std::string folder = NativePath(installFolder);
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\')
        folder += NativePath("\\");
    return [servicePid, folder, &processes](const TPortListener& l) {
        if (!l.OwnerKnown())
            return false;
        if (l.ProcessID == servicePid)
            return true;
        if (folder.size() < 2)
            return false;
        auto process = processes.Open(l.ProcessID, PROCESS_QUERY_AND_READ);
        // Paths on Windows ignore letter case.
        return process && StartsWithText(NativePath(process->ImagePath()), folder);
    };
}

std::optional<TPortListener> FindPortHolder(IPortListeners& listeners, uint16_t port,
                                            const TIsOwnServer& isOwnServer) {
    std::vector<TPortListener> found;
    if (port == 0 || !listeners.Find(port, found))
        return std::nullopt;
    std::optional<TPortListener> unknown;
    std::optional<TPortListener> known;
    for (TPortListener& l : found) {
        if (isOwnServer && isOwnServer(l))
            continue;
        if (!l.OwnerKnown()) {
            if (!unknown)
                unknown = std::move(l);
        } else if (!known || l.ProcessID < known->ProcessID) {
            known = std::move(l);
        }
    }
    return known ? known : unknown;
}

std::string PortHolderText(uint16_t port, const TPortListener& holder) {
    std::string text = "Port " + std::to_string(port) + " is in use by ";
    if (!holder.OwnerKnown())
        return text + "another program";
    std::string name = holder.ExeName;
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    if (name.empty())
        name = "another program";
    return text + name + " (PID " + std::to_string(holder.ProcessID) + ")";
}

std::string PortInUseWarning(IPortListeners& listeners, uint16_t port,
                             const TIsOwnServer& isOwnServer) {
    const std::optional<TPortListener> holder = FindPortHolder(listeners, port, isOwnServer);
    return holder ? PortHolderText(port, *holder) : std::string();
}

} // namespace cv
