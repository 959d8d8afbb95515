#include "PosixInstanceBlock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

namespace {

thread_local uint32_t tLastError = 0;

class TFdLock : public IScopedGuard {
public:
    explicit TFdLock(int fd) : FFd(fd) {}
    ~TFdLock() override {
        if (FFd >= 0)
            close(FFd); // releases the flock
    }

private:
    int FFd;
};

std::unique_ptr<TFdLock> LockExclusive(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return {};
    while (flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(fd);
            return {};
        }
    }
    return std::make_unique<TFdLock>(fd);
}

class TMapped : public IMappedBlock {
public:
    TMapped(void* p, size_t n) : FData(p), FSize(n) {}
    ~TMapped() override { munmap(FData, FSize); }
    void* Data() override { return FData; }

private:
    void* FData;
    size_t FSize;
};

class TBlockHandle : public IBlockHandle {
public:
    TBlockHandle(int fd, size_t size) : FFd(fd), FSize(size) {}
    ~TBlockHandle() override { close(FFd); }
    std::unique_ptr<IMappedBlock> Map() override {
        void* p = mmap(nullptr, FSize, PROT_READ | PROT_WRITE, MAP_SHARED, FFd, 0);
        if (p == MAP_FAILED) {
            tLastError = static_cast<uint32_t>(errno);
            return {};
        }
        return std::make_unique<TMapped>(p, FSize);
    }

private:
    int FFd;
    size_t FSize;
};

bool NobodyHolds(int fd) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    return false;
}

} // namespace

TPosixInstanceBlock::TPosixInstanceBlock(std::string folder) : FFolder(std::move(folder)) {
    if (FFolder.empty()) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        struct stat st {};
        if (runtime && *runtime && stat(runtime, &st) == 0)
            FFolder = runtime;
        else if (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode))
            FFolder = "/dev/shm";
        else
            FFolder = "/tmp";
    }
}

std::string TPosixInstanceBlock::PathOf(const std::string& name) const {
    std::string safe = name;
    for (auto& c : safe)
        if (c == '/' || c == '\0')
            c = '_';
    return FFolder + "/vornix-block-" + safe;
}

std::unique_ptr<IBlockHandle> TPosixInstanceBlock::Create(const std::string& name, uint32_t size,
                                                          bool& alreadyExisted) {
    alreadyExisted = false;
    const std::string path = PathOf(name);
    // Creation is atomic for callers, as a named mapping's is.
    auto creating = LockExclusive(path + ".create");
    if (!creating) {
        tLastError = static_cast<uint32_t>(errno);
        return {};
    }
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        tLastError = static_cast<uint32_t>(errno);
        return {};
    }
    if (NobodyHolds(fd)) {
        // A new block starts zeroed, whatever a dead holder left in the file.
        if (ftruncate(fd, 0) != 0 || ftruncate(fd, size) != 0) {
            tLastError = static_cast<uint32_t>(errno);
            close(fd);
            return {};
        }
    } else {
        alreadyExisted = true;
        tLastError = ERROR_ALREADY_EXISTS_CODE;
    }
    if (flock(fd, LOCK_SH) != 0) {
        tLastError = static_cast<uint32_t>(errno);
        close(fd);
        return {};
    }
    return std::make_unique<TBlockHandle>(fd, size);
}

std::unique_ptr<IBlockHandle> TPosixInstanceBlock::Open(const std::string& name) {
    const std::string path = PathOf(name);
    auto creating = LockExclusive(path + ".create");
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        tLastError = static_cast<uint32_t>(errno);
        return {};
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_size <= 0 || NobodyHolds(fd)) {
        // No holder left: the block is gone, as it would be on Windows.
        tLastError = 2; // ERROR_FILE_NOT_FOUND
        close(fd);
        return {};
    }
    if (flock(fd, LOCK_SH) != 0) {
        tLastError = static_cast<uint32_t>(errno);
        close(fd);
        return {};
    }
    return std::make_unique<TBlockHandle>(fd, static_cast<size_t>(st.st_size));
}

std::unique_ptr<IScopedGuard> TPosixInstanceBlock::Guard(const std::string& name) {
    return LockExclusive(PathOf(name) + ".guard");
}

uint32_t TPosixInstanceBlock::LastError() const { return tLastError; }

std::string TPosixInstanceBlock::ErrorText(uint32_t code) const {
    return std::strerror(static_cast<int>(code));
}

} // namespace cv
