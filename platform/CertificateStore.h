#pragma once
// The local computer's certificate stores and key containers. Stands for CertOpenStore
// (CERT_STORE_PROV_SYSTEM_W, CERT_SYSTEM_STORE_LOCAL_MACHINE), CertEnumCertificatesInStore,
// CertAddCertificateContextToStore (CERT_STORE_ADD_REPLACE_EXISTING),
// CertDeleteCertificateFromStore, CertCloseStore; per certificate CertNameToStrW
// (CERT_SIMPLE_NAME_STR), CertGetEnhancedKeyUsage, CertAddEnhancedKeyUsageIdentifier,
// CryptAcquireCertificatePrivateKey, Cert{Get,Set}CertificateContextProperty
// (CERT_KEY_PROV_INFO_PROP_ID); CryptAcquireContextW and CryptGenKey for key containers;
// CertStrToNameW, CryptEncodeObject, CertCreateSelfSignCertificate and
// CertCreateCertificateContext for making certificates.
// Failures return false or null and set LastError() to the platform's error code.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cv {

// Flags and codes with their Windows values.
constexpr uint32_t PROV_RSA_FULL = 1;
constexpr uint32_t AT_KEYEXCHANGE = 1;
constexpr uint32_t AT_SIGNATURE = 2;
constexpr uint32_t CRYPT_EXPORTABLE = 0x1;
constexpr uint32_t CRYPT_NEWKEYSET = 0x8;
constexpr uint32_t CRYPT_MACHINE_KEYSET = 0x20;
constexpr uint32_t CRYPT_ACQUIRE_COMPARE_KEY_FLAG = 0x4;
constexpr uint32_t CRYPT_ACQUIRE_PREFER_NCRYPT_KEY_FLAG = 0x20000;

constexpr uint32_t NTE_BAD_ALGID_CODE = 0x80090008;
constexpr uint32_t NTE_BAD_FLAGS_CODE = 0x80090009;
constexpr uint32_t NTE_NO_KEY_CODE = 0x8009000D;
constexpr uint32_t NTE_EXISTS_CODE = 0x8009000F;
constexpr uint32_t NTE_BAD_PUBLIC_KEY_CODE = 0x80090015;
constexpr uint32_t NTE_BAD_KEYSET_CODE = 0x80090016;
constexpr uint32_t NTE_PROV_TYPE_NOT_DEF_CODE = 0x80090017;
constexpr uint32_t NTE_KEYSET_NOT_DEF_CODE = 0x80090019;
constexpr uint32_t NTE_KEYSET_ENTRY_BAD_CODE = 0x8009001A;
constexpr uint32_t CRYPT_E_NOT_FOUND_CODE = 0x80092004;
constexpr uint32_t CRYPT_E_NO_KEY_PROPERTY_CODE = 0x8009200B;
constexpr uint32_t CRYPT_E_ASN1_BADTAG_CODE = 0x8009310B;
constexpr uint32_t CRYPT_E_INVALID_X500_STRING_CODE = 0x80092023;
constexpr uint32_t CRYPT_E_INVALID_IA5_STRING_CODE = 0x80092022;

// A SYSTEMTIME in UTC.
struct TSystemTime {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Milliseconds = 0;
};

// CRYPT_KEY_PROV_INFO without provider parameters: where a certificate's private key lies.
struct TKeyProvInfo {
    std::string ContainerName;
    std::string ProviderName; // empty: the default provider of the type
    uint32_t ProviderType = 0;
    uint32_t Flags = 0;       // CRYPT_MACHINE_KEYSET for the machine's containers
    uint32_t KeySpec = 0;     // AT_SIGNATURE or AT_KEYEXCHANGE

    bool operator==(const TKeyProvInfo&) const = default;
};

// One entry of CERT_EXTENSIONS; Value is the encoded structure (CryptEncodeObject).
struct TCertExtension {
    std::string Oid;
    bool Critical = false;
    std::vector<uint8_t> Value;
};

// One entry of CERT_ALT_NAME_INFO.
struct TAltName {
    enum TKind : uint8_t { an_DnsName, an_IpAddress } Kind = an_DnsName;
    std::string DnsName;             // an_DnsName
    std::vector<uint8_t> IpAddress;  // an_IpAddress: 4 or 16 bytes, network order
};

// A certificate context. Property changes on a certificate read from a store are written to
// that store; on any other certificate they stay with the object (and go with it into a store
// it is added to).
class ICertificate {
public:
    virtual ~ICertificate() = default;
    // The serial number as the platform keeps it: least significant byte first.
    virtual std::vector<uint8_t> SerialNumber() = 0;
    // Subject and issuer in the simple name format: values without keys, joined by ", ".
    virtual bool SubjectName(std::string& out) = 0;
    virtual bool IssuerName(std::string& out) = 0;
    // NotBefore and NotAfter in UTC; false when the time cannot be converted.
    virtual bool NotBefore(TSystemTime& out) = 0;
    virtual bool NotAfter(TSystemTime& out) = 0;
    // The valid uses from the extension and the property together (CertGetEnhancedKeyUsage
    // with no flags). True with an empty list when the certificate has neither (LastError is
    // then CRYPT_E_NOT_FOUND: good for every use) or their intersection is empty.
    virtual bool EnhancedKeyUsage(std::vector<std::string>& oids) = 0;
    virtual bool AddEnhancedKeyUsage(const std::string& oid) = 0;
    // Whether the private key named by the key provider information can be acquired; with
    // CRYPT_ACQUIRE_COMPARE_KEY_FLAG it must also match the certificate's public key.
    virtual bool AcquirePrivateKey(uint32_t flags) = 0;
    // False (CRYPT_E_NOT_FOUND) when the certificate has no key provider information.
    virtual bool GetKeyProvInfo(TKeyProvInfo& out) = 0;
    // Null removes the property.
    virtual bool SetKeyProvInfo(const TKeyProvInfo* info) = 0;
    // The DER encoding.
    virtual std::vector<uint8_t> Encoded() = 0;
};

// An open certificate store; closed when the object goes.
class ICertStoreHandle {
public:
    virtual ~ICertStoreHandle() = default;
    // Calls `visit` for each certificate in store order until it returns false. The
    // certificate lives for the call.
    virtual void Enumerate(const std::function<bool(ICertificate&)>& visit) = 0;
    // Adds a copy with its properties; an identical certificate already there is replaced.
    virtual bool Add(ICertificate& cert) = 0;
    // Removes the identical certificate from the store.
    virtual bool Delete(ICertificate& cert) = 0;
};

// A key container handle; released when the object goes.
class IKeyContainer {
public:
    virtual ~IKeyContainer() = default;
    // Makes a new key pair of kind `keySpec` (exchange or signature) in the container,
    // replacing one there; the upper 16 bits of `flags` give the key length. The key handle
    // is not kept.
    virtual bool GenerateKey(uint32_t keySpec, uint32_t flags) = 0;
};

class ICertificateStore {
public:
    virtual ~ICertificateStore() = default;
    // The local computer's system store of that name; null when it cannot be opened.
    virtual std::unique_ptr<ICertStoreHandle> OpenSystemStore(const std::string& name) = 0;
    // CryptAcquireContextW: an existing container, or a new one with CRYPT_NEWKEYSET.
    virtual std::unique_ptr<IKeyContainer> AcquireContext(const std::string& container,
                                                          const std::string& provider,
                                                          uint32_t providerType,
                                                          uint32_t flags) = 0;
    // An X.500 name string ("CN=host, T=default") to an encoded name (CertStrToNameW,
    // CERT_X500_NAME_STR).
    virtual bool EncodeName(const std::string& x500, std::vector<uint8_t>& out) = 0;
    // CryptEncodeObject for the subject alternative name, basic constraints and subject key
    // identifier extensions.
    virtual bool EncodeAltNames(const std::vector<TAltName>& names, std::vector<uint8_t>& out) = 0;
    virtual bool EncodeBasicConstraints(bool isCA, bool hasPathLength, uint32_t pathLength,
                                        std::vector<uint8_t>& out) = 0;
    virtual bool EncodeKeyIdentifier(const std::vector<uint8_t>& keyId,
                                     std::vector<uint8_t>& out) = 0;
    // A self-signed certificate signed with the key that `keyProvInfo` names, valid from now
    // to `end`, carrying `keyProvInfo` as its property. Null on failure.
    virtual std::unique_ptr<ICertificate> CreateSelfSigned(const std::vector<uint8_t>& subject,
                                                           const TKeyProvInfo& keyProvInfo,
                                                           const std::string& signatureOid,
                                                           const TSystemTime& end,
                                                           const std::vector<TCertExtension>& extensions) = 0;
    // A certificate object from its DER encoding, in no store.
    virtual std::unique_ptr<ICertificate> CreateFromEncoded(const std::vector<uint8_t>& der) = 0;
    // Error code of the calling thread's last failed call.
    virtual uint32_t LastError() const = 0;
};

} // namespace cv
