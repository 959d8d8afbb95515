#pragma once
// The named single-instance block. Stands for CreateFileMappingW (page-file backed),
// OpenFileMappingW, MapViewOfFile, UnmapViewOfFile and CloseHandle; the guard stands for a
// named mutex (CreateMutexW, WaitForSingleObject, ReleaseMutex). The block disappears when the
// last process holding it closes it or dies.
#include <cstdint>
#include <memory>
#include <string>

namespace cv {

constexpr uint32_t ERROR_ALREADY_EXISTS_CODE = 183;

class IMappedBlock {
public:
    virtual ~IMappedBlock() = default;
    // The mapped bytes (the whole block), valid while this object lives.
    virtual void* Data() = 0;
};

class IBlockHandle {
public:
    virtual ~IBlockHandle() = default;
    virtual std::unique_ptr<IMappedBlock> Map() = 0; // MapViewOfFile, FILE_MAP_ALL_ACCESS
};

class IScopedGuard {
public:
    virtual ~IScopedGuard() = default; // releases the guard
};

class IInstanceBlock {
public:
    virtual ~IInstanceBlock() = default;
    // Creates or opens the block of `size` bytes. On success `alreadyExisted` tells whether
    // another holder had created it (ERROR_ALREADY_EXISTS). Null on failure (see LastError).
    virtual std::unique_ptr<IBlockHandle> Create(const std::string& name, uint32_t size,
                                                 bool& alreadyExisted) = 0;
    // Opens an existing block by name; null when there is none or it cannot be opened.
    virtual std::unique_ptr<IBlockHandle> Open(const std::string& name) = 0;
    // A cross-process guard named after the block, held until the returned object goes.
    virtual std::unique_ptr<IScopedGuard> Guard(const std::string& name) = 0;
    virtual uint32_t LastError() const = 0;
    // The system's message for an error code (FormatMessageW).
    virtual std::string ErrorText(uint32_t code) const = 0;
};

} // namespace cv
