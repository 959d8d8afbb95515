#pragma once
// The kernel's tables of TCP sockets, /proc/net/tcp and /proc/net/tcp6: after a heading line,
// one socket per line, "sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout
// inode ...". Addresses are hex words in the host's byte order, "ADDR:PORT" with the port in hex.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace cv::posix_net {

constexpr uint8_t TcpListenState = 0x0A;

struct TTcpSocket {
    bool IPv6 = false;
    uint8_t Address[16] = {}; // network byte order; IPv4 uses the first four bytes
    uint16_t Port = 0;
    uint8_t State = 0;
    uint64_t Inode = 0;
};

// One line of a table. False for the heading and for any line not shaped as the kernel writes
// it (wrong field count, address lengths, non-hex digits, a port beyond 16 bits, an inode that
// is not a decimal number).
bool ParseTcpLine(std::string_view line, TTcpSocket& out);

// The local address as text ("127.0.0.1", "::1").
std::string AddressText(const TTcpSocket& socket);

// Longest line kept; the kernel's lines are about 150 characters, longer ones are skipped.
constexpr size_t MaxTableLine = 4096;

using TLine = std::function<void(std::string_view)>;

// Cuts text arriving in pieces into lines (without their line breaks), holding at most one
// line of MaxTableLine characters; a longer line is dropped whole.
class TLineSplitter {
public:
    void Feed(std::string_view chunk, const TLine& line);
    // The last line when the text does not end with a line break.
    void Finish(const TLine& line);

private:
    std::string FPending;
    bool FOverlong = false;
};

// Hands each line of the file to `line`, so that a table of any size is read in bounded
// memory. False, with errno set, when the file cannot be opened or read.
bool ReadTableLines(const std::string& path, const TLine& line);

} // namespace cv::posix_net
