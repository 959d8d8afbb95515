#include "PosixProcessTable.h"

#include "core/Text.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include <vector>

namespace cv {

namespace {

thread_local uint32_t tLastError = 0;

// Process rights that only read; anything beyond them (terminate, write, ...) needs the right
// to signal the process.
constexpr uint32_t QueryRights = 0x0400      // PROCESS_QUERY_INFORMATION
                                 | 0x1000    // PROCESS_QUERY_LIMITED_INFORMATION
                                 | 0x0010    // PROCESS_VM_READ
                                 | 0x100000; // SYNCHRONIZE

// What a MAX_PATH buffer holds beside its terminating zero.
constexpr size_t MaxImagePath = 259;

bool Fail(int error) {
    tLastError = static_cast<uint32_t>(error);
    return false;
}

std::string ProcFile(uint32_t pid, const char* name) {
    return "/proc/" + std::to_string(pid) + "/" + name;
}

// /proc files report a size of 0; read until the end.
bool ReadText(const std::string& path, std::string& out) {
    out.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail(errno);
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int e = errno;
            ::close(fd);
            return Fail(e);
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool ReadLink(const std::string& path, std::string& out) {
    std::vector<char> buf(4096);
    ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
    if (n < 0)
        return Fail(errno);
    out.assign(buf.data(), static_cast<size_t>(n));
    // The kernel marks an executable that was removed while it runs; the name is what it was.
    static const std::string deleted = " (deleted)";
    if (EndsWith(out, deleted))
        out.resize(out.size() - deleted.size());
    return true;
}

std::string BaseName(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReadStat(uint32_t pid, posix_proc::TStat& stat) {
    std::string text;
    if (!ReadText(ProcFile(pid, "stat"), text))
        return false;
    if (!posix_proc::ParseStat(text, stat))
        return Fail(EINVAL);
    return true;
}

bool ReadUids(uint32_t pid, uint32_t (&uids)[4]) {
    std::string text;
    if (!ReadText(ProcFile(pid, "status"), text))
        return false;
    if (!posix_proc::ParseStatusUids(text, uids))
        return Fail(EINVAL);
    return true;
}

bool IsGone(char state) {
    return state == 'Z' || state == 'X' || state == 'x';
}

// The signal right of kill(2): the sender's real or effective id is the target's real or
// saved id.
bool MaySignal(const uint32_t (&target)[4]) {
    const uint32_t ruid = getuid(), euid = geteuid();
    return euid == 0 || ruid == target[0] || ruid == target[2] || euid == target[0] ||
           euid == target[2];
}

std::string ShortHostName() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return {};
    std::string s = host;
    return s.substr(0, s.find('.'));
}

int OpenPidFd(uint32_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
#else
    (void)pid;
    return -1;
#endif
}

// A process as a handle: the pid, its start (so a reused pid is not taken for it) and, where
// the kernel has them, a pidfd, which signals only the process it was opened for.
class TPosixProcess : public IProcessHandle {
public:
    TPosixProcess(uint32_t pid, uint64_t startTicks, int pidFd)
        : FPid(pid), FStartTicks(startTicks), FPidFd(pidFd) {}
    ~TPosixProcess() override {
        if (FPidFd >= 0)
            ::close(FPidFd);
    }
    TPosixProcess(const TPosixProcess&) = delete;
    TPosixProcess& operator=(const TPosixProcess&) = delete;

    std::string ImagePath() override {
        std::string path;
        if (!ReadLink(ProcFile(FPid, "exe"), path) || !StillSame())
            return {};
        if (Utf8ToUtf16(path).size() > MaxImagePath) {
            Fail(ENAMETOOLONG);
            return {};
        }
        return path;
    }

    bool Account(std::string& user, std::string& domain) override {
        uint32_t uids[4] = {};
        if (!ReadUids(FPid, uids) || !StillSame())
            return false;
        passwd entry{};
        passwd* found = nullptr;
        long size = sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
        int rc = 0;
        while ((rc = getpwuid_r(uids[1], &entry, buf.data(), buf.size(), &found)) == ERANGE)
            buf.resize(buf.size() * 2);
        if (rc != 0 || !found)
            return Fail(rc != 0 ? rc : ENOENT); // an id without an account looks up nothing
        user = found->pw_name;
        domain = ShortHostName();
        return true;
    }

    // Taken when the handle was opened, so it answers as long as the handle lives, as
    // GetProcessTimes does.
    bool CreationTime(uint64_t& fileTime) override {
        std::string text;
        uint64_t btime = 0;
        if (!ReadText("/proc/stat", text))
            return false;
        if (!posix_proc::ParseBootTime(text, btime))
            return Fail(EINVAL);
        long tps = sysconf(_SC_CLK_TCK);
        fileTime = posix_proc::ToFileTime(btime, FStartTicks, tps > 0 ? uint64_t(tps) : 100);
        return true;
    }

    // SIGKILL cannot carry an exit code; the process ends as TerminateProcess ends it, at once.
    bool Terminate(uint32_t) override {
#ifdef SYS_pidfd_send_signal
        if (FPidFd >= 0) {
            if (::syscall(SYS_pidfd_send_signal, FPidFd, SIGKILL, nullptr, 0) == 0)
                return true;
            return Fail(errno);
        }
#endif
        if (!StillSame())
            return false;
        if (::kill(static_cast<pid_t>(FPid), SIGKILL) != 0)
            return Fail(errno);
        return true;
    }

    // A pidfd turns readable when its process has exited; without one, the process table is
    // looked at every 10 ms.
    bool WaitForExit(int timeoutMs) override {
        using namespace std::chrono;
        const auto deadline = steady_clock::now() + milliseconds(std::max(0, timeoutMs));
        if (FPidFd >= 0) {
            for (;;) {
                const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
                pollfd p{FPidFd, POLLIN, 0};
                const int r = ::poll(&p, 1, static_cast<int>(std::max<int64_t>(0, left)));
                if (r > 0)
                    return true;
                if (r == 0)
                    return false;
                if (errno != EINTR)
                    return Fail(errno);
            }
        }
        for (;;) {
            if (!StillSame())
                return true;
            if (steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(milliseconds(10));
        }
    }

private:
    bool StillSame() {
        posix_proc::TStat stat;
        if (!ReadStat(FPid, stat))
            return false;
        if (stat.StartTicks != FStartTicks || IsGone(stat.State))
            return Fail(ESRCH);
        return true;
    }

    uint32_t FPid;
    uint64_t FStartTicks;
    int FPidFd;
};

} // namespace

namespace posix_proc {

bool ParseStat(const std::string& text, TStat& out) {
    auto close = text.rfind(')');
    if (close == std::string::npos)
        return false;
    // After the command: field 3 (state) onwards, blank-separated.
    std::vector<std::string> fields = SplitAny(std::string_view(text).substr(close + 1), " \n");
    std::vector<std::string> nonEmpty;
    for (auto& f : fields)
        if (!f.empty())
            nonEmpty.push_back(f);
    constexpr size_t startIndex = 22 - 3; // field 22 counted from field 3
    if (nonEmpty.size() <= startIndex || nonEmpty[0].size() != 1)
        return false;
    const std::string& start = nonEmpty[startIndex];
    if (start.empty() || start.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    unsigned long long ticks = std::strtoull(start.c_str(), nullptr, 10);
    if (errno == ERANGE)
        return false;
    out.State = nonEmpty[0][0];
    out.StartTicks = ticks;
    return true;
}

namespace {
// The blank-separated numbers after "<key>" at the start of a line.
std::vector<std::string> LineValues(const std::string& text, const std::string& key) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + pos, end - pos);
        if (StartsWith(line, key)) {
            std::vector<std::string> values;
            for (auto& v : SplitAny(line.substr(key.size()), " \t"))
                if (!v.empty())
                    values.push_back(v);
            return values;
        }
        pos = end + 1;
    }
    return {};
}

bool ToUint32(const std::string& s, uint32_t& out) {
    int64_t v = 0;
    if (!TryStrToInt64(s, v) || v < 0 || v > 0xFFFFFFFFll)
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}
} // namespace

bool ParseStatusThreads(const std::string& text, uint32_t& threads) {
    auto values = LineValues(text, "Threads:");
    return values.size() == 1 && ToUint32(values[0], threads);
}

bool ParseStatusUids(const std::string& text, uint32_t (&uids)[4]) {
    auto values = LineValues(text, "Uid:");
    if (values.size() != 4)
        return false;
    for (size_t i = 0; i < 4; ++i)
        if (!ToUint32(values[i], uids[i]))
            return false;
    return true;
}

bool ParseBootTime(const std::string& text, uint64_t& btime) {
    auto values = LineValues(text, "btime ");
    int64_t v = 0;
    if (values.size() != 1 || !TryStrToInt64(values[0], v) || v < 0)
        return false;
    btime = static_cast<uint64_t>(v);
    return true;
}

uint64_t ToFileTime(uint64_t bootTimeUnix, uint64_t startTicks, uint64_t ticksPerSecond) {
    constexpr uint64_t UnixEpochAsFileTime = 116444736000000000ull; // 1970-01-01 after 1601
    constexpr uint64_t UnitsPerSecond = 10000000ull;
    const uint64_t seconds = startTicks / ticksPerSecond;
    const uint64_t rest = startTicks % ticksPerSecond;
    return UnixEpochAsFileTime + (bootTimeUnix + seconds) * UnitsPerSecond +
           rest * UnitsPerSecond / ticksPerSecond;
}

} // namespace posix_proc

bool TPosixProcessTable::Snapshot(std::vector<TSnapshotEntry>& out) {
    out.clear();
    DIR* d = ::opendir("/proc");
    if (!d)
        return Fail(errno);
    while (dirent* e = ::readdir(d)) {
        int64_t pid = 0;
        if (!TryStrToInt64(e->d_name, pid) || pid <= 0 || pid > 0xFFFFFFFFll)
            continue;
        TSnapshotEntry entry;
        entry.ProcessID = static_cast<uint32_t>(pid);
        std::string status;
        // Gone between the listing and now: not part of the snapshot.
        if (!ReadText(ProcFile(entry.ProcessID, "status"), status) ||
            !posix_proc::ParseStatusThreads(status, entry.ThreadCount))
            continue;
        std::string exe;
        if (ReadLink(ProcFile(entry.ProcessID, "exe"), exe) && !exe.empty()) {
            entry.ExeFile = BaseName(exe);
        } else if (ReadText(ProcFile(entry.ProcessID, "comm"), exe)) {
            // Another user's process or a kernel thread: the short command name is all there is.
            while (!exe.empty() && (exe.back() == '\n' || exe.back() == '\0'))
                exe.pop_back();
            entry.ExeFile = exe;
        }
        out.push_back(std::move(entry));
    }
    ::closedir(d);
    return true;
}

std::unique_ptr<IProcessHandle> TPosixProcessTable::Open(uint32_t processId, uint32_t access) {
    if (processId == 0 || processId > 0x7FFFFFFFu) {
        Fail(ESRCH);
        return {};
    }
    // The pidfd first: the start read after it then belongs to the process it refers to.
    int pidFd = OpenPidFd(processId);
    auto give = [&](int error) -> std::unique_ptr<IProcessHandle> {
        if (pidFd >= 0)
            ::close(pidFd);
        Fail(error);
        return {};
    };
    if (pidFd < 0 && errno == ESRCH)
        return give(ESRCH);
    posix_proc::TStat stat;
    if (!ReadStat(processId, stat))
        return give(static_cast<int>(tLastError) == ENOENT ? ESRCH : static_cast<int>(tLastError));
    if (IsGone(stat.State))
        return give(ESRCH);
    if ((access & ~QueryRights) != 0) {
        uint32_t uids[4] = {};
        if (!ReadUids(processId, uids))
            return give(static_cast<int>(tLastError));
        if (!MaySignal(uids))
            return give(EACCES);
    }
    return std::make_unique<TPosixProcess>(processId, stat.StartTicks, pidFd);
}

std::string TPosixProcessTable::FileVersion(const std::string&) {
    Fail(ENOTSUP);
    return {};
}

uint32_t TPosixProcessTable::CurrentProcessId() {
    return static_cast<uint32_t>(getpid());
}

uint32_t TPosixProcessTable::LastError() const {
    return tLastError;
}

} // namespace cv
