#pragma once
// The texts of the sandbox's certificate stores: the properties file kept beside each
// certificate, the X.500 name strings that CertStrToNameW takes, and the quoting of name
// values that CertNameToStrW applies. Plain text in, plain values out; no OpenSSL here.
#include "platform/CertificateStore.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cv::sandbox {

// A certificate's properties as the store keeps them beside its DER file.
struct TCertProperties {
    std::optional<TKeyProvInfo> KeyProvInfo;
    // The enhanced key usage property; present but empty means "good for no use".
    std::optional<std::vector<std::string>> EnhancedKeyUsage;

    bool operator==(const TCertProperties&) const = default;
};

// A hand-edited or damaged file never fails: lines that do not read as a property are
// skipped, and a key provider entry with a bad number counts as absent.
TCertProperties ParseProperties(std::string_view text);
std::string FormatProperties(const TCertProperties& properties);

// Dotted decimal object identifier ("1.3.6.1.5.5.7.3.1").
bool IsOid(std::string_view s);

// One attribute of a relative distinguished name.
struct TNameAttribute {
    std::string Oid;
    std::string Value; // UTF-8
};
using TNameRdns = std::vector<std::vector<TNameAttribute>>;

// "CN=pc1, T=default" with the keys CertStrToNameW knows (or "OID.1.2.3" / "1.2.3"), "," or
// ";" between RDNs, "+" between values of one RDN, quoting with "" inside quotes. Values
// beginning with "#" (hexadecimal octets) are not supported. False on any error.
bool ParseX500Name(std::string_view text, TNameRdns& out);

// A value as the name string shows it: quoted when empty, with blanks at either end, or
// holding one of , + = " < > # ; or a line break; quotes inside doubled.
std::string QuoteNameValue(std::string_view value);

} // namespace cv::sandbox
