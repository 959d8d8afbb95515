// The editor control on a real editing component, headless: its operations reach the right
// messages, its events fire, and the Lumo styler styles it exactly as it styles memory.
#include "LumoCorpus.h"
#include "LumoTestSupport.h"

#include "editor/DScintilla.h"
#include "editor/DScintillaUtils.h"
#include "editor/LumoScanner.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>

#include <string>
#include <vector>

using namespace cv;
using namespace cvtest;

namespace {

// The control read back the way the comparisons read a document in memory.
struct TControlView {
    const TDScintilla& E;
    int GetLength() const { return E.GetLength(); }
    int StyleAt(int pos) const { return E.GetStyleAt(pos); }
    bool IndicatorAt(int indicator, int pos) const {
        return E.IndicatorValueAt(indicator, pos) != 0;
    }
    int GetLineState(int line) const { return E.GetLineState(line); }
};

// Styling as the search frame wires it: each style-needed notification styles from the start
// of the line that holds the end of the styled text.
void AttachStyler(TDScintilla& editor, TLumoStylingScanner& styler) {
    editor.SetLexer(SciLexerContainer);
    styler.ScintillaInstance(&editor);
    editor.OnStyleNeeded = [&editor, &styler](int position) {
        styler.StyleSect(editor.PositionFromLine(editor.LineFromPosition(editor.GetEndStyled())),
                         position);
    };
}

} // namespace

TEST(DScintilla, StartsWithUtf8AndCrLfLineEnds) {
    TDScintilla editor;
    EXPECT_EQ(editor.GetCodePage(), SciCodePageUtf8);
    EXPECT_EQ(editor.GetEOLMode(), SciEolCrLf);
}

TEST(DScintilla, ReadsAndChangesText) {
    TDScintilla editor;
    const std::string text("A\r\nb\xC3\xA9\0z", 8);
    editor.SetText(text);
    EXPECT_EQ(editor.GetText(), text);
    EXPECT_EQ(editor.GetLength(), 8);
    EXPECT_EQ(editor.GetCharAt(4), static_cast<char>(0xC3));
    EXPECT_LT(editor.GetCharAt(4), 0); // a signed byte
    EXPECT_EQ(editor.GetCharAt(100), 0);
    EXPECT_EQ(editor.GetTextRange(3, 6), "b\xC3\xA9");
    EXPECT_EQ(editor.GetTextRange(6, 100), std::string("\0z", 2));
    EXPECT_EQ(editor.GetLine(0), "A\r\n");
    EXPECT_EQ(editor.GetLine(1), std::string("b\xC3\xA9\0z", 5));
    EXPECT_EQ(editor.GetLine(7), "");

    editor.InsertText(0, "XY");
    EXPECT_EQ(editor.GetTextRange(0, 3), "XYA");
    editor.DeleteRange(0, 2);
    EXPECT_EQ(editor.GetTextRange(0, 2), "A\r");
    editor.SetSel(0, 1);
    EXPECT_EQ(editor.GetSelText(), "A");
    editor.ReplaceSel("QQ");
    EXPECT_EQ(editor.GetLine(0), "QQ\r\n");
    editor.SetTargetStart(0);
    editor.SetTargetEnd(2);
    EXPECT_EQ(editor.ReplaceTarget("R"), 1);
    EXPECT_EQ(editor.GetTargetStart(), 0);
    EXPECT_EQ(editor.GetTargetEnd(), 1);
    EXPECT_EQ(editor.GetLine(0), "R\r\n");
    editor.AppendText("\r\nend");
    EXPECT_EQ(editor.GetLine(2), "end");
    editor.ClearAll();
    EXPECT_EQ(editor.GetLength(), 0);
    EXPECT_EQ(editor.GetSelText(), "");
}

TEST(DScintilla, TracksUndoAndTheSavePoint) {
    TDScintilla editor;
    editor.SetText("abc");
    editor.SetSavePoint();
    editor.EmptyUndoBuffer();
    EXPECT_FALSE(editor.GetModify());
    EXPECT_FALSE(editor.CanUndo());
    editor.InsertText(3, "d");
    EXPECT_TRUE(editor.GetModify());
    EXPECT_TRUE(editor.CanUndo());
    EXPECT_FALSE(editor.CanRedo());
    editor.Undo();
    EXPECT_EQ(editor.GetText(), "abc");
    EXPECT_FALSE(editor.GetModify());
    EXPECT_TRUE(editor.CanRedo());
    editor.Redo();
    EXPECT_EQ(editor.GetText(), "abcd");
    // Replacing the whole text is one step back.
    editor.SetText("new");
    editor.Undo();
    EXPECT_EQ(editor.GetText(), "abcd");
}

TEST(DScintilla, CutsCopiesAndPastesThroughTheClipboard) {
    TDScintilla editor;
    editor.SetText("one two");
    EXPECT_TRUE(editor.CanPaste());
    EXPECT_FALSE(editor.GetReadOnly());
    editor.SetSel(0, 3);
    editor.Copy();
    if (QApplication::clipboard()->text() != QStringLiteral("one"))
        GTEST_SKIP() << "this platform has no clipboard";
    editor.SetEmptySelection(editor.GetLength());
    editor.Paste();
    EXPECT_EQ(editor.GetText(), "one twoone");
    editor.SetSel(4, 7);
    editor.Cut();
    EXPECT_EQ(editor.GetText(), "one one");
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("two"));
    editor.SelectAll();
    EXPECT_EQ(editor.GetSelectionStart(), 0);
    EXPECT_EQ(editor.GetSelectionEnd(), editor.GetLength());
}

TEST(DScintilla, AnswersPositionQuestions) {
    TDScintilla editor;
    editor.SetText("#BLOCK foo_1 bar\r\n\tX\r\n");
    EXPECT_EQ(editor.GetLineCount(), 3);
    EXPECT_EQ(editor.LineFromPosition(17), 0); // the LF of CR LF
    EXPECT_EQ(editor.LineFromPosition(18), 1);
    EXPECT_EQ(editor.PositionFromLine(1), 18);
    EXPECT_EQ(editor.PositionFromLine(9), -1);
    EXPECT_EQ(editor.GetLineEndPosition(0), 16);
    EXPECT_EQ(editor.GetColumn(19), 8); // after a tab
    EXPECT_EQ(editor.WordStartPosition(9, true), 7);
    EXPECT_EQ(editor.WordEndPosition(9, true), 12);
    EXPECT_EQ(editor.WordStartPosition(1, true), 1); // "#" is no word character
    editor.GotoPos(3);
    EXPECT_EQ(editor.GetCurrentPos(), 3);
    editor.GotoLine(1);
    EXPECT_EQ(editor.GetCurrentPos(), 18);
    editor.SetSel(2, 5);
    EXPECT_EQ(editor.GetSelectionStart(), 2);
    EXPECT_EQ(editor.GetSelectionEnd(), 5);
    EXPECT_FALSE(editor.GetSelectionEmpty());
    editor.SetSel(5, 2); // anchor after the caret
    EXPECT_EQ(editor.GetCurrentPos(), 2);
    editor.SetEmptySelection(4);
    EXPECT_TRUE(editor.GetSelectionEmpty());
    EXPECT_EQ(editor.GetCurrentPos(), 4);
    editor.ScrollCaret();
}

TEST(DScintilla, SearchesWithoutWrappingAround) {
    TDScintilla editor;
    editor.SetText("abc ABC abcd abc");
    const struct {
        int From;
        bool Forward;
        int Flags;
        const char* Text;
        int Found;
    } cases[] = {
        {1, true, 0, "abc", 4},
        {1, true, SciFindMatchCase, "abc", 8},
        {1, true, SciFindMatchCase | SciFindWholeWord, "abc", 13},
        {14, true, 0, "abc", -1}, // no wrap to the start
        {16, false, 0, "ABC", 13},
        {3, false, SciFindMatchCase, "ABC", -1},
        {0, false, 0, "abc", -1}, // no wrap to the end
        {0, true, SciFindRegExp, "A.C", 0},
        {0, true, SciFindRegExp | SciFindMatchCase, "A.C", 4},
    };
    for (const auto& c : cases) {
        editor.SetEmptySelection(c.From);
        editor.SearchAnchor();
        const int found =
            c.Forward ? editor.SearchNext(c.Flags, c.Text) : editor.SearchPrev(c.Flags, c.Text);
        EXPECT_EQ(found, c.Found) << c.From << " " << c.Text;
        if (found >= 0) {
            // The match is selected.
            EXPECT_EQ(editor.GetSelectionStart(), found);
            EXPECT_EQ(editor.GetSelectionEnd(), found + 3);
        }
    }
    EXPECT_EQ(editor.FindText(SciFindMatchCase, 0, editor.GetLength(), "ABC"), (TSciRange{4, 7}));
    EXPECT_EQ(editor.FindText(SciFindRegExp, 5, editor.GetLength(), "ab*c"), (TSciRange{8, 11}));
    EXPECT_EQ(editor.FindText(0, 14, editor.GetLength(), "abc"), (TSciRange{}));
}

TEST(DScintilla, SetsAndReadsStyles) {
    TDScintilla editor;
    editor.StyleSetFont(SciStyleDefault, "Monospace");
    editor.StyleSetSize(SciStyleDefault, 12);
    editor.StyleSetFore(SciStyleDefault, 0x123456);
    editor.StyleSetBack(SciStyleDefault, 0xFEDCBA);
    editor.StyleSetBold(SciStyleDefault, true);
    editor.StyleClearAll();
    for (int style : {0, 7, 15}) {
        EXPECT_EQ(editor.StyleGetFont(style), "Monospace");
        EXPECT_EQ(editor.StyleGetSize(style), 12);
        EXPECT_EQ(editor.StyleGetFore(style), 0x123456);
        EXPECT_EQ(editor.StyleGetBack(style), 0xFEDCBA);
        EXPECT_TRUE(editor.StyleGetBold(style));
    }

    editor.SetLexer(SciLexerNone);
    EXPECT_EQ(editor.GetLexer(), SciLexerNone);
    editor.SetLexer(SciLexerContainer);
    EXPECT_EQ(editor.GetLexer(), SciLexerContainer);
    editor.SetText("abcdef\r\nxy");
    editor.StartStyling(1);
    editor.SetStyling(2, 200);
    editor.SetStylingEx(2, "\x07\x0D");
    EXPECT_EQ(editor.GetEndStyled(), 5);
    EXPECT_EQ(editor.GetStyleAt(0), 0);
    EXPECT_EQ(editor.GetStyleAt(2), 200); // not sign-extended
    EXPECT_EQ(editor.GetStyleAt(3), 7);
    EXPECT_EQ(editor.GetStyleAt(4), 13);
    editor.SetLineState(1, 42);
    EXPECT_EQ(editor.GetLineState(1), 42);
    EXPECT_EQ(editor.GetLineState(0), 0);
}

TEST(DScintilla, SetsIndicatorsMarkersAndBraces) {
    TDScintilla editor;
    editor.SetText("(a(b)) x\r\nline\r\n");
    editor.SetIndicatorCurrent(9);
    EXPECT_EQ(editor.GetIndicatorCurrent(), 9);
    editor.IndicatorFillRange(1, 4);
    editor.IndicatorClearRange(2, 1);
    std::string marks;
    for (int i = 0; i < 6; ++i)
        marks += editor.IndicatorValueAt(9, i) ? '~' : ' ';
    EXPECT_EQ(marks, " ~ ~~ ");

    editor.IndicSetStyle(8, SciIndicStraightBox);
    editor.IndicSetFore(8, 0xFF0000);
    editor.IndicSetAlpha(8, 60);
    editor.IndicSetUnder(8, true);
    EXPECT_EQ(editor.IndicGetStyle(8), SciIndicStraightBox);
    EXPECT_EQ(editor.IndicGetFore(8), 0xFF0000);
    EXPECT_EQ(editor.IndicGetAlpha(8), 60);
    EXPECT_TRUE(editor.IndicGetUnder(8));

    editor.MarkerDefine(1, SciMarkBackground);
    editor.MarkerSetFore(1, 0);
    editor.MarkerSetBack(1, 0xE1E4FF);
    editor.MarkerSetAlpha(1, 33);
    EXPECT_GE(editor.MarkerAdd(1, 1), 0);
    EXPECT_GE(editor.MarkerAdd(1, 0), 0);
    EXPECT_EQ(editor.MarkerGet(1), 0b11);
    EXPECT_EQ(editor.MarkerGet(0), 0);
    editor.MarkerDeleteAll(1);
    EXPECT_EQ(editor.MarkerGet(1), 0b01);
    editor.MarkerDeleteAll(-1);
    EXPECT_EQ(editor.MarkerGet(1), 0);

    editor.SetMarginWidthN(0, 32);
    EXPECT_EQ(editor.GetMarginWidthN(0), 32);
    editor.SetIndent(4);
    EXPECT_EQ(editor.GetIndent(), 4);
    editor.SetIndentationGuides(SciIndentGuidesLookBoth);
    EXPECT_EQ(editor.GetIndentationGuides(), SciIndentGuidesLookBoth);

    EXPECT_EQ(editor.BraceMatch(0), 5);
    EXPECT_EQ(editor.BraceMatch(4), 2);
    EXPECT_EQ(editor.BraceMatch(1), -1);
    editor.BraceHighlight(0, 5);
    editor.BraceBadLight(-1);
}

TEST(DScintilla, RaisesItsEvents) {
    TDScintilla editor;
    std::vector<int> styleNeeded;
    std::vector<TSciModification> modified;
    int changes = 0;
    int savePoints = 0;
    editor.OnStyleNeeded = [&](int position) { styleNeeded.push_back(position); };
    editor.OnModified = [&](const TSciModification& m) { modified.push_back(m); };
    editor.OnChange = [&] { ++changes; };
    editor.OnSavePointReached = [&] { ++savePoints; };

    editor.SetModEventMask(SciModEventMaskInsertDelete);
    EXPECT_EQ(editor.GetModEventMask(), SciModEventMaskInsertDelete);
    editor.SetText("abc");
    editor.SetSavePoint();
    modified.clear();
    changes = 0;
    savePoints = 0;
    editor.InsertText(1, "XY");
    editor.DeleteRange(0, 1);
    ASSERT_EQ(modified.size(), 2u);
    EXPECT_TRUE(modified[0].ModificationType & SciModInsertText);
    EXPECT_EQ(modified[0].Position, 1);
    EXPECT_EQ(modified[0].Length, 2);
    EXPECT_TRUE(modified[1].ModificationType & SciModDeleteText);
    EXPECT_EQ(modified[1].Position, 0);
    EXPECT_EQ(changes, 2);

    // Styling is no insertion or deletion, so the mask keeps it out.
    modified.clear();
    editor.StartStyling(0);
    editor.SetStyling(2, 3);
    EXPECT_TRUE(modified.empty());
    // Mask 0 silences both the modification and the change events.
    editor.SetModEventMask(0);
    editor.InsertText(0, "Z");
    EXPECT_TRUE(modified.empty());
    EXPECT_EQ(changes, 2);
    editor.SetModEventMask(SciModEventMaskInsertDelete);

    editor.Undo();
    editor.Undo();
    editor.Undo();
    EXPECT_EQ(editor.GetText(), "abc");
    EXPECT_EQ(savePoints, 1);

    editor.SetLexer(SciLexerContainer);
    editor.Colourise(0, -1);
    ASSERT_FALSE(styleNeeded.empty());
    EXPECT_EQ(styleNeeded.back(), 3);

    // A handler may clear itself while it runs.
    changes = 0;
    editor.OnChange = [&] {
        ++changes;
        editor.OnChange = nullptr;
    };
    editor.InsertText(0, "1");
    editor.InsertText(0, "2");
    EXPECT_EQ(changes, 1);
}

TEST(DScintilla, ReportsSelectionChangesWhenItUpdates) {
    TDScintilla editor;
    editor.resize(400, 200);
    editor.show();
    editor.SetText("one two three");
    std::vector<int> updates;
    editor.OnUpdateUI = [&](int updated) { updates.push_back(updated); };
    editor.SetSel(0, 3);
    for (int i = 0; i < 20 && updates.empty(); ++i) {
        editor.viewport()->repaint();
        QApplication::processEvents();
    }
    ASSERT_FALSE(updates.empty());
    EXPECT_TRUE(updates.back() & SciUpdateSelection);
}

TEST(DScintilla, AppliesTheLumoStyleTable) {
    TDScintilla editor;
    ApplyLumoStyleTable(editor);
    EXPECT_EQ(editor.StyleGetFont(SciStyleDefault), LumoFontFamily());
    EXPECT_EQ(editor.StyleGetSize(SciStyleDefault), 10);
    const int defaultFore = editor.StyleGetFore(SciStyleDefault);
    const struct {
        int Style;
        int Fore;
        bool Bold;
    } looks[] = {
        {0, defaultFore, false}, {1, 0x800000, true},      {2, 0xFF0000, false},
        {3, 0x8B008B, false},    {4, 0xD670DA, false},     {5, defaultFore, false},
        {7, 0x006400, false},    {8, 0x13458B, false},     {9, 0x2D52A0, false},
        {10, defaultFore, true}, {11, defaultFore, false}, {13, 0xE22B8A, false},
        {15, 0xA09E5F, false},
    };
    for (const auto& look : looks) {
        EXPECT_EQ(editor.StyleGetFont(look.Style), LumoFontFamily()) << look.Style;
        EXPECT_EQ(editor.StyleGetFore(look.Style), look.Fore) << look.Style;
        EXPECT_EQ(editor.StyleGetBold(look.Style), look.Bold) << look.Style;
    }
    EXPECT_EQ(editor.StyleGetBack(SciStyleBraceLight), 0xED9564);
    EXPECT_EQ(editor.StyleGetBack(SciStyleBraceBad), 0xB469FF);
    EXPECT_EQ(editor.IndicGetStyle(9), SciIndicSquiggle);
    EXPECT_EQ(editor.IndicGetFore(9), 0x3C14DC);
    for (const auto& [indicator, fore] : {std::pair{10, 0xED9564}, std::pair{11, 0xB469FF}}) {
        EXPECT_EQ(editor.IndicGetStyle(indicator), SciIndicStraightBox);
        EXPECT_EQ(editor.IndicGetFore(indicator), fore);
        EXPECT_EQ(editor.IndicGetAlpha(indicator), 100);
        EXPECT_TRUE(editor.IndicGetUnder(indicator));
    }
}

// What the styler reads and writes behaves alike on the control and in memory: the same
// lines (a lone CR ends one too), the same bytes, styles, line states and indicators.
TEST(DScintilla, IsTheSameDocumentToTheStylerAsOneInMemory) {
    const std::string texts[] = {
        "", "a", "a\r\nb\nc\rd\r", "\r\r\n\n\r", "x\n\xC3\xA9\n", std::string("z\0\n", 3)};
    for (const std::string& text : texts) {
        TDScintilla editor;
        editor.SetText(text);
        TLumoMemoryDocument memory(text);
        ILumoDocument& a = editor;
        ILumoDocument& b = memory;
        ASSERT_EQ(a.GetLength(), b.GetLength());
        EXPECT_EQ(std::string(a.GetCharacterPointer(), static_cast<size_t>(a.GetLength())), text);
        ASSERT_EQ(a.GetLineCount(), b.GetLineCount()) << text;
        for (int pos = 0; pos <= a.GetLength(); ++pos)
            EXPECT_EQ(a.LineFromPosition(pos), b.LineFromPosition(pos)) << text << " " << pos;
        for (int line = 0; line < a.GetLineCount(); ++line) {
            EXPECT_EQ(a.PositionFromLine(line), b.PositionFromLine(line));
            a.SetLineState(line, line + 5);
            b.SetLineState(line, line + 5);
            EXPECT_EQ(a.GetLineState(line), b.GetLineState(line));
        }
        const std::string styles(text.size(), '\x0B');
        for (ILumoDocument* doc : {&a, &b}) {
            doc->SetStylingRun(0, doc->GetLength(), styles.data());
            doc->SetIndicatorCurrent(LumoIndicatorError);
            doc->IndicatorFillRange(0, doc->GetLength());
            doc->IndicatorClearRange(0, doc->GetLength() / 2);
        }
        EXPECT_EQ(FirstStylingDifference(memory, TControlView{editor}), "") << text;
    }
}

TEST(LumoStylerOnTheControl, StylesTheControlAsItStylesMemory) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        const std::string text =
            seed % 4 == 0 ? GenerateLumoProgram(seed, 4000) : GenerateLumoSoup(seed, 40);
        TLumoMemoryDocument memory(text);
        TLumoStylingScanner memoryStyler;
        memoryStyler.ScintillaInstance(&memory);
        memoryStyler.StyleSect(0, memory.GetLength());

        TDScintilla editor;
        TLumoStylingScanner styler;
        AttachStyler(editor, styler);
        editor.SetText(text);
        editor.Colourise(0, -1);
        ASSERT_EQ(editor.GetEndStyled(), editor.GetLength());
        ASSERT_EQ(FirstStylingDifference(memory, TControlView{editor}), "") << "seed " << seed;
    }
}

// Edits lower the end of the styled text; styling again from there, in the pieces the
// component asks for, gives what styling the new text from scratch gives.
TEST(LumoStylerOnTheControl, RestylesAfterEditsAsAFreshStylingWould) {
    const char* snippets[] = {"\"",           "'", "-", " ; c", "#THEN", "\r\n", ":",
                              "#LOCAL Q\r\n", "Q", "*", "\n",   "\r",    "x",    "#BLOCK_END"};
    for (uint32_t seed = 1; seed <= 30; ++seed) {
        TDScintilla editor;
        TLumoStylingScanner styler;
        AttachStyler(editor, styler);
        editor.SetText(GenerateLumoSoup(seed, 25));
        editor.Colourise(0, -1);
        uint32_t r = seed;
        auto next = [&](int below) {
            r = r * 1103515245u + 12345u;
            return static_cast<int>((r >> 8) % static_cast<uint32_t>(std::max(below, 1)));
        };
        for (int edit = 0; edit < 30; ++edit) {
            const int pos = next(editor.GetLength() + 1);
            if (next(3) == 0)
                editor.DeleteRange(pos, std::min(next(12), editor.GetLength() - pos));
            else
                editor.InsertText(pos, snippets[next(static_cast<int>(std::size(snippets)))]);
            while (editor.GetEndStyled() < editor.GetLength())
                editor.Colourise(editor.GetEndStyled(),
                                 editor.GetEndStyled() + 1 +
                                     next(editor.GetLength() - editor.GetEndStyled()));
            TLumoMemoryDocument fresh(editor.GetText());
            TLumoStylingScanner freshStyler;
            freshStyler.ScintillaInstance(&fresh);
            freshStyler.StyleSect(0, fresh.GetLength());
            ASSERT_EQ(FirstStylingDifference(fresh, TControlView{editor}), "")
                << "seed " << seed << " edit " << edit;
        }
    }
}
