#pragma once
// The local computer's certificate stores and key containers through CryptoAPI: CertOpenStore
// (CERT_STORE_PROV_SYSTEM_W, CERT_SYSTEM_STORE_LOCAL_MACHINE), CertEnumCertificatesInStore,
// CertAddCertificateContextToStore (CERT_STORE_ADD_REPLACE_EXISTING),
// CertFindCertificateInStore (CERT_FIND_EXISTING) with CertDeleteCertificateFromStore,
// CertNameToStrW, CertGetEnhancedKeyUsage, CertAddEnhancedKeyUsageIdentifier,
// CryptAcquireCertificatePrivateKey, Cert{Get,Set}CertificateContextProperty,
// CryptAcquireContextW, CryptGenKey, CertStrToNameW, CryptEncodeObject,
// CertCreateSelfSignCertificate and CertCreateCertificateContext.
#include "platform/CertificateStore.h"

namespace cv {

class TWin32CertificateStore : public ICertificateStore {
public:
    std::unique_ptr<ICertStoreHandle> OpenSystemStore(const std::string& name) override;
    std::unique_ptr<IKeyContainer> AcquireContext(const std::string& container,
                                                  const std::string& provider,
                                                  uint32_t providerType, uint32_t flags) override;
    bool EncodeName(const std::string& x500, std::vector<uint8_t>& out) override;
    bool EncodeAltNames(const std::vector<TAltName>& names, std::vector<uint8_t>& out) override;
    bool EncodeBasicConstraints(bool isCA, bool hasPathLength, uint32_t pathLength,
                                std::vector<uint8_t>& out) override;
    bool EncodeKeyIdentifier(const std::vector<uint8_t>& keyId, std::vector<uint8_t>& out) override;
    std::unique_ptr<ICertificate> CreateSelfSigned(const std::vector<uint8_t>& subject,
                                                   const TKeyProvInfo& keyProvInfo,
                                                   const std::string& signatureOid,
                                                   const TSystemTime& end,
                                                   const std::vector<TCertExtension>& extensions) override;
    std::unique_ptr<ICertificate> CreateFromEncoded(const std::vector<uint8_t>& der) override;
    uint32_t LastError() const override;
};

} // namespace cv
