#pragma once
// The local computer's server certificates: reading the personal store "My" for the web
// server's certificate list, describing each certificate by subject, serial number, validity
// and whether it is one of the product's default certificates, and making a new default
// certificate (self-signed, its key in the machine key container "Corvane", trusted through
// a copy in "Root"). Failures are never shown to the user; each writes one line to the
// debugger output and the routine goes on with an empty or false result.
#include "core/DateTime.h"
#include "platform/CertificateStore.h"
#include "platform/SystemInfo.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cv {

inline constexpr const char* szOID_PKIX_KP_SERVER_AUTH = "1.3.6.1.5.5.7.3.1";
inline constexpr const char* szOID_RSA_SHA256RSA = "1.2.840.113549.1.1.11";
inline constexpr const char* ProductKeyContainer = "Corvane";

// One certificate of the store as the list shows it.
class TCertObject {
public:
    TCertObject(std::string SerialNumber, std::string Name, TDateTime CertValidFrom,
                TDateTime CertValidTo, bool IsCorvaneCertificate, const std::string& Issuer);

    // Validity against the current local time (or the one given, for tests and callers with
    // their own clock).
    void CalculateExpiration();
    void CalculateExpiration(TDateTime now);
    // "Expires in N days", "Not valid in N days" or "Expired"; N from the last
    // CalculateExpiration.
    std::string ValidityText() const;
    std::string ValidityText(TDateTime now) const;

    std::string FSerialNumber;   // the key by which certificates are matched
    std::string FName;           // subject in the simple name format; the list's text
    TDateTime FValidFrom = 0;    // local time
    TDateTime FValidTo = 0;      // local time
    int32_t FValidDays = 0;      // whole days to the end of validity, or to its start
    bool FValid = false;
    bool FIsCorvaneCertificate = false; // private key in the container "Corvane"
    std::string FIssuedToComputer;      // for a default certificate, the computer it was made for
};

using TCertObjectList = std::vector<std::unique_ptr<TCertObject>>;

// What the certificate drop-down holds: entries in list order, each owning its object, and
// the selected entry (-1: none). The panel mirrors it into its widget.
struct TCertificateListItem {
    std::string Text;
    std::unique_ptr<TCertObject> Object;
};

struct TCertificateList {
    std::vector<TCertificateListItem> Items;
    int ItemIndex = -1;

    TCertObject* Selected() const;
};

// The drop-down's width: the widest entry's text plus 4 pixels, plus a vertical scroll bar
// when there are more entries than the drop-down shows at once.
int CertificateListDroppedWidth(const std::vector<int>& textWidths, int dropDownCount,
                                int scrollBarWidth);

// Five years on at the same UTC time; 29 February ends on 28 February, the last moment that
// the year has of the date.
TSystemTime DefaultCertificateEnd(const TSystemTime& nowUtc);

// The current UTC time from the system clock.
TSystemTime CurrentUtcTime();

// Serial number bytes as the platform keeps them (least significant first) as text, most
// significant byte first, two upper-case hexadecimal digits each.
std::string SerialNumberText(const std::vector<uint8_t>& storedBytes);

class TCryptUtils {
public:
    using TUtcClock = std::function<TSystemTime()>;

    TCryptUtils(ICertificateStore& store, ISystemInfo& system, TUtcClock utcNow = CurrentUtcTime);

    // The local computer's system store of that name; null (and a debugger line) when it
    // cannot be opened, and for an empty name.
    std::unique_ptr<ICertStoreHandle> OpenCertificateStore(const std::string& Name);
    void CloseCertificateStore(std::unique_ptr<ICertStoreHandle>& Handle);

    // The store's certificates with server authentication usage and an acquirable private key,
    // in store order; none when no store is given.
    std::optional<TCertObjectList> ListServerCertificates(ICertStoreHandle* Store);
    // Whether "My" holds a certificate with that serial text (any usage, any key).
    bool CertificateExists(const std::string& Serial);
    // Refills the list from "My" and selects the entry whose serial text equals Serial (the
    // last such); false, with the list untouched, when the store cannot be opened. The caller
    // then sets the drop-down width with CertificateListDroppedWidth either way.
    bool FillCertificateList(const std::string& Serial, TCertificateList& List);

    bool HasEnhancedKeyUsage(ICertificate* Cert, const std::string& Oid);
    bool HasPrivateKey(ICertificate* Cert);
    std::string GetSubjectName(ICertificate* Cert);
    std::string GetIssuerName(ICertificate* Cert);
    TDateTime GetNotBefore(ICertificate* Cert);
    TDateTime GetNotAfter(ICertificate* Cert);
    std::string GetSerialNumber(ICertificate* Cert);
    bool HasProductKeyContainer(ICertificate* Cert);

    // Makes a default certificate for the host name, with its private key in "My" and a copy
    // without it in "Root"; its serial text, or empty when it could not be made and added to
    // "My".
    std::string CreateDefaultCertificate(const std::string& HostName);

private:
    void Debug(const std::string& line);
    TDateTime ToLocal(const TSystemTime& utc, bool& ok);
    // `utc` in local time when `read` and it converts; otherwise 0, and `failure` to the debugger.
    TDateTime LocalDateOrDebug(bool read, const TSystemTime& utc, const char* failure);

    ICertificateStore& FStore;
    ISystemInfo& FSystem;
    TUtcClock FUtcNow;
};

} // namespace cv
