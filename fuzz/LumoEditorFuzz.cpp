// Arbitrary bytes as a script file the editor opens, then as the text the search frame works
// on. Reading gives valid UTF-8 whose only line ends are CR LF; a text the code page holds
// reads back unchanged after writing (unless its bytes happen to begin like a byte-order
// mark; a line end after the last line is read as no line). On the styled text, block matching and
// statement lines from any caret read only the text (the in-memory document holds exactly its
// bytes), and a match is a word that opens or closes a block.
#include "core/Text.h"
#include "editor/LumoDocument.h"
#include "editor/LumoScanner.h"
#include "editor/ScriptFile.h"
#include "editor/SearchFrameLogic.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

bool StartsLikeAMark(std::string_view bytes) {
    return bytes.substr(0, 3) == "\xEF\xBB\xBF" || bytes.substr(0, 2) == "\xFF\xFE" ||
           bytes.substr(0, 2) == "\xFE\xFF";
}

bool IsWordByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x80 || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') ||
           (b >= 'a' && b <= 'z') || b == '_';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const cv::TScriptText script = cv::DecodeScript(bytes);
    const std::string& text = script.Text;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool crOk = text[i] != '\r' || (i + 1 < text.size() && text[i + 1] == '\n');
        const bool lfOk = text[i] != '\n' || (i > 0 && text[i - 1] == '\r');
        if (!crOk || !lfOk)
            Fail("a line end other than CR LF", std::to_string(i));
    }
    if (cv::Utf16ToUtf8(cv::Utf8ToUtf16(text)) != text)
        Fail("malformed UTF-8", std::to_string(text.size()));
    const cv::TEncodedScript saved = cv::EncodeScript(text);
    std::string expected = text;
    if (expected.size() >= 2 && expected.compare(expected.size() - 2, 2, "\r\n") == 0)
        expected.resize(expected.size() - 2);
    if (saved.Lossless && !StartsLikeAMark(saved.Bytes) &&
        cv::DecodeScript(saved.Bytes).Text != expected)
        Fail("written and read back differs", std::to_string(text.size()));

    cv::TLumoMemoryDocument doc(text);
    cv::TLumoStylingScanner styler;
    styler.ScintillaInstance(&doc);
    styler.StyleSect(0, std::min(doc.GetLength(), 64)); // the rest as the search needs it
    int styled = std::min(doc.GetLength(), 64);
    const cv::TLumoBlockWords words;
    const int length = doc.GetLength();
    for (int caret = 0; caret <= length; caret += 1 + caret / 8) {
        int start = caret;
        int end = caret;
        while (start > 0 && IsWordByte(text[static_cast<size_t>(start - 1)]))
            --start;
        while (end < length && IsWordByte(text[static_cast<size_t>(end)]))
            ++end;
        const cv::TBlockMatch m = cv::FindBlockMatch(doc, words, caret, {start, end}, [&](int pos) {
            if (pos > styled) {
                styler.StyleSect(doc.PositionFromLine(doc.LineFromPosition(styled)), pos);
                styled = std::max(styled, std::min(pos, length));
            }
            return styled;
        });
        if (m.Matched) {
            if (m.Match.Start < 0 || m.Match.End > length || m.Match.End <= m.Match.Start)
                Fail("match outside the text", std::to_string(m.Match.Start));
            std::string got(text.substr(static_cast<size_t>(m.Match.Start),
                                        static_cast<size_t>(m.Match.End - m.Match.Start)));
            if (!words.Find(cv::UpperCase(got)))
                Fail("a match that is no block word", got);
        }
        const auto [first, last] = cv::StatementLines(doc, doc.LineFromPosition(caret));
        if (first < 0 || last >= doc.GetLineCount() || first > last)
            Fail("statement lines", std::to_string(first) + ".." + std::to_string(last));
    }
    return 0;
}
