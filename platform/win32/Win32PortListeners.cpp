#include "Win32PortListeners.h"

#include "ScopedHandle.h"
#include "Win32Text.h"

// iphlpapi.h needs the socket and system types declared before it.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <iphlpapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <tuple>
#include <vector>

namespace cv {

namespace {

struct TRow {
    uint32_t ProcessID;
    std::string Address;
};

std::string AddressText(int family, const void* address) {
    wchar_t text[INET6_ADDRSTRLEN] = {};
    if (!::InetNtopW(family, address, text, INET6_ADDRSTRLEN))
        return {};
    return win32::Narrow(text);
}

// The listener table of one address family into DWORD-aligned storage. The table may grow
// between the size query and the read; a few tries cover that. False when it cannot be read.
bool ReadTable(ULONG family, std::vector<DWORD>& table) {
    DWORD size = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        table.assign(size / sizeof(DWORD) + 1, 0);
        size = static_cast<DWORD>(table.size() * sizeof(DWORD));
        const DWORD r = ::GetExtendedTcpTable(table.data(), &size, FALSE, family,
                                              TCP_TABLE_OWNER_PID_LISTENER, 0);
        if (r == NO_ERROR)
            return true;
        if (r != ERROR_INSUFFICIENT_BUFFER)
            return false;
    }
    return false;
}

// Rows of a table whose count is followed by `count` rows; the count is checked against the
// size, so a table that lies about its length is not read beyond its end.
template <typename TTable, typename TRowType>
const TRowType* Rows(const std::vector<DWORD>& storage, DWORD& count) {
    const auto* t = reinterpret_cast<const TTable*>(storage.data());
    const size_t room =
        (storage.size() * sizeof(DWORD) - offsetof(TTable, table)) / sizeof(TRowType);
    count = static_cast<DWORD>(std::min<size_t>(t->dwNumEntries, room));
    return t->table;
}

uint16_t PortOf(DWORD tablePort) {
    return ::ntohs(static_cast<u_short>(tablePort & 0xFFFF));
}

// Process id to executable file name for every running process.
std::map<uint32_t, std::string> ProcessNames() {
    std::map<uint32_t, std::string> names;
    win32::TFileHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap)
        return names;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = ::Process32FirstW(snap.Get(), &entry); ok;
         ok = ::Process32NextW(snap.Get(), &entry))
        names[entry.th32ProcessID] = win32::Narrow(entry.szExeFile);
    return names;
}

// For a process that started after the snapshot: the file name of its image path.
std::string ImageName(uint32_t pid) {
    win32::THandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process)
        return {};
    wchar_t path[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    if (!::QueryFullProcessImageNameW(process.Get(), 0, path, &size))
        return {};
    std::wstring_view p(path, size);
    const size_t slash = p.find_last_of(L"\\/");
    return win32::Narrow(slash == std::wstring_view::npos ? p : p.substr(slash + 1));
}

} // namespace

bool TWin32PortListeners::Find(uint16_t port, std::vector<TPortListener>& out) {
    out.clear();
    if (port == 0)
        return true;
    std::vector<TRow> rows;
    std::vector<DWORD> table;
    if (!ReadTable(AF_INET, table))
        return false;
    DWORD count = 0;
    const auto* v4 = Rows<MIB_TCPTABLE_OWNER_PID, MIB_TCPROW_OWNER_PID>(table, count);
    for (DWORD i = 0; i < count; ++i)
        if (v4[i].dwState == MIB_TCP_STATE_LISTEN && PortOf(v4[i].dwLocalPort) == port)
            rows.push_back({v4[i].dwOwningPid, AddressText(AF_INET, &v4[i].dwLocalAddr)});
    // A computer without IPv6 has no such table; its IPv4 answer stands.
    if (ReadTable(AF_INET6, table)) {
        const auto* v6 = Rows<MIB_TCP6TABLE_OWNER_PID, MIB_TCP6ROW_OWNER_PID>(table, count);
        for (DWORD i = 0; i < count; ++i)
            if (v6[i].dwState == MIB_TCP_STATE_LISTEN && PortOf(v6[i].dwLocalPort) == port)
                rows.push_back({v6[i].dwOwningPid, AddressText(AF_INET6, v6[i].ucLocalAddr)});
    }
    if (rows.empty())
        return true;

    const std::map<uint32_t, std::string> names = ProcessNames();
    for (TRow& row : rows) {
        if (row.ProcessID == 0) {
            // No owner the table can name.
            out.push_back({0, {}, std::move(row.Address)});
            continue;
        }
        auto it = names.find(row.ProcessID);
        std::string name = it != names.end() ? it->second : ImageName(row.ProcessID);
        if (name.empty())
            continue; // ended after the table was read, and its socket with it
        out.push_back({row.ProcessID, std::move(name), std::move(row.Address)});
    }
    std::sort(out.begin(), out.end(), [](const TPortListener& a, const TPortListener& b) {
        return std::make_tuple(!a.OwnerKnown(), a.ProcessID, a.Address) <
               std::make_tuple(!b.OwnerKnown(), b.ProcessID, b.Address);
    });
    return true;
}

} // namespace cv
