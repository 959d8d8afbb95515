#pragma once
#include "platform/NamedMutex.h"

namespace cv {

// OpenMutexW / CreateMutexW on names of the caller's session.
class TWin32NamedMutex : public INamedMutex {
public:
    bool Exists(const std::string& name) override;
    std::unique_ptr<IHeldMutex> Hold(const std::string& name) override;
};

} // namespace cv
