#pragma once
// Local-machine registry keys. Stands for RegOpenKeyExW, RegCreateKeyExW, RegQueryValueExW,
// RegSetValueExW and RegCloseKey on HKEY_LOCAL_MACHINE, in the process's own view or, with
// KEY_WOW64_64KEY, the 64-bit view. Key paths may begin with "\".
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace cv {

constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
constexpr uint32_t KEY_SET_VALUE = 0x0002;
constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;
constexpr uint32_t KEY_READ = 0x20019;
constexpr uint32_t KEY_WRITE = 0x20006;
constexpr uint32_t KEY_WOW64_64KEY = 0x0100;

class IRegistryKey {
public:
    virtual ~IRegistryKey() = default;
    // A string value; nullopt when it does not exist.
    virtual std::optional<std::string> ReadString(const std::string& valueName) = 0;
    virtual bool WriteString(const std::string& valueName, const std::string& value) = 0;
    virtual bool ValueExists(const std::string& valueName) = 0;
};

class IRegistry {
public:
    virtual ~IRegistry() = default;
    // `access` may include KEY_WOW64_64KEY. Null when the key does not exist or access fails.
    virtual std::unique_ptr<IRegistryKey> OpenKey(const std::string& path, uint32_t access) = 0;
    virtual std::unique_ptr<IRegistryKey> CreateKey(const std::string& path, uint32_t access) = 0;
    virtual bool KeyExists(const std::string& path, uint32_t access) = 0;
};

} // namespace cv
