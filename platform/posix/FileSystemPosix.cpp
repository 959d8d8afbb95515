#include "platform/FileSystem.h"

#include "core/Assert.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

std::string NativePath(const std::string& path) {
    std::string p = path;
    for (auto& c : p)
        if (c == '\\')
            c = '/';
    return p;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& path) { return mkdir(NativePath(path).c_str(), 0755) == 0; }

bool ForceDirectories(const std::string& path) {
    std::string p = NativePath(path);
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    if (p.empty() || DirectoryExists(p))
        return true;
    auto slash = p.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !ForceDirectories(p.substr(0, slash)))
        return false;
    return mkdir(p.c_str(), 0755) == 0 || errno == EEXIST;
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
    int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return out;
}

std::string ReadFileOrRaise(const std::string& path) {
    auto fail = [&] {
        throw Exception("Cannot read file \"" + path + "\". " + std::strerror(errno));
    };
    int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail();
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            close(fd);
            errno = error;
            fail();
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return out;
}

namespace {

constexpr const char* TempMark = ".tmp-";

// The file a path names, through any symbolic links (a dangling link's target included):
// replacing the link itself would turn it into a plain file.
std::string ThroughLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        char target[4096];
        const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        if (n < 0)
            return path; // not a link (or unreadable: written as named)
        std::string next(target, static_cast<size_t>(n));
        if (next.empty() || next[0] != '/') {
            const auto slash = path.find_last_of('/');
            next = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + next;
        }
        path = next;
    }
    return path;
}

// Temporary files of this file whose writer is gone (a crash between create and rename).
void RemoveStaleTemporaries(const std::string& target) {
    const auto slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string prefix =
        (slash == std::string::npos ? target : target.substr(slash + 1)) + TempMark;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string rest = name.substr(prefix.size());
        const pid_t pid = static_cast<pid_t>(std::strtol(rest.c_str(), nullptr, 10));
        if (pid <= 0 || pid == getpid())
            continue;
        if (kill(pid, 0) != 0 && errno == ESRCH)
            unlink((folder + (slash == std::string::npos ? "/" : "") + name).c_str());
    }
    closedir(dir);
}

} // namespace

void WriteFileAtomic(const std::string& path, const std::string& bytes) {
    static std::atomic<unsigned> counter{0};
    const std::string target = ThroughLinks(NativePath(path));
    RemoveStaleTemporaries(target);
    const std::string temp = target + TempMark + std::to_string(getpid()) + "-" +
                             std::to_string(counter.fetch_add(1));
    auto fail = [&](const char* what) {
        std::string msg = std::string("Cannot ") + what + " file \"" + path + "\". " +
                          std::strerror(errno);
        unlink(temp.c_str());
        throw Exception(msg);
    };
    struct stat original {};
    const bool exists = stat(target.c_str(), &original) == 0 && S_ISREG(original.st_mode);
    // Readable by the owner only until it has the original's mode.
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666);
    if (fd < 0)
        fail("create");
    auto failClosing = [&](const char* what) {
        const int error = errno;
        close(fd);
        errno = error;
        fail(what);
    };
    if (exists) {
        // The administrator's permissions stay as they were; so do owner and group when we
        // can set them (as root).
        if (geteuid() == 0 && fchown(fd, original.st_uid, original.st_gid) != 0)
            failClosing("write");
        if (fchmod(fd, original.st_mode & 07777) != 0)
            failClosing("write");
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            failClosing("write");
        done += static_cast<size_t>(n);
    }
    if (fsync(fd) != 0)
        failClosing("write");
    close(fd);
    if (rename(temp.c_str(), target.c_str()) != 0)
        fail("replace");
    // The rename itself reaches the disk with the folder.
    const auto slash = target.find_last_of('/');
    const int dirFd = open(slash == std::string::npos ? "." : target.substr(0, slash + 1).c_str(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
}

bool MoveFileTo(const std::string& from, const std::string& to) {
    // Like MoveFileW: never replaces an existing file.
    if (link(NativePath(from).c_str(), NativePath(to).c_str()) != 0)
        return false;
    return unlink(NativePath(from).c_str()) == 0;
}

bool DeleteFileAt(const std::string& path) { return unlink(NativePath(path).c_str()) == 0; }

} // namespace cv
