#pragma once
// A Lumo program's file as the editor reads and writes it. Reading: a byte-order mark selects
// UTF-8, UTF-16 little-endian or UTF-16 big-endian, anything else is the ANSI code page; the
// lines (ended by CR LF, LF or a lone CR) come back joined by CR LF, without a line end after
// the last one. Writing: the editor's text in the ANSI code page, without a mark, line ends as
// they stand, replacing the file atomically.
#include <cstdint>
#include <string>
#include <string_view>

namespace cv {

enum class TScriptEncoding : uint8_t { se_Ansi, se_Utf8, se_Utf16LE, se_Utf16BE };

struct TScriptText {
    std::string Text; // UTF-8, lines joined by CR LF
    TScriptEncoding Encoding = TScriptEncoding::se_Ansi;
};

// The file's bytes as the editor shows them. Malformed UTF-8 or UTF-16 becomes U+FFFD.
TScriptText DecodeScript(std::string_view Bytes);

// The lines of UTF-8 text joined by CR LF; a line end after the last line adds no line.
std::string JoinLinesCrLf(std::string_view Text);

struct TEncodedScript {
    std::string Bytes;    // the ANSI code page
    bool Lossless = true; // false when a character had to be replaced
};

// The editor's text as the file's bytes.
TEncodedScript EncodeScript(std::string_view Text);

// The file's bytes; raises cv::Exception naming the full path and the system's reason.
std::string ReadScriptFile(const std::string& Path);
// Replaces the file (write beside, flush, rename); raises cv::Exception naming the full path
// and the system's reason, the old file left as it was.
void WriteScriptFile(const std::string& Path, const std::string& Bytes);

} // namespace cv
