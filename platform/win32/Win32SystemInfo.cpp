#include "Win32SystemInfo.h"

#include "Win32Text.h"

#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

namespace cv {

std::string TWin32SystemInfo::ComputerName() {
    DWORD size = 0;
    ::GetComputerNameExW(ComputerNamePhysicalDnsFullyQualified, nullptr, &size);
    if (size == 0)
        return {};
    std::wstring name(size, L'\0');
    if (!::GetComputerNameExW(ComputerNamePhysicalDnsFullyQualified, name.data(), &size))
        return {};
    name.resize(size);
    return win32::Narrow(name);
}

std::string TWin32SystemInfo::ShortComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &size))
        return {};
    return win32::Narrow(std::wstring_view(name, size));
}

bool TWin32SystemInfo::IsWow64() {
    // Looked up at run time: older systems have no such entry point.
    using TIsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64Process = win32::LookupProc<TIsWow64Process>(L"kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    if (!isWow64Process || !isWow64Process(::GetCurrentProcess(), &wow64))
        return false;
    return wow64 != FALSE;
}

std::string TWin32SystemInfo::WindowsFolder() {
    DWORD size = ::GetEnvironmentVariableW(L"WINDIR", nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    DWORD n = ::GetEnvironmentVariableW(L"WINDIR", value.data(), size);
    if (n == 0 || n >= size)
        return {};
    value.resize(n);
    return win32::Narrow(value);
}

std::string TWin32SystemInfo::RoamingAppData() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return win32::Narrow(path);
}

void TWin32SystemInfo::DebugOutput(const std::string& line) {
    ::OutputDebugStringW(win32::Widen(line).c_str());
}

int TWin32SystemInfo::UtcOffsetMinutes() {
    TIME_ZONE_INFORMATION tz{};
    DWORD id = ::GetTimeZoneInformation(&tz);
    // Bias is minutes to add to local time to get UTC, so east is negative there.
    LONG bias = tz.Bias;
    if (id == TIME_ZONE_ID_DAYLIGHT)
        bias += tz.DaylightBias;
    else if (id == TIME_ZONE_ID_STANDARD)
        bias += tz.StandardBias;
    return -static_cast<int>(bias);
}

bool TWin32SystemInfo::IsNtPlatform() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!::GetVersionExW(&info))
        return true; // a 64-bit program runs only on the NT family
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

uint32_t TWin32SystemInfo::CurrentProcessId() {
    return ::GetCurrentProcessId();
}

uint32_t TWin32SystemInfo::CurrentThreadId() {
    return ::GetCurrentThreadId();
}

bool TWin32SystemInfo::EnterComApartment() {
    // S_FALSE (already in this apartment, as Qt puts its GUI thread) also wants its
    // CoUninitialize; a thread in the other kind of apartment gets none.
    return SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

void TWin32SystemInfo::LeaveComApartment() {
    ::CoUninitialize();
}

} // namespace cv
