#pragma once
// The local computer's certificate stores "My" and "Root". Stands for CertOpenStore
// (CERT_SYSTEM_STORE_LOCAL_MACHINE), CertEnumCertificatesInStore, CertGetNameStringW,
// CertAddCertificateContextToStore, CryptAcquireContextW/CryptGenKey for key containers and
// CertCreateSelfSignCertificate. Elsewhere folders of PEM files handled with OpenSSL.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cv {

struct TCertificateFields {
    std::string SerialText;   // serial number as hex text, most significant byte first
    std::string SubjectName;  // simple display name of the subject
    double NotBefore = 0;     // local day counts
    double NotAfter = 0;
    bool ServerAuth = false;  // enhanced key usage includes server authentication
    bool HasPrivateKey = false;
    std::string FriendlyName;
    std::vector<uint8_t> Encoded; // DER
};

struct TSelfSignedRequest {
    std::string SubjectName;           // e.g. "CN=host.example"
    std::string FriendlyName;
    std::string KeyContainer;          // e.g. "Corvane"
    int KeyBits = 2048;
    int ValidYears = 10;
    std::vector<std::string> DnsNames; // subject alternative names
};

class ICertificateStore {
public:
    virtual ~ICertificateStore() = default;
    virtual bool Enumerate(const std::string& store, std::vector<TCertificateFields>& out) = 0;
    virtual bool Add(const std::string& store, const TCertificateFields& cert) = 0;
    // Creates the key container's key and a self-signed certificate; false on failure.
    virtual bool CreateSelfSigned(const TSelfSignedRequest& request, TCertificateFields& out) = 0;
    virtual void DebugText(std::string& lastError) const = 0;
};

} // namespace cv
