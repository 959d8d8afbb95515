#include "Win32Registry.h"

#include "core/Text.h"

#include <windows.h>

#include <string>

namespace cv {

namespace {

// The Windows calls take a key path relative to the root, without a leading "\".
std::wstring SubKey(const std::string& path) {
    size_t start = path.find_first_not_of('\\');
    std::u16string w = Utf8ToUtf16(
        start == std::string::npos ? std::string_view() : std::string_view(path).substr(start));
    return std::wstring(w.begin(), w.end());
}

std::wstring Wide(const std::string& s) {
    std::u16string w = Utf8ToUtf16(s);
    return std::wstring(w.begin(), w.end());
}

std::string Narrow(const wchar_t* p, size_t n) {
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(p), n));
}

class TWin32RegistryKey : public IRegistryKey {
public:
    explicit TWin32RegistryKey(HKEY key) : FKey(key) {}
    ~TWin32RegistryKey() override { ::RegCloseKey(FKey); }
    TWin32RegistryKey(const TWin32RegistryKey&) = delete;
    TWin32RegistryKey& operator=(const TWin32RegistryKey&) = delete;

    std::optional<std::string> ReadString(const std::string& valueName) override {
        const std::wstring name = Wide(valueName);
        // The value may grow between the size query and the read; try again then.
        for (int attempt = 0; attempt < 4; ++attempt) {
            DWORD type = 0, size = 0;
            LONG rc = ::RegQueryValueExW(FKey, name.c_str(), nullptr, &type, nullptr, &size);
            if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
                return std::nullopt;
            std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
            DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
            rc = ::RegQueryValueExW(FKey, name.c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &got);
            if (rc == ERROR_MORE_DATA)
                continue;
            if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
                return std::nullopt;
            // The stored data need not end with a terminator, or may hold several.
            size_t n = got / sizeof(wchar_t);
            size_t end = 0;
            while (end < n && data[end] != L'\0')
                ++end;
            return Narrow(data.data(), end);
        }
        return std::nullopt;
    }

    bool WriteString(const std::string& valueName, const std::string& value) override {
        const std::wstring name = Wide(valueName);
        const std::wstring data = Wide(value);
        const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
        return ::RegSetValueExW(FKey, name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(data.c_str()),
                                bytes) == ERROR_SUCCESS;
    }

    bool ValueExists(const std::string& valueName) override {
        const std::wstring name = Wide(valueName);
        return ::RegQueryValueExW(FKey, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
    }

private:
    HKEY FKey;
};

} // namespace

std::unique_ptr<IRegistryKey> TWin32Registry::OpenKey(const std::string& path, uint32_t access) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, SubKey(path).c_str(), 0, access, &key) != ERROR_SUCCESS)
        return {};
    return std::make_unique<TWin32RegistryKey>(key);
}

std::unique_ptr<IRegistryKey> TWin32Registry::CreateKey(const std::string& path, uint32_t access) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, SubKey(path).c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return {};
    return std::make_unique<TWin32RegistryKey>(key);
}

bool TWin32Registry::KeyExists(const std::string& path, uint32_t access) {
    // Only the view is taken from the caller's mask: a key that exists but refuses reading
    // still exists.
    const REGSAM view = access & (KEY_WOW64_64KEY | KEY_WOW64_32KEY);
    HKEY key = nullptr;
    LONG rc =
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, SubKey(path).c_str(), 0, KEY_QUERY_VALUE | view, &key);
    if (rc == ERROR_SUCCESS)
        ::RegCloseKey(key);
    return rc == ERROR_SUCCESS || rc == ERROR_ACCESS_DENIED;
}

} // namespace cv
