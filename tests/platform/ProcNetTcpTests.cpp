#include "platform/posix/ProcNetTcp.h"

#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

using namespace cv;
using namespace cv::posix_net;

namespace {

struct TLineCase {
    const char* Name;
    std::string Line;
    bool Ok;
    const char* Address = "";
    uint16_t Port = 0;
    uint8_t State = 0;
    uint64_t Inode = 0;
};

// Lines as the kernel writes them, and lines it does not. Addresses are the host's words in
// hex, so the expectations hold on little-endian machines (every target of this program).
const TLineCase LineCases[] = {
    {"IPv4 listener on any address",
     "   0: 00000000:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 "
     "254 1 0000000034e3197a 100 0 0 10 0",
     true, "0.0.0.0", 8080, 0x0A, 254},
    {"IPv4 connection on loopback",
     "  12: 0100007F:C350 0100007F:20FB 01 00000000:00000000 00:00000000 00000000  1000        0 "
     "98765 1 0000000000000000 20 4 30 10 -1",
     true, "127.0.0.1", 50000, 0x01, 98765},
    {"IPv4 address bytes keep their order", // 192.168.1.10
     "   3: 0A01A8C0:01BB 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0        0 "
     "77 1 0000000000000000 100 0 0 10 0",
     true, "192.168.1.10", 443, 0x0A, 77},
    {"time-wait socket without an inode",
     "   4: 0100007F:01BB 0100007F:D431 06 00000000:00000000 03:00000E2B 00000000     0        0 0 "
     "3 0000000000000000",
     true, "127.0.0.1", 443, 0x06, 0},
    {"IPv6 any address",
     "   0: 00000000000000000000000000000000:20FB 00000000000000000000000000000000:0000 0A "
     "00000000:00000000 00:00000000 00000000     0        0 31337 1 0000000000000000 100 0 0 10 0",
     true, "::", 8443, 0x0A, 31337},
    {"IPv6 loopback",
     "   1: 00000000000000000000000001000000:FFFF 00000000000000000000000000000000:0000 0A "
     "00000000:00000000 00:00000000 00000000     0        0 5 1 0000000000000000 100 0 0 10 0",
     true, "::1", 65535, 0x0A, 5},
    {"IPv4-mapped IPv6 address, lower-case hex",
     "   2: 0000000000000000ffff00000100007f:0050 00000000000000000000000000000000:0000 0a "
     "00000000:00000000 00:00000000 00000000     0        0 6 1 0000000000000000 100 0 0 10 0",
     true, "::ffff:127.0.0.1", 80, 0x0A, 6},
    {"largest inode",
     "   0: 00000000:0050 00000000:0000 0A 00000000:00000000 00:00000000 00000000 0 0 "
     "18446744073709551615",
     true, "0.0.0.0", 80, 0x0A, 18446744073709551615ull},

    {"heading",
     "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
     "timeout inode",
     false},
    {"empty line", "", false},
    {"too few fields", "   0: 00000000:1F90 00000000:0000 0A 00000000:00000000 00:00000000", false},
    {"slot without its colon",
     "   0 00000000:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000 0 0 254", false},
    {"address of seven digits",
     "   0: 0000000:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000 0 0 254", false},
    {"address of sixteen digits",
     "   0: 0000000000000000:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000 0 0 254",
     false},
    {"not a hex digit",
     "   0: 0000000G:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000 0 0 254", false},
    {"port of five digits",
     "   0: 00000000:1FFFF 00000000:0000 0A 00000000:00000000 00:00000000 00000000 0 0 254", false},
    {"port missing",
     "   0: 00000000: 00000000:0000 0A 00000000:00000000 00:00000000 00000000 0 0 254", false},
    {"no colon in the address",
     "   0: 000000001F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000 0 0 254", false},
    {"remote of the other family",
     "   0: 00000000:1F90 00000000000000000000000000000000:0000 0A 00000000:00000000 00:00000000 "
     "00000000 0 0 254",
     false},
    {"state of three digits",
     "   0: 00000000:1F90 00000000:0000 00A 00000000:00000000 00:00000000 00000000 0 0 254", false},
    {"inode not a number",
     "   0: 00000000:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000 0 0 25x4", false},
    {"negative inode",
     "   0: 00000000:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000 0 0 -254", false},
    {"inode beyond 64 bits",
     "   0: 00000000:1F90 00000000:0000 0A 00000000:00000000 00:00000000 00000000 0 0 "
     "18446744073709551616",
     false},
};

TEST(ProcNetTcp, ParsesTheKernelsLinesAndRejectsOthers) {
    if constexpr (std::endian::native != std::endian::little)
        GTEST_SKIP() << "the fixture's addresses are little-endian words";
    for (const TLineCase& c : LineCases) {
        SCOPED_TRACE(c.Name);
        TTcpSocket s;
        s.Port = 1234; // a rejected line leaves the result as it was
        ASSERT_EQ(ParseTcpLine(c.Line, s), c.Ok);
        if (!c.Ok) {
            EXPECT_EQ(s.Port, 1234);
            continue;
        }
        EXPECT_EQ(AddressText(s), c.Address);
        EXPECT_EQ(s.Port, c.Port);
        EXPECT_EQ(s.State, c.State);
        EXPECT_EQ(s.Inode, c.Inode);
    }
}

// Whatever the pieces the text arrives in, the same lines come out; a line beyond the limit is
// dropped whole (and neither its start nor its end is taken for a line), the last line needs no
// line break.
TEST(ProcNetTcp, LineSplitterGivesTheSameLinesForAnyPieces) {
    const std::string overlong(MaxTableLine + 1, 'x');
    const std::string justFits(MaxTableLine, 'y');
    const std::string text = "first\n\n" + overlong + "\n" + justFits + "\nsecond\r\n" + overlong +
                             "\nlast without break";
    const std::vector<std::string> expected = {"first", "", justFits, "second\r",
                                               "last without break"};
    for (size_t piece :
         {size_t(1), size_t(3), size_t(7), size_t(4096), size_t(4097), text.size()}) {
        SCOPED_TRACE(piece);
        std::vector<std::string> lines;
        auto take = [&](std::string_view l) { lines.emplace_back(l); };
        TLineSplitter splitter;
        for (size_t i = 0; i < text.size(); i += piece)
            splitter.Feed(std::string_view(text).substr(i, piece), take);
        splitter.Finish(take);
        EXPECT_EQ(lines, expected);
    }
}

} // namespace
