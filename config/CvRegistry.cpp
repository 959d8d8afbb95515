#include "CvRegistry.h"

#include "platform/FileSystem.h"

namespace cv {

TReg::TReg(IRegistry& registry, uint32_t access) : reg(registry), FAccess(access) {}

TReg::~TReg() = default;

bool TReg::OpenRegKey(const std::string& K) {
    if (K == currentKey)
        return FKey != nullptr;
    FKey.reset();
    FKey = reg.OpenKey(K, FAccess);
    currentKey = K;
    return FKey != nullptr;
}

bool TReg::KeyExists(const std::string& K) {
    return reg.KeyExists(K, FAccess);
}

std::string TReg::ReadRegKey(const std::string& K) {
    if (!FKey)
        return {};
    return FKey->ReadString(K).value_or(std::string());
}

bool TReg::CreateRegKey(const std::string& V) {
    return reg.CreateKey(V, FAccess) != nullptr;
}

bool TReg::WriteRegKey(const std::string& K, const std::string& V) {
    if (currentKey.empty() || !FKey)
        return false;
    return FKey->WriteString(K, V);
}

std::unique_ptr<TReg> OpenProductKey(IRegistry& registry, const std::string& product,
                                     uint32_t access, bool use64BitView) {
    auto r = std::make_unique<TReg>(registry, access | (use64BitView ? KEY_WOW64_64KEY : 0));
    if (!r->OpenRegKey(ProductsKey + product))
        return nullptr;
    return r;
}

std::string ReadProductValue(IRegistry& registry, const std::string& product,
                             const std::string& valueName) {
    auto r = OpenProductKey(registry, product, KEY_QUERY_VALUE, false);
    if (!r)
        r = OpenProductKey(registry, product, KEY_QUERY_VALUE, true);
    return r ? r->ReadRegKey(valueName) : std::string();
}

void WriteProductValue(IRegistry& registry, const std::string& product,
                       const std::string& valueName, const std::string& value) {
    auto r = OpenProductKey(registry, product, KEY_WRITE, false);
    if (!r)
        r = OpenProductKey(registry, product, KEY_WRITE, true);
    if (r)
        r->WriteRegKey(valueName, value);
}

TInstallFolders ResolveFolders(IRegistry& registry, const TFileExistsFunc& fileExists) {
    auto exists = [&](const std::string& path) {
        return fileExists ? fileExists(path) : FileExists(path);
    };
    TInstallFolders f;
    f.CvFolder = ReadProductValue(registry, "VORNIX", "Path");
    f.WardenFolder = ReadProductValue(registry, "Corvane Pro\\Warden", "Path");
    f.SysServicesFolder = ReadProductValue(registry, "Corvane Pro\\Services", "Path");
    if (!f.SysServicesFolder.empty())
        f.SysServicesFolder += "Services";
    if (!f.WardenFolder.empty()) {
        f.WardenFolder += "Vekta.Warden";
        if (exists(f.WardenFolder + "\\Vekta.Warden.exe")) {
            f.CyberSecurityVisible = true;
            return f;
        }
    }
    // No registered tool, or its executable is gone: the copy inside the installation.
    f.WardenFolder = f.CvFolder + "prog\\utils\\security";
    f.CyberSecurityVisible = exists(f.WardenFolder + "\\Vekta.Warden.exe");
    return f;
}

} // namespace cv
