// The Lumo tokenizer, styler and local-name parser on documents held in memory.
#include "LumoCorpus.h"
#include "LumoTestSupport.h"

#include "editor/LumoDocument.h"
#include "editor/LumoScanner.h"
#include "platform/SystemInfo.h"
#include "tools/corvane-sim/SimScripts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace cv;
using namespace cvtest;

namespace {

// Every token of the text, a skipped line end as "<skip>".
std::vector<std::string> Tokens(std::string_view text) {
    TLumoMemoryDocument doc(text);
    TLumoScanner scanner;
    scanner.ScintillaInstance(&doc);
    scanner.SetStart(0);
    std::vector<std::string> tokens;
    RStyleToken token;
    while (scanner.Position() < doc.GetLength()) {
        scanner.GetStyleToken(token);
        tokens.push_back(token.Token.empty() ? "<skip>" : std::string(token.Token));
    }
    return tokens;
}

struct TStyled {
    std::string Styles;
    std::string Squiggles;
};

TStyled StyleAll(std::string_view text) {
    TLumoMemoryDocument doc(text);
    TLumoStylingScanner styler;
    styler.ScintillaInstance(&doc);
    styler.StyleSect(0, doc.GetLength());
    return {StyleCodes(doc), SquiggleMarks(doc)};
}

std::vector<std::string> Declared(std::string_view text) {
    TLumoMemoryDocument doc(text);
    TLumoLocalParser parser;
    parser.ScintillaInstance(&doc);
    parser.ParseLocals(0, doc.GetLength());
    std::vector<std::string> names;
    for (const auto& [name, at] : parser.DefinedLocals())
        names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

struct TRecordingSystem : ISystemInfo {
    std::vector<std::string> Lines;
    std::string ComputerName() override { return {}; }
    std::string ShortComputerName() override { return {}; }
    bool IsWow64() override { return false; }
    std::string WindowsFolder() override { return {}; }
    std::string RoamingAppData() override { return {}; }
    void DebugOutput(const std::string& line) override { Lines.push_back(line); }
    int UtcOffsetMinutes() override { return 0; }
    bool IsNtPlatform() override { return true; }
    uint32_t CurrentProcessId() override { return 1; }
    uint32_t CurrentThreadId() override { return 4242; }
};

} // namespace

TEST(LumoScanner, SplitsTextIntoTokens) {
    const struct {
        const char* Text;
        std::vector<std::string> Tokens;
    } cases[] = {
        {"A = B -\nC", {"A", "=", "B", "-", "<skip>", "C"}},
        {"A - ; note\nC", {"A", "-", "; note", "<skip>", "C"}},
        // The continuation lasts over empty lines and comment lines up to the next token.
        {"A -\n\n;c\nB\n", {"A", "-", "<skip>", "<skip>", ";c", "<skip>", "B", "\n"}},
        {"A -\t\r\nB", {"A", "-", "<skip>", "B"}},
        {">=<=<>===>", {">=", "<=", "<>", "==", "=", ">"}},
        {"A:B:C a_1:", {"A:B", ":", "C", "a_1:"}},
        {"12.5 1.2.3 12. 1..2", {"12.5", "1.2.3", "12", ".", "1", "..", "2"}},
        {"\"a\"\"b\" \"c\"\"\" \"open\nX", {"\"a\"\"b\"", "\"c\"\"\"", "\"open\n", "X"}},
        {"'a''b' 'open\n:x", {"'a'", "'b'", "'open\n", ":", "x"}},
        {"@x1 % @1 %_a", {"@x1", "%", "@", "1", "%_a"}},
        {"#IF2 #.. !a_b1 .x ...", {"#IF", "2", "#.", ".", "!a_b", "1", ".x", "..", "."}},
        {"\xC3\xA9t\xC3\xA9", {"\xC3", "\xA9", "t", "\xC3", "\xA9"}},
        {"A*B/[x]", {"A", "*", "B", "/", "[", "x", "]"}},
        {"f(1, 2)", {"f", "(", "1", ",", "2", ")"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Tokens(c.Text), c.Tokens) << c.Text;
    // A zero byte is text: inside a string it stays there, elsewhere it is a token of its own.
    EXPECT_EQ(Tokens(std::string_view("\"a\0b\" \0", 7)),
              (std::vector<std::string>{std::string("\"a\0b\"", 5), std::string(1, '\0')}));
}

TEST(LumoScanner, ClassifiesTokens) {
    const struct {
        std::string_view Token;
        int Kind;
    } cases[] = {
        {"", 0},    {"\n", -1},   {":", -2},   {"(", 0},    {",", 0},   {")", 0},     {"-", 13},
        {">=", 13}, {"..", 13},   {"NOT", 13}, {"And", 13}, {"or", 13}, {"ore", 5},   {"#IF", 1},
        {"#", 1},   {"; c", 7},   {"!b", 8},   {".d", 9},   {".", 9},   {"\"s\"", 2}, {"'q'", 4},
        {"@v", 10}, {"%", 10},    {"1.5", 3},  {"A:B", 5},  {"_x", 5},  {"*", 11},    {"/", 11},
        {"[", 11},  {"\xC3", 11}, {"$", 11},   {"{", 11},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TLumoScanner::GetTokenType(c.Token), c.Kind) << c.Token;
}

TEST(LumoScanner, KnowsEachTokensKindAsItEndsIt) {
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        const std::string text =
            seed % 3 == 0 ? GenerateLumoProgram(seed, 3000) : GenerateLumoSoup(seed, 40);
        TLumoMemoryDocument doc(text);
        TLumoScanner scanner;
        scanner.ScintillaInstance(&doc);
        scanner.SetStart(0);
        RStyleToken token;
        while (scanner.Position() < doc.GetLength()) {
            scanner.GetStyleToken(token);
            ASSERT_EQ(scanner.TokenKind(), TLumoScanner::GetTokenType(token.Token))
                << "seed " << seed << " token " << token.Token;
        }
    }
}

TEST(LumoStyler, StylesEveryByteAndSquigglesErrors) {
    // Styles: "." default, 1-9, a-f = 10-15. Squiggles: "~" under the error squiggle.
    const struct {
        const char* Text;
        const char* Styles;
        const char* Squiggles;
    } cases[] = {
        // A line end after a continuation "-" is skipped; C is on the continued line.
        {"A = B -\nC", "5.d.5.d.5", ""},
        {"A = B - ; note\nC", "5.d.5.d.777777.5", ""},
        // THEN or ELSE with nothing after it on its line is an error; anything after it is not.
        {"#IF X #THEN\n", "111.5.11111.", "      ~~~~~"},
        {"#IF X #THEN #SET Y = 1\n", "111.5.11111.1111.5.d.3.", ""},
        {"#IF X #THEN ; c\n", "111.5.11111.777.", ""},
        {"#IF X #THEN -\nY", "111.5.11111.d.5", ""},
        {"#ELSE \t\r\n", "11111....", "~~~~~"},
        {"#then", "11111", ""},
        // An unknown command is an error and leaves a THEN pending.
        {"#THEN #FOO\n", "11111.bbbb.", "~~~~~ ~~~~"},
        {"#If #FOO # x", "111.bbbb.b.5", "    ~~~~ ~"},
        {"#.. #BLOCK_END", "bb9.1111111111", "~~"},
        {"A*B", "5b5", " ~"},
        // A colon is valid only right after a quoted name.
        {"'Q':P1", "444555", ""},
        {"'Q' :P", "444.55", ""},
        {"1:P", "3b5", " ~"},
        {"'Q'\n:P", "444.b5", "    ~"},
        {"X:Y:Z", "555b5", "   ~"},
        {"'abc\n:x", "4444455", ""},
        {"1.2.3 12. x", "33333.339.5", ""},
        {"\"a\"\"b\" \"c", "222222.22", ""},
        {"\"abc\nX", "222225", ""},
        // Non-ASCII bytes: errors one by one, except inside strings and comments.
        {"\xC3\xA9 \"\xC3\xA9\" ;\xC3\xA9", "bb.2222.777", "~~"},
        {"AND and And .. ...", "ddd.ddd.ddd.dd.dd9", ""},
        {">=<=<>=== =>", "ddddddddd.dd", ""},
        {"@x %y !f .d @1", "aa.aa.88.99.a3", ""},
        // Declared names, in any case, in their own style, the declaration included.
        {"#LOCAL a\na = (1, 2)", "111111.f.f.d..3..3.", ""},
        {"#LOCAL and\nand", "111111.ddd.ddd", ""},
    };
    for (const auto& c : cases) {
        const TStyled styled = StyleAll(c.Text);
        EXPECT_EQ(styled.Styles, c.Styles) << c.Text;
        EXPECT_EQ(styled.Squiggles, c.Squiggles) << c.Text;
    }
}

TEST(LumoStyler, LineStatesHoldTheFirstCommentOfEachPassedLine) {
    const struct {
        const char* Text;
        std::vector<int> States;
    } cases[] = {
        {"A ; c\nB\n  ;x\n", {2, 0, 10, 0}},
        // A comment at the very start of the text cannot be told from none.
        {";x\nA \";\" ;y\n", {0, 9, 0}},
        // The last line counts as passed when the scan reaches the end of the text.
        {"A ;c\r\nB\r\nC ;d", {2, 0, 11}},
        {"X \"a;b\" ;c\n", {8, 0}},
    };
    for (const auto& c : cases) {
        // Every line's state stale, as after edits: each is rewritten.
        TLumoMemoryDocument doc(c.Text);
        for (int line = 0; line < doc.GetLineCount(); ++line)
            doc.SetLineState(line, 77);
        TLumoStylingScanner styler;
        styler.ScintillaInstance(&doc);
        styler.StyleSect(0, doc.GetLength());
        std::vector<int> states;
        for (int line = 0; line < doc.GetLineCount(); ++line)
            states.push_back(doc.GetLineState(line));
        EXPECT_EQ(states, c.States) << c.Text;
    }
    // A section that ends before a line's end leaves that line's state alone.
    TLumoMemoryDocument doc("A ;c\nB\n");
    doc.SetLineState(0, 77);
    TLumoStylingScanner styler;
    styler.ScintillaInstance(&doc);
    styler.StyleSect(0, 1);
    EXPECT_EQ(doc.GetLineState(0), 77);
}

TEST(LumoLocalParser, CollectsTheNamesDeclaredAtTheHead) {
    using V = std::vector<std::string>;
    const struct {
        const char* Text;
        V Names;
    } cases[] = {
        {"#LOCAL A, B = 1, C\n", V{"A", "B", "C"}},
        {"#ARGUMENT X\n#LOCAL Y = VECTOR(1, 2), Z\n", V{"X", "Y", "Z"}},
        // Commas inside other parentheses end the declaration.
        {"#LOCAL A = MAX(1, 2), B\n", V{"A"}},
        {"#LOCAL A = 1, -\nB\n", V{"A", "B"}},
        {"#local a\n", V{"A"}},
        {"#LOCAL A B\n", V{}},
        {"#SET X = 1\n#LOCAL Y\n", V{}},
        {"; head\n#LOCAL A ; a\n; between\n#LOCAL B\n", V{"A", "B"}},
        {"#LOCAL A", V{}},
        {"#LOCAL L = list((1, 2), (3, 4)), M\n", V{"L", "M"}},
        // Inside a list's parentheses even line ends and commands are passed over.
        {"#LOCAL A = LIST(1,\n#SET B\n), C\n", V{"A", "C"}},
        {"#LOCAL V = VECTOR\nX\n", V{"V"}},
        {"X = 1\n#LOCAL A\n", V{"A"}},
        {"#LOCAL A #LOCAL B\n", V{"B"}},
        {"#LOCAL A:B, c_1\n", V{"A:B", "C_1"}},
        {"#LOCAL -\n  A\n", V{"A"}},
        {"#LOCAL A\n#FOO\n#LOCAL B\n", V{"A"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Declared(c.Text), c.Names) << c.Text;
}

TEST(LumoLocalParser, ReportsEachParseOnTheDebugOutput) {
    auto system = std::make_shared<TRecordingSystem>();
    TLumoMemoryDocument doc("#LOCAL A\nA\n");
    TLumoStylingScanner styler(system);
    styler.ScintillaInstance(&doc);
    EXPECT_EQ(styler.LocalParser().ScintillaInstance(), &doc);
    styler.StyleSect(9, 10);
    EXPECT_EQ(system->Lines, std::vector<std::string>{
                                 "LocalParser.ParseLocals called, ThreadID = 4242 from=9, to=10"});
}

TEST(LumoStyler, StylesFromTheLineStartAndTheLastTokenWhole) {
    const std::string text = "#SET A = 1\r\n#SET B = \"a long string\" + 2\r\n#SET C = 3\r\n";
    TLumoMemoryDocument doc(text);
    TLumoStylingScanner styler;
    styler.ScintillaInstance(&doc);
    const int line1 = doc.PositionFromLine(1);
    const int quote = static_cast<int>(text.find('"'));
    styler.StyleSect(quote + 2, quote + 3);
    // From the start of the line, through the whole string, and nothing after it.
    ASSERT_EQ(doc.StylingRuns().size(), 1u);
    EXPECT_EQ(doc.StylingRuns()[0], std::make_pair(line1, quote + 15 - line1));
    EXPECT_EQ(StyleCodes(doc).substr(static_cast<size_t>(line1)),
              "1111.5.d.222222222222222..................");
}

TEST(LumoStyler, ASectionEndingOnAThenStillDecidesIt) {
    TLumoMemoryDocument doc("#IF X #THEN\nY");
    TLumoStylingScanner styler;
    styler.ScintillaInstance(&doc);
    styler.StyleSect(0, 7);
    EXPECT_EQ(SquiggleMarks(doc), "      ~~~~~");
}

TEST(LumoStyler, SectionsAfterTheHeadStillKnowTheDeclaredNames) {
    TLumoMemoryDocument doc("#LOCAL POOL\n#SET POOL = pool + OTHER\n");
    TLumoStylingScanner styler;
    styler.ScintillaInstance(&doc);
    styler.StyleSect(0, doc.GetLength());
    const std::string none(static_cast<size_t>(doc.GetLength()), '\0');
    doc.SetStylingRun(0, doc.GetLength(), none.data());
    styler.StyleSect(doc.PositionFromLine(1), doc.GetLength());
    EXPECT_EQ(StyleCodes(doc), "............1111.ffff.d.ffff.d.55555.");
}

TEST(LumoStyler, ChangedDeclarationsRestyleFromTheStart) {
    // B is used before the line that comes to declare it: its colour must change too.
    TLumoMemoryDocument doc("#LOCAL A = B\n#LOCAL C\n");
    TLumoStylingScanner styler;
    styler.ScintillaInstance(&doc);
    styler.StyleSect(0, doc.GetLength());
    EXPECT_EQ(StyleCodes(doc), "111111.f.d.5.111111.f.");
    doc.SetText("#LOCAL A = B\n#LOCAL B\n");
    styler.StyleSect(doc.PositionFromLine(1), doc.GetLength());
    EXPECT_EQ(StyleCodes(doc), "111111.f.d.f.111111.f.");
}

TEST(LumoStyler, RestylingReplacesOnlyTheSquigglesOfTheRestyledText) {
    TLumoMemoryDocument doc("A*B\nC*D\nE*F\n");
    TLumoStylingScanner styler;
    styler.ScintillaInstance(&doc);
    styler.StyleSect(0, doc.GetLength());
    EXPECT_EQ(SquiggleMarks(doc), " ~   ~   ~");
    // A squiggle the text no longer calls for goes; those outside the section stay.
    doc.SetIndicatorCurrent(LumoIndicatorError);
    doc.IndicatorFillRange(4, 1);
    styler.StyleSect(4, 7);
    EXPECT_EQ(SquiggleMarks(doc), " ~   ~   ~");
}

TEST(LumoStyler, ALoneCarriageReturnDoesNotCutAStringOrComment) {
    // The component starts a line after a lone CR; Lumo's strings and comments run on to the
    // line feed, so a section starting there is scanned from the line feed before it.
    const std::string text = "X\n\"a\rb\" ;c\rd\nY\n";
    TLumoMemoryDocument whole(text);
    TLumoStylingScanner styler;
    styler.ScintillaInstance(&whole);
    styler.StyleSect(0, whole.GetLength());
    EXPECT_EQ(StyleCodes(whole), "5.22222.7777.5.");

    // Byte by byte, each section starting at the line that holds the end of the styled text.
    TLumoMemoryDocument parts(text);
    styler.ScintillaInstance(&parts);
    for (int end = 0; end < parts.GetLength();) {
        styler.StyleSect(parts.PositionFromLine(parts.LineFromPosition(end)), end + 1);
        end = parts.StylingRuns().back().first + parts.StylingRuns().back().second;
    }
    EXPECT_EQ(FirstStylingDifference(whole, parts), "");
}

TEST(LumoStyler, AColonAfterAnUnclosedQuotedNameIsJudgedByWhereStylingStarts) {
    // Whole text: the quoted name that took the line feed stands before the colon, which is
    // then valid. From the second line on, nothing stands before it: an error.
    TLumoMemoryDocument doc("'abc\n:x");
    TLumoStylingScanner styler;
    styler.ScintillaInstance(&doc);
    styler.StyleSect(0, doc.GetLength());
    EXPECT_EQ(StyleCodes(doc), "4444455");
    styler.StyleSect(5, doc.GetLength());
    EXPECT_EQ(StyleCodes(doc), "44444b5");
    EXPECT_EQ(SquiggleMarks(doc), "     ~");
}

TEST(LumoStyler, WithoutADocumentNothingHappens) {
    TLumoStylingScanner styler;
    styler.StyleSect(0, 10);
    TLumoMemoryDocument empty("");
    styler.ScintillaInstance(&empty);
    styler.StyleSect(0, 0);
    EXPECT_TRUE(empty.StylingRuns().empty());
}

// Styling a document in one call equals styling it in sections as the component asks for
// them (from the line holding the end of the styled text to any position), and restyling
// from any line start.
TEST(LumoStyler, StylingInSectionsEqualsStylingAtOnce) {
    for (uint32_t seed = 1; seed <= 400; ++seed) {
        const std::string text =
            seed % 4 == 0 ? GenerateLumoProgram(seed, 2500) : GenerateLumoSoup(seed, 30);
        SCOPED_TRACE("seed " + std::to_string(seed));
        TLumoMemoryDocument whole(text);
        TLumoStylingScanner styler;
        styler.ScintillaInstance(&whole);
        styler.StyleSect(0, whole.GetLength());

        uint32_t r = seed * 7919u;
        auto next = [&](int below) {
            r = r * 1103515245u + 12345u;
            return static_cast<int>((r >> 8) % static_cast<uint32_t>(below));
        };

        TLumoMemoryDocument sections(text);
        styler.ScintillaInstance(&sections);
        int endStyled = 0;
        while (endStyled < sections.GetLength()) {
            const int to = endStyled + 1 + next(std::max(1, sections.GetLength() - endStyled));
            const int from = sections.PositionFromLine(sections.LineFromPosition(endStyled));
            styler.StyleSect(from, std::min(to, sections.GetLength()));
            const auto& run = sections.StylingRuns().back();
            ASSERT_GE(run.first + run.second, std::min(to, sections.GetLength()));
            endStyled = run.first + run.second;
        }
        ASSERT_EQ(FirstStylingDifference(whole, sections), "");

        styler.ScintillaInstance(&whole);
        for (int k = 0; k < 5; ++k) {
            const int from = whole.PositionFromLine(next(whole.GetLineCount()));
            styler.StyleSect(from, from + next(whole.GetLength() - from + 1));
            TLumoMemoryDocument fresh(text);
            styler.ScintillaInstance(&fresh);
            styler.StyleSect(0, fresh.GetLength());
            ASSERT_EQ(FirstStylingDifference(fresh, whole), "") << "restyled from " << from;
            styler.ScintillaInstance(&whole);
        }
    }
}

TEST(LumoStyler, WritesOnlyStylesOfItsTable) {
    for (uint32_t seed = 1; seed <= 50; ++seed) {
        TLumoMemoryDocument doc(GenerateLumoSoup(seed, 40));
        TLumoStylingScanner styler;
        styler.ScintillaInstance(&doc);
        styler.StyleSect(0, doc.GetLength());
        for (int i = 0; i < doc.GetLength(); ++i)
            ASSERT_NE(std::find(LumoStyles.begin(), LumoStyles.end(), doc.StyleAt(i)),
                      LumoStyles.end())
                << "seed " << seed << " at " << i;
    }
}

// The programs the simulated installation writes: CR LF lines, declarations at the head, and
// no error but the one slip the start-up program keeps for the editor to show.
TEST(SampleScripts, AreLumoWithOneDeliberateSlip) {
    const struct {
        std::string Text;
        std::vector<std::string> SomeNames;
        std::vector<std::string> Errors;
    } scripts[] = {
        {KernelSetupScript(),
         {"START_MODE", "NODE_NR", "APL_NAMES", "PRINTERS", "NODE_NAME"},
         {"#THEN"}},
        {StopSequenceScript(), {"REASON", "TIMEOUT", "STOP_ORDER", "LEFT"}, {}},
    };
    for (const auto& script : scripts) {
        const std::string& text = script.Text;
        ASSERT_GE(text.size(), 2u);
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') {
                ASSERT_EQ(text[i - 1], '\r') << "line end at " << i;
            }
        }
        TLumoMemoryDocument doc(text);
        TLumoStylingScanner styler;
        styler.ScintillaInstance(&doc);
        styler.StyleSect(0, doc.GetLength());
        std::vector<std::string> errors;
        for (const auto& [start, end] : doc.IndicatorRanges(LumoIndicatorError))
            errors.emplace_back(
                text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
        EXPECT_EQ(errors, script.Errors);
        for (const std::string& name : script.SomeNames)
            EXPECT_TRUE(styler.LocalParser().IsDeclared(name)) << name;
    }
    // The slip is near the top, where the editor shows it on opening.
    const std::string kernel = KernelSetupScript();
    TLumoMemoryDocument doc(kernel);
    TLumoStylingScanner styler;
    styler.ScintillaInstance(&doc);
    styler.StyleSect(0, doc.GetLength());
    EXPECT_LT(doc.LineFromPosition(doc.IndicatorRanges(LumoIndicatorError).at(0).first), 30);
}
