#include "PortHolder.h"

#include <utility>
#include <vector>

namespace cv {

TIsOwnServer OwnServerProcesses(std::set<uint32_t> processIds) {
    processIds.erase(0);
    return [ids = std::move(processIds)](const TPortListener& l) {
        return ids.count(l.ProcessID) != 0;
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
