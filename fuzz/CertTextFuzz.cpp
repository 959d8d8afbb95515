// Hand-edited or damaged texts of the sandbox's certificate stores: a properties file beside a
// certificate and an X.500 name string. Whatever they hold, reading never fails, a properties
// file written from what was read reads back to the same, and a parsed name holds only known
// attribute identifiers.
#include "platform/sandbox/SandboxCertText.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const cv::sandbox::TCertProperties read = cv::sandbox::ParseProperties(text);
    const std::string written = cv::sandbox::FormatProperties(read);
    if (!(cv::sandbox::ParseProperties(written) == read))
        std::abort();

    cv::sandbox::TNameRdns rdns;
    if (cv::sandbox::ParseX500Name(text, rdns)) {
        for (auto& rdn : rdns) {
            if (rdn.empty())
                std::abort();
            for (auto& attr : rdn) {
                if (!cv::sandbox::IsOid(attr.Oid))
                    std::abort();
                // A value shown quoted reads back as one value.
                cv::sandbox::TNameRdns again;
                const std::string quoted = "CN=" + cv::sandbox::QuoteNameValue(attr.Value);
                if (attr.Value.find_first_of("\r\n\t") == std::string::npos &&
                    (!cv::sandbox::ParseX500Name(quoted, again) || again.size() != 1 ||
                     again[0].size() != 1 || again[0][0].Value != attr.Value))
                    std::abort();
            }
        }
    }
    return 0;
}
