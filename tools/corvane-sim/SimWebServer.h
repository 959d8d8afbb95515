#pragma once
// The simulated system's web server. It starts with the service and reads the "Corvane
// Pro\WebUI" values once, as the system's own web server does when the system starts:
// HTTPS on "Port" with the certificate whose serial text is "CertificateSerial" and its
// private key from the sandbox's "My" store, plain HTTP when "Encrypted" is exactly "False",
// a listener that redirects plain requests to HTTPS when "ForwardHTTP" is not "False" (on
// port 80, or the port in <sandbox>/sim/web-redirect-port, when that port can be had), and
// every listener on 127.0.0.1 alone when "LocalhostUseOnly" is exactly "True". It answers
// GET and HEAD of "/" with a small status page. Without a usable certificate there is no
// HTTPS and so no redirect either. The flag file <sandbox>/sim/web-off keeps it from starting
// (for tests that start the service with a certificate but want no listeners).
//
// What it serves, or why not, goes to standard output (the service's log) and, once the
// listeners are set up, into <sandbox>/sim/webserver, which is removed when it stops.
#include "platform/Registry.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace sim {

struct TWebSettings {
    int Port = 443;
    bool Encrypted = true;
    std::string CertificateSerial;
    bool ForwardHTTP = true;
    bool LocalOnly = false;
    std::string HostName;    // from "WebOriginsURL"; the computer name when it has none
    std::string PortProblem; // the "Port" value when it was no port (443 is used then)
};

TWebSettings ReadWebSettings(cv::IRegistry& registry, const std::string& computerName);

class TWebServer {
public:
    explicit TWebServer(std::string sandbox);
    ~TWebServer();
    TWebServer(const TWebServer&) = delete;
    TWebServer& operator=(const TWebServer&) = delete;

    void Start();
    void Stop();

    struct TListener; // one listening socket and its thread

private:
    void Log(const std::string& line);

    std::string FSandbox;
    std::vector<std::unique_ptr<TListener>> FListeners;
    std::atomic<bool> FStopping{false};
    int FWake[2] = {-1, -1}; // written to end the listeners' waits
};

} // namespace sim
