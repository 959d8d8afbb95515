#pragma once
// Named mutexes. Stands for OpenMutexW (SYNCHRONIZE, not inheritable) + CloseHandle, and for
// CreateMutexW where a test or the simulated tools hold one.
#include <memory>
#include <string>

namespace cv {

class IHeldMutex {
public:
    virtual ~IHeldMutex() = default;
};

class INamedMutex {
public:
    virtual ~INamedMutex() = default;
    // Whether a mutex of that name exists in the session (opened and closed again at once).
    virtual bool Exists(const std::string& name) = 0;
    // Creates and holds one until the object goes; null on failure.
    virtual std::unique_ptr<IHeldMutex> Hold(const std::string& name) = 0;
};

} // namespace cv
