#include "PosixPortListeners.h"

#include "ProcNetTcp.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <tuple>
#include <unistd.h>
#include <utility>

namespace cv {

namespace {

// Listening sockets on the port: inode to local address.
using TSockets = std::map<uint64_t, std::string>;

// False when the table cannot be read; a missing IPv6 table (a kernel without IPv6) is empty.
bool ReadListening(const std::string& path, uint16_t port, bool mayBeMissing, TSockets& out) {
    const bool ok = posix_net::ReadTableLines(path, [&](std::string_view line) {
        posix_net::TTcpSocket s;
        if (posix_net::ParseTcpLine(line, s) && s.State == posix_net::TcpListenState &&
            s.Port == port && s.Inode != 0)
            out.emplace(s.Inode, posix_net::AddressText(s));
    });
    return ok || (mayBeMissing && errno == ENOENT);
}

bool ReadBothTables(const std::string& proc, uint16_t port, TSockets& out) {
    return ReadListening(proc + "/net/tcp", port, false, out) &&
           ReadListening(proc + "/net/tcp6", port, true, out);
}

bool ParsePid(const char* name, uint32_t& pid) {
    uint64_t v = 0;
    if (!*name)
        return false;
    for (const char* p = name; *p; ++p) {
        if (*p < '0' || *p > '9' || v > 0xFFFFFFFFull / 10)
            return false;
        v = v * 10 + static_cast<uint64_t>(*p - '0');
    }
    if (v == 0 || v > 0xFFFFFFFFull)
        return false;
    pid = static_cast<uint32_t>(v);
    return true;
}

// "socket:[INODE]"
bool SocketInode(std::string_view link, uint64_t& inode) {
    constexpr std::string_view prefix = "socket:[";
    if (link.size() <= prefix.size() + 1 || link.substr(0, prefix.size()) != prefix ||
        link.back() != ']')
        return false;
    std::string_view digits = link.substr(prefix.size(), link.size() - prefix.size() - 1);
    uint64_t v = 0;
    if (digits.empty() || digits.size() > 19)
        return false;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    inode = v;
    return true;
}

bool ReadLinkAt(int dirFd, const char* name, std::string& out) {
    char buf[4096];
    const ssize_t n = ::readlinkat(dirFd, name, buf, sizeof buf);
    if (n < 0 || static_cast<size_t>(n) >= sizeof buf)
        return false;
    out.assign(buf, static_cast<size_t>(n));
    return true;
}

// The inodes among `sockets` that the process holds open; nothing when the process is gone or
// its files cannot be looked into.
std::set<uint64_t> HeldSockets(const std::string& proc, uint32_t pid, const TSockets& sockets) {
    std::set<uint64_t> held;
    DIR* d = ::opendir((proc + "/" + std::to_string(pid) + "/fd").c_str());
    if (!d)
        return held;
    std::string link;
    while (dirent* e = ::readdir(d)) {
        uint64_t inode = 0;
        if (e->d_name[0] != '.' && ReadLinkAt(::dirfd(d), e->d_name, link) &&
            SocketInode(link, inode) && sockets.count(inode))
            held.insert(inode);
    }
    ::closedir(d);
    return held;
}

// File name of the executable; the short command name where the link cannot be read. Empty
// when the process is gone.
std::string ExeName(const std::string& proc, uint32_t pid) {
    const std::string base = proc + "/" + std::to_string(pid) + "/";
    std::string path;
    if (ReadLinkAt(AT_FDCWD, (base + "exe").c_str(), path) && !path.empty()) {
        // The kernel marks an executable removed while it runs; the name is what it was.
        constexpr std::string_view deleted = " (deleted)";
        if (path.size() > deleted.size() &&
            path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
            path.resize(path.size() - deleted.size());
        const size_t slash = path.find_last_of('/');
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (!name.empty())
            return name;
    }
    std::string comm;
    const bool ok = posix_net::ReadTableLines(base + "comm", [&](std::string_view line) {
        if (comm.empty())
            comm.assign(line);
    });
    return ok ? comm : std::string();
}

} // namespace

TPosixPortListeners::TPosixPortListeners(std::string procRoot) : FProc(std::move(procRoot)) {}

bool TPosixPortListeners::Find(uint16_t port, std::vector<TPortListener>& out) {
    out.clear();
    if (port == 0)
        return true; // nothing listens on port 0; a table row with it is not a listener
    TSockets sockets;
    if (!ReadBothTables(FProc, port, sockets))
        return false;
    if (sockets.empty())
        return true;

    std::set<uint64_t> owned;
    if (DIR* d = ::opendir(FProc.c_str())) {
        while (dirent* e = ::readdir(d)) {
            uint32_t pid = 0;
            if (!ParsePid(e->d_name, pid))
                continue;
            const std::set<uint64_t> held = HeldSockets(FProc, pid, sockets);
            if (held.empty())
                continue;
            const std::string name = ExeName(FProc, pid);
            if (name.empty())
                continue; // ended while we looked; its sockets went with it unless shared
            for (uint64_t inode : held) {
                out.push_back({pid, name, sockets[inode]});
                owned.insert(inode);
            }
        }
        ::closedir(d);
    }

    // Sockets without a visible owner: only those still listening now, so an owner that ended
    // during the look-up is not reported as an unknown one.
    if (owned.size() < sockets.size()) {
        TSockets now;
        if (ReadBothTables(FProc, port, now))
            for (const auto& [inode, address] : now)
                if (sockets.count(inode) && !owned.count(inode))
                    out.push_back({0, {}, address});
    }

    std::sort(out.begin(), out.end(), [](const TPortListener& a, const TPortListener& b) {
        return std::make_tuple(!a.OwnerKnown(), a.ProcessID, a.Address) <
               std::make_tuple(!b.OwnerKnown(), b.ProcessID, b.Address);
    });
    return true;
}

} // namespace cv
