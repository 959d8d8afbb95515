#include "WebServerSettings.h"

#include "core/Text.h"

namespace cv {

namespace {

void WriteAttribute(pugi::xml_node& node, const char* name, const std::string& value) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a)
        a = node.append_attribute(name);
    a.set_value(value.c_str());
}

void WriteAttributes(pugi::xml_node node, const TWebServerSettingField& f) {
    WriteAttribute(node, "Port", std::to_string(f.FPort));
    WriteAttribute(node, "HostName", f.FHostName);
    WriteAttribute(node, "UseHTTPS", f.FUseHTTPS ? "true" : "false");
    WriteAttribute(node, "RedirectHTTP", f.FForwardHTTP ? "true" : "false");
}

} // namespace

TWebServerSettings::TWebServerSettings(const std::string& ComputerName, const std::string& appData)
    : FComputerName(ComputerName),
      FWebServerSettings(std::make_unique<TAplSettings>(WebSettingsName, appData)),
      FWebServerSettingFields(ComputerName) {
    if (FWebServerSettings->SettingFileExists()) {
        LoadSettings();
        return;
    }
    auto doc = FWebServerSettings->GetSettings();
    WriteAttributes(doc->document_element(), FWebServerSettingFields);
    // Made while the window is created: a folder that cannot be written must not keep the
    // program from starting. The defaults stay in force and the next save tries again.
    try {
        FWebServerSettings->SaveDocument(*doc);
    } catch (const std::exception&) {
    }
}

void TWebServerSettings::ReadFrom(const pugi::xml_node& root) {
    auto& f = FWebServerSettingFields;
    f.FPort = ReadIntAttribute(root, "Port", 443);
    f.FHostName = ReadStringAttribute(root, "HostName", FComputerName);
    f.FUseHTTPS = ReadBoolAttribute(root, "UseHTTPS", false);
    f.FForwardHTTP = ReadBoolAttribute(root, "RedirectHTTP", false);
}

void TWebServerSettings::LoadSettings() {
    auto doc = FWebServerSettings->GetSettings();
    ReadFrom(doc->document_element());
}

void TWebServerSettings::SaveSettings(int32_t Port, const std::string& HostName, bool UseHTTPS,
                                      bool RedirectHTTP) {
    auto& f = FWebServerSettingFields;
    f.FPort = Port;
    f.FHostName = HostName;
    f.FUseHTTPS = UseHTTPS;
    f.FForwardHTTP = RedirectHTTP;
    auto doc = FWebServerSettings->GetSettings();
    WriteAttributes(doc->document_element(), f);
    FWebServerSettings->SaveDocument(*doc);
}

std::string OriginURL(bool useHTTPS, bool webSocket, const std::string& host, int32_t port) {
    const std::string scheme =
        webSocket ? (useHTTPS ? "wss://" : "ws://") : (useHTTPS ? "https://" : "http://");
    const int32_t defaultPort = useHTTPS ? 443 : 80;
    if (port == defaultPort)
        return scheme + host;
    return scheme + host + ":" + std::to_string(port);
}

std::string HostFromOriginURL(const std::string& url, const std::string& computerName) {
    const std::vector<std::string> parts = SplitAny(url, ":");
    if (parts.size() < 2)
        return computerName;
    const std::string host = ReplaceAll(parts[1], "/", "");
    // "https://" names no host; an empty host name is never used.
    return host.empty() ? computerName : host;
}

int32_t PortFromRegistry(const std::string& value) {
    int32_t port = 0;
    if (value.empty() || !TryStrToInt(Trim(value), port) || !WebPortInRange(port))
        return 443;
    return port;
}

std::string TWebServerSettings::GetMyComputerName(ISystemInfo& system) {
    std::string name = system.ComputerName();
    if (name.size() > 2 && name.back() == '\0')
        name.pop_back();
    return name;
}

} // namespace cv
