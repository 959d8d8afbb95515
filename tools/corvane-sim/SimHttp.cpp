#include "SimHttp.h"

#include <vector>

namespace sim {

namespace {

bool IsToken(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsVisible(char c) { return c > 0x20 && c < 0x7F; }

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Lines(std::string_view head) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start <= head.size()) {
        size_t end = head.find('\n', start);
        if (end == std::string_view::npos)
            end = head.size();
        std::string_view line = head.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == head.size())
            break;
        start = end + 1;
    }
    return lines;
}

} // namespace

bool ParseRequestHead(std::string_view head, TRequestHead& out) {
    out = {};
    std::vector<std::string_view> lines = Lines(head);
    if (lines.empty())
        return false;
    // Request line: method SP target SP HTTP/1.x
    std::string_view line = lines[0];
    size_t sp1 = line.find(' ');
    if (sp1 == std::string_view::npos || sp1 == 0)
        return false;
    size_t sp2 = line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || sp2 == sp1 + 1)
        return false;
    std::string_view method = line.substr(0, sp1);
    std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    std::string_view version = line.substr(sp2 + 1);
    for (char c : method)
        if (!IsToken(c))
            return false;
    for (char c : target)
        if (!IsVisible(c))
            return false;
    if (version != "HTTP/1.1" && version != "HTTP/1.0")
        return false;
    bool hostSeen = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string_view h = lines[i];
        if (h.empty())
            continue;
        size_t colon = h.find(':');
        if (colon == std::string_view::npos || colon == 0)
            return false;
        std::string_view name = h.substr(0, colon);
        for (char c : name)
            if (!IsToken(c))
                return false;
        std::string_view value = TrimBlanks(h.substr(colon + 1));
        for (char c : value)
            if (c == '\r' || c == '\n' || c == '\0')
                return false;
        if (SameTextAscii(name, "Host")) {
            if (hostSeen)
                return false; // two hosts: which one is meant is anyone's guess
            hostSeen = true;
            out.Host = std::string(value);
        }
    }
    out.Method = std::string(method);
    out.Target = std::string(target);
    out.Version = std::string(version);
    return true;
}

std::string RedirectHost(std::string_view host) {
    if (host.empty() || host.size() > 255)
        return {};
    std::string_view name = host;
    if (host.front() == '[') {
        size_t close = host.find(']');
        if (close == std::string_view::npos)
            return {};
        name = host.substr(0, close + 1);
        for (char c : name.substr(1, name.size() - 2))
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
                  c == ':' || c == '.'))
                return {};
        if (name.size() < 3)
            return {};
        host.remove_prefix(close + 1);
    } else {
        size_t colon = host.find(':');
        name = host.substr(0, colon);
        host.remove_prefix(colon == std::string_view::npos ? host.size() : colon);
        if (name.empty())
            return {};
        for (char c : name)
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '.'))
                return {};
    }
    // What may follow: nothing, or ":" and a port number.
    if (!host.empty()) {
        if (host.front() != ':' || host.size() < 2 || host.size() > 6)
            return {};
        for (char c : host.substr(1))
            if (c < '0' || c > '9')
                return {};
    }
    return std::string(name);
}

std::string RedirectPath(std::string_view target) {
    if (target.empty() || target.front() != '/' || target.size() > 2048 ||
        (target.size() > 1 && target[1] == '/'))
        return "/";
    for (char c : target)
        if (!IsVisible(c))
            return "/";
    return std::string(target);
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

} // namespace sim
