#include "platform/FileSystem.h"

#include "core/Assert.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
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

void WriteFileAtomic(const std::string& path, const std::string& bytes) {
    const std::string target = NativePath(path);
    const std::string temp = target + ".tmp-" + std::to_string(getpid());
    auto fail = [&](const char* what) {
        std::string msg = std::string("Cannot ") + what + " file \"" + path + "\". " +
                          std::strerror(errno);
        unlink(temp.c_str());
        throw Exception(msg);
    };
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        fail("create");
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            fail("write");
        }
        done += static_cast<size_t>(n);
    }
    if (fsync(fd) != 0) {
        close(fd);
        fail("write");
    }
    close(fd);
    if (rename(temp.c_str(), target.c_str()) != 0)
        fail("replace");
}

bool MoveFileTo(const std::string& from, const std::string& to) {
    // Like MoveFileW: never replaces an existing file.
    if (link(NativePath(from).c_str(), NativePath(to).c_str()) != 0)
        return false;
    return unlink(NativePath(from).c_str()) == 0;
}

bool DeleteFileAt(const std::string& path) { return unlink(NativePath(path).c_str()) == 0; }

} // namespace cv
