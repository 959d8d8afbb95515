#include "ScriptFile.h"

#include "core/Text.h"
#include "platform/FileSystem.h"

namespace cv {

namespace {

std::u16string Utf16Units(std::string_view bytes, bool bigEndian) {
    std::u16string units;
    units.reserve(bytes.size() / 2 + 1);
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
    if (i < bytes.size())
        units.push_back(u'\uFFFD'); // half a code unit at the end
    return units;
}

} // namespace

std::string JoinLinesCrLf(std::string_view Text) {
    std::string out;
    out.reserve(Text.size() + Text.size() / 16);
    for (size_t i = 0; i < Text.size(); ++i) {
        const char c = Text[i];
        if (c != '\r' && c != '\n') {
            out.push_back(c);
            continue;
        }
        if (c == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n')
            ++i;
        if (i + 1 < Text.size()) // a line end after the last line opens no line
            out += "\r\n";
    }
    return out;
}

TScriptText DecodeScript(std::string_view Bytes) {
    TScriptText result;
    std::string utf8;
    if (Bytes.size() >= 3 && Bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        result.Encoding = TScriptEncoding::se_Utf8;
        // Through UTF-16 and back, so malformed sequences become U+FFFD.
        utf8 = Utf16ToUtf8(Utf8ToUtf16(Bytes.substr(3)));
    } else if (Bytes.size() >= 2 && Bytes.substr(0, 2) == "\xFF\xFE") {
        result.Encoding = TScriptEncoding::se_Utf16LE;
        utf8 = Utf16ToUtf8(Utf16Units(Bytes.substr(2), false));
    } else if (Bytes.size() >= 2 && Bytes.substr(0, 2) == "\xFE\xFF") {
        result.Encoding = TScriptEncoding::se_Utf16BE;
        utf8 = Utf16ToUtf8(Utf16Units(Bytes.substr(2), true));
    } else {
        utf8 = AnsiToUtf8(Bytes);
    }
    result.Text = JoinLinesCrLf(utf8);
    return result;
}

TEncodedScript EncodeScript(std::string_view Text) {
    TEncodedScript result;
    result.Bytes = Utf8ToAnsi(Text);
    // The code page's default character, or a look-alike a conversion put in, loses what was
    // there: only a text that comes back unchanged is written as it is.
    result.Lossless = AnsiToUtf8(result.Bytes) == Text;
    return result;
}

std::string ReadScriptFile(const std::string& Path) {
    return ReadFileOrRaise(Path);
}

void WriteScriptFile(const std::string& Path, const std::string& Bytes) {
    WriteFileAtomic(Path, Bytes);
}

} // namespace cv
