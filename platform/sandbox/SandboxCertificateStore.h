#pragma once
// The sandbox's certificate stores and key containers, made with OpenSSL.
//
// <sandbox>/certificates/LocalMachine/<store>/ holds each certificate of a system store as
// <SHA-1 thumbprint>.cer (DER) with its properties (key provider information, enhanced key
// usage) in <thumbprint>.properties beside it. Store order is thumbprint order, as the
// registry keeps a system store's certificates. Adding an identical certificate replaces it
// with its new properties; store names are matched without regard to letter case; a store
// opened for the first time is created. Every change is made under an flock on
// <sandbox>/certificates/lock and each file is replaced atomically.
//
// <sandbox>/crypto/MachineKeys/<container>/ (and UserKeys for containers without
// CRYPT_MACHINE_KEYSET) holds a container's private keys as PKCS#8 PEM files,
// signature.pem and exchange.pem; folders are 0700 and key files 0600. A key that cannot be
// read fails the private-key test: a missing container NTE_BAD_KEYSET, a missing key
// NTE_NO_KEY, a damaged file NTE_KEYSET_ENTRY_BAD, refused access ERROR_ACCESS_DENIED.
//
// VORNIX_SANDBOX_RIGHTS=user refuses what Windows refuses a standard user: changes to the
// machine's stores, new machine containers and keys, and reading the machine's private keys.
#include "platform/CertificateStore.h"

#include <string>

namespace cv {

class TSandboxCertificateStore : public ICertificateStore {
public:
    explicit TSandboxCertificateStore(std::string sandbox);

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

    // The private key (PKCS#8 PEM) that the certificate's key provider information names, for
    // the simulated installation's web server; empty when it cannot be acquired.
    std::string PrivateKeyPem(ICertificate& cert);

    // Where the files lie, for tests and the simulated installation.
    static std::string StoresFolder(const std::string& sandbox);
    static std::string KeysFolder(const std::string& sandbox, bool machine);

private:
    std::string FSandbox;
};

} // namespace cv
