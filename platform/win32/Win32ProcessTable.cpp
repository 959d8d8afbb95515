#include "Win32ProcessTable.h"

#include "ScopedHandle.h"
#include "Win32Text.h"

#include <tlhelp32.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace cv {
namespace {

thread_local uint32_t tLastError = 0;

bool Failed() {
    tLastError = ::GetLastError();
    return false;
}

class TProcess : public IProcessHandle {
public:
    explicit TProcess(HANDLE h) : FHandle(h) {}

    std::string ImagePath() override {
        wchar_t path[MAX_PATH + 1] = {};
        DWORD size = MAX_PATH;
        if (!::QueryFullProcessImageNameW(FHandle.Get(), 0, path, &size)) {
            Failed();
            return {};
        }
        return win32::Narrow(std::wstring_view(path, size));
    }

    bool Account(std::string& user, std::string& domain) override {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(FHandle.Get(), TOKEN_QUERY, &token))
            return Failed();
        win32::THandle tokenHandle(token);
        DWORD needed = 0;
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &needed);
        if (needed == 0)
            return Failed();
        // TOKEN_USER holds pointers; keep the buffer pointer-aligned.
        std::vector<void*> buffer((needed + sizeof(void*) - 1) / sizeof(void*));
        if (!::GetTokenInformation(token, TokenUser, buffer.data(),
                                   static_cast<DWORD>(buffer.size() * sizeof(void*)), &needed))
            return Failed();
        PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
        wchar_t name[256] = {};
        wchar_t dom[256] = {};
        DWORD nameSize = 256, domSize = 256;
        SID_NAME_USE use{};
        if (!::LookupAccountSidW(nullptr, sid, name, &nameSize, dom, &domSize, &use))
            return Failed();
        user = win32::Narrow(name);
        domain = win32::Narrow(dom);
        return true;
    }

    bool CreationTime(uint64_t& fileTime) override {
        FILETIME created{}, exited{}, kernel{}, userTime{};
        if (!::GetProcessTimes(FHandle.Get(), &created, &exited, &kernel, &userTime))
            return Failed();
        fileTime = (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
        return true;
    }

    bool Terminate(uint32_t exitCode) override {
        if (!::TerminateProcess(FHandle.Get(), exitCode))
            return Failed();
        return true;
    }

    // Needs SYNCHRONIZE, which PROCESS_ALL_ACCESS includes.
    bool WaitForExit(int timeoutMs) override {
        const DWORD r = ::WaitForSingleObject(FHandle.Get(), static_cast<DWORD>(std::max(0, timeoutMs)));
        if (r == WAIT_FAILED)
            return Failed();
        return r == WAIT_OBJECT_0;
    }

private:
    win32::THandle FHandle;
};

} // namespace

bool TWin32ProcessTable::Snapshot(std::vector<TSnapshotEntry>& out) {
    out.clear();
    win32::TFileHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap)
        return Failed();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    if (!::Process32FirstW(snap.Get(), &entry))
        return Failed();
    do {
        TSnapshotEntry e;
        e.ProcessID = entry.th32ProcessID;
        e.ThreadCount = entry.cntThreads;
        e.ExeFile = win32::Narrow(entry.szExeFile);
        out.push_back(std::move(e));
        entry.dwSize = sizeof(entry);
    } while (::Process32NextW(snap.Get(), &entry));
    return true;
}

std::unique_ptr<IProcessHandle> TWin32ProcessTable::Open(uint32_t processId, uint32_t access) {
    HANDLE h = ::OpenProcess(access, FALSE, processId);
    if (!h) {
        Failed();
        return {};
    }
    return std::make_unique<TProcess>(h);
}

std::string TWin32ProcessTable::FileVersion(const std::string& path) {
    std::wstring wide = win32::Widen(path);
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(wide.c_str(), &ignored);
    if (size == 0) {
        Failed();
        return {};
    }
    std::vector<uint8_t> data(size);
    if (!::GetFileVersionInfoW(wide.c_str(), 0, size, data.data())) {
        Failed();
        return {};
    }
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) ||
        !info || infoSize < sizeof(VS_FIXEDFILEINFO)) {
        Failed();
        return {};
    }
    char text[64];
    std::snprintf(text, sizeof(text), "%d.%d.%d.%d", HIWORD(info->dwFileVersionMS),
                  LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                  LOWORD(info->dwFileVersionLS));
    return text;
}

uint32_t TWin32ProcessTable::CurrentProcessId() {
    return ::GetCurrentProcessId();
}

void TWin32ProcessTable::EnableDebugPrivilege() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        Failed();
        return;
    }
    win32::THandle tokenHandle(token); // closed in every case
    TOKEN_PRIVILEGES privileges{};
    if (!::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid)) {
        Failed();
        return;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // One privilege's previous state: count plus one LUID_AND_ATTRIBUTES, 16 bytes.
    alignas(TOKEN_PRIVILEGES) uint8_t previous[16] = {};
    static_assert(sizeof(previous) == sizeof(TOKEN_PRIVILEGES));
    DWORD returned = 0;
    if (!::AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(previous),
                                 reinterpret_cast<TOKEN_PRIVILEGES*>(previous), &returned))
        Failed();
}

uint32_t TWin32ProcessTable::LastError() const {
    return tLastError;
}

} // namespace cv
