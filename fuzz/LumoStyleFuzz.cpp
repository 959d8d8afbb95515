// Arbitrary bytes as a Lumo document. The tokenizer's kinds agree with the token texts; the
// styler reads only the text (the in-memory document
// holds exactly its bytes and refuses positions outside it), writes only styles of its table,
// squiggles exactly its errors, records only comment starts as line states, and styling again
// from any line start, or section by section as the editing component asks, gives what
// styling the whole text at once gave.
#include "editor/LumoDocument.h"
#include "editor/LumoScanner.h"
#include "tests/editor/LumoTestSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first four bytes steer where styling starts again and how long the sections are.
    uint32_t steer = 0;
    if (size >= 4) {
        steer = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
        data += 4;
        size -= 4;
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto next = [&steer](int below) {
        steer = steer * 1103515245u + 12345u;
        return below <= 1 ? 0 : static_cast<int>((steer >> 8) % static_cast<uint32_t>(below));
    };

    cv::TLumoMemoryDocument whole(text);
    {
        // The kind the tokenizer notes as it ends a token is the kind of the token's text.
        cv::TLumoScanner scanner;
        scanner.ScintillaInstance(&whole);
        scanner.SetStart(0);
        cv::RStyleToken token;
        while (scanner.Position() < whole.GetLength()) {
            scanner.GetStyleToken(token);
            if (scanner.TokenKind() != cv::TLumoScanner::GetTokenType(token.Token))
                Fail("token kind", std::to_string(token.StartPos));
        }
    }
    cv::TLumoStylingScanner styler;
    styler.ScintillaInstance(&whole);
    styler.StyleSect(0, whole.GetLength());

    for (int i = 0; i < whole.GetLength(); ++i) {
        const int style = whole.StyleAt(i);
        if (std::find(cv::LumoStyles.begin(), cv::LumoStyles.end(), style) == cv::LumoStyles.end())
            Fail("style outside the table", std::to_string(style) + " at " + std::to_string(i));
        const bool squiggle = whole.IndicatorAt(cv::LumoIndicatorError, i);
        // Errors, and a THEN or ELSE with nothing after it (a command), carry the squiggle.
        if (squiggle != (style == cv::LumoStyle::Error) &&
            !(squiggle && style == cv::LumoStyle::Command))
            Fail("squiggle without an error or an error without one", std::to_string(i));
    }
    for (int line = 0; line < whole.GetLineCount(); ++line) {
        const int state = whole.GetLineState(line);
        if (state != 0 && (state >= whole.GetLength() || text[static_cast<size_t>(state)] != ';' ||
                           whole.StyleAt(state) != cv::LumoStyle::Comment))
            Fail("line state is no comment start", std::to_string(line));
    }
    for (const auto& [name, at] : styler.LocalParser().DefinedLocals())
        if (name.empty() || at < 0 || at > whole.GetLength())
            Fail("declared name", name);

    // Again from a line start, to anywhere after it.
    cv::TLumoMemoryDocument again(text);
    styler.ScintillaInstance(&again);
    styler.StyleSect(0, again.GetLength());
    const int from = again.PositionFromLine(next(again.GetLineCount()));
    styler.StyleSect(from, from + next(again.GetLength() - from + 1));
    if (const std::string d = cvtest::FirstStylingDifference(whole, again); !d.empty())
        Fail("restyling from a line start", "from " + std::to_string(from) + ": " + d);

    // Section by section, each from the line holding the end of the styled text.
    cv::TLumoMemoryDocument sections(text);
    styler.ScintillaInstance(&sections);
    int endStyled = 0;
    while (endStyled < sections.GetLength()) {
        const int to = std::min(sections.GetLength(), endStyled + 1 + next(300));
        styler.StyleSect(sections.PositionFromLine(sections.LineFromPosition(endStyled)), to);
        const auto& run = sections.StylingRuns().back();
        if (run.first + run.second < to)
            Fail("section stopped short", std::to_string(to));
        endStyled = run.first + run.second;
    }
    if (const std::string d = cvtest::FirstStylingDifference(whole, sections); !d.empty())
        Fail("styling in sections", d);
    return 0;
}
