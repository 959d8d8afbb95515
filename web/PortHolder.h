#pragma once
// Who else holds the web server's port. The web server cannot start while another program
// listens on its port, on any local address; the settings panel warns when such a port is
// accepted, and Start asks before starting anyway.
#include "platform/PortListeners.h"
#include "platform/ProcessTable.h"
#include "platform/ServiceManager.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

namespace cv {

// True for a listener that is the system's own web server (which may hold its port).
using TIsOwnServer = std::function<bool(const TPortListener&)>;

// The own web server recognised by its process ids (0 never counts as one).
TIsOwnServer OwnServerProcesses(std::set<uint32_t> processIds);

// The system's own web server: a program below the install folder (the installation's web
// server), or the process of the "Corvane" service (the simulated system serves from it).
// The service's process is asked once, when the predicate is made.
TIsOwnServer SystemWebServer(IServiceManager& services, IProcessTable& processes,
                             const std::string& installFolder);

// The listener on `port` that is not the own web server: the lowest process id among the known
// owners, else one whose owner cannot be seen. Nothing when there is none, for port 0, and when
// the socket tables cannot be read (the check only warns; it never stands in the way).
std::optional<TPortListener> FindPortHolder(IPortListeners& listeners, uint16_t port,
                                            const TIsOwnServer& isOwnServer = {});

// "Port 8443 is in use by NAME (PID 1234)"; "Port 8443 is in use by another program" when the
// owner cannot be seen. Control characters of the name become '?', so a name cannot break the
// label's line.
std::string PortHolderText(uint16_t port, const TPortListener& holder);

// The two together: the warning text, or empty when the port is free for the web server.
std::string PortInUseWarning(IPortListeners& listeners, uint16_t port,
                             const TIsOwnServer& isOwnServer = {});

} // namespace cv
