#include "SandboxCertText.h"

#include "core/Text.h"

#include <cstddef>

namespace cv::sandbox {

namespace {

// Characters that would break a line or the separators are written as %XX.
std::string Escape(std::string_view s) {
    return PercentEscape(s, "=,");
}

std::string Unescape(std::string_view s) {
    return PercentUnescape(s);
}

bool ReadUInt32(std::string_view s, uint32_t& out) {
    if (s.empty() || s.size() > 10)
        return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > 0xFFFFFFFFull)
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}

constexpr const char* KeyContainerName = "KeyContainer";
constexpr const char* KeyProviderName = "KeyProvider";
constexpr const char* KeyProviderTypeName = "KeyProviderType";
constexpr const char* KeyFlagsName = "KeyFlags";
constexpr const char* KeySpecName = "KeySpec";
constexpr const char* UsageName = "EnhancedKeyUsage";

struct TKeyNameOid {
    const char* Key;
    const char* Oid;
};

// The keys of X.500 name strings, as CertStrToNameW knows them.
constexpr TKeyNameOid NameKeys[] = {
    {"CN", "2.5.4.3"},
    {"SN", "2.5.4.4"},
    {"SERIALNUMBER", "2.5.4.5"},
    {"C", "2.5.4.6"},
    {"L", "2.5.4.7"},
    {"S", "2.5.4.8"},
    {"ST", "2.5.4.8"},
    {"STREET", "2.5.4.9"},
    {"O", "2.5.4.10"},
    {"OU", "2.5.4.11"},
    {"T", "2.5.4.12"},
    {"TITLE", "2.5.4.12"},
    {"G", "2.5.4.42"},
    {"GN", "2.5.4.42"},
    {"I", "2.5.4.43"},
    {"E", "1.2.840.113549.1.9.1"},
    {"DC", "0.9.2342.19200300.100.1.25"},
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

} // namespace

bool IsOid(std::string_view s) {
    if (s.empty() || s.front() == '.' || s.back() == '.')
        return false;
    size_t arcs = 1;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '.') {
            if (s[i - 1] == '.')
                return false;
            ++arcs;
        } else if (s[i] < '0' || s[i] > '9') {
            return false;
        }
    }
    return arcs >= 2;
}

TCertProperties ParseProperties(std::string_view text) {
    TCertProperties p;
    std::optional<std::string> container, provider, type, flags, spec;
    for (auto& raw : SplitAny(text, "\n")) {
        std::string_view line = raw;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == ';')
            continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        std::string_view name = line.substr(0, eq);
        std::string_view value = line.substr(eq + 1);
        if (name == KeyContainerName)
            container = Unescape(value);
        else if (name == KeyProviderName)
            provider = Unescape(value);
        else if (name == KeyProviderTypeName)
            type = std::string(value);
        else if (name == KeyFlagsName)
            flags = std::string(value);
        else if (name == KeySpecName)
            spec = std::string(value);
        else if (name == UsageName) {
            std::vector<std::string> oids;
            for (auto& oid : SplitAny(value, ","))
                if (IsOid(oid))
                    oids.push_back(oid);
            p.EnhancedKeyUsage = std::move(oids);
        }
    }
    if (container) {
        TKeyProvInfo info;
        info.ContainerName = *container;
        info.ProviderName = provider.value_or("");
        if (ReadUInt32(type.value_or(""), info.ProviderType) &&
            ReadUInt32(flags.value_or(""), info.Flags) && ReadUInt32(spec.value_or(""), info.KeySpec))
            p.KeyProvInfo = std::move(info);
    }
    return p;
}

std::string FormatProperties(const TCertProperties& p) {
    std::string out = "; Properties of the certificate in the file of the same name.\n";
    if (p.KeyProvInfo) {
        const TKeyProvInfo& k = *p.KeyProvInfo;
        out += std::string(KeyContainerName) + "=" + Escape(k.ContainerName) + "\n";
        out += std::string(KeyProviderName) + "=" + Escape(k.ProviderName) + "\n";
        out += std::string(KeyProviderTypeName) + "=" + std::to_string(k.ProviderType) + "\n";
        out += std::string(KeyFlagsName) + "=" + std::to_string(k.Flags) + "\n";
        out += std::string(KeySpecName) + "=" + std::to_string(k.KeySpec) + "\n";
    }
    if (p.EnhancedKeyUsage) {
        std::vector<std::string> oids;
        for (auto& oid : *p.EnhancedKeyUsage)
            if (IsOid(oid))
                oids.push_back(oid);
        out += std::string(UsageName) + "=" + Join(oids, ",") + "\n";
    }
    return out;
}

bool ParseX500Name(std::string_view text, TNameRdns& out) {
    out.clear();
    size_t i = 0;
    const size_t n = text.size();
    auto skipBlanks = [&] {
        while (i < n && IsBlank(text[i]))
            ++i;
    };
    skipBlanks();
    if (i == n)
        return true; // an empty name
    std::vector<TNameAttribute> rdn;
    for (;;) {
        // Key.
        skipBlanks();
        size_t keyStart = i;
        while (i < n && text[i] != '=' && text[i] != ',' && text[i] != ';' && text[i] != '+')
            ++i;
        if (i == n || text[i] != '=')
            return false;
        std::string key = Trim(text.substr(keyStart, i - keyStart));
        ++i; // '='
        std::string oid;
        if (StartsWithText(key, "OID."))
            key = key.substr(4);
        if (IsOid(key)) {
            oid = key;
        } else {
            for (auto& k : NameKeys)
                if (SameText(key, k.Key))
                    oid = k.Oid;
        }
        if (oid.empty())
            return false;
        // Value.
        skipBlanks();
        std::string value;
        if (i < n && text[i] == '"') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        value.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value.push_back(text[i++]);
            }
            if (!closed)
                return false;
            skipBlanks();
        } else {
            if (i < n && text[i] == '#')
                return false;
            size_t valueStart = i;
            while (i < n && text[i] != ',' && text[i] != ';' && text[i] != '+')
                ++i;
            std::string_view raw = text.substr(valueStart, i - valueStart);
            while (!raw.empty() && IsBlank(raw.back()))
                raw.remove_suffix(1);
            if (raw.find('"') != std::string_view::npos)
                return false;
            value = std::string(raw);
        }
        rdn.push_back({oid, value});
        if (i == n) {
            out.push_back(std::move(rdn));
            return true;
        }
        char sep = text[i++];
        if (sep == ',' || sep == ';') {
            out.push_back(std::move(rdn));
            rdn.clear();
        } else if (sep != '+') {
            return false;
        }
    }
}

std::string QuoteNameValue(std::string_view value) {
    bool quote = value.empty() || IsBlank(value.front()) || IsBlank(value.back()) ||
                 value.find_first_of(",+=\"<>#;\n") != std::string_view::npos;
    if (!quote)
        return std::string(value);
    std::string out = "\"";
    for (char c : value) {
        if (c == '"')
            out += "\"\"";
        else
            out.push_back(c);
    }
    return out + "\"";
}

} // namespace cv::sandbox
