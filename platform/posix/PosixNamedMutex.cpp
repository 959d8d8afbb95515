#include "PosixNamedMutex.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

namespace {

// Any text may name a mutex; the file name keeps letters, digits, '.', '_', '-' and escapes
// the rest, so "Global\x" or "a/b" cannot leave the folder.
std::string Escape(const std::string& name) {
    std::string s;
    for (unsigned char c : name) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '_' || c == '-' || (c == '.' && !s.empty());
        if (plain) {
            s += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            s += hex;
        }
    }
    return s;
}

// Opens the lock file, refusing links and files of another user (in /tmp anyone could have
// placed one there).
int OpenLockFile(const std::string& path, bool create) {
    int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0);
    int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether the path still names the file the descriptor has open (it may have been removed by
// a probe that found the mutex unheld).
bool StillLinked(int fd, const std::string& path) {
    struct stat a {
    }, b{};
    return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

int Flock(int fd, int operation) {
    int rc;
    while ((rc = ::flock(fd, operation)) != 0 && errno == EINTR) {
    }
    return rc;
}

class THeld : public IHeldMutex {
public:
    explicit THeld(int fd) : FFd(fd) {}
    ~THeld() override { ::close(FFd); } // drops the shared lock
    THeld(const THeld&) = delete;
    THeld& operator=(const THeld&) = delete;

private:
    int FFd;
};

} // namespace

std::string TPosixNamedMutex::LockFilePath(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/')
        return std::string(runtime) + "/vornix-mutex-" + Escape(name);
    return "/tmp/vornix-mutex-" + std::to_string(geteuid()) + "-" + Escape(name);
}

bool TPosixNamedMutex::Exists(const std::string& name) {
    const std::string path = LockFilePath(name);
    int fd = OpenLockFile(path, false);
    if (fd < 0)
        return false;
    bool held = false;
    if (Flock(fd, LOCK_EX | LOCK_NB) != 0) {
        held = errno == EWOULDBLOCK;
    } else if (StillLinked(fd, path)) {
        // Nobody holds it: a holder that ended left the file behind. Removing it under the
        // exclusive lock is safe, since holders check that their file is still linked.
        ::unlink(path.c_str());
    }
    ::close(fd);
    return held;
}

std::unique_ptr<IHeldMutex> TPosixNamedMutex::Hold(const std::string& name) {
    const std::string path = LockFilePath(name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = OpenLockFile(path, true);
        if (fd < 0)
            return {};
        // Blocks only for the instant a probe holds the exclusive lock.
        if (Flock(fd, LOCK_SH) != 0) {
            ::close(fd);
            return {};
        }
        if (StillLinked(fd, path))
            return std::make_unique<THeld>(fd);
        ::close(fd); // removed by a probe meanwhile: take the new file
    }
    return {};
}

} // namespace cv
