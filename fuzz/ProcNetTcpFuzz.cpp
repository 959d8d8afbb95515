// Arbitrary bytes as a kernel TCP table, arriving in pieces: every line is parsed, and what
// parses is written back as the kernel writes it and must parse again to the same socket.
#include "platform/posix/ProcNetTcp.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace cv::posix_net;

namespace {

std::string Endpoint(const uint8_t* address, bool ipv6, uint16_t port) {
    std::string text;
    char word[16];
    for (int w = 0; w < (ipv6 ? 4 : 1); ++w) {
        uint32_t v = 0;
        std::memcpy(&v, address + w * 4, 4);
        std::snprintf(word, sizeof word, "%08X", v);
        text += word;
    }
    std::snprintf(word, sizeof word, ":%04X", port);
    return text + word;
}

void Check(std::string_view line) {
    TTcpSocket s;
    if (!ParseTcpLine(line, s))
        return;
    if (AddressText(s).empty())
        std::abort();
    const uint8_t none[16] = {};
    char tail[128];
    std::snprintf(tail, sizeof tail, " %02X 00000000:00000000 00:00000000 00000000 0 0 %llu",
                  s.State, static_cast<unsigned long long>(s.Inode));
    const std::string again =
        "0: " + Endpoint(s.Address, s.IPv6, s.Port) + " " + Endpoint(none, s.IPv6, 0) + tail;
    TTcpSocket t;
    if (!ParseTcpLine(again, t) || t.IPv6 != s.IPv6 || t.Port != s.Port || t.State != s.State ||
        t.Inode != s.Inode || std::memcmp(t.Address, s.Address, sizeof s.Address) != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses the size of the pieces the rest arrives in.
    const size_t piece = 1 + data[0] % 64;
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    TLineSplitter splitter;
    size_t longest = 0;
    auto line = [&](std::string_view l) {
        longest = std::max(longest, l.size());
        Check(l);
    };
    for (size_t i = 0; i < text.size(); i += piece)
        splitter.Feed(text.substr(i, piece), line);
    splitter.Finish(line);
    if (longest > MaxTableLine)
        std::abort();
    return 0;
}
