#include "ProcNetTcp.h"

#include "core/Text.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <vector>

namespace cv::posix_net {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Splits into at most N blank-separated fields; returns how many there were.
template <size_t N>
size_t SplitFields(std::string_view line, std::array<std::string_view, N>& fields) {
    size_t count = 0, i = 0;
    while (i < line.size() && count < N) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i == line.size())
            break;
        size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        fields[count++] = line.substr(start, i - start);
    }
    return count;
}


// 1 to 8 hex digits.
bool ParseHex32(std::string_view s, uint32_t& out) {
    if (s.empty() || s.size() > 8)
        return false;
    uint32_t v = 0;
    for (char c : s) {
        int d = HexDigitValue(c);
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    out = v;
    return true;
}

// "ADDR:PORT": ADDR is 8 hex digits (IPv4) or 32 (IPv6), each group of 8 one 32-bit word as
// the host stores it; PORT 4 hex digits.
bool ParseEndpoint(std::string_view s, bool& ipv6, uint8_t (&address)[16], uint16_t& port) {
    const size_t colon = s.find(':');
    if (colon == std::string_view::npos)
        return false;
    std::string_view addr = s.substr(0, colon), portText = s.substr(colon + 1);
    if (addr.size() != 8 && addr.size() != 32)
        return false;
    if (portText.size() != 4)
        return false;
    uint32_t p = 0;
    if (!ParseHex32(portText, p))
        return false;
    std::memset(address, 0, sizeof address);
    for (size_t w = 0; w < addr.size() / 8; ++w) {
        uint32_t word = 0;
        if (!ParseHex32(addr.substr(w * 8, 8), word))
            return false;
        std::memcpy(address + w * 4, &word, 4);
    }
    ipv6 = addr.size() == 32;
    port = static_cast<uint16_t>(p);
    return true;
}

bool ParseDecimal64(std::string_view s, uint64_t& out) {
    if (s.empty() || s.size() > 20)
        return false;
    uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (v > (UINT64_MAX - digit) / 10)
            return false;
        v = v * 10 + digit;
    }
    out = v;
    return true;
}

// The slot number "N:".
bool IsSlot(std::string_view s) {
    if (s.size() < 2 || s.back() != ':')
        return false;
    for (size_t i = 0; i + 1 < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

} // namespace

bool ParseTcpLine(std::string_view line, TTcpSocket& out) {
    std::array<std::string_view, 10> f;
    if (SplitFields(line, f) < f.size() || !IsSlot(f[0]))
        return false;
    TTcpSocket s;
    bool remoteV6 = false;
    uint8_t remote[16] = {};
    uint16_t remotePort = 0;
    uint32_t state = 0;
    if (!ParseEndpoint(f[1], s.IPv6, s.Address, s.Port) ||
        !ParseEndpoint(f[2], remoteV6, remote, remotePort) || remoteV6 != s.IPv6 ||
        f[3].size() != 2 || !ParseHex32(f[3], state) || !ParseDecimal64(f[9], s.Inode))
        return false;
    s.State = static_cast<uint8_t>(state);
    out = s;
    return true;
}

std::string AddressText(const TTcpSocket& socket) {
    char text[INET6_ADDRSTRLEN] = {};
    if (!::inet_ntop(socket.IPv6 ? AF_INET6 : AF_INET, socket.Address, text, sizeof text))
        return {};
    return text;
}

void TLineSplitter::Feed(std::string_view chunk, const TLine& line) {
    while (!chunk.empty()) {
        const size_t eol = chunk.find('\n');
        const std::string_view piece = chunk.substr(0, eol);
        if (!FOverlong) {
            if (FPending.size() + piece.size() > MaxTableLine) {
                FOverlong = true;
                FPending.clear();
            } else if (eol != std::string_view::npos && FPending.empty()) {
                line(piece); // the common case: a whole line inside the chunk, no copy
            } else {
                FPending.append(piece);
                if (eol != std::string_view::npos) {
                    line(FPending);
                    FPending.clear();
                }
            }
        }
        if (eol == std::string_view::npos)
            return;
        FOverlong = false;
        chunk.remove_prefix(eol + 1);
    }
}

void TLineSplitter::Finish(const TLine& line) {
    if (!FOverlong && !FPending.empty())
        line(FPending);
    FPending.clear();
    FOverlong = false;
}

bool ReadTableLines(const std::string& path, const TLine& line) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::vector<char> buffer(64 * 1024);
    TLineSplitter splitter;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int e = errno;
            ::close(fd);
            errno = e;
            return false;
        }
        if (n == 0)
            break;
        splitter.Feed(std::string_view(buffer.data(), static_cast<size_t>(n)), line);
    }
    ::close(fd);
    splitter.Finish(line);
    return true;
}

} // namespace cv::posix_net
