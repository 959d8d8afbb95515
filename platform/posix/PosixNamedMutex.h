#pragma once
#include "platform/NamedMutex.h"

#include <string>

namespace cv {

// A named mutex of the user's session is a lock file in $XDG_RUNTIME_DIR (else
// /tmp/vornix-mutex-<uid>-<name>). Holders keep a shared flock on it; the mutex exists while
// anyone holds one, so a holder that dies takes its mutex with it, as a closed handle does.
class TPosixNamedMutex : public INamedMutex {
public:
    bool Exists(const std::string& name) override;
    std::unique_ptr<IHeldMutex> Hold(const std::string& name) override;

    // The lock file that stands for the name.
    static std::string LockFilePath(const std::string& name);
};

} // namespace cv
