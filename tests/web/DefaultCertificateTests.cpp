// The default certificate: what it holds, checked with OpenSSL on the files the store wrote
// (not with the code that made it); where it goes; the end of its validity; and every step's
// failure with its debugger line.
#include "CertTestSupport.h"

#include "support/TempFolder.h"
#include "web/CryptUtils.h"

#include <gtest/gtest.h>

#include <openssl/x509v3.h>

#include <filesystem>

using namespace cv;
using namespace cvtest;

namespace {

// The certificates of one sandbox store as DER files, read without the store's code.
std::vector<std::vector<uint8_t>> StoreFiles(const std::string& sandbox, const std::string& store) {
    std::vector<std::vector<uint8_t>> out;
    const std::string folder = TSandboxCertificateStore::StoresFolder(sandbox) + "/" + store;
    if (!std::filesystem::is_directory(folder))
        return out;
    for (auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".cer") {
            std::string bytes = ReadText(e.path().string());
            out.emplace_back(bytes.begin(), bytes.end());
        }
    return out;
}

std::string PropertiesOf(const std::string& sandbox, const std::string& store) {
    const std::string folder = TSandboxCertificateStore::StoresFolder(sandbox) + "/" + store;
    for (auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".properties")
            return ReadText(e.path().string());
    return {};
}

std::string EntryText(X509_NAME* name, int nid) {
    int i = X509_NAME_get_index_by_NID(name, nid, -1);
    if (i < 0)
        return "<none>";
    ASN1_STRING* s = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, i));
    return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(s)),
                       static_cast<size_t>(ASN1_STRING_length(s)));
}

time_t UtcSeconds(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return timegm(&tm);
}

class DefaultCertificate : public ::testing::Test {
protected:
    TTempFolder Temp;
    TSandboxCertificateStore Store{Temp.Dir()};
    TRecordingSystemInfo System;
};

TEST_F(DefaultCertificate, HoldsWhatTheWebServerAndBrowsersNeed) {
    TSystemTime clock{2024, 3, 1, 10, 20, 30, 456};
    TCryptUtils crypt(Store, System, [&] { return clock; });
    const std::string serial = crypt.CreateDefaultCertificate("pc1.plant.local");
    ASSERT_EQ(serial.size(), 32u) << "a 16-byte serial chosen at random";
    EXPECT_TRUE(System.Lines.empty());

    auto my = StoreFiles(Temp.Dir(), "My");
    auto root = StoreFiles(Temp.Dir(), "Root");
    ASSERT_EQ(my.size(), 1u);
    ASSERT_EQ(root.size(), 1u);
    EXPECT_EQ(my[0], root[0]) << "the same certificate in both stores";
    TTestX509 x = ParseDer(my[0]);
    ASSERT_TRUE(x);

    EXPECT_EQ(X509_get_version(x.get()), 2) << "X.509 v3";
    X509_NAME* subject = X509_get_subject_name(x.get());
    EXPECT_EQ(X509_NAME_entry_count(subject), 2);
    EXPECT_EQ(OBJ_obj2nid(X509_NAME_ENTRY_get_object(X509_NAME_get_entry(subject, 0))), NID_commonName);
    EXPECT_EQ(EntryText(subject, NID_commonName), "pc1.plant.local");
    EXPECT_EQ(EntryText(subject, NID_title), "default");
    EXPECT_EQ(X509_NAME_cmp(subject, X509_get_issuer_name(x.get())), 0) << "self-signed";

    // Subject alternative names: the loopback address, then the host name.
    int critical = -1;
    auto* names = static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(x.get(), NID_subject_alt_name, &critical, nullptr));
    ASSERT_TRUE(names);
    EXPECT_EQ(critical, 0);
    ASSERT_EQ(sk_GENERAL_NAME_num(names), 2);
    GENERAL_NAME* ip = sk_GENERAL_NAME_value(names, 0);
    ASSERT_EQ(ip->type, GEN_IPADD);
    EXPECT_EQ(std::vector<uint8_t>(ASN1_STRING_get0_data(ip->d.iPAddress),
                                   ASN1_STRING_get0_data(ip->d.iPAddress) + ASN1_STRING_length(ip->d.iPAddress)),
              (std::vector<uint8_t>{0x7F, 0x00, 0x00, 0x01}));
    GENERAL_NAME* dns = sk_GENERAL_NAME_value(names, 1);
    ASSERT_EQ(dns->type, GEN_DNS);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(dns->d.dNSName))),
              "pc1.plant.local");
    GENERAL_NAMES_free(names);

    auto* bc = static_cast<BASIC_CONSTRAINTS*>(
        X509_get_ext_d2i(x.get(), NID_basic_constraints, &critical, nullptr));
    ASSERT_TRUE(bc);
    EXPECT_EQ(critical, 1) << "basic constraints are critical";
    EXPECT_NE(bc->ca, 0);
    EXPECT_EQ(bc->pathlen, nullptr);
    BASIC_CONSTRAINTS_free(bc);

    // The subject key identifier's octets are the encoded subject itself.
    int skiIndex = X509_get_ext_by_NID(x.get(), NID_subject_key_identifier, -1);
    ASSERT_GE(skiIndex, 0);
    EXPECT_EQ(X509_EXTENSION_get_critical(X509_get_ext(x.get(), skiIndex)), 0);
    const ASN1_OCTET_STRING* ski = X509_get0_subject_key_id(x.get());
    ASSERT_TRUE(ski);
    unsigned char* encodedSubject = nullptr;
    int n = i2d_X509_NAME(subject, &encodedSubject);
    EXPECT_EQ(std::vector<uint8_t>(ASN1_STRING_get0_data(ski), ASN1_STRING_get0_data(ski) + ASN1_STRING_length(ski)),
              std::vector<uint8_t>(encodedSubject, encodedSubject + n));
    OPENSSL_free(encodedSubject);
    EXPECT_LT(X509_get_ext_by_NID(x.get(), NID_ext_key_usage, -1), 0)
        << "server usage is a property, not an extension";
    EXPECT_EQ(X509_get_ext_count(x.get()), 3);

    // Valid from now to the same UTC moment five years on (to the second).
    EXPECT_EQ(ASN1_TIME_cmp_time_t(X509_get0_notAfter(x.get()), UtcSeconds(2029, 3, 1, 10, 20, 30)), 0);
    EXPECT_LE(ASN1_TIME_cmp_time_t(X509_get0_notBefore(x.get()), time(nullptr)), 0);
    EXPECT_GE(ASN1_TIME_cmp_time_t(X509_get0_notBefore(x.get()), time(nullptr) - 60), 0);

    EVP_PKEY* pub = X509_get0_pubkey(x.get());
    EXPECT_EQ(EVP_PKEY_get_base_id(pub), EVP_PKEY_RSA);
    EXPECT_EQ(EVP_PKEY_get_bits(pub), 2048);
    EXPECT_EQ(X509_get_signature_nid(x.get()), NID_sha256WithRSAEncryption);
    EXPECT_EQ(X509_verify(x.get(), pub), 1) << "signed by its own key";

    // The private key lies in the machine's container "Corvane", readable by its owner only,
    // and belongs to the certificate.
    const std::string keys = TSandboxCertificateStore::KeysFolder(Temp.Dir(), true);
    const std::string keyFile = keys + "/Corvane/signature.pem";
    EXPECT_EQ(FileMode(keyFile), 0600u);
    EXPECT_EQ(FileMode(keys + "/Corvane"), 0700u);
    BIO* bio = BIO_new_mem_buf(ReadText(keyFile).data(), -1);
    std::string pem = ReadText(keyFile);
    BIO_free(bio);
    bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    TTestKey priv(PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr));
    BIO_free(bio);
    ASSERT_TRUE(priv);
    EXPECT_EQ(X509_check_private_key(x.get(), priv.get()), 1);

    // "My" links the key and names server use; "Root" has no link to the key.
    const std::string myProps = PropertiesOf(Temp.Dir(), "My");
    EXPECT_NE(myProps.find("KeyContainer=Corvane\n"), std::string::npos);
    EXPECT_NE(myProps.find("KeyFlags=32\n"), std::string::npos);
    EXPECT_NE(myProps.find("KeySpec=2\n"), std::string::npos);
    EXPECT_NE(myProps.find("EnhancedKeyUsage=1.3.6.1.5.5.7.3.1\n"), std::string::npos);
    EXPECT_EQ(PropertiesOf(Temp.Dir(), "Root").find("KeyContainer"), std::string::npos);

    // And the list shows it as the default certificate of this computer.
    TCertificateList list;
    ASSERT_TRUE(crypt.FillCertificateList(serial, list));
    ASSERT_EQ(list.Items.size(), 1u);
    ASSERT_EQ(list.ItemIndex, 0);
    TCertObject* cert = list.Selected();
    EXPECT_EQ(cert->FName, "pc1.plant.local, default");
    EXPECT_TRUE(cert->FIsCorvaneCertificate);
    EXPECT_EQ(cert->FIssuedToComputer, "pc1.plant.local");
    cert->CalculateExpiration(cert->FValidFrom + 1.0 / 86400);
    EXPECT_TRUE(cert->FValid);
    EXPECT_TRUE(crypt.CertificateExists(serial));
}

TEST_F(DefaultCertificate, EndsFiveYearsOnAtTheSameUtcTime) {
    struct TCase {
        TSystemTime Now;
        TSystemTime End;
    };
    const TCase cases[] = {
        {{2024, 3, 1, 10, 20, 30, 0}, {2029, 3, 1, 10, 20, 30, 0}},
        {{2024, 2, 29, 23, 59, 59, 999}, {2029, 2, 28, 23, 59, 59, 999}},
        {{2096, 2, 29, 0, 0, 0, 0}, {2101, 2, 28, 0, 0, 0, 0}},
        {{2023, 2, 28, 12, 0, 0, 0}, {2028, 2, 28, 12, 0, 0, 0}},
        {{2027, 2, 29 - 1, 6, 0, 0, 0}, {2032, 2, 28, 6, 0, 0, 0}},
    };
    for (auto& c : cases) {
        TSystemTime end = DefaultCertificateEnd(c.Now);
        EXPECT_EQ(std::tie(end.Year, end.Month, end.Day, end.Hour, end.Minute, end.Second, end.Milliseconds),
                  std::tie(c.End.Year, c.End.Month, c.End.Day, c.End.Hour, c.End.Minute, c.End.Second,
                           c.End.Milliseconds))
            << c.Now.Year << "-" << c.Now.Month << "-" << c.Now.Day;
    }
}

TEST_F(DefaultCertificate, MadeTwiceOnlyTheNewerCanServe) {
    TSystemTime clock{2024, 2, 29, 8, 0, 0, 0};
    TCryptUtils crypt(Store, System, [&] { return clock; });
    const std::string first = crypt.CreateDefaultCertificate("pc1.plant.local");
    const std::string second = crypt.CreateDefaultCertificate("pc1.plant.local");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    EXPECT_EQ(StoreFiles(Temp.Dir(), "My").size(), 2u);
    EXPECT_EQ(StoreFiles(Temp.Dir(), "Root").size(), 2u);

    // The second key replaced the first in the one container: the older certificate stays in
    // the store but is no longer offered.
    TCertificateList list;
    ASSERT_TRUE(crypt.FillCertificateList(first, list));
    ASSERT_EQ(list.Items.size(), 1u);
    EXPECT_EQ(list.Items[0].Object->FSerialNumber, second);
    EXPECT_EQ(list.ItemIndex, -1);
    EXPECT_EQ(System.Lines, std::vector<std::string>{
                                "Failed to read certificate private key, error code: 2148073493"});
    EXPECT_TRUE(crypt.CertificateExists(first));

    // A certificate made on 29 February ends on 28 February.
    for (auto& der : StoreFiles(Temp.Dir(), "My")) {
        TTestX509 x = ParseDer(der);
        EXPECT_EQ(ASN1_TIME_cmp_time_t(X509_get0_notAfter(x.get()), UtcSeconds(2029, 2, 28, 8, 0, 0)), 0);
    }
}

TEST_F(DefaultCertificate, AHostNameWithSeparatorsStaysOneCommonName) {
    TCryptUtils crypt(Store, System);
    ASSERT_FALSE(crypt.CreateDefaultCertificate("pc1, T=other \"x\"").empty());
    auto my = StoreFiles(Temp.Dir(), "My");
    ASSERT_EQ(my.size(), 1u);
    TTestX509 x = ParseDer(my[0]);
    X509_NAME* subject = X509_get_subject_name(x.get());
    EXPECT_EQ(X509_NAME_entry_count(subject), 2);
    EXPECT_EQ(EntryText(subject, NID_commonName), "pc1, T=other \"x\"");
    EXPECT_EQ(EntryText(subject, NID_title), "default");
}

// Fails the one call it is told to, with a code of its own; passes everything else on.
class TFaultyStore : public ICertificateStore {
public:
    static constexpr uint32_t Code = 0x80092004; // prints as 2148081668

    explicit TFaultyStore(ICertificateStore& inner) : FInner(inner) {}
    std::string FailAt;

    bool Inject(const std::string& call) {
        FInjected = call == FailAt;
        return FInjected;
    }

    class TCert : public ICertificate {
    public:
        TCert(std::unique_ptr<ICertificate> inner, TFaultyStore& owner)
            : Inner(std::move(inner)), FOwner(owner) {}
        std::vector<uint8_t> SerialNumber() override { return Inner->SerialNumber(); }
        bool SubjectName(std::string& o) override { return Inner->SubjectName(o); }
        bool IssuerName(std::string& o) override { return Inner->IssuerName(o); }
        bool NotBefore(TSystemTime& o) override { return Inner->NotBefore(o); }
        bool NotAfter(TSystemTime& o) override { return Inner->NotAfter(o); }
        bool EnhancedKeyUsage(std::vector<std::string>& o) override { return Inner->EnhancedKeyUsage(o); }
        bool AddEnhancedKeyUsage(const std::string& oid) override {
            return !FOwner.Inject("AddEnhancedKeyUsage") && Inner->AddEnhancedKeyUsage(oid);
        }
        bool AcquirePrivateKey(uint32_t f) override { return Inner->AcquirePrivateKey(f); }
        bool GetKeyProvInfo(TKeyProvInfo& o) override { return Inner->GetKeyProvInfo(o); }
        bool SetKeyProvInfo(const TKeyProvInfo* i) override {
            return !FOwner.Inject("SetKeyProvInfo") && Inner->SetKeyProvInfo(i);
        }
        std::vector<uint8_t> Encoded() override { return Inner->Encoded(); }
        std::unique_ptr<ICertificate> Inner;

    private:
        TFaultyStore& FOwner;
    };

    class THandle : public ICertStoreHandle {
    public:
        THandle(std::unique_ptr<ICertStoreHandle> inner, std::string name, TFaultyStore& owner)
            : FInner(std::move(inner)), FName(std::move(name)), FOwner(owner) {}
        void Enumerate(const std::function<bool(ICertificate&)>& v) override { FInner->Enumerate(v); }
        bool Add(ICertificate& c) override {
            if (FOwner.Inject("Add " + FName))
                return false;
            auto* own = dynamic_cast<TCert*>(&c);
            return FInner->Add(own ? *own->Inner : c);
        }
        bool Delete(ICertificate& c) override { return FInner->Delete(c); }

    private:
        std::unique_ptr<ICertStoreHandle> FInner;
        std::string FName;
        TFaultyStore& FOwner;
    };

    class TContainer : public IKeyContainer {
    public:
        TContainer(std::unique_ptr<IKeyContainer> inner, TFaultyStore& owner)
            : FInner(std::move(inner)), FOwner(owner) {}
        bool GenerateKey(uint32_t spec, uint32_t flags) override {
            return !FOwner.Inject("GenerateKey") && FInner->GenerateKey(spec, flags);
        }

    private:
        std::unique_ptr<IKeyContainer> FInner;
        TFaultyStore& FOwner;
    };

    std::unique_ptr<ICertStoreHandle> OpenSystemStore(const std::string& name) override {
        if (Inject("Open " + name))
            return nullptr;
        auto h = FInner.OpenSystemStore(name);
        return h ? std::make_unique<THandle>(std::move(h), name, *this) : nullptr;
    }
    std::unique_ptr<IKeyContainer> AcquireContext(const std::string& c, const std::string& p,
                                                  uint32_t t, uint32_t f) override {
        if (Inject("AcquireContext"))
            return nullptr;
        auto k = FInner.AcquireContext(c, p, t, f);
        return k ? std::make_unique<TContainer>(std::move(k), *this) : nullptr;
    }
    bool EncodeName(const std::string& x, std::vector<uint8_t>& o) override {
        return !Inject("EncodeName") && FInner.EncodeName(x, o);
    }
    bool EncodeAltNames(const std::vector<TAltName>& n, std::vector<uint8_t>& o) override {
        return !Inject("EncodeAltNames") && FInner.EncodeAltNames(n, o);
    }
    bool EncodeBasicConstraints(bool ca, bool has, uint32_t len, std::vector<uint8_t>& o) override {
        return !Inject("EncodeBasicConstraints") && FInner.EncodeBasicConstraints(ca, has, len, o);
    }
    bool EncodeKeyIdentifier(const std::vector<uint8_t>& k, std::vector<uint8_t>& o) override {
        return !Inject("EncodeKeyIdentifier") && FInner.EncodeKeyIdentifier(k, o);
    }
    std::unique_ptr<ICertificate> CreateSelfSigned(const std::vector<uint8_t>& s, const TKeyProvInfo& k,
                                                   const std::string& a, const TSystemTime& e,
                                                   const std::vector<TCertExtension>& x) override {
        if (Inject("CreateSelfSigned"))
            return nullptr;
        auto c = FInner.CreateSelfSigned(s, k, a, e, x);
        return c ? std::make_unique<TCert>(std::move(c), *this) : nullptr;
    }
    std::unique_ptr<ICertificate> CreateFromEncoded(const std::vector<uint8_t>& d) override {
        return FInner.CreateFromEncoded(d);
    }
    uint32_t LastError() const override { return FInjected ? Code : FInner.LastError(); }

private:
    ICertificateStore& FInner;
    bool FInjected = false;
};

TEST_F(DefaultCertificate, EveryFailingStepWritesItsLineAndStops) {
    const std::string code = "2148081668";
    struct TCase {
        const char* FailAt;
        std::vector<std::string> Lines;
        bool Serial; // returned, and the certificate is in "My"
        bool InRoot;
    };
    const std::vector<TCase> cases = {
        {"Open My",
         {"Failed to open certificate store", "CreateDefaultCertificate: No store handle provided"},
         false, false},
        {"AcquireContext", {"CreateDefaultCertificate: Failed to acquire context, error code: " + code}, false, false},
        {"GenerateKey", {"CreateDefaultCertificate: Failed to generate keys, error code: " + code}, false, false},
        {"EncodeName", {}, false, false},
        {"EncodeAltNames", {}, false, false},
        {"EncodeBasicConstraints", {}, false, false},
        {"EncodeKeyIdentifier", {}, false, false},
        {"CreateSelfSigned",
         {"CreateDefaultCertificate: Failed to create self-signed certificate, error code: " + code}, false, false},
        {"Add My", {"CreateDefaultCertificate: Failed to add certificate to store, error code: " + code}, false, false},
        // From here on the certificate can serve the web server; it is only not trusted.
        {"Open Root",
         {"Failed to open certificate store", "CreateDefaultCertificate: Failed to open root store, error code: " + code},
         true, false},
        {"SetKeyProvInfo",
         {"CreateDefaultCertificate: Failed to remove private key from root certificate, error code: " + code},
         true, false},
        {"Add Root", {"CreateDefaultCertificate: Failed to add certificate to root store, error code: " + code}, true, false},
        {"AddEnhancedKeyUsage", {}, true, true}, // unchecked: the certificate is made, but never listed
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.FailAt);
        TTempFolder temp;
        TSandboxCertificateStore sandbox(temp.Dir());
        TFaultyStore store(sandbox);
        store.FailAt = c.FailAt;
        TRecordingSystemInfo system;
        TCryptUtils crypt(store, system);
        const std::string serial = crypt.CreateDefaultCertificate("pc1");
        EXPECT_EQ(system.Lines, c.Lines);
        EXPECT_EQ(!serial.empty(), c.Serial);
        EXPECT_EQ(StoreFiles(temp.Dir(), "My").size(), c.Serial ? 1u : 0u);
        EXPECT_EQ(StoreFiles(temp.Dir(), "Root").size(), c.InRoot ? 1u : 0u);
    }
}

TEST_F(DefaultCertificate, AnExistingContainerIsUsedAgain) {
    ASSERT_TRUE(Store.AcquireContext("Corvane", "", PROV_RSA_FULL, CRYPT_MACHINE_KEYSET | CRYPT_NEWKEYSET));
    TCryptUtils crypt(Store, System);
    EXPECT_FALSE(crypt.CreateDefaultCertificate("pc1").empty());
    EXPECT_TRUE(System.Lines.empty());
}

} // namespace
