// Reading the personal store for the web server's certificate list: validity texts, the
// computer a default certificate was made for, serial numbers, the listing's filters, the
// list's selection and the debugger lines of failures.
#include "CertTestSupport.h"

#include "platform/Unavailable.h"
#include "support/TempFolder.h"
#include "web/CryptUtils.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace cv;
using namespace cvtest;

namespace {

constexpr double Hour = 1.0 / 24;

TEST(CertObject, ValidityAroundTheEdges) {
    const TDateTime now = EncodeDateTime(2025, 6, 15, 12, 0, 0, 0);
    struct TCase {
        const char* What;
        TDateTime From, To;
        bool Valid;
        int Days;
        const char* Text;
    };
    const TCase cases[] = {
        {"starts in 30 hours", now + 30 * Hour, now + 400, false, 1, "Not valid in 1 days"},
        {"ends in 90 days and 5 hours", now - 10, now + 90 + 5 * Hour, true, 90, "Expires in 90 days"},
        {"ends in 20 hours", now - 10, now + 20 * Hour, true, 0, "Expires in 0 days"},
        {"ended yesterday", now - 400, now - 1, false, 0, "Expired"},
        {"ends this instant", now - 400, now, false, 0, "Expired"},
        {"starts this instant", now, now + 2, true, 2, "Expires in 2 days"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.What);
        TCertObject cert("01", "name", c.From, c.To, false, "");
        EXPECT_FALSE(cert.FValid);
        EXPECT_EQ(cert.FValidDays, 0) << "nothing is known before the first calculation";
        cert.CalculateExpiration(now);
        EXPECT_EQ(cert.FValid, c.Valid);
        EXPECT_EQ(cert.FValidDays, c.Days);
        EXPECT_EQ(cert.ValidityText(now), c.Text);
    }
}

TEST(CertObject, ValidityTextKeepsTheDaysOfTheLastCalculation) {
    const TDateTime now = EncodeDateTime(2025, 6, 15, 12, 0, 0, 0);
    TCertObject cert("01", "name", now - 1, now + 10.5, false, "");
    cert.CalculateExpiration(now);
    EXPECT_EQ(cert.ValidityText(now + 3), "Expires in 10 days");
    EXPECT_EQ(cert.ValidityText(now + 11), "Expired") << "the decision is on the time given";
}

TEST(CertObject, IssuedToComputerOnlyForDefaultCertificates) {
    struct TCase {
        bool Product;
        const char* Issuer;
        const char* Expected;
    };
    const TCase cases[] = {
        {true, "pc1, default", "pc1"},
        {true, " pc1.plant.local\t, default", "pc1.plant.local"},
        {false, "pc1, default", ""},
        {true, "pc1", ""},
        {true, "a, b, default", ""},
        {true, "", ""},
    };
    for (auto& c : cases) {
        TCertObject cert("01", "n", 0, 0, c.Product, c.Issuer);
        EXPECT_EQ(cert.FIssuedToComputer, c.Expected) << c.Issuer << " product " << c.Product;
    }
}

TEST(CertObject, SerialTextIsMostSignificantByteFirst) {
    EXPECT_EQ(SerialNumberText({0x3C, 0x2B, 0x1A}), "1A2B3C");
    EXPECT_EQ(SerialNumberText({0x0F}), "0F");
    EXPECT_EQ(SerialNumberText({}), "");

    // The same through a certificate made elsewhere: the platform keeps the bytes reversed.
    TTempFolder temp;
    TSandboxCertificateStore store(temp.Dir());
    TRecordingSystemInfo system;
    TCryptUtils crypt(store, system);
    auto key = MakeTestKey();
    struct TCase {
        std::vector<uint8_t> Serial;
        const char* Text;
    };
    for (auto& c : std::vector<TCase>{{{0x1A, 0x2B, 0x3C}, "1A2B3C"},
                                      // A high first bit is kept positive with a zero byte.
                                      {{0x80, 0x01}, "008001"}}) {
        TTestCertSpec spec;
        spec.Serial = c.Serial;
        auto cert = store.CreateFromEncoded(MakeCertificateDer(spec, key.get()));
        ASSERT_TRUE(cert);
        EXPECT_EQ(crypt.GetSerialNumber(cert.get()), c.Text);
    }
}

TEST(CertificateList, DroppedWidth) {
    EXPECT_EQ(CertificateListDroppedWidth({}, 8, 17), 4);
    EXPECT_EQ(CertificateListDroppedWidth({120, 250, 90}, 8, 17), 254);
    EXPECT_EQ(CertificateListDroppedWidth(std::vector<int>(8, 100), 8, 17), 104);
    EXPECT_EQ(CertificateListDroppedWidth(std::vector<int>(9, 100), 8, 17), 121);
}

// A sandbox "My" store filled with certificates made by OpenSSL, their keys put into
// containers directly.
class CertificateListing : public ::testing::Test {
protected:
    struct TFixture {
        std::string Name;       // common name
        std::string Title;
        uint8_t Serial = 1;
        bool ServerUsageProperty = false;
        bool HasUsageExtension = false;
        std::vector<std::string> UsageExtension;
        std::string Container;  // empty: no key provider information
        bool KeyInContainer = true;
    };

    std::string Add(const TFixture& f) {
        TTestCertSpec spec;
        spec.CommonName = f.Name;
        spec.Title = f.Title;
        spec.Serial = {f.Serial};
        spec.HasUsageExtension = f.HasUsageExtension;
        spec.UsageExtension = f.UsageExtension;
        TTestKey key = MakeTestKey();
        auto cert = Store.CreateFromEncoded(MakeCertificateDer(spec, key.get()));
        if (f.ServerUsageProperty)
            cert->AddEnhancedKeyUsage(szOID_PKIX_KP_SERVER_AUTH);
        if (!f.Container.empty()) {
            TKeyProvInfo info{f.Container, "", PROV_RSA_FULL, CRYPT_MACHINE_KEYSET, AT_SIGNATURE};
            cert->SetKeyProvInfo(&info);
            if (f.KeyInContainer)
                PutKey(Temp.Dir(), f.Container, key.get());
        }
        auto my = Store.OpenSystemStore("My");
        EXPECT_TRUE(my->Add(*cert));
        return SerialNumberText({f.Serial});
    }

    TTempFolder Temp;
    TSandboxCertificateStore Store{Temp.Dir()};
    TRecordingSystemInfo System;
    TCryptUtils Crypt{Store, System};
};

TEST_F(CertificateListing, OnlyServerCertificatesWithTheirPrivateKeyAreListed) {
    Add({"pc1", "default", 0x11, true, false, {}, "Corvane"});
    Add({"web.plant.local", "", 0x12, false, true, {szOID_PKIX_KP_SERVER_AUTH}, "Other"});
    Add({"pc2", "default", 0x13, true, false, {}, ""});                       // no key
    Add({"client", "", 0x14, false, true, {"1.3.6.1.5.5.7.3.2"}, "Client"});  // client only
    Add({"any", "", 0x15, false, false, {}, "Any"});                          // no usage list
    Add({"gone", "", 0x16, true, false, {}, "Gone", false});                  // key missing

    auto my = Crypt.OpenCertificateStore("My");
    auto list = Crypt.ListServerCertificates(my.get());
    ASSERT_TRUE(list);
    std::vector<std::string> serials;
    for (auto& c : *list)
        serials.push_back(c->FSerialNumber);
    std::sort(serials.begin(), serials.end());
    EXPECT_EQ(serials, (std::vector<std::string>{"11", "12"}));
    for (auto& c : *list) {
        if (c->FSerialNumber == "11") {
            EXPECT_EQ(c->FName, "pc1, default");
            EXPECT_TRUE(c->FIsCorvaneCertificate);
            EXPECT_EQ(c->FIssuedToComputer, "pc1");
        } else {
            EXPECT_EQ(c->FName, "web.plant.local");
            EXPECT_FALSE(c->FIsCorvaneCertificate);
            EXPECT_EQ(c->FIssuedToComputer, "");
        }
    }
    // Only the certificates that passed the usage test were asked for their key.
    std::vector<std::string> lines = System.Lines;
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Failed to read certificate private key, error code: 2148073494",
                         "Failed to read certificate private key, error code: 2148081675"}));
    EXPECT_FALSE(Crypt.ListServerCertificates(nullptr));
}

TEST_F(CertificateListing, DatesAreLocalAtTheOffsetInForce) {
    Add({"pc1", "", 0x21, true, false, {}, "Corvane"});
    auto my = Store.OpenSystemStore("My");
    TSystemTime before{}, after{};
    my->Enumerate([&](ICertificate& c) {
        c.NotBefore(before);
        c.NotAfter(after);
        return true;
    });
    System.OffsetMinutes = 120;
    auto list = Crypt.ListServerCertificates(my.get());
    ASSERT_EQ(list->size(), 1u);
    const TDateTime utcFrom = EncodeDateTime(before.Year, before.Month, before.Day, before.Hour,
                                             before.Minute, before.Second, 0);
    EXPECT_NEAR((*list)[0]->FValidFrom, utcFrom + 2 * Hour, 1e-9);
    EXPECT_NEAR((*list)[0]->FValidTo - (*list)[0]->FValidFrom, 30 + 1 * Hour, 1e-6);
}

TEST_F(CertificateListing, FillSelectsBySerialAndLeavesNothingSelectedAfterADeletion) {
    Add({"first", "", 0x31, true, false, {}, "A"});
    const std::string second = Add({"second", "", 0x32, true, false, {}, "B"});

    TCertificateList list;
    ASSERT_TRUE(Crypt.FillCertificateList(second, list));
    ASSERT_EQ(list.Items.size(), 2u);
    ASSERT_NE(list.Selected(), nullptr);
    EXPECT_EQ(list.Selected()->FSerialNumber, second);
    EXPECT_EQ(list.Items[static_cast<size_t>(list.ItemIndex)].Text, "second");

    auto my = Store.OpenSystemStore("My");
    my->Enumerate([&](ICertificate& c) {
        if (SerialNumberText(c.SerialNumber()) == second) {
            EXPECT_TRUE(my->Delete(c));
        }
        return true;
    });
    ASSERT_TRUE(Crypt.FillCertificateList(second, list));
    EXPECT_EQ(list.Items.size(), 1u);
    EXPECT_EQ(list.ItemIndex, -1);
    EXPECT_EQ(list.Selected(), nullptr);
    EXPECT_FALSE(Crypt.CertificateExists(second));
}

TEST_F(CertificateListing, OfSeveralWithTheSameSerialTheLastIsSelected) {
    Add({"one", "", 0x41, true, false, {}, "A"});
    Add({"two", "", 0x41, true, false, {}, "B"});
    TCertificateList list;
    ASSERT_TRUE(Crypt.FillCertificateList("41", list));
    ASSERT_EQ(list.Items.size(), 2u);
    EXPECT_EQ(list.ItemIndex, 1);
}

TEST_F(CertificateListing, ExistenceIgnoresUsageAndKey) {
    const std::string noKey = Add({"nokey", "", 0x51, false, false, {}, ""});
    EXPECT_TRUE(Crypt.CertificateExists(noKey));
    EXPECT_FALSE(Crypt.CertificateExists("52"));
    EXPECT_FALSE(Crypt.CertificateExists(""));
    EXPECT_TRUE(System.Lines.empty());
}

TEST(CertificateStoreFailures, AStoreThatCannotBeOpenedLeavesTheListAsItWas) {
    TUnavailableCertificateStore store;
    TRecordingSystemInfo system;
    TCryptUtils crypt(store, system);
    TCertificateList list;
    list.Items.push_back({"kept", std::make_unique<TCertObject>("01", "kept", 0, 1, false, "")});
    list.ItemIndex = 0;
    EXPECT_FALSE(crypt.FillCertificateList("01", list));
    EXPECT_EQ(list.Items.size(), 1u);
    EXPECT_EQ(list.ItemIndex, 0);
    EXPECT_FALSE(crypt.CertificateExists("01"));
    EXPECT_FALSE(crypt.OpenCertificateStore(""));
    EXPECT_EQ(system.Lines, (std::vector<std::string>(2, "Failed to open certificate store")))
        << "an empty name opens nothing, silently";
}

TEST(CertificateStoreFailures, EveryReadWithoutACertificateSaysSo) {
    TUnavailableCertificateStore store;
    TRecordingSystemInfo system;
    TCryptUtils crypt(store, system);
    EXPECT_FALSE(crypt.HasEnhancedKeyUsage(nullptr, szOID_PKIX_KP_SERVER_AUTH));
    EXPECT_FALSE(crypt.HasPrivateKey(nullptr));
    EXPECT_EQ(crypt.GetSubjectName(nullptr), "");
    EXPECT_EQ(crypt.GetIssuerName(nullptr), "");
    EXPECT_EQ(crypt.GetNotBefore(nullptr), 0);
    EXPECT_EQ(crypt.GetNotAfter(nullptr), 0);
    EXPECT_EQ(crypt.GetSerialNumber(nullptr), "");
    EXPECT_FALSE(crypt.HasProductKeyContainer(nullptr));
    EXPECT_EQ(system.Lines, (std::vector<std::string>{
                                "Failed to read certificate usage",
                                "Failed to read certificate private key. The provided context is nil.",
                                "Failed to read certificate subject field",
                                "Failed to read certificate issuer field",
                                "Failed to read certificate valid from date",
                                "Failed to read certificate valid to date",
                                "Failed to read certificate serial number",
                            }));
}

} // namespace
