#pragma once
// The web server's settings as this user last had them before local-only mode was switched on
// (port, host name, HTTPS, redirect), kept in the per-user settings file "VornixWebSettings",
// so that switching local-only mode off brings them back. Also the computer's name, the
// default host name of the web server and the subject of its default certificates.
#include "platform/SystemInfo.h"
#include "shell/DataStore.h"

#include <cstdint>
#include <memory>
#include <string>

namespace cv {

inline constexpr const char* WebSettingsName = "VornixWebSettings";

inline bool WebPortInRange(int32_t port) {
    return port >= 1 && port <= 65535;
}

// "https://host", "wss://host:8443", "http://host:443": the port is left out when it is the
// scheme's default (443 with HTTPS, 80 without).
std::string OriginURL(bool useHTTPS, bool webSocket, const std::string& host, int32_t port);
// The host name of a "WebOriginsURL" value: its second ":"-separated part without "/"; the
// computer name for a value with fewer than two parts, or with no host in it.
std::string HostFromOriginURL(const std::string& url, const std::string& computerName);
// The "Port" value: empty, not a decimal number, or no port (outside 1 to 65535) gives 443.
int32_t PortFromRegistry(const std::string& value);

class TWebServerSettingField {
public:
    explicit TWebServerSettingField(std::string HostName) : FHostName(std::move(HostName)) {}

    int32_t Port() const { return FPort; }
    const std::string& HostName() const { return FHostName; }
    bool UseHTTPS() const { return FUseHTTPS; }
    bool ForwardHTTP() const { return FForwardHTTP; }
    bool UseLocalHostOnly() const { return FUseLocalHostOnly; }

    int32_t FPort = 443;
    std::string FHostName;
    bool FUseHTTPS = true;
    bool FForwardHTTP = true;
    bool FUseLocalHostOnly = false;
};

class TWebServerSettings {
public:
    // Creates the per-user file with 443, the computer name, HTTPS and redirect when it does
    // not exist yet; otherwise reads it. `appData` is the roaming application data folder.
    TWebServerSettings(const std::string& ComputerName, const std::string& appData);

    // Reads the file again.
    void LoadSettings();
    // Keeps the four values and writes them to the file (read, change, replace: whatever else
    // the file holds stays). A file that cannot be written raises.
    void SaveSettings(int32_t Port, const std::string& HostName, bool UseHTTPS, bool RedirectHTTP);
    const TWebServerSettingField& GetActiveSettings() const { return FWebServerSettingFields; }

    // The computer's fully qualified DNS name; empty when it cannot be had.
    static std::string GetMyComputerName(ISystemInfo& system);

    const TAplSettings& SettingsObject() const { return *FWebServerSettings; }

private:
    void ReadFrom(const pugi::xml_node& root);

    std::string FComputerName; // the host name of a file without one
    std::unique_ptr<TAplSettings> FWebServerSettings;
    TWebServerSettingField FWebServerSettingFields;
};

} // namespace cv
