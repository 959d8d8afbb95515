#include "SandboxCertificateStore.h"

#include "SandboxCertText.h"
#include "core/DateTime.h"
#include "core/Text.h"
#include "platform/FileSystem.h"
#include "platform/ServiceManager.h"

#include <openssl/asn1.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cv {

using sandbox::TCertProperties;

namespace {

thread_local uint32_t tLastError = 0;

constexpr uint32_t ERROR_INVALID_PARAMETER_VALUE = 87;
constexpr uint32_t PROV_RSA_AES_VALUE = 24;
constexpr uint32_t CRYPT_SILENT_VALUE = 0x40;
// Files larger than this are no certificate, property or key file of ours.
constexpr off_t MaxCertificateFile = 1 << 20;
constexpr off_t MaxSmallFile = 64 << 10;

bool Fail(uint32_t code) {
    tLastError = code;
    return false;
}

template <typename T> std::unique_ptr<T> FailNull(uint32_t code) {
    tLastError = code;
    return nullptr;
}

bool IsAdministrator() {
    const char* rights = std::getenv("VORNIX_SANDBOX_RIGHTS");
    return !(rights && std::string(rights) == "user");
}

struct TX509Free {
    void operator()(X509* p) const { X509_free(p); }
};
struct TPKeyFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct TNameFree {
    void operator()(X509_NAME* p) const { X509_NAME_free(p); }
};
struct TBioFree {
    void operator()(BIO* p) const { BIO_free(p); }
};
using TX509Ptr = std::unique_ptr<X509, TX509Free>;
using TPKeyPtr = std::unique_ptr<EVP_PKEY, TPKeyFree>;
using TNamePtr = std::unique_ptr<X509_NAME, TNameFree>;
using TBioPtr = std::unique_ptr<BIO, TBioFree>;

std::string Hex(const unsigned char* p, size_t n) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s.push_back(digits[p[i] >> 4]);
        s.push_back(digits[p[i] & 15]);
    }
    return s;
}

std::string Thumbprint(const std::vector<uint8_t>& der) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (!EVP_Digest(der.data(), der.size(), md, &n, EVP_sha1(), nullptr))
        return {};
    return Hex(md, n);
}

TX509Ptr ParseDer(const std::vector<uint8_t>& der) {
    const unsigned char* p = der.data();
    TX509Ptr x(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
    if (x && p != der.data() + der.size())
        x.reset(); // trailing bytes: not one certificate
    return x;
}

// i2d output of any OpenSSL object into a byte vector.
template <typename T, typename F> bool Encode(T* object, F i2d, std::vector<uint8_t>& out) {
    int n = i2d(object, nullptr);
    if (n <= 0)
        return false;
    out.resize(static_cast<size_t>(n));
    unsigned char* p = out.data();
    return i2d(object, &p) == n;
}

// ---- files ----

// Reads a regular file of at most `limit` bytes; errno tells why not.
bool ReadSmallFile(const std::string& path, off_t limit, std::string& out) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > limit) {
        ::close(fd);
        errno = EINVAL;
        return false;
    }
    out.clear();
    char buf[8192];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int e = errno;
            ::close(fd);
            errno = e;
            return false;
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
        if (static_cast<off_t>(out.size()) > limit) {
            ::close(fd);
            errno = EINVAL;
            return false;
        }
    }
    ::close(fd);
    return true;
}

// A private key file: created 0600 beside its place, flushed, renamed into it.
bool WriteSecretFile(const std::string& path, const std::string& bytes) {
    std::string tmp = path + ".tmp-" + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0600) == 0;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(tmp.c_str());
    return ok;
}

// Creates the folder and its missing parents below `base` with the mode (0700 for keys).
bool MakeFolders(const std::string& base, const std::string& relative, mode_t mode) {
    std::string path = base;
    for (auto& part : SplitAny(relative, "/")) {
        if (part.empty())
            continue;
        path += "/" + part;
        if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST)
            return false;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return false;
        if ((st.st_mode & 07777) != mode && ::chmod(path.c_str(), mode) != 0)
            return false;
    }
    return true;
}

// A container's name as a file name: anything but letters, digits, "-" and "_" as %XX.
std::string ContainerFileName(const std::string& name) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (char c : name) {
        auto b = static_cast<unsigned char>(c);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_') {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(hex[b >> 4]);
            out.push_back(hex[b & 15]);
        }
    }
    return out;
}

const char* KeyFileName(uint32_t keySpec) {
    return keySpec == AT_SIGNATURE ? "signature.pem" : "exchange.pem";
}

// Exclusive for changes, shared for reading a store; across threads and processes alike.
class TStoreLock {
public:
    TStoreLock(const std::string& sandbox, bool exclusive) {
        MakeFolders(sandbox, "certificates", 0755);
        FFd = ::open((sandbox + "/certificates/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (FFd >= 0)
            while (::flock(FFd, exclusive ? LOCK_EX : LOCK_SH) != 0 && errno == EINTR) {
            }
    }
    ~TStoreLock() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TStoreLock(const TStoreLock&) = delete;
    TStoreLock& operator=(const TStoreLock&) = delete;

private:
    int FFd = -1;
};

// ---- keys ----

std::string KeyFolder(const std::string& sandbox, const std::string& container, bool machine) {
    std::string name = container.empty() ? std::string("Default") : container;
    return TSandboxCertificateStore::KeysFolder(sandbox, machine) + "/" + ContainerFileName(name);
}

TPKeyPtr KeyFail(uint32_t code) {
    tLastError = code;
    return nullptr;
}

// The private key a key provider information names, with the platform's error when not.
TPKeyPtr LoadPrivateKey(const std::string& sandbox, const TKeyProvInfo& info) {
    const bool machine = (info.Flags & CRYPT_MACHINE_KEYSET) != 0;
    if (!info.ProviderName.empty())
        return KeyFail(NTE_KEYSET_NOT_DEF_CODE);
    if (machine && !IsAdministrator())
        return KeyFail(ERROR_ACCESS_DENIED_CODE);
    const std::string folder = KeyFolder(sandbox, info.ContainerName, machine);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return KeyFail(errno == EACCES ? ERROR_ACCESS_DENIED_CODE : NTE_BAD_KEYSET_CODE);
    if (info.KeySpec != AT_SIGNATURE && info.KeySpec != AT_KEYEXCHANGE)
        return KeyFail(NTE_NO_KEY_CODE);
    const std::string path = folder + "/" + KeyFileName(info.KeySpec);
    std::string pem;
    if (!ReadSmallFile(path, MaxSmallFile, pem)) {
        uint32_t code = errno == ENOENT   ? NTE_NO_KEY_CODE
                        : errno == EACCES || errno == EPERM ? ERROR_ACCESS_DENIED_CODE
                                                            : NTE_KEYSET_ENTRY_BAD_CODE;
        return KeyFail(code);
    }
    TBioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    TPKeyPtr key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA)
        return KeyFail(NTE_KEYSET_ENTRY_BAD_CODE);
    return key;
}

class TSandboxKeyContainer : public IKeyContainer {
public:
    TSandboxKeyContainer(std::string folder, bool machine)
        : FFolder(std::move(folder)), FMachine(machine) {}

    bool GenerateKey(uint32_t keySpec, uint32_t flags) override {
        if (keySpec != AT_SIGNATURE && keySpec != AT_KEYEXCHANGE)
            return Fail(NTE_BAD_ALGID_CODE);
        uint32_t bits = flags >> 16;
        if (bits == 0)
            bits = 2048;
        if (bits < 512 || bits > 16384 || bits % 8 != 0)
            return Fail(NTE_BAD_FLAGS_CODE);
        if (FMachine && !IsAdministrator())
            return Fail(ERROR_ACCESS_DENIED_CODE);
        TPKeyPtr key(EVP_RSA_gen(bits));
        if (!key)
            return Fail(NTE_BAD_FLAGS_CODE);
        TBioPtr bio(BIO_new(BIO_s_mem()));
        if (!bio || !PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr,
                                              nullptr))
            return Fail(NTE_BAD_FLAGS_CODE);
        char* data = nullptr;
        long n = BIO_get_mem_data(bio.get(), &data);
        if (!WriteSecretFile(FFolder + "/" + KeyFileName(keySpec),
                             std::string(data, static_cast<size_t>(n))))
            return Fail(errno == EACCES ? ERROR_ACCESS_DENIED_CODE : NTE_BAD_KEYSET_CODE);
        return true;
    }

private:
    std::string FFolder;
    bool FMachine;
};

// ---- certificates ----

bool ToSystemTime(const ASN1_TIME* t, TSystemTime& out) {
    std::tm tm{};
    if (!t || ASN1_TIME_to_tm(t, &tm) != 1)
        return false;
    out.Year = tm.tm_year + 1900;
    out.Month = tm.tm_mon + 1;
    out.Day = tm.tm_mday;
    out.Hour = tm.tm_hour;
    out.Minute = tm.tm_min;
    out.Second = tm.tm_sec;
    out.Milliseconds = 0;
    return true;
}

// Values without keys, RDNs joined by ", ", values of one RDN by " + ".
bool SimpleName(const X509_NAME* name, std::string& out) {
    out.clear();
    if (!name)
        return false;
    int previousSet = -1;
    for (int i = 0; i < X509_NAME_entry_count(name); ++i) {
        const X509_NAME_ENTRY* e = X509_NAME_get_entry(name, i);
        int set = X509_NAME_ENTRY_set(e);
        if (i > 0)
            out += set == previousSet ? " + " : ", ";
        previousSet = set;
        const ASN1_STRING* data = X509_NAME_ENTRY_get_data(e);
        unsigned char* utf8 = nullptr;
        int n = ASN1_STRING_to_UTF8(&utf8, data);
        if (n < 0) {
            // Not a character string: shown in hexadecimal, as the platform does.
            out += Hex(ASN1_STRING_get0_data(data), static_cast<size_t>(ASN1_STRING_length(data)));
            continue;
        }
        out += sandbox::QuoteNameValue(std::string(reinterpret_cast<char*>(utf8),
                                                   static_cast<size_t>(n)));
        OPENSSL_free(utf8);
    }
    return true;
}

// Writes a certificate's properties into the store it came from.
bool PersistProperties(const std::string& sandbox, const std::string& storeFolder,
                       const std::string& thumbprint, const TCertProperties& props);

class TSandboxCertificate : public ICertificate {
public:
    TSandboxCertificate(std::string sandbox, std::vector<uint8_t> der, TX509Ptr x509,
                        TCertProperties props, std::string storeFolder = {})
        : FSandbox(std::move(sandbox)), FDer(std::move(der)), FX509(std::move(x509)),
          FProps(std::move(props)), FStoreFolder(std::move(storeFolder)),
          FThumbprint(Thumbprint(FDer)) {}

    std::vector<uint8_t> SerialNumber() override {
        // The content octets of the encoded INTEGER (a leading zero kept), reversed.
        std::vector<uint8_t> der;
        if (!Encode(X509_get0_serialNumber(FX509.get()), i2d_ASN1_INTEGER, der) || der.size() < 2)
            return {};
        size_t pos = 1;
        size_t len = der[pos++];
        if (len & 0x80) {
            size_t count = len & 0x7F;
            len = 0;
            for (size_t i = 0; i < count && pos < der.size(); ++i)
                len = len << 8 | der[pos++];
        }
        if (pos + len != der.size())
            return {};
        return std::vector<uint8_t>(der.rbegin(), der.rbegin() + static_cast<std::ptrdiff_t>(len));
    }
    bool SubjectName(std::string& out) override {
        return SimpleName(X509_get_subject_name(FX509.get()), out) || Fail(CRYPT_E_ASN1_BADTAG_CODE);
    }
    bool IssuerName(std::string& out) override {
        return SimpleName(X509_get_issuer_name(FX509.get()), out) || Fail(CRYPT_E_ASN1_BADTAG_CODE);
    }
    bool NotBefore(TSystemTime& out) override {
        return ToSystemTime(X509_get0_notBefore(FX509.get()), out) ||
               Fail(ERROR_INVALID_PARAMETER_VALUE);
    }
    bool NotAfter(TSystemTime& out) override {
        return ToSystemTime(X509_get0_notAfter(FX509.get()), out) ||
               Fail(ERROR_INVALID_PARAMETER_VALUE);
    }
    bool EnhancedKeyUsage(std::vector<std::string>& oids) override {
        oids.clear();
        int critical = -1;
        auto* ext = static_cast<EXTENDED_KEY_USAGE*>(
            X509_get_ext_d2i(FX509.get(), NID_ext_key_usage, &critical, nullptr));
        if (!ext && critical != -1)
            return Fail(CRYPT_E_ASN1_BADTAG_CODE); // there but not decodable, or more than one
        std::optional<std::vector<std::string>> fromExtension;
        if (ext) {
            fromExtension.emplace();
            for (int i = 0; i < sk_ASN1_OBJECT_num(ext); ++i) {
                char buf[128];
                int n = OBJ_obj2txt(buf, sizeof buf, sk_ASN1_OBJECT_value(ext, i), 1);
                if (n > 0 && n < static_cast<int>(sizeof buf))
                    fromExtension->emplace_back(buf, static_cast<size_t>(n));
            }
            EXTENDED_KEY_USAGE_free(ext);
        }
        const auto& fromProperty = FProps.EnhancedKeyUsage;
        if (!fromExtension && !fromProperty) {
            tLastError = CRYPT_E_NOT_FOUND_CODE; // good for every use
            return true;
        }
        if (fromExtension && fromProperty) {
            for (auto& oid : *fromExtension)
                if (std::find(fromProperty->begin(), fromProperty->end(), oid) != fromProperty->end())
                    oids.push_back(oid);
        } else {
            oids = fromExtension ? *fromExtension : *fromProperty;
        }
        tLastError = 0;
        return true;
    }
    bool AddEnhancedKeyUsage(const std::string& oid) override {
        if (!sandbox::IsOid(oid))
            return Fail(ERROR_INVALID_PARAMETER_VALUE);
        TCertProperties props = FProps;
        if (!props.EnhancedKeyUsage)
            props.EnhancedKeyUsage.emplace();
        auto& list = *props.EnhancedKeyUsage;
        if (std::find(list.begin(), list.end(), oid) == list.end())
            list.push_back(oid);
        return Store(std::move(props));
    }
    bool AcquirePrivateKey(uint32_t flags) override {
        if (!FProps.KeyProvInfo)
            return Fail(CRYPT_E_NO_KEY_PROPERTY_CODE);
        TPKeyPtr key = LoadPrivateKey(FSandbox, *FProps.KeyProvInfo);
        if (!key)
            return false;
        if ((flags & CRYPT_ACQUIRE_COMPARE_KEY_FLAG) &&
            EVP_PKEY_eq(X509_get0_pubkey(FX509.get()), key.get()) != 1)
            return Fail(NTE_BAD_PUBLIC_KEY_CODE);
        return true;
    }
    bool GetKeyProvInfo(TKeyProvInfo& out) override {
        if (!FProps.KeyProvInfo)
            return Fail(CRYPT_E_NOT_FOUND_CODE);
        out = *FProps.KeyProvInfo;
        return true;
    }
    bool SetKeyProvInfo(const TKeyProvInfo* info) override {
        TCertProperties props = FProps;
        if (info)
            props.KeyProvInfo = *info;
        else
            props.KeyProvInfo.reset();
        return Store(std::move(props));
    }
    std::vector<uint8_t> Encoded() override { return FDer; }

    const TCertProperties& Properties() const { return FProps; }
    const std::string& ThumbprintText() const { return FThumbprint; }
    X509* X509Object() const { return FX509.get(); }

private:
    bool Store(TCertProperties props) {
        if (!FStoreFolder.empty() && !PersistProperties(FSandbox, FStoreFolder, FThumbprint, props))
            return false;
        FProps = std::move(props);
        return true;
    }

    std::string FSandbox;
    std::vector<uint8_t> FDer;
    TX509Ptr FX509;
    TCertProperties FProps;
    std::string FStoreFolder; // empty: in no store
    std::string FThumbprint;
};

bool PersistProperties(const std::string& sandbox, const std::string& storeFolder,
                       const std::string& thumbprint, const TCertProperties& props) {
    if (!IsAdministrator())
        return Fail(ERROR_ACCESS_DENIED_CODE);
    TStoreLock lock(sandbox, true);
    const std::string base = storeFolder + "/" + thumbprint;
    if (!FileExists(base + ".cer"))
        return Fail(CRYPT_E_NOT_FOUND_CODE); // deleted meanwhile
    try {
        WriteFileAtomic(base + ".properties", sandbox::FormatProperties(props));
    } catch (const std::exception&) {
        return Fail(ERROR_ACCESS_DENIED_CODE);
    }
    return true;
}

class TSandboxStoreHandle : public ICertStoreHandle {
public:
    TSandboxStoreHandle(std::string sandbox, std::string folder)
        : FSandbox(std::move(sandbox)), FFolder(std::move(folder)) {}

    void Enumerate(const std::function<bool(ICertificate&)>& visit) override {
        std::vector<std::unique_ptr<TSandboxCertificate>> certs;
        {
            TStoreLock lock(FSandbox, false);
            std::vector<std::string> names;
            if (DIR* d = ::opendir(FFolder.c_str())) {
                while (dirent* e = ::readdir(d)) {
                    std::string name = e->d_name;
                    if (EndsWith(name, ".cer"))
                        names.push_back(name.substr(0, name.size() - 4));
                }
                ::closedir(d);
            }
            std::sort(names.begin(), names.end());
            for (auto& name : names) {
                std::string der, props;
                if (!ReadSmallFile(FFolder + "/" + name + ".cer", MaxCertificateFile, der))
                    continue;
                std::vector<uint8_t> bytes(der.begin(), der.end());
                TX509Ptr x = ParseDer(bytes);
                if (!x)
                    continue; // not a certificate: the platform would not list it either
                TCertProperties p;
                if (ReadSmallFile(FFolder + "/" + name + ".properties", MaxSmallFile, props))
                    p = sandbox::ParseProperties(props);
                certs.push_back(std::make_unique<TSandboxCertificate>(FSandbox, std::move(bytes),
                                                                      std::move(x), std::move(p),
                                                                      FFolder));
            }
        }
        for (auto& c : certs)
            if (!visit(*c))
                break;
    }

    bool Add(ICertificate& cert) override {
        if (!IsAdministrator())
            return Fail(ERROR_ACCESS_DENIED_CODE);
        std::vector<uint8_t> der = cert.Encoded();
        TCertProperties props;
        if (auto* own = dynamic_cast<TSandboxCertificate*>(&cert)) {
            props = own->Properties();
        } else {
            TKeyProvInfo info;
            if (cert.GetKeyProvInfo(info))
                props.KeyProvInfo = info;
        }
        if (!ParseDer(der))
            return Fail(CRYPT_E_ASN1_BADTAG_CODE);
        const std::string base = FFolder + "/" + Thumbprint(der);
        TStoreLock lock(FSandbox, true);
        try {
            WriteFileAtomic(base + ".properties", sandbox::FormatProperties(props));
            WriteFileAtomic(base + ".cer", std::string(der.begin(), der.end()));
        } catch (const std::exception&) {
            return Fail(ERROR_ACCESS_DENIED_CODE);
        }
        return true;
    }

    bool Delete(ICertificate& cert) override {
        if (!IsAdministrator())
            return Fail(ERROR_ACCESS_DENIED_CODE);
        const std::string base = FFolder + "/" + Thumbprint(cert.Encoded());
        TStoreLock lock(FSandbox, true);
        if (!FileExists(base + ".cer"))
            return Fail(CRYPT_E_NOT_FOUND_CODE);
        ::unlink((base + ".cer").c_str());
        ::unlink((base + ".properties").c_str());
        return true;
    }

private:
    std::string FSandbox;
    std::string FFolder;
};

bool IsPrintable(const std::string& s) {
    for (char c : s) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                  std::string_view(" '()+,-./:=?").find(c) != std::string_view::npos;
        if (!ok)
            return false;
    }
    return true;
}

bool IsAscii(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (c & 0x80) == 0; });
}

bool IsUtf8(const std::string& s) { return Utf16ToUtf8(Utf8ToUtf16(s)) == s; }

const EVP_MD* DigestOfSignature(const std::string& oid) {
    if (oid == "1.2.840.113549.1.1.11")
        return EVP_sha256();
    if (oid == "1.2.840.113549.1.1.12")
        return EVP_sha384();
    if (oid == "1.2.840.113549.1.1.13")
        return EVP_sha512();
    if (oid == "1.2.840.113549.1.1.5" || oid.empty())
        return EVP_sha1(); // the platform's default
    return nullptr;
}

bool ToTimeT(const TSystemTime& t, time_t& out) {
    std::tm tm{};
    tm.tm_year = t.Year - 1900;
    tm.tm_mon = t.Month - 1;
    tm.tm_mday = t.Day;
    tm.tm_hour = t.Hour;
    tm.tm_min = t.Minute;
    tm.tm_sec = t.Second;
    if (!IsValidDate(t.Year, t.Month, t.Day) || t.Hour < 0 || t.Hour > 23 || t.Minute < 0 ||
        t.Minute > 59 || t.Second < 0 || t.Second > 59 || t.Year < 1601)
        return false;
    out = ::timegm(&tm);
    return true;
}

} // namespace

TSandboxCertificateStore::TSandboxCertificateStore(std::string sandbox)
    : FSandbox(std::move(sandbox)) {}

std::string TSandboxCertificateStore::StoresFolder(const std::string& sandbox) {
    return sandbox + "/certificates/LocalMachine";
}

std::string TSandboxCertificateStore::KeysFolder(const std::string& sandbox, bool machine) {
    return sandbox + (machine ? "/crypto/MachineKeys" : "/crypto/UserKeys");
}

uint32_t TSandboxCertificateStore::LastError() const { return tLastError; }

std::unique_ptr<ICertStoreHandle> TSandboxCertificateStore::OpenSystemStore(const std::string& name) {
    if (name.empty() || name.size() > 255 || name == "." || name == ".." ||
        name.find_first_of("/\\") != std::string::npos || name.find('\0') != std::string::npos)
        return FailNull<ICertStoreHandle>(ERROR_INVALID_PARAMETER_VALUE);
    const std::string stores = StoresFolder(FSandbox);
    std::string folder;
    if (DIR* d = ::opendir(stores.c_str())) {
        while (dirent* e = ::readdir(d))
            if (SameText(e->d_name, name))
                folder = stores + "/" + e->d_name;
        ::closedir(d);
    }
    if (folder.empty()) {
        // Opening a store that is not there creates it, as the platform does.
        if (!IsAdministrator())
            return FailNull<ICertStoreHandle>(ERROR_ACCESS_DENIED_CODE);
        TStoreLock lock(FSandbox, true);
        if (!MakeFolders(FSandbox, "certificates/LocalMachine/" + name, 0755))
            return FailNull<ICertStoreHandle>(ERROR_ACCESS_DENIED_CODE);
        folder = stores + "/" + name;
    }
    return std::make_unique<TSandboxStoreHandle>(FSandbox, folder);
}

std::unique_ptr<IKeyContainer> TSandboxCertificateStore::AcquireContext(const std::string& container,
                                                                        const std::string& provider,
                                                                        uint32_t providerType,
                                                                        uint32_t flags) {
    if (flags & ~(CRYPT_NEWKEYSET | CRYPT_MACHINE_KEYSET | CRYPT_SILENT_VALUE))
        return FailNull<IKeyContainer>(NTE_BAD_FLAGS_CODE);
    if (providerType != PROV_RSA_FULL && providerType != PROV_RSA_AES_VALUE)
        return FailNull<IKeyContainer>(NTE_PROV_TYPE_NOT_DEF_CODE);
    if (!provider.empty())
        return FailNull<IKeyContainer>(NTE_KEYSET_NOT_DEF_CODE);
    const bool machine = (flags & CRYPT_MACHINE_KEYSET) != 0;
    const std::string folder = KeyFolder(FSandbox, container, machine);
    struct stat st {};
    const bool exists = ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (flags & CRYPT_NEWKEYSET) {
        if (exists)
            return FailNull<IKeyContainer>(NTE_EXISTS_CODE);
        if (machine && !IsAdministrator())
            return FailNull<IKeyContainer>(ERROR_ACCESS_DENIED_CODE);
        const std::string relative =
            std::string("crypto/") + (machine ? "MachineKeys/" : "UserKeys/") +
            folder.substr(folder.rfind('/') + 1);
        if (!MakeFolders(FSandbox, relative, 0700))
            return FailNull<IKeyContainer>(ERROR_ACCESS_DENIED_CODE);
    } else if (!exists) {
        return FailNull<IKeyContainer>(NTE_BAD_KEYSET_CODE);
    }
    return std::make_unique<TSandboxKeyContainer>(folder, machine);
}

bool TSandboxCertificateStore::EncodeName(const std::string& x500, std::vector<uint8_t>& out) {
    sandbox::TNameRdns rdns;
    if (!sandbox::ParseX500Name(x500, rdns))
        return Fail(CRYPT_E_INVALID_X500_STRING_CODE);
    TNamePtr name(X509_NAME_new());
    if (!name)
        return Fail(ERROR_INVALID_PARAMETER_VALUE);
    for (auto& rdn : rdns) {
        bool first = true;
        for (auto& attr : rdn) {
            ASN1_OBJECT* obj = OBJ_txt2obj(attr.Oid.c_str(), 1);
            if (!obj)
                return Fail(CRYPT_E_INVALID_X500_STRING_CODE);
            int type;
            // E-mail and domain components are IA5 strings; everything else printable when it
            // can be, else UTF-8.
            const bool ia5 =
                attr.Oid == "1.2.840.113549.1.9.1" || attr.Oid == "0.9.2342.19200300.100.1.25";
            if (ia5)
                type = V_ASN1_IA5STRING;
            else if (IsPrintable(attr.Value))
                type = V_ASN1_PRINTABLESTRING;
            else
                type = V_ASN1_UTF8STRING;
            bool ok = (!ia5 || IsAscii(attr.Value)) && IsUtf8(attr.Value) &&
                      X509_NAME_add_entry_by_OBJ(
                          name.get(), obj, type,
                          reinterpret_cast<const unsigned char*>(attr.Value.data()),
                          static_cast<int>(attr.Value.size()), -1, first ? 0 : -1) == 1;
            ASN1_OBJECT_free(obj);
            if (!ok)
                return Fail(ia5 ? CRYPT_E_INVALID_IA5_STRING_CODE : CRYPT_E_INVALID_X500_STRING_CODE);
            first = false;
        }
    }
    if (!Encode(name.get(), i2d_X509_NAME, out))
        return Fail(CRYPT_E_INVALID_X500_STRING_CODE);
    return true;
}

bool TSandboxCertificateStore::EncodeAltNames(const std::vector<TAltName>& names,
                                              std::vector<uint8_t>& out) {
    GENERAL_NAMES* gens = sk_GENERAL_NAME_new_null();
    if (!gens)
        return Fail(ERROR_INVALID_PARAMETER_VALUE);
    bool ok = true;
    uint32_t error = ERROR_INVALID_PARAMETER_VALUE;
    for (auto& n : names) {
        GENERAL_NAME* g = GENERAL_NAME_new();
        ASN1_STRING* s = nullptr;
        if (n.Kind == TAltName::an_DnsName) {
            if (!IsAscii(n.DnsName)) {
                error = CRYPT_E_INVALID_IA5_STRING_CODE;
                ok = false;
            } else if ((s = ASN1_IA5STRING_new()) &&
                       ASN1_STRING_set(s, n.DnsName.data(), static_cast<int>(n.DnsName.size()))) {
                GENERAL_NAME_set0_value(g, GEN_DNS, s);
                s = nullptr;
            } else {
                ok = false;
            }
        } else if ((s = ASN1_OCTET_STRING_new()) &&
                   ASN1_STRING_set(s, n.IpAddress.data(), static_cast<int>(n.IpAddress.size()))) {
            GENERAL_NAME_set0_value(g, GEN_IPADD, s);
            s = nullptr;
        } else {
            ok = false;
        }
        ASN1_STRING_free(s);
        if (!ok || !g || !sk_GENERAL_NAME_push(gens, g)) {
            GENERAL_NAME_free(g);
            ok = false;
            break;
        }
    }
    ok = ok && Encode(gens, i2d_GENERAL_NAMES, out);
    GENERAL_NAMES_free(gens);
    return ok || Fail(error);
}

bool TSandboxCertificateStore::EncodeBasicConstraints(bool isCA, bool hasPathLength,
                                                      uint32_t pathLength,
                                                      std::vector<uint8_t>& out) {
    BASIC_CONSTRAINTS* bc = BASIC_CONSTRAINTS_new();
    if (!bc)
        return Fail(ERROR_INVALID_PARAMETER_VALUE);
    bc->ca = isCA ? 0xFF : 0;
    bool ok = true;
    if (hasPathLength) {
        bc->pathlen = ASN1_INTEGER_new();
        ok = bc->pathlen && ASN1_INTEGER_set_uint64(bc->pathlen, pathLength);
    }
    ok = ok && Encode(bc, i2d_BASIC_CONSTRAINTS, out);
    BASIC_CONSTRAINTS_free(bc);
    return ok || Fail(ERROR_INVALID_PARAMETER_VALUE);
}

bool TSandboxCertificateStore::EncodeKeyIdentifier(const std::vector<uint8_t>& keyId,
                                                   std::vector<uint8_t>& out) {
    ASN1_OCTET_STRING* s = ASN1_OCTET_STRING_new();
    bool ok = s && ASN1_OCTET_STRING_set(s, keyId.data(), static_cast<int>(keyId.size())) &&
              Encode(s, i2d_ASN1_OCTET_STRING, out);
    ASN1_OCTET_STRING_free(s);
    return ok || Fail(ERROR_INVALID_PARAMETER_VALUE);
}

std::unique_ptr<ICertificate>
TSandboxCertificateStore::CreateSelfSigned(const std::vector<uint8_t>& subject,
                                           const TKeyProvInfo& keyProvInfo,
                                           const std::string& signatureOid, const TSystemTime& end,
                                           const std::vector<TCertExtension>& extensions) {
    const EVP_MD* digest = DigestOfSignature(signatureOid);
    if (!digest)
        return FailNull<ICertificate>(NTE_BAD_ALGID_CODE);
    time_t endTime = 0;
    if (!ToTimeT(end, endTime))
        return FailNull<ICertificate>(ERROR_INVALID_PARAMETER_VALUE);
    const unsigned char* p = subject.data();
    TNamePtr name(d2i_X509_NAME(nullptr, &p, static_cast<long>(subject.size())));
    if (!name || p != subject.data() + subject.size())
        return FailNull<ICertificate>(CRYPT_E_ASN1_BADTAG_CODE);
    TPKeyPtr key = LoadPrivateKey(FSandbox, keyProvInfo);
    if (!key)
        return nullptr;

    TX509Ptr x(X509_new());
    if (!x || !X509_set_version(x.get(), 2))
        return FailNull<ICertificate>(ERROR_INVALID_PARAMETER_VALUE);
    // A positive 16-byte serial drawn at random.
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1)
        return FailNull<ICertificate>(NTE_BAD_FLAGS_CODE);
    serial[0] &= 0x7F;
    if (serial[0] == 0)
        serial[0] = 0x01;
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    ASN1_INTEGER* sn = bn ? BN_to_ASN1_INTEGER(bn, nullptr) : nullptr;
    BN_free(bn);
    bool ok = sn && X509_set_serialNumber(x.get(), sn);
    ASN1_INTEGER_free(sn);
    ok = ok && X509_set_subject_name(x.get(), name.get()) &&
         X509_set_issuer_name(x.get(), name.get()) &&
         X509_gmtime_adj(X509_getm_notBefore(x.get()), 0) &&
         ASN1_TIME_set(X509_getm_notAfter(x.get()), endTime) &&
         X509_set_pubkey(x.get(), key.get());
    for (auto& e : extensions) {
        if (!ok)
            break;
        ASN1_OBJECT* obj = OBJ_txt2obj(e.Oid.c_str(), 1);
        ASN1_OCTET_STRING* value = ASN1_OCTET_STRING_new();
        X509_EXTENSION* ext = nullptr;
        ok = obj && value &&
             ASN1_OCTET_STRING_set(value, e.Value.data(), static_cast<int>(e.Value.size())) &&
             (ext = X509_EXTENSION_create_by_OBJ(nullptr, obj, e.Critical ? 1 : 0, value)) &&
             X509_add_ext(x.get(), ext, -1);
        X509_EXTENSION_free(ext);
        ASN1_OCTET_STRING_free(value);
        ASN1_OBJECT_free(obj);
    }
    if (!ok)
        return FailNull<ICertificate>(ERROR_INVALID_PARAMETER_VALUE);
    if (X509_sign(x.get(), key.get(), digest) <= 0)
        return FailNull<ICertificate>(NTE_BAD_ALGID_CODE);
    std::vector<uint8_t> der;
    if (!Encode(x.get(), i2d_X509, der))
        return FailNull<ICertificate>(ERROR_INVALID_PARAMETER_VALUE);
    TCertProperties props;
    props.KeyProvInfo = keyProvInfo;
    return std::make_unique<TSandboxCertificate>(FSandbox, std::move(der), std::move(x),
                                                 std::move(props));
}

std::unique_ptr<ICertificate> TSandboxCertificateStore::CreateFromEncoded(const std::vector<uint8_t>& der) {
    TX509Ptr x = ParseDer(der);
    if (!x)
        return FailNull<ICertificate>(CRYPT_E_ASN1_BADTAG_CODE);
    return std::make_unique<TSandboxCertificate>(FSandbox, der, std::move(x), TCertProperties{});
}

std::string TSandboxCertificateStore::PrivateKeyPem(ICertificate& cert) {
    TKeyProvInfo info;
    if (!cert.GetKeyProvInfo(info))
        return {};
    TPKeyPtr key = LoadPrivateKey(FSandbox, info);
    if (!key)
        return {};
    TBioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio ||
        !PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr))
        return {};
    char* data = nullptr;
    long n = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<size_t>(n));
}

} // namespace cv
