// The web server's settings from outside the program: a per-user settings file of arbitrary
// bytes read, saved and read again to the same values; and registry values of arbitrary text
// ("Port", "WebOriginsURL") read as the panel reads them, their URLs composed and read back.
#include "web/WebServerSettings.h"

#include "platform/FileSystem.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// Made once per run and removed when the run ends; kept alive for the removal at exit.
const std::string& Folder() {
    static const std::string* const folder = [] {
        auto* f = new std::string(std::filesystem::temp_directory_path().string() +
                                  "/vornix-web-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(*f + "/Vekta");
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(Folder(), ec);
        });
        return f;
    }();
    return *folder;
}

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string computer = "pc1.plant.local";

    // Registry values: the input split at its first zero byte into "Port" and "WebOriginsURL".
    const size_t zero = input.find('\0');
    const std::string portValue = input.substr(0, zero);
    const std::string url = zero == std::string::npos ? input : input.substr(zero + 1);
    const int32_t port = cv::PortFromRegistry(portValue);
    Check(cv::WebPortInRange(port));
    const std::string host = cv::HostFromOriginURL(url, computer);
    Check(!host.empty());
    Check(host.find(':') == std::string::npos && host.find('/') == std::string::npos);
    for (bool https : {true, false})
        Check(cv::HostFromOriginURL(cv::OriginURL(https, false, host, port), computer) == host);

    // The same bytes as the per-user file.
    cv::WriteFileAtomic(Folder() + "/Vekta/VornixWebSettings_Settings.xml", input);
    cv::TWebServerSettings settings(computer, Folder());
    const cv::TWebServerSettingField read = settings.GetActiveSettings();
    settings.SaveSettings(read.Port(), read.HostName(), read.UseHTTPS(), read.ForwardHTTP());
    settings.LoadSettings();
    const cv::TWebServerSettingField& again = settings.GetActiveSettings();
    Check(again.Port() == read.Port() && again.UseHTTPS() == read.UseHTTPS() &&
          again.ForwardHTTP() == read.ForwardHTTP());
    return 0;
}
