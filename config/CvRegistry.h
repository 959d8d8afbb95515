#pragma once
// Product values in the registry and the install folders derived from them. Every product of
// the maker registers a key below "\SOFTWARE\Vekta\Products\" with at least a "Path" value.
// The program runs as a 32-bit process, so its own registry view is tried first and the
// 64-bit view second: a 32-bit registration wins over a 64-bit one.
#include "platform/Registry.h"

#include <functional>
#include <memory>
#include <string>

namespace cv {

inline constexpr const char* ProductsKey = "\\SOFTWARE\\Vekta\\Products\\";

// One registry object rooted at HKEY_LOCAL_MACHINE with one access mask; lives for one
// operation.
class TReg {
public:
    TReg(IRegistry& registry, uint32_t access);
    ~TReg();
    TReg(const TReg&) = delete;
    TReg& operator=(const TReg&) = delete;

    // Opens K without creating it. K is remembered even when the open fails; asking again for
    // the remembered key answers at once, true only when it is open.
    bool OpenRegKey(const std::string& K);
    bool KeyExists(const std::string& K);
    // The string value K of the open key; empty when it (or the key) does not exist.
    std::string ReadRegKey(const std::string& K);
    bool CreateRegKey(const std::string& V);
    // Writes V as the value K of the open key; false when no key is open or the write fails.
    bool WriteRegKey(const std::string& K, const std::string& V);

    const std::string& CurrentKey() const { return currentKey; }

private:
    IRegistry& reg;
    uint32_t FAccess;
    std::unique_ptr<IRegistryKey> FKey;
    std::string currentKey;
};

// A TReg opened on the product's key, in the 64-bit view when asked; null when the key
// cannot be opened.
std::unique_ptr<TReg> OpenProductKey(IRegistry& registry, const std::string& product,
                                     uint32_t access, bool use64BitView);
// Own view first, then the 64-bit view; empty when neither has the key or the value.
std::string ReadProductValue(IRegistry& registry, const std::string& product,
                             const std::string& valueName);
// Into the first view whose key opens for writing; silently nothing when neither does.
void WriteProductValue(IRegistry& registry, const std::string& product,
                       const std::string& valueName, const std::string& value);

// The main window's folder fields, read once when it is first shown. Paths are joined by
// plain concatenation: CvFolder ends with the separator as registered.
struct TInstallFolders {
    std::string CvFolder;
    std::string WardenFolder;
    std::string SysServicesFolder;
    // False: hide the "Cyber Security..." link and show "Warden Suite not installed".
    bool CyberSecurityVisible = false;
};

using TFileExistsFunc = std::function<bool(const std::string&)>;

// The file-exists check defaults to the program's file system helper.
TInstallFolders ResolveFolders(IRegistry& registry, const TFileExistsFunc& fileExists = {});

inline constexpr const char* WardenNotInstalledText = "Warden Suite not installed";

} // namespace cv
