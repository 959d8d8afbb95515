#pragma once
// The little HTTP the simulated web server speaks: the head of a request, the host a redirect
// may name, and text made safe for the status page. Plain text in, plain values out.
#include <string>
#include <string_view>

namespace sim {

struct TRequestHead {
    std::string Method;
    std::string Target;
    std::string Version;
    std::string Host; // the Host header's value as sent; empty when there is none
};

// The head of one request, up to (not including) the empty line. False when it is not an
// HTTP/1.x request line followed by header lines.
bool ParseRequestHead(std::string_view head, TRequestHead& out);

// The host part of a Host header that a redirect may name: a DNS name or IPv4 address, or an
// IPv6 address in brackets, without its port. Empty when the value is anything else.
std::string RedirectHost(std::string_view hostHeader);

// A request target a redirect may carry on: an absolute path of visible ASCII; else "/".
std::string RedirectPath(std::string_view target);

std::string HtmlEscape(std::string_view text);

} // namespace sim
