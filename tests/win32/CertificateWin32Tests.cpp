// The certificate store backend on the platform's own stores: a certificate made beforehand
// with the openssl command (serial 1A2B3C, "CN=wine.plant.local, T=default", ten years) is
// added to the machine's "My" store with its key imported into a key container, then read
// back through the store routines. Where the platform lacks a call the test says so and skips
// (Wine 8: the private key is found only in the user's key sets, CertStrToNameW refuses a
// quoted value followed by another attribute, and CertCreateSelfSignCertificate makes no
// SHA-256 signature).
#include "platform/CertificateStore.h"
#include "platform/SystemInfo.h"
#include "platform/win32/Win32CertificateStore.h"
#include "support/RecordingSystemInfo.h"
#include "web/CryptUtils.h"
#include "web/KnownEncodings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace cv;

namespace {

// The build's files, reached through Wine's drive for the host's root.
std::vector<uint8_t> ReadBuildFile(const char* posixPath) {
    std::string path = std::string("Z:") + posixPath;
    for (auto& c : path)
        if (c == '/')
            c = '\\';
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

const wchar_t* const TestContainer = L"VornixWineTest";

class Win32Certificates : public ::testing::Test {
protected:
    void SetUp() override {
        System.Name = "wine.plant.local";
        Der = ReadBuildFile(TEST_CERT_DER);
        KeyBlob = ReadBuildFile(TEST_KEY_BLOB);
        ASSERT_FALSE(Der.empty());
        ASSERT_GT(KeyBlob.size(), 8u);
    }
    void TearDown() override {
        if (auto my = Store.OpenSystemStore("My")) {
            if (auto cert = Store.CreateFromEncoded(Der))
                my->Delete(*cert);
        }
        TearDownContainers();
    }

    // The key as a signature key of a new container (the blob says key exchange); `other`
    // generates a key of its own instead.
    bool ImportKey(DWORD keySet, bool other = false) {
        HCRYPTPROV prov = 0;
        if (!::CryptAcquireContextW(&prov, TestContainer, nullptr, PROV_RSA_FULL,
                                    keySet | CRYPT_NEWKEYSET) &&
            !::CryptAcquireContextW(&prov, TestContainer, nullptr, PROV_RSA_FULL, keySet))
            return false;
        std::vector<uint8_t> blob = KeyBlob;
        const ALG_ID sign = CALG_RSA_SIGN;
        memcpy(blob.data() + 4, &sign, sizeof sign);
        HCRYPTKEY key = 0;
        bool ok = other ? ::CryptGenKey(prov, AT_SIGNATURE, 2048u << 16, &key)
                        : ::CryptImportKey(prov, blob.data(), static_cast<DWORD>(blob.size()), 0, 0, &key);
        if (ok)
            ::CryptDestroyKey(key);
        ::CryptReleaseContext(prov, 0);
        return ok;
    }

    // The test certificate with server use and the key's container, added to "My".
    std::unique_ptr<ICertStoreHandle> AddToMy(TCryptUtils& crypt, DWORD keySet) {
        auto cert = Store.CreateFromEncoded(Der);
        EXPECT_TRUE(cert) << Store.LastError();
        if (!cert)
            return nullptr;
        EXPECT_TRUE(cert->AddEnhancedKeyUsage(szOID_PKIX_KP_SERVER_AUTH));
        TKeyProvInfo info{"VornixWineTest", "", PROV_RSA_FULL, keySet, AT_SIGNATURE};
        EXPECT_TRUE(cert->SetKeyProvInfo(&info));
        auto my = crypt.OpenCertificateStore("My");
        EXPECT_TRUE(my);
        if (my) {
            EXPECT_TRUE(my->Add(*cert)) << Store.LastError();
        }
        return my;
    }

    bool TestCertificateHasKey(TCryptUtils& crypt, ICertStoreHandle& my) {
        bool acquired = false;
        my.Enumerate([&](ICertificate& c) {
            if (crypt.GetSerialNumber(&c) == "1A2B3C")
                acquired = crypt.HasPrivateKey(&c);
            return true;
        });
        return acquired;
    }

    void TearDownContainers() {
        HCRYPTPROV prov = 0;
        ::CryptAcquireContextW(&prov, TestContainer, nullptr, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
        ::CryptAcquireContextW(&prov, TestContainer, nullptr, PROV_RSA_FULL,
                               CRYPT_MACHINE_KEYSET | CRYPT_DELETEKEYSET);
    }

    std::vector<uint8_t> Der;
    std::vector<uint8_t> KeyBlob;
    TWin32CertificateStore Store;
    cvtest::TRecordingSystemInfo System;
};

TEST_F(Win32Certificates, CertificateAddedToMyIsReadBack) {
    ASSERT_TRUE(ImportKey(0)) << "error " << ::GetLastError();
    auto cert = Store.CreateFromEncoded(Der);
    ASSERT_TRUE(cert) << Store.LastError();
    std::vector<std::string> oids;
    ASSERT_TRUE(cert->EnhancedKeyUsage(oids));
    EXPECT_TRUE(oids.empty());
    EXPECT_EQ(Store.LastError(), CRYPT_E_NOT_FOUND_CODE) << "no list: good for every use";

    TCryptUtils crypt(Store, System);
    auto my = AddToMy(crypt, 0);
    ASSERT_TRUE(my);
    ASSERT_TRUE(AddToMy(crypt, 0)) << "adding it again replaces it";

    // Read back from the store, not from the object that was added.
    int found = 0;
    my->Enumerate([&](ICertificate& c) {
        if (crypt.GetSerialNumber(&c) != "1A2B3C")
            return true;
        ++found;
        EXPECT_EQ(crypt.GetSubjectName(&c), "wine.plant.local, default");
        EXPECT_EQ(crypt.GetIssuerName(&c), "wine.plant.local, default");
        const TDateTime from = crypt.GetNotBefore(&c), to = crypt.GetNotAfter(&c);
        EXPECT_NEAR(to - from, 3650.0, 1e-6);
        EXPECT_LE(from, Now() + 1.0 / 1440);
        EXPECT_GT(from, Now() - 30);
        EXPECT_TRUE(crypt.HasEnhancedKeyUsage(&c, szOID_PKIX_KP_SERVER_AUTH));
        EXPECT_FALSE(crypt.HasEnhancedKeyUsage(&c, "1.3.6.1.5.5.7.3.2"));
        TKeyProvInfo read;
        EXPECT_TRUE(c.GetKeyProvInfo(read));
        EXPECT_EQ(read, (TKeyProvInfo{"VornixWineTest", "", PROV_RSA_FULL, 0, AT_SIGNATURE}));
        EXPECT_FALSE(crypt.HasProductKeyContainer(&c));
        return true;
    });
    EXPECT_EQ(found, 1);
    EXPECT_TRUE(crypt.CertificateExists("1A2B3C"));

    ASSERT_TRUE(TestCertificateHasKey(crypt, *my)) << System.Lines.back();
    auto list = crypt.ListServerCertificates(my.get());
    ASSERT_TRUE(list);
    bool listed = false;
    for (auto& c : *list)
        if (c->FSerialNumber == "1A2B3C") {
            listed = true;
            EXPECT_EQ(c->FName, "wine.plant.local, default");
            EXPECT_FALSE(c->FIsCorvaneCertificate);
        }
    EXPECT_TRUE(listed);
    TCertificateList entries;
    ASSERT_TRUE(crypt.FillCertificateList("1A2B3C", entries));
    ASSERT_NE(entries.Selected(), nullptr);
    EXPECT_EQ(entries.Selected()->FSerialNumber, "1A2B3C");
}

TEST_F(Win32Certificates, PrivateKeyInTheMachinesKeySet) {
    ASSERT_TRUE(ImportKey(CRYPT_MACHINE_KEYSET)) << "error " << ::GetLastError();
    TCryptUtils crypt(Store, System);
    auto my = AddToMy(crypt, CRYPT_MACHINE_KEYSET);
    ASSERT_TRUE(my);
    if (!TestCertificateHasKey(crypt, *my))
        GTEST_SKIP() << "the machine's key sets are not searched for a certificate's key here: "
                     << System.Lines.back();
}

TEST_F(Win32Certificates, KeyOfAnotherCertificateIsRefused) {
    ASSERT_TRUE(ImportKey(0, true)) << "error " << ::GetLastError();
    TCryptUtils crypt(Store, System);
    auto my = AddToMy(crypt, 0);
    ASSERT_TRUE(my);
    if (TestCertificateHasKey(crypt, *my))
        GTEST_SKIP() << "CRYPT_ACQUIRE_COMPARE_KEY_FLAG compares nothing here";
    EXPECT_EQ(System.Lines.back(), "Failed to read certificate private key, error code: " +
                                       std::to_string(NTE_BAD_PUBLIC_KEY_CODE));
}

TEST_F(Win32Certificates, RootStoreOpensAndUnknownSerialIsNotFound) {
    TCryptUtils crypt(Store, System);
    EXPECT_TRUE(crypt.OpenCertificateStore("Root"));
    EXPECT_FALSE(crypt.CertificateExists("00DEADBEEF00"));
    EXPECT_TRUE(System.Lines.empty());
}

TEST_F(Win32Certificates, EncodingsMatchTheSandboxs) {
    std::vector<uint8_t> out;
    ASSERT_TRUE(Store.EncodeName("CN=pc1, T=default", out));
    EXPECT_EQ(out, cvtest::NamePc1Default);
    std::vector<TAltName> names(2);
    names[0].Kind = TAltName::an_IpAddress;
    names[0].IpAddress = {0x7F, 0, 0, 1};
    names[1].DnsName = "pc1";
    ASSERT_TRUE(Store.EncodeAltNames(names, out));
    EXPECT_EQ(out, cvtest::AltNamesLoopbackPc1);
    ASSERT_TRUE(Store.EncodeBasicConstraints(true, false, 0, out));
    EXPECT_EQ(out, cvtest::BasicConstraintsCa);
    ASSERT_TRUE(Store.EncodeKeyIdentifier({0x01, 0x02}, out));
    EXPECT_EQ(out, cvtest::KeyIdentifier0102);
}

TEST_F(Win32Certificates, DefaultCertificateWhereThePlatformCanMakeOne) {
    TCryptUtils crypt(Store, System);
    const std::string serial = crypt.CreateDefaultCertificate("wine.plant.local");
    if (serial.empty()) {
        // The key container and key are made before the certificate; what failed is said.
        ASSERT_FALSE(System.Lines.empty());
        GTEST_SKIP() << "no default certificate here: " << System.Lines.back();
    }
    EXPECT_TRUE(crypt.CertificateExists(serial));
    TCertificateList list;
    ASSERT_TRUE(crypt.FillCertificateList(serial, list));
    ASSERT_NE(list.Selected(), nullptr);
    EXPECT_TRUE(list.Selected()->FIsCorvaneCertificate);
    EXPECT_EQ(list.Selected()->FIssuedToComputer, "wine.plant.local");
}

} // namespace
