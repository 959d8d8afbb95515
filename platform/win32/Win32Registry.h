#pragma once
// The local-machine registry through RegOpenKeyExW, RegCreateKeyExW, RegQueryValueExW,
// RegSetValueExW and RegCloseKey. The access mask is passed on as given, so KEY_WOW64_64KEY
// (and KEY_WOW64_32KEY) select the view; without either the process's own view is used.
// String values are REG_SZ; a REG_EXPAND_SZ value reads as its unexpanded text.
#include "platform/Registry.h"

namespace cv {

class TWin32Registry : public IRegistry {
public:
    std::unique_ptr<IRegistryKey> OpenKey(const std::string& path, uint32_t access) override;
    std::unique_ptr<IRegistryKey> CreateKey(const std::string& path, uint32_t access) override;
    bool KeyExists(const std::string& path, uint32_t access) override;
};

} // namespace cv
