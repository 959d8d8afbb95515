#pragma once
// Shared by the styler's tests: styles and squiggles of a document as strings that line up
// with its text, and the comparison of two stylings of the same text.
#include "editor/LumoDocument.h"
#include "editor/LumoScanner.h"

#include <string>
#include <string_view>

namespace cvtest {

// One character per byte: "." for the default style, then 1-9 and a-f for styles 1 to 15.
inline char StyleCode(int style) {
    if (style == 0)
        return '.';
    if (style < 10)
        return static_cast<char>('0' + style);
    if (style < 16)
        return static_cast<char>('a' + style - 10);
    return '?';
}

inline std::string StyleCodes(const cv::TLumoMemoryDocument& doc) {
    std::string s;
    for (int i = 0; i < doc.GetLength(); ++i)
        s += StyleCode(doc.StyleAt(i));
    return s;
}

// "~" under every byte with the error squiggle; trailing blanks dropped.
inline std::string SquiggleMarks(const cv::TLumoMemoryDocument& doc) {
    std::string s;
    for (int i = 0; i < doc.GetLength(); ++i)
        s += doc.IndicatorAt(cv::LumoIndicatorError, i) ? '~' : ' ';
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

// A ":" that begins its line (blanks aside) right after a quoted name that ran on through the
// line feed: a whole-text scan sees the quoted name before it and takes the colon as an
// attribute's; a scan starting at that line cannot know and marks it an error. This is how
// the styler is defined, not a fault, so comparisons leave that colon out.
inline bool IsColonAfterSwallowedLineFeed(const cv::TLumoMemoryDocument& whole, int pos) {
    const std::string_view text = whole.Text();
    if (text[static_cast<size_t>(pos)] != ':')
        return false;
    int p = pos;
    while (p > 0 && (text[p - 1] == ' ' || text[p - 1] == '\t' || text[p - 1] == '\r'))
        --p;
    return p > 0 && text[p - 1] == '\n' && whole.StyleAt(p - 1) == cv::LumoStyle::QuotedName;
}

// The first difference between two stylings of the same text (styles, squiggles, line
// states), or an empty string. Line feeds compare exactly: outside strings and quoted names
// this styler always gives them the default style.
template <typename Doc>
std::string FirstStylingDifference(const cv::TLumoMemoryDocument& whole, const Doc& other) {
    const int length = whole.GetLength();
    if (other.GetLength() != length)
        return "lengths differ";
    for (int i = 0; i < length; ++i) {
        if (IsColonAfterSwallowedLineFeed(whole, i))
            continue;
        const int a = whole.StyleAt(i);
        const int b = other.StyleAt(i);
        if (a != b)
            return "style at " + std::to_string(i) + ": " + std::to_string(a) + " against " +
                   std::to_string(b);
        const bool sa = whole.IndicatorAt(cv::LumoIndicatorError, i);
        const bool sb = other.IndicatorAt(cv::LumoIndicatorError, i);
        if (sa != sb)
            return "squiggle at " + std::to_string(i) + ": " + std::to_string(sa) + " against " +
                   std::to_string(sb);
    }
    for (int line = 0; line < whole.GetLineCount(); ++line)
        if (whole.GetLineState(line) != other.GetLineState(line))
            return "line state of line " + std::to_string(line) + ": " +
                   std::to_string(whole.GetLineState(line)) + " against " +
                   std::to_string(other.GetLineState(line));
    return {};
}

} // namespace cvtest
