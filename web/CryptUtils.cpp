#include "CryptUtils.h"

#include "core/Text.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace cv {

namespace {

constexpr int64_t MSecsPerDayInt = 86400000;

// Whole days between two date-times, truncated; counted in milliseconds so that 90 days and
// 5 hours never reads as 89.99999 days.
int32_t DaysBetween(TDateTime a, TDateTime b) {
    int64_t ms = std::llround(std::fabs(a - b) * MSecsPerDay);
    return static_cast<int32_t>(ms / MSecsPerDayInt);
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

std::string ErrorCodeText(uint32_t code) { return std::to_string(code); }

// A host name holding a separator or quote would otherwise add attributes of its own to the
// subject; such a name is quoted. Any other name goes in as it is.
std::string X500Value(const std::string& value) {
    const bool blankEnd = !value.empty() && (value.front() == ' ' || value.back() == ' ');
    if (!blankEnd && value.find_first_of(",;+=\"<>#\r\n") == std::string::npos)
        return value;
    return "\"" + ReplaceAll(value, "\"", "\"\"") + "\"";
}

} // namespace

// ---- TCertObject ----

TCertObject::TCertObject(std::string SerialNumber, std::string Name, TDateTime CertValidFrom,
                         TDateTime CertValidTo, bool IsCorvaneCertificate, const std::string& Issuer)
    : FSerialNumber(std::move(SerialNumber)), FName(std::move(Name)), FValidFrom(CertValidFrom),
      FValidTo(CertValidTo), FIsCorvaneCertificate(IsCorvaneCertificate) {
    if (IsCorvaneCertificate && !Issuer.empty()) {
        std::vector<std::string> parts = SplitAny(Issuer, ",");
        if (parts.size() == 2)
            FIssuedToComputer = Trim(parts[0]);
    }
}

void TCertObject::CalculateExpiration() { CalculateExpiration(Now()); }

void TCertObject::CalculateExpiration(TDateTime now) {
    if (FValidFrom <= now && now < FValidTo) {
        FValid = true;
        FValidDays = DaysBetween(now, FValidTo);
    } else if (now < FValidFrom) {
        FValid = false;
        FValidDays = DaysBetween(now, FValidFrom);
    } else {
        FValid = false;
        FValidDays = 0;
    }
}

std::string TCertObject::ValidityText() const { return ValidityText(Now()); }

std::string TCertObject::ValidityText(TDateTime now) const {
    if (FValidFrom <= now && now < FValidTo)
        return "Expires in " + std::to_string(FValidDays) + " days";
    if (now < FValidFrom)
        return "Not valid in " + std::to_string(FValidDays) + " days";
    return "Expired";
}

// ---- the list ----

TCertObject* TCertificateList::Selected() const {
    if (ItemIndex < 0 || ItemIndex >= static_cast<int>(Items.size()))
        return nullptr;
    return Items[static_cast<size_t>(ItemIndex)].Object.get();
}

int CertificateListDroppedWidth(const std::vector<int>& textWidths, int dropDownCount,
                                int scrollBarWidth) {
    int widest = 0;
    for (int w : textWidths)
        widest = std::max(widest, w);
    int width = widest + 4;
    if (static_cast<int>(textWidths.size()) > dropDownCount)
        width += scrollBarWidth;
    return width;
}

// ---- helpers ----

TSystemTime DefaultCertificateEnd(const TSystemTime& nowUtc) {
    TSystemTime end = nowUtc;
    end.Year += 5;
    if (end.Month == 2 && end.Day == 29 && !IsLeapYear(end.Year))
        end.Day = 28;
    return end;
}

TSystemTime CurrentUtcTime() {
    using namespace std::chrono;
    const int64_t ms =
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    // 1970-01-01 is day 25569 of the day count.
    const TDateTime utc = 25569.0 + static_cast<double>(ms) / MSecsPerDay;
    TSystemTime t;
    DecodeDateTime(utc, t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second, t.Milliseconds);
    return t;
}

std::string SerialNumberText(const std::vector<uint8_t>& storedBytes) {
    static const char* hex = "0123456789ABCDEF";
    std::string s;
    for (auto it = storedBytes.rbegin(); it != storedBytes.rend(); ++it) {
        s.push_back(hex[*it >> 4]);
        s.push_back(hex[*it & 15]);
    }
    return s;
}

// ---- TCryptUtils ----

TCryptUtils::TCryptUtils(ICertificateStore& store, ISystemInfo& system, TUtcClock utcNow)
    : FStore(store), FSystem(system), FUtcNow(std::move(utcNow)) {}

void TCryptUtils::Debug(const std::string& line) { FSystem.DebugOutput(line); }

TDateTime TCryptUtils::ToLocal(const TSystemTime& utc, bool& ok) {
    TDateTime dt = 0;
    ok = TryEncodeDateTime(utc.Year, utc.Month, utc.Day, utc.Hour, utc.Minute, utc.Second,
                           utc.Milliseconds, dt);
    // Local time at the offset in force now, as the platform's file time conversion does.
    return ok ? dt + FSystem.UtcOffsetMinutes() / 1440.0 : 0;
}

std::unique_ptr<ICertStoreHandle> TCryptUtils::OpenCertificateStore(const std::string& Name) {
    if (Name.empty())
        return nullptr;
    // The name goes to the platform in a buffer of 256 characters with the terminating null.
    std::u16string wide = Utf8ToUtf16(Name);
    if (wide.size() > 255)
        wide.resize(255);
    auto store = FStore.OpenSystemStore(Utf16ToUtf8(wide));
    if (!store)
        Debug("Failed to open certificate store");
    return store;
}

void TCryptUtils::CloseCertificateStore(std::unique_ptr<ICertStoreHandle>& Handle) {
    Handle.reset();
}

bool TCryptUtils::HasEnhancedKeyUsage(ICertificate* Cert, const std::string& Oid) {
    std::vector<std::string> oids;
    if (!Cert || !Cert->EnhancedKeyUsage(oids)) {
        Debug("Failed to read certificate usage");
        return false;
    }
    return std::find(oids.begin(), oids.end(), Oid) != oids.end();
}

bool TCryptUtils::HasPrivateKey(ICertificate* Cert) {
    if (!Cert) {
        Debug("Failed to read certificate private key. The provided context is nil.");
        return false;
    }
    // The key must also belong to the certificate: every new default certificate replaces
    // the key in the one container "Corvane", and an older certificate naming that container
    // could no longer serve.
    if (!Cert->AcquirePrivateKey(CRYPT_ACQUIRE_PREFER_NCRYPT_KEY_FLAG |
                                 CRYPT_ACQUIRE_COMPARE_KEY_FLAG)) {
        Debug("Failed to read certificate private key, error code: " +
              ErrorCodeText(FStore.LastError()));
        return false;
    }
    return true;
}

std::string TCryptUtils::GetSubjectName(ICertificate* Cert) {
    std::string name;
    if (!Cert) {
        Debug("Failed to read certificate subject field");
        return {};
    }
    return Cert->SubjectName(name) ? name : std::string();
}

std::string TCryptUtils::GetIssuerName(ICertificate* Cert) {
    std::string name;
    if (!Cert) {
        Debug("Failed to read certificate issuer field");
        return {};
    }
    return Cert->IssuerName(name) ? name : std::string();
}

TDateTime TCryptUtils::LocalDateOrDebug(bool read, const TSystemTime& utc, const char* failure) {
    bool ok = read;
    const TDateTime local = ok ? ToLocal(utc, ok) : 0;
    if (!ok) {
        Debug(failure);
        return 0;
    }
    return local;
}

TDateTime TCryptUtils::GetNotBefore(ICertificate* Cert) {
    TSystemTime t;
    return LocalDateOrDebug(Cert && Cert->NotBefore(t), t,
                            "Failed to read certificate valid from date");
}

TDateTime TCryptUtils::GetNotAfter(ICertificate* Cert) {
    TSystemTime t;
    return LocalDateOrDebug(Cert && Cert->NotAfter(t), t, "Failed to read certificate valid to date");
}

std::string TCryptUtils::GetSerialNumber(ICertificate* Cert) {
    if (!Cert) {
        Debug("Failed to read certificate serial number");
        return {};
    }
    return SerialNumberText(Cert->SerialNumber());
}

bool TCryptUtils::HasProductKeyContainer(ICertificate* Cert) {
    TKeyProvInfo info;
    return Cert && Cert->GetKeyProvInfo(info) && info.ContainerName == ProductKeyContainer;
}

std::optional<TCertObjectList> TCryptUtils::ListServerCertificates(ICertStoreHandle* Store) {
    if (!Store)
        return std::nullopt;
    TCertObjectList list;
    Store->Enumerate([&](ICertificate& cert) {
        if (HasEnhancedKeyUsage(&cert, szOID_PKIX_KP_SERVER_AUTH) && HasPrivateKey(&cert)) {
            std::string name = GetSubjectName(&cert);
            TDateTime from = GetNotBefore(&cert);
            TDateTime to = GetNotAfter(&cert);
            bool product = HasProductKeyContainer(&cert);
            std::string issuer = GetIssuerName(&cert);
            list.push_back(std::make_unique<TCertObject>(GetSerialNumber(&cert), std::move(name),
                                                         from, to, product, issuer));
        }
        return true;
    });
    return list;
}

bool TCryptUtils::CertificateExists(const std::string& Serial) {
    auto store = OpenCertificateStore("My");
    if (!store)
        return false;
    bool found = false;
    store->Enumerate([&](ICertificate& cert) {
        found = GetSerialNumber(&cert) == Serial;
        return !found;
    });
    CloseCertificateStore(store);
    return found;
}

bool TCryptUtils::FillCertificateList(const std::string& Serial, TCertificateList& List) {
    auto store = OpenCertificateStore("My");
    if (!store)
        return false;
    List.Items.clear();
    List.ItemIndex = -1;
    if (auto certs = ListServerCertificates(store.get())) {
        for (auto& cert : *certs) {
            const bool match = cert->FSerialNumber == Serial;
            std::string text = cert->FName;
            List.Items.push_back({std::move(text), std::move(cert)});
            if (match)
                List.ItemIndex = static_cast<int>(List.Items.size()) - 1;
        }
    }
    CloseCertificateStore(store);
    return true;
}

std::string TCryptUtils::CreateDefaultCertificate(const std::string& HostName) {
    std::string result;
    auto my = OpenCertificateStore("My");
    if (!my) {
        Debug("CreateDefaultCertificate: No store handle provided");
        return result;
    }
    // Everything below ends in the last step: "My", the container handle and the encodings
    // are released as their objects go.
    auto container = FStore.AcquireContext(ProductKeyContainer, "", PROV_RSA_FULL,
                                           CRYPT_MACHINE_KEYSET);
    if (!container)
        container = FStore.AcquireContext(ProductKeyContainer, "", PROV_RSA_FULL,
                                          CRYPT_MACHINE_KEYSET | CRYPT_NEWKEYSET);
    if (!container) {
        Debug("CreateDefaultCertificate: Failed to acquire context, error code: " +
              ErrorCodeText(FStore.LastError()));
        return result;
    }
    if (!container->GenerateKey(AT_SIGNATURE, (2048u << 16) | CRYPT_EXPORTABLE)) {
        Debug("CreateDefaultCertificate: Failed to generate keys, error code: " +
              ErrorCodeText(FStore.LastError()));
        return result;
    }
    container.reset();

    std::vector<uint8_t> subject;
    if (!FStore.EncodeName("CN=" + X500Value(HostName) + ", T=default", subject))
        return result;

    std::vector<TAltName> altNames(2);
    altNames[0].Kind = TAltName::an_IpAddress;
    altNames[0].IpAddress = {0x7F, 0x00, 0x00, 0x01};
    altNames[1].Kind = TAltName::an_DnsName;
    altNames[1].DnsName = HostName;
    std::vector<TCertExtension> extensions(3);
    extensions[0].Oid = "2.5.29.17";
    extensions[0].Critical = false;
    extensions[1].Oid = "2.5.29.19";
    extensions[1].Critical = true;
    extensions[2].Oid = "2.5.29.14";
    extensions[2].Critical = false;
    // The key identifier is the encoded subject itself, not a hash of the key.
    if (!FStore.EncodeAltNames(altNames, extensions[0].Value) ||
        !FStore.EncodeBasicConstraints(true, false, 0, extensions[1].Value) ||
        !FStore.EncodeKeyIdentifier(subject, extensions[2].Value))
        return result;

    TKeyProvInfo keyProvInfo;
    keyProvInfo.ContainerName = ProductKeyContainer;
    keyProvInfo.ProviderType = PROV_RSA_FULL;
    keyProvInfo.Flags = CRYPT_MACHINE_KEYSET;
    keyProvInfo.KeySpec = AT_SIGNATURE;
    auto cert = FStore.CreateSelfSigned(subject, keyProvInfo, szOID_RSA_SHA256RSA,
                                        DefaultCertificateEnd(FUtcNow()), extensions);
    if (!cert) {
        Debug("CreateDefaultCertificate: Failed to create self-signed certificate, error code: " +
              ErrorCodeText(FStore.LastError()));
        return result;
    }
    cert->AddEnhancedKeyUsage(szOID_PKIX_KP_SERVER_AUTH);
    if (!my->Add(*cert)) {
        Debug("CreateDefaultCertificate: Failed to add certificate to store, error code: " +
              ErrorCodeText(FStore.LastError()));
        return result;
    }
    result = GetSerialNumber(cert.get());

    // A copy without the link to the private key makes the certificate trusted here.
    if (auto root = OpenCertificateStore("Root"); !root) {
        Debug("CreateDefaultCertificate: Failed to open root store, error code: " +
              ErrorCodeText(FStore.LastError()));
    } else if (!cert->SetKeyProvInfo(nullptr)) {
        Debug("CreateDefaultCertificate: Failed to remove private key from root certificate, "
              "error code: " +
              ErrorCodeText(FStore.LastError()));
    } else if (!root->Add(*cert)) {
        Debug("CreateDefaultCertificate: Failed to add certificate to root store, error code: " +
              ErrorCodeText(FStore.LastError()));
    }
    return result;
}

} // namespace cv
