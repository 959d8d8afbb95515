#include "PosixSystemInfo.h"

#include "core/DateTime.h"
#include "platform/FileSystem.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <unistd.h>

namespace cv {

TPosixSystemInfo::TPosixSystemInfo(std::string sandbox) : FSandbox(std::move(sandbox)) {}

std::string TPosixSystemInfo::ShortComputerName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    std::string s = name;
    auto dot = s.find('.');
    return dot == std::string::npos ? s : s.substr(0, dot);
}

std::string TPosixSystemInfo::ComputerName() {
    if (const char* forced = std::getenv("VORNIX_COMPUTER_NAME"); forced && *forced)
        return forced;
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    addrinfo hints{};
    hints.ai_flags = AI_CANONNAME;
    addrinfo* res = nullptr;
    std::string result = name;
    if (getaddrinfo(name, nullptr, &hints, &res) == 0 && res) {
        if (res->ai_canonname && std::strchr(res->ai_canonname, '.'))
            result = res->ai_canonname;
        freeaddrinfo(res);
    }
    return result;
}

bool TPosixSystemInfo::IsWow64() {
    // The sandbox can pretend to be a 32-bit process on 64-bit Windows.
    return !FSandbox.empty() && FileExists(FSandbox + "/wow64");
}

std::string TPosixSystemInfo::WindowsFolder() {
    if (!FSandbox.empty())
        return FSandbox + "/Windows";
    const char* w = std::getenv("WINDIR");
    return w ? w : "";
}

std::string TPosixSystemInfo::RoamingAppData() {
    if (!FSandbox.empty())
        return FSandbox + "/AppData/Roaming";
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        return x;
    if (const char* h = std::getenv("HOME"); h && *h)
        return std::string(h) + "/.config";
    return {};
}

void TPosixSystemInfo::DebugOutput(const std::string& line) {
    if (std::getenv("VORNIX_DEBUG_OUTPUT"))
        std::fprintf(stderr, "%s\n", line.c_str());
}

int TPosixSystemInfo::UtcOffsetMinutes() { return CurrentUtcOffsetMinutes(); }

uint32_t TPosixSystemInfo::CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

uint32_t TPosixSystemInfo::CurrentThreadId() { return static_cast<uint32_t>(gettid()); }

} // namespace cv
