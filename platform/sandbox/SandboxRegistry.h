#pragma once
// The sandbox's local-machine registry: one text file, <sandbox>/registry/HKLM, holding both
// views of a 64-bit Windows. As there, only the SOFTWARE branch differs between the views;
// every other key is shared. The process counts as a 32-bit one, so without KEY_WOW64_64KEY
// SOFTWARE is the 32-bit view. Key paths and value names are matched without regard to letter
// case and keep the case they were created with. Every change is a locked read-modify-write
// (flock on <sandbox>/registry/lock) replacing the file atomically, so processes sharing the
// sandbox never lose each other's values. KEY_WOW64_32KEY (0x200) selects the 32-bit view.
// VORNIX_SANDBOX_RIGHTS=user refuses write access, as Windows does to a standard user.
#include "platform/Registry.h"

#include <string>

namespace cv {

class TSandboxRegistry : public IRegistry {
public:
    explicit TSandboxRegistry(std::string sandbox);
    std::unique_ptr<IRegistryKey> OpenKey(const std::string& path, uint32_t access) override;
    std::unique_ptr<IRegistryKey> CreateKey(const std::string& path, uint32_t access) override;
    bool KeyExists(const std::string& path, uint32_t access) override;

    // The registry file and its lock, for tests and the simulated installation.
    static std::string FilePath(const std::string& sandbox);

private:
    std::string FSandbox;
};

} // namespace cv
