#pragma once
// Shared by the certificate tests: a system-info double that records debugger lines,
// certificates made directly with OpenSSL (not with the code under test), and a store that
// fails a chosen call.
#include "platform/CertificateStore.h"
#include "platform/SystemInfo.h"
#include "platform/sandbox/SandboxCertificateStore.h"
#include "support/RecordingSystemInfo.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace cvtest {

struct TPKeyDeleter {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
using TTestKey = std::unique_ptr<EVP_PKEY, TPKeyDeleter>;
struct TX509Deleter {
    void operator()(X509* p) const { X509_free(p); }
};
using TTestX509 = std::unique_ptr<X509, TX509Deleter>;

// Small keys keep the fixtures quick; the store takes any RSA key.
inline TTestKey MakeTestKey(unsigned bits = 1024) { return TTestKey(EVP_RSA_gen(bits)); }

inline std::string KeyPem(EVP_PKEY* key) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    std::string pem(data, static_cast<size_t>(n));
    BIO_free(bio);
    return pem;
}

struct TTestCertSpec {
    std::string CommonName = "test";
    std::string Title;                      // a second RDN when set
    std::vector<uint8_t> Serial = {0x01};   // most significant byte first
    long NotBeforeSeconds = -3600;          // from now
    long NotAfterSeconds = 30L * 86400;
    bool HasUsageExtension = false;
    std::vector<std::string> UsageExtension; // OIDs of the extended key usage extension
};

inline std::vector<uint8_t> Der(X509* x) {
    int n = i2d_X509(x, nullptr);
    std::vector<uint8_t> out(static_cast<size_t>(n));
    unsigned char* p = out.data();
    i2d_X509(x, &p);
    return out;
}

inline TTestX509 ParseDer(const std::vector<uint8_t>& der) {
    const unsigned char* p = der.data();
    return TTestX509(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
}

// A self-signed certificate made with OpenSSL alone.
inline std::vector<uint8_t> MakeCertificateDer(const TTestCertSpec& spec, EVP_PKEY* key) {
    TTestX509 x(X509_new());
    X509_set_version(x.get(), 2);
    BIGNUM* bn = BN_bin2bn(spec.Serial.data(), static_cast<int>(spec.Serial.size()), nullptr);
    ASN1_INTEGER* sn = BN_to_ASN1_INTEGER(bn, nullptr);
    X509_set_serialNumber(x.get(), sn);
    ASN1_INTEGER_free(sn);
    BN_free(bn);
    X509_NAME* name = X509_NAME_new();
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(spec.CommonName.c_str()), -1,
                               -1, 0);
    if (!spec.Title.empty())
        X509_NAME_add_entry_by_txt(name, "title", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(spec.Title.c_str()), -1,
                                   -1, 0);
    X509_set_subject_name(x.get(), name);
    X509_set_issuer_name(x.get(), name);
    X509_NAME_free(name);
    X509_gmtime_adj(X509_getm_notBefore(x.get()), spec.NotBeforeSeconds);
    X509_gmtime_adj(X509_getm_notAfter(x.get()), spec.NotAfterSeconds);
    X509_set_pubkey(x.get(), key);
    if (spec.HasUsageExtension) {
        EXTENDED_KEY_USAGE* eku = sk_ASN1_OBJECT_new_null();
        for (auto& oid : spec.UsageExtension)
            sk_ASN1_OBJECT_push(eku, OBJ_txt2obj(oid.c_str(), 1));
        X509_add1_ext_i2d(x.get(), NID_ext_key_usage, eku, 0, X509V3_ADD_DEFAULT);
        sk_ASN1_OBJECT_pop_free(eku, ASN1_OBJECT_free);
    }
    if (X509_sign(x.get(), key, EVP_sha256()) <= 0)
        throw std::runtime_error("signing the test certificate failed");
    return Der(x.get());
}

// Puts a private key into a sandbox key container as the store keeps it.
inline void PutKey(const std::string& sandbox, const std::string& container, EVP_PKEY* key,
                   bool machine = true) {
    const std::string base = cv::TSandboxCertificateStore::KeysFolder(sandbox, machine);
    std::string cmd = "mkdir -p '" + base + "/" + container + "'";
    if (std::system(cmd.c_str()) != 0)
        throw std::runtime_error("mkdir failed");
    std::ofstream(base + "/" + container + "/signature.pem") << KeyPem(key);
}

inline std::string ReadText(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

inline mode_t FileMode(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

} // namespace cvtest
