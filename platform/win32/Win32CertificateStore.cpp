#include "Win32CertificateStore.h"

#include "core/Text.h"

#include <windows.h>

#include <ncrypt.h>
#include <wincrypt.h>

namespace cv {

namespace {

thread_local uint32_t tLastError = 0;

// Must run before anything else can overwrite the thread's last error.
bool Failed() {
    tLastError = ::GetLastError();
    return false;
}

template <typename T> std::unique_ptr<T> FailedNull() {
    Failed();
    return nullptr;
}

std::wstring Wide(const std::string& s) {
    std::u16string w = Utf8ToUtf16(s);
    return std::wstring(w.begin(), w.end());
}

std::string Narrow(const wchar_t* p, size_t n) {
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(p), n));
}

bool ReadName(CERT_NAME_BLOB* blob, std::string& out) {
    DWORD n = ::CertNameToStrW(X509_ASN_ENCODING, blob, CERT_SIMPLE_NAME_STR, nullptr, 0);
    if (n == 0)
        return Failed();
    std::wstring text(n, L'\0');
    n = ::CertNameToStrW(X509_ASN_ENCODING, blob, CERT_SIMPLE_NAME_STR, text.data(), n);
    if (n == 0)
        return Failed();
    out = Narrow(text.c_str(), n - 1); // without the terminating null
    return true;
}

bool ToSystemTime(const FILETIME& ft, TSystemTime& out) {
    SYSTEMTIME st{};
    if (!::FileTimeToSystemTime(&ft, &st))
        return Failed();
    out = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
    return true;
}

class TWin32Certificate : public ICertificate {
public:
    // Owned contexts are freed with the object; borrowed ones (during enumeration) are not.
    TWin32Certificate(PCCERT_CONTEXT ctx, bool owned) : FCtx(ctx), FOwned(owned) {}
    ~TWin32Certificate() override {
        if (FOwned && FCtx)
            ::CertFreeCertificateContext(FCtx);
    }
    TWin32Certificate(const TWin32Certificate&) = delete;
    TWin32Certificate& operator=(const TWin32Certificate&) = delete;

    PCCERT_CONTEXT Context() const { return FCtx; }

    std::vector<uint8_t> SerialNumber() override {
        const CRYPT_INTEGER_BLOB& s = FCtx->pCertInfo->SerialNumber;
        return std::vector<uint8_t>(s.pbData, s.pbData + s.cbData);
    }
    bool SubjectName(std::string& out) override { return ReadName(&FCtx->pCertInfo->Subject, out); }
    bool IssuerName(std::string& out) override { return ReadName(&FCtx->pCertInfo->Issuer, out); }
    bool NotBefore(TSystemTime& out) override {
        return ToSystemTime(FCtx->pCertInfo->NotBefore, out);
    }
    bool NotAfter(TSystemTime& out) override { return ToSystemTime(FCtx->pCertInfo->NotAfter, out); }

    bool EnhancedKeyUsage(std::vector<std::string>& oids) override {
        oids.clear();
        DWORD size = 0;
        if (!::CertGetEnhancedKeyUsage(FCtx, 0, nullptr, &size))
            return Failed();
        std::vector<BYTE> buffer(size);
        auto* usage = reinterpret_cast<CERT_ENHKEY_USAGE*>(buffer.data());
        if (!::CertGetEnhancedKeyUsage(FCtx, 0, usage, &size))
            return Failed();
        // An empty list leaves CRYPT_E_NOT_FOUND (every use) or 0 (no use) as the last error.
        tLastError = ::GetLastError();
        for (DWORD i = 0; i < usage->cUsageIdentifier; ++i)
            oids.emplace_back(usage->rgpszUsageIdentifier[i]);
        return true;
    }
    bool AddEnhancedKeyUsage(const std::string& oid) override {
        return ::CertAddEnhancedKeyUsageIdentifier(FCtx, oid.c_str()) || Failed();
    }
    bool AcquirePrivateKey(uint32_t flags) override {
        HCRYPTPROV_OR_NCRYPT_KEY_HANDLE key = 0;
        DWORD spec = 0;
        BOOL callerFrees = FALSE;
        if (!::CryptAcquireCertificatePrivateKey(FCtx, flags, nullptr, &key, &spec, &callerFrees))
            return Failed();
        if (callerFrees) {
            if (spec == CERT_NCRYPT_KEY_SPEC)
                ::NCryptFreeObject(key);
            else
                ::CryptReleaseContext(key, 0);
        }
        return true;
    }
    bool GetKeyProvInfo(TKeyProvInfo& out) override {
        DWORD size = 0;
        if (!::CertGetCertificateContextProperty(FCtx, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size))
            return Failed();
        std::vector<BYTE> buffer(size);
        if (!::CertGetCertificateContextProperty(FCtx, CERT_KEY_PROV_INFO_PROP_ID, buffer.data(),
                                                 &size))
            return Failed();
        auto* info = reinterpret_cast<CRYPT_KEY_PROV_INFO*>(buffer.data());
        out.ContainerName = info->pwszContainerName
                                ? Narrow(info->pwszContainerName, ::wcslen(info->pwszContainerName))
                                : std::string();
        out.ProviderName = info->pwszProvName
                               ? Narrow(info->pwszProvName, ::wcslen(info->pwszProvName))
                               : std::string();
        out.ProviderType = info->dwProvType;
        out.Flags = info->dwFlags;
        out.KeySpec = info->dwKeySpec;
        return true;
    }
    bool SetKeyProvInfo(const TKeyProvInfo* info) override {
        if (!info)
            return ::CertSetCertificateContextProperty(FCtx, CERT_KEY_PROV_INFO_PROP_ID, 0,
                                                       nullptr) ||
                   Failed();
        std::wstring container = Wide(info->ContainerName);
        std::wstring provider = Wide(info->ProviderName);
        CRYPT_KEY_PROV_INFO kpi{};
        kpi.pwszContainerName = container.data();
        kpi.pwszProvName = provider.empty() ? nullptr : provider.data();
        kpi.dwProvType = info->ProviderType;
        kpi.dwFlags = info->Flags;
        kpi.dwKeySpec = info->KeySpec;
        return ::CertSetCertificateContextProperty(FCtx, CERT_KEY_PROV_INFO_PROP_ID, 0, &kpi) ||
               Failed();
    }
    std::vector<uint8_t> Encoded() override {
        return std::vector<uint8_t>(FCtx->pbCertEncoded, FCtx->pbCertEncoded + FCtx->cbCertEncoded);
    }

private:
    PCCERT_CONTEXT FCtx;
    bool FOwned;
};

class TWin32StoreHandle : public ICertStoreHandle {
public:
    explicit TWin32StoreHandle(HCERTSTORE store) : FStore(store) {}
    ~TWin32StoreHandle() override { ::CertCloseStore(FStore, 0); }
    TWin32StoreHandle(const TWin32StoreHandle&) = delete;
    TWin32StoreHandle& operator=(const TWin32StoreHandle&) = delete;

    void Enumerate(const std::function<bool(ICertificate&)>& visit) override {
        PCCERT_CONTEXT ctx = nullptr;
        while ((ctx = ::CertEnumCertificatesInStore(FStore, ctx)) != nullptr) {
            TWin32Certificate cert(ctx, false);
            if (!visit(cert)) {
                ::CertFreeCertificateContext(ctx); // the walk's own reference
                break;
            }
        }
    }
    bool Add(ICertificate& cert) override {
        PCCERT_CONTEXT ctx = ContextOf(cert);
        if (!ctx)
            return false;
        BOOL ok = ::CertAddCertificateContextToStore(FStore, ctx, CERT_STORE_ADD_REPLACE_EXISTING,
                                                     nullptr);
        if (!ok)
            Failed();
        if (!dynamic_cast<TWin32Certificate*>(&cert))
            ::CertFreeCertificateContext(ctx);
        return ok;
    }
    bool Delete(ICertificate& cert) override {
        PCCERT_CONTEXT ctx = ContextOf(cert);
        if (!ctx)
            return false;
        PCCERT_CONTEXT found = ::CertFindCertificateInStore(FStore, X509_ASN_ENCODING, 0,
                                                            CERT_FIND_EXISTING, ctx, nullptr);
        if (!found)
            Failed();
        if (!dynamic_cast<TWin32Certificate*>(&cert))
            ::CertFreeCertificateContext(ctx);
        // Deleting frees the found context, also on failure.
        return found && (::CertDeleteCertificateFromStore(found) || Failed());
    }

private:
    // A certificate of this backend, or a new context from another's encoding (freed by the
    // caller then).
    static PCCERT_CONTEXT ContextOf(ICertificate& cert) {
        if (auto* own = dynamic_cast<TWin32Certificate*>(&cert))
            return own->Context();
        std::vector<uint8_t> der = cert.Encoded();
        PCCERT_CONTEXT ctx = ::CertCreateCertificateContext(X509_ASN_ENCODING, der.data(),
                                                            static_cast<DWORD>(der.size()));
        if (!ctx)
            Failed();
        return ctx;
    }

    HCERTSTORE FStore;
};

class TWin32KeyContainer : public IKeyContainer {
public:
    explicit TWin32KeyContainer(HCRYPTPROV prov) : FProv(prov) {}
    ~TWin32KeyContainer() override { ::CryptReleaseContext(FProv, 0); }
    TWin32KeyContainer(const TWin32KeyContainer&) = delete;
    TWin32KeyContainer& operator=(const TWin32KeyContainer&) = delete;

    bool GenerateKey(uint32_t keySpec, uint32_t flags) override {
        HCRYPTKEY key = 0;
        if (!::CryptGenKey(FProv, keySpec, flags, &key))
            return Failed();
        ::CryptDestroyKey(key); // the key stays in the container
        return true;
    }

private:
    HCRYPTPROV FProv;
};

template <typename TStruct>
bool EncodeObject(const char* structType, const TStruct* value, std::vector<uint8_t>& out) {
    DWORD size = 0;
    if (!::CryptEncodeObject(X509_ASN_ENCODING, structType, value, nullptr, &size))
        return Failed();
    out.resize(size);
    if (!::CryptEncodeObject(X509_ASN_ENCODING, structType, value, out.data(), &size))
        return Failed();
    out.resize(size);
    return true;
}

} // namespace

uint32_t TWin32CertificateStore::LastError() const { return tLastError; }

std::unique_ptr<ICertStoreHandle> TWin32CertificateStore::OpenSystemStore(const std::string& name) {
    std::wstring w = Wide(name);
    HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                       CERT_SYSTEM_STORE_LOCAL_MACHINE, w.c_str());
    if (!store)
        return FailedNull<ICertStoreHandle>();
    return std::make_unique<TWin32StoreHandle>(store);
}

std::unique_ptr<IKeyContainer> TWin32CertificateStore::AcquireContext(const std::string& container,
                                                                      const std::string& provider,
                                                                      uint32_t providerType,
                                                                      uint32_t flags) {
    std::wstring c = Wide(container);
    std::wstring p = Wide(provider);
    HCRYPTPROV prov = 0;
    if (!::CryptAcquireContextW(&prov, c.c_str(), provider.empty() ? nullptr : p.c_str(),
                                providerType, flags))
        return FailedNull<IKeyContainer>();
    return std::make_unique<TWin32KeyContainer>(prov);
}

bool TWin32CertificateStore::EncodeName(const std::string& x500, std::vector<uint8_t>& out) {
    std::wstring w = Wide(x500);
    DWORD size = 0;
    if (!::CertStrToNameW(X509_ASN_ENCODING, w.c_str(), CERT_X500_NAME_STR, nullptr, nullptr,
                          &size, nullptr))
        return Failed();
    out.resize(size);
    if (!::CertStrToNameW(X509_ASN_ENCODING, w.c_str(), CERT_X500_NAME_STR, nullptr, out.data(),
                          &size, nullptr))
        return Failed();
    out.resize(size);
    return true;
}

bool TWin32CertificateStore::EncodeAltNames(const std::vector<TAltName>& names,
                                            std::vector<uint8_t>& out) {
    std::vector<std::wstring> dns;
    dns.reserve(names.size());
    std::vector<std::vector<uint8_t>> ips;
    ips.reserve(names.size());
    std::vector<CERT_ALT_NAME_ENTRY> entries(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].Kind == TAltName::an_DnsName) {
            dns.push_back(Wide(names[i].DnsName));
            entries[i].dwAltNameChoice = CERT_ALT_NAME_DNS_NAME;
            entries[i].pwszDNSName = dns.back().data();
        } else {
            ips.push_back(names[i].IpAddress);
            entries[i].dwAltNameChoice = CERT_ALT_NAME_IP_ADDRESS;
            entries[i].IPAddress.cbData = static_cast<DWORD>(ips.back().size());
            entries[i].IPAddress.pbData = ips.back().data();
        }
    }
    CERT_ALT_NAME_INFO info{};
    info.cAltEntry = static_cast<DWORD>(entries.size());
    info.rgAltEntry = entries.data();
    return EncodeObject(szOID_SUBJECT_ALT_NAME2, &info, out);
}

bool TWin32CertificateStore::EncodeBasicConstraints(bool isCA, bool hasPathLength,
                                                    uint32_t pathLength, std::vector<uint8_t>& out) {
    CERT_BASIC_CONSTRAINTS2_INFO info{};
    info.fCA = isCA;
    info.fPathLenConstraint = hasPathLength;
    info.dwPathLenConstraint = pathLength;
    return EncodeObject(szOID_BASIC_CONSTRAINTS2, &info, out);
}

bool TWin32CertificateStore::EncodeKeyIdentifier(const std::vector<uint8_t>& keyId,
                                                 std::vector<uint8_t>& out) {
    CRYPT_DATA_BLOB blob{};
    std::vector<uint8_t> copy = keyId;
    blob.cbData = static_cast<DWORD>(copy.size());
    blob.pbData = copy.data();
    return EncodeObject(szOID_SUBJECT_KEY_IDENTIFIER, &blob, out);
}

std::unique_ptr<ICertificate>
TWin32CertificateStore::CreateSelfSigned(const std::vector<uint8_t>& subject,
                                         const TKeyProvInfo& keyProvInfo,
                                         const std::string& signatureOid, const TSystemTime& end,
                                         const std::vector<TCertExtension>& extensions) {
    std::vector<uint8_t> subjectCopy = subject;
    CERT_NAME_BLOB name{static_cast<DWORD>(subjectCopy.size()), subjectCopy.data()};
    std::wstring container = Wide(keyProvInfo.ContainerName);
    std::wstring provider = Wide(keyProvInfo.ProviderName);
    CRYPT_KEY_PROV_INFO kpi{};
    kpi.pwszContainerName = container.data();
    kpi.pwszProvName = provider.empty() ? nullptr : provider.data();
    kpi.dwProvType = keyProvInfo.ProviderType;
    kpi.dwFlags = keyProvInfo.Flags;
    kpi.dwKeySpec = keyProvInfo.KeySpec;
    std::string oid = signatureOid;
    CRYPT_ALGORITHM_IDENTIFIER alg{};
    alg.pszObjId = oid.data();
    SYSTEMTIME endTime{};
    endTime.wYear = static_cast<WORD>(end.Year);
    endTime.wMonth = static_cast<WORD>(end.Month);
    endTime.wDay = static_cast<WORD>(end.Day);
    endTime.wHour = static_cast<WORD>(end.Hour);
    endTime.wMinute = static_cast<WORD>(end.Minute);
    endTime.wSecond = static_cast<WORD>(end.Second);
    endTime.wMilliseconds = static_cast<WORD>(end.Milliseconds);
    std::vector<std::string> oids;
    oids.reserve(extensions.size());
    std::vector<std::vector<uint8_t>> values;
    values.reserve(extensions.size());
    std::vector<CERT_EXTENSION> ext(extensions.size());
    for (size_t i = 0; i < extensions.size(); ++i) {
        oids.push_back(extensions[i].Oid);
        values.push_back(extensions[i].Value);
        ext[i].pszObjId = oids.back().data();
        ext[i].fCritical = extensions[i].Critical;
        ext[i].Value.cbData = static_cast<DWORD>(values.back().size());
        ext[i].Value.pbData = values.back().data();
    }
    CERT_EXTENSIONS exts{static_cast<DWORD>(ext.size()), ext.data()};
    PCCERT_CONTEXT ctx = ::CertCreateSelfSignCertificate(0, &name, 0, &kpi, &alg, nullptr, &endTime,
                                                         &exts);
    if (!ctx)
        return FailedNull<ICertificate>();
    return std::make_unique<TWin32Certificate>(ctx, true);
}

std::unique_ptr<ICertificate> TWin32CertificateStore::CreateFromEncoded(const std::vector<uint8_t>& der) {
    PCCERT_CONTEXT ctx = ::CertCreateCertificateContext(X509_ASN_ENCODING, der.data(),
                                                        static_cast<DWORD>(der.size()));
    if (!ctx)
        return FailedNull<ICertificate>();
    return std::make_unique<TWin32Certificate>(ctx, true);
}

} // namespace cv
