// What the search frame works out without a window, on documents held in memory: statements,
// block matching, the lines of a comment command, the stepping of find-all and replace-all.
#include "editor/LumoDocument.h"
#include "editor/LumoScanner.h"
#include "editor/SearchFrameLogic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace cv;

namespace {

bool IsWordByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x80 || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') ||
           (b >= 'a' && b <= 'z') || b == '_';
}

// The editing component's word around a position (word characters only).
TSciRange WordAround(std::string_view text, int pos) {
    int start = pos;
    int end = pos;
    while (start > 0 && IsWordByte(text[static_cast<size_t>(start - 1)]))
        --start;
    while (end < static_cast<int>(text.size()) && IsWordByte(text[static_cast<size_t>(end)]))
        ++end;
    return {start, end};
}

// Takes the marker out of the text and returns where it stood (-1 without one).
int TakeMarker(std::string& text, char marker) {
    const size_t at = text.find(marker);
    if (at == std::string::npos)
        return -1;
    text.erase(at, 1);
    return static_cast<int>(at);
}

struct TBlockCase {
    const char* Name;
    const char* Text;     // "|" marks the caret, "$" the start of the expected match
    const char* Expected; // "none", "unmatched" or "matched"
};

const TBlockCase BlockCases[] = {
    {"nesting is counted", "#B|LOCK\r\n#BLOCK\r\n#BLOCK_END\r\n#$BLOCK_END", "matched"},
    {"a closing word searches back", "#$BLOCK\r\n#BLOCK\r\n#BLOCK_END\r\n#BLOCK_E|ND", "matched"},
    {"LOOP_END finds LOOP_WITH", "#$LOOP_WITH I = 1 .. 10\r\n  #PRINT I\r\n#LOOP_E|ND", "matched"},
    {"LOOP_WITH finds the LOOP_END at its depth",
     "#LOOP_W|ITH I = 1 .. 3\r\n  #LOOP X < 2\r\n  #LOOP_END\r\n#$LOOP_END\r\n#LOOP_END",
     "matched"},
    {"LOOP and LOOP_WITH nest together",
     "#$LOOP X < 1\r\n  #LOOP_WITH J = 1 .. 2\r\n  #LOOP_END\r\n#LOOP_END|", "matched"},
    {"CASE without CASE_END", "#CA|SE X\r\n  #WHEN 1 #DO #SET Y = 2\r\n", "unmatched"},
    {"a closing word in a styled comment is passed over",
     "#BLO|CK\r\n  ; #BLOCK_END (not yet)\r\n#$BLOCK_END", "matched"},
    {"a closing word in a string counts", "#BLO|CK\r\n  #PRINT \"#$BLOCK_END here\"\r\n#BLOCK_END",
     "matched"},
    {"the caret in a comment marks nothing", "#BLOCK ; #BLOCK_E|ND", "none"},
    {"not a block word", "#SE|T A = 1\r\n#BLOCK_END", "none"},
    {"any letter case", "#bl|ock\r\n#$Block_End", "matched"},
    {"the word need not follow a #", "BLO|CK\r\n#$BLOCK_END", "matched"},
    {"blanks after the # are skipped", "#BLO|CK\r\n#  $BLOCK_END", "matched"},
    {"a word running on to a ; is another word", "#BLO|CK\r\n#BLOCK_END;note\r\n", "unmatched"},
    {"a tab does not end the word", "#BLO|CK\r\n#BLOCK_END\tX\r\n", "unmatched"},
    {"END of CASE_END searches back", "#$CASE A\r\n#BLOCK\r\n#BLOCK_END\r\n#CASE_|END", "matched"},
};

class BlockMatchTest : public ::testing::TestWithParam<TBlockCase> {};

TEST_P(BlockMatchTest, FindsTheWordThatOpensOrClosesTheSameBlock) {
    const TBlockCase& c = GetParam();
    std::string text = c.Text;
    int caret = TakeMarker(text, '|');
    const int expectedAt = TakeMarker(text, '$');
    if (expectedAt >= 0 && expectedAt < caret)
        --caret;
    TLumoMemoryDocument doc(text);
    TLumoStylingScanner styler;
    styler.ScintillaInstance(&doc);
    styler.StyleSect(0, doc.GetLength()); // the line states of the comments

    const TBlockMatch m = FindBlockMatch(doc, TLumoBlockWords(), caret, WordAround(text, caret));
    const std::string expected = c.Expected;
    if (expected == "none") {
        EXPECT_FALSE(m.Applies) << c.Name;
        return;
    }
    ASSERT_TRUE(m.Applies) << c.Name;
    EXPECT_EQ(m.Word, WordAround(text, caret)) << c.Name;
    EXPECT_EQ(m.Matched, expected == "matched") << c.Name;
    if (expected == "matched") {
        EXPECT_EQ(m.Match.Start, expectedAt) << c.Name;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BlockMatchTest, ::testing::ValuesIn(BlockCases));

// What the search skips as comment does not depend on how far the editor has styled: the text
// searched is styled first.
TEST(BlockMatch, StylesWhatItSearchesSoCommentsFarAheadArePassedOver) {
    std::string text = "#BLOCK\r\n";
    for (int i = 0; i < 5000; ++i)
        text += "  #SET A = " + std::to_string(i) + "\r\n";
    text += "; #BLOCK_END in a comment\r\n#BLOCK_END\r\n";
    TLumoMemoryDocument doc(text);
    TLumoStylingScanner styler;
    styler.ScintillaInstance(&doc);
    styler.StyleSect(0, 20); // as far as a window of a few lines shows
    int styled = 20;
    int calls = 0;
    const TBlockMatch m = FindBlockMatch(doc, TLumoBlockWords(), 2, {1, 6}, [&](int pos) {
        ++calls;
        if (pos > styled) {
            styler.StyleSect(doc.PositionFromLine(doc.LineFromPosition(styled)), pos);
            styled = std::max(pos, styled);
        }
        return styled;
    });
    ASSERT_TRUE(m.Matched);
    EXPECT_EQ(m.Match.Start, static_cast<int>(text.rfind("BLOCK_END")));
    EXPECT_GT(calls, 1) << "styled ahead in steps, not all at once up front";
}

TEST(ReadCommandWord, SkipsLineEndsAndSpacesAndEndsAtABlankOrTheLimit) {
    struct TCase {
        std::string Text;
        int From, To;
        std::string Word;
    } cases[] = {
        {"#BLOCK x", 1, 100, "BLOCK"},
        {"#   BLOCK", 1, 100, "BLOCK"},
        {"#\r\n BLOCK_END x", 1, 100, "BLOCK_END"},
        {"#BLOCK;note", 1, 100, "BLOCK;note"},
        {"#BL\tOCK x", 1, 100, "BL\tOCK"},
        {"#BLOCK_END", 1, 3, "BLO"}, // the limit is inclusive
        {"#  BLOCK", 1, 2, ""},      // the blanks pass the limit
        {"#", 1, 1, ""},             // past the text reads as 0
        {std::string("#AB\0CD", 6), 1, 100, "AB"},
    };
    for (const TCase& c : cases) {
        const TSciRange r = ReadCommandWord(c.Text, c.From, c.To);
        EXPECT_EQ(c.Text.substr(static_cast<size_t>(r.Start), static_cast<size_t>(r.End - r.Start)),
                  c.Word)
            << c.Text;
    }
}

TEST(LineContinues, OnlySpacesMayFollowTheDashBeforeTheLineEndOrAComment) {
    struct TCase {
        const char* Line;
        bool Continues;
    } cases[] = {
        {"A = B -", true},
        {"A = B -   \r\n", true},
        {"A = B - ; note", true},
        {"A = B -\t", false},
        {"A = \"x\" -\n", true},
        {"A = \"x -\"", false},
        {"A = \"x -", false}, // a dash inside a string that runs on
        {"A - B", false},
        {"; -", false},
        {"A = B ;-", false},
        {"-", true},
        {"", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(LineContinues(c.Line), c.Continues) << c.Line;
}

TEST(StatementLines, JoinContinuedLinesWhereverTheCaretStands) {
    TLumoMemoryDocument doc(
        "#SET X = 0\r\n#SET A = B -\r\n   + C - ; note\r\n   + D\r\n#SET Y = 1");
    EXPECT_EQ(StatementLines(doc, 0), std::make_pair(0, 0));
    for (int line = 1; line <= 3; ++line)
        EXPECT_EQ(StatementLines(doc, line), std::make_pair(1, 3)) << line;
    EXPECT_EQ(StatementLines(doc, 4), std::make_pair(4, 4));
    TLumoMemoryDocument lastContinues("A -\r\nB -");
    EXPECT_EQ(StatementLines(lastContinues, 1), std::make_pair(0, 1));
}

TEST(CommentLines, TheCaretsLineOrEveryLineTheSelectionTouches) {
    TLumoMemoryDocument doc("A\r\nB\r\nC\r\nD");
    EXPECT_EQ(CommentLines(doc, 4, 4), std::make_pair(1, 1));
    EXPECT_EQ(CommentLines(doc, 4, 7), std::make_pair(1, 2));
    EXPECT_EQ(CommentLines(doc, 0, 6), std::make_pair(0, 2))
        << "ending at a line's start takes it in";
    EXPECT_EQ(UncommentOffset("A = 1 ; note"), 6);
    EXPECT_EQ(UncommentOffset("A = 1"), -1);
}

// A search over a string: the literal's first match in Start .. End, or an empty match at
// every position (as the regular expression "x*" gives on a text without "x").
TSciRange Literal(const std::string& text, const std::string& what, int start, int end) {
    if (what.empty())
        return {start, start};
    const size_t at = text.find(what, static_cast<size_t>(start));
    if (at == std::string::npos || static_cast<int>(at + what.size()) > end)
        return {};
    return {static_cast<int>(at), static_cast<int>(at + what.size())};
}

TEST(FindAllMatches, ContinuesAfterEachMatchAndStepsOverEmptyOnes) {
    const std::string text = "abcabcab";
    const auto abc = FindAllMatches([&](int s, int e) { return Literal(text, "abc", s, e); }, text);
    EXPECT_EQ(abc, (std::vector<TSciRange>{{0, 3}, {3, 6}}));

    // Empty matches: one per position, each searched once, and the stepping ends.
    const std::string utf8 = "a\xC3\xA9z"; // a, e acute (two bytes), z
    std::vector<int> starts;
    const auto empty = FindAllMatches(
        [&](int s, int) {
            starts.push_back(s);
            return TSciRange{s, s};
        },
        utf8);
    EXPECT_EQ(starts, (std::vector<int>{0, 1, 3, 4})) << "never inside a character, never twice";
    EXPECT_EQ(empty.size(), 4u);
}

TEST(ReplaceAllMatches, ResumesAfterTheInsertedTextSoAReplacementHoldingTheTextEnds) {
    std::string text = "ab";
    auto replaceAll = [&](const std::string& what, const std::string& with) {
        return ReplaceAllMatches(
            [&](int start) { return Literal(text, what, start, static_cast<int>(text.size())); },
            [&](TSciRange m) {
                text.replace(static_cast<size_t>(m.Start), static_cast<size_t>(m.End - m.Start),
                             with);
                return static_cast<int>(with.size());
            },
            [&] { return static_cast<int>(text.size()); }, [](int pos) { return pos + 1; });
    };
    EXPECT_EQ(replaceAll("a", "aXa"), 1);
    EXPECT_EQ(text, "aXab");
    text = "a-a-a";
    EXPECT_EQ(replaceAll("a", ""), 3);
    EXPECT_EQ(text, "--");
}

} // namespace
