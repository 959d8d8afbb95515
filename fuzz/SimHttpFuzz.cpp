// Arbitrary request heads for the simulated web server: parsing never fails, and whatever a
// redirect takes from a request can never break its response's header lines.
#include "tools/corvane-sim/SimHttp.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool HeaderSafe(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string head(reinterpret_cast<const char*>(data), size);
    sim::TRequestHead request;
    if (sim::ParseRequestHead(head, request)) {
        if (request.Method.empty() || request.Target.empty() || !HeaderSafe(request.Target))
            std::abort();
        if (!HeaderSafe(sim::RedirectHost(request.Host)))
            std::abort();
        const std::string path = sim::RedirectPath(request.Target);
        if (path.empty() || path[0] != '/' || !HeaderSafe(path) || path.rfind("//", 0) == 0)
            std::abort();
    }
    if (!HeaderSafe(sim::RedirectHost(head)) || sim::HtmlEscape(head).find('<') != std::string::npos)
        std::abort();
    return 0;
}
