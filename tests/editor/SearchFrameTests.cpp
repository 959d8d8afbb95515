// The search frame on a real editing component, headless: what it sets up on the editor, the
// highlights after a caret move, commenting, searching without wrapping, the replace dialog.
#include "editor/DScintilla.h"
#include "editor/ScintillaSearchPanel.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>
#include <string>
#include <vector>

using namespace cv;

namespace {

class SearchFrameTest : public ::testing::Test {
protected:
    SearchFrameTest() {
        auto* layout = new QVBoxLayout(&FWindow);
        Frame = new TSciSearchFrame(&FWindow);
        Editor = new TDScintilla(&FWindow);
        layout->addWidget(Frame);
        layout->addWidget(Editor);
        FWindow.resize(700, 400);
        Frame->ScintillaInstance(Editor);
        Frame->SetInformationBox([this](const QString& text) { Boxes << text; });
    }

    // Puts the text in (a "|" marks the caret) and styles it as the display would.
    void Load(std::string text) {
        const size_t caret = text.find('|');
        if (caret != std::string::npos)
            text.erase(caret, 1);
        Editor->SetText(text);
        Editor->Colourise(0, -1);
        Editor->SetEmptySelection(caret == std::string::npos ? 0 : static_cast<int>(caret));
    }

    // "~" under every byte the indicator covers, trailing blanks dropped.
    std::string Marks(int indicator) const {
        std::string s;
        for (int i = 0; i < Editor->GetLength(); ++i)
            s += Editor->IndicatorValueAt(indicator, i) ? '~' : ' ';
        s.erase(s.find_last_not_of(' ') + 1);
        return s;
    }

    std::vector<int> LinesWithMarker(int marker) const {
        std::vector<int> lines;
        for (int line = 0; line < Editor->GetLineCount(); ++line)
            if (Editor->MarkerGet(line) & (1 << marker))
                lines.push_back(line);
        return lines;
    }

    QWidget FWindow;
    TSciSearchFrame* Frame;
    TDScintilla* Editor;
    QStringList Boxes;
};

TEST_F(SearchFrameTest, AttachingSetsUpTheEditorAndDetachingLetsItGo) {
    EXPECT_EQ(Editor->GetLexer(), SciLexerContainer);
    EXPECT_EQ(Editor->GetModEventMask(), SciModEventMaskInsertDelete);
    EXPECT_EQ(Editor->GetMarginWidthN(0), 32);
    EXPECT_EQ(Editor->GetIndent(), 4);
    EXPECT_EQ(Editor->GetIndentationGuides(), SciIndentGuidesLookBoth);
    EXPECT_EQ(Editor->StyleGetFore(LumoStyle::Command), 0x800000);
    EXPECT_EQ(Editor->IndicGetStyle(LumoIndicatorBlockMatch), SciIndicStraightBox);
    EXPECT_FALSE(Frame->isVisibleTo(&FWindow)) << "the bar starts hidden";
    Load("#FOO X\r\n#SET Y = 1");
    EXPECT_EQ(Editor->GetStyleAt(0), LumoStyle::Error) << "the styler styles on demand";
    EXPECT_EQ(Editor->GetStyleAt(8), LumoStyle::Command);

    TDScintilla other(&FWindow);
    Frame->ScintillaInstance(&other);
    EXPECT_EQ(Editor->GetLexer(), SciLexerNone);
    EXPECT_FALSE(Editor->OnUpdateUI);
    EXPECT_FALSE(Editor->OnStyleNeeded);
    EXPECT_FALSE(Editor->OnChange);
    EXPECT_TRUE(other.OnUpdateUI);
    Frame->ScintillaInstance(Editor);
}

TEST_F(SearchFrameTest, BlockKeywordsAtTheCaretMarkTheirPartnerOrStandAlone) {
    struct TCase {
        const char* Text;
        std::string Matched;   // indicator 10
        std::string Unmatched; // indicator 11
    } cases[] = {
        {"#BLO|CK\r\n#BLOCK\r\n#BLOCK_END\r\n#BLOCK_END",
         " ~~~~~" + std::string(23, ' ') + "~~~~~~~~~", ""},
        {"#LOOP_WITH I = 1 .. 10\r\n#LOOP_E|ND", " ~~~~~~~~~               ~~~~~~~~", ""},
        {"#CA|SE X\r\n#WHEN 1 #DO #SET Y = 2", "", " ~~~~"},
        {"#BLOCK ; #BLOCK_E|ND", "", ""},
        {"#SE|T X = 1", "", ""},
    };
    for (const TCase& c : cases) {
        Load(c.Text);
        Frame->ScintillaUpdate(0);
        EXPECT_EQ(Marks(LumoIndicatorBlockMatch), c.Matched) << c.Text;
        EXPECT_EQ(Marks(LumoIndicatorBlockUnmatched), c.Unmatched) << c.Text;
    }
    // A caret move off the word clears the marks.
    Load("#BLO|CK\r\n#BLOCK_END");
    Frame->ScintillaUpdate(0);
    Editor->SetEmptySelection(Editor->GetLength());
    Editor->GotoPos(Editor->GetLength() - 1);
    Editor->SetEmptySelection(7);
    Frame->ScintillaUpdate(0);
    EXPECT_EQ(Marks(LumoIndicatorBlockMatch), "");
}

TEST_F(SearchFrameTest, BlockMatchingStylesTheTextItSearchesFirst) {
    // Only a few lines have been shown (styled); a commented closing word far below must not
    // count.
    std::string text = "#BLO|CK\r\n";
    for (int i = 0; i < 3000; ++i)
        text += "  #SET A = " + std::to_string(i) + "\r\n";
    text += "; #BLOCK_END\r\n#BLOCK_END";
    const size_t caret = text.find('|');
    text.erase(caret, 1);
    Editor->SetText(text);
    Editor->Colourise(0, 40);
    ASSERT_LT(Editor->GetEndStyled(), 1000);
    Editor->SetEmptySelection(static_cast<int>(caret));
    Frame->ScintillaUpdate(0);
    EXPECT_TRUE(Editor->IndicatorValueAt(LumoIndicatorBlockMatch, Editor->GetLength() - 3));
    EXPECT_FALSE(Editor->IndicatorValueAt(LumoIndicatorBlockMatch,
                                          static_cast<int>(text.rfind("; #BLOCK_END")) + 4));
}

TEST_F(SearchFrameTest, TheWholeStatementAroundTheCaretGetsMarkerZero) {
    const std::string text =
        "#SET X = 0\r\n#SET A = B -\r\n   + C - ; note\r\n   + D\r\n#SET Y = 1 -\t\r\nZ";
    for (int line = 1; line <= 3; ++line) {
        Load(text);
        Editor->SetEmptySelection(Editor->PositionFromLine(line) + 2);
        Frame->ScintillaUpdate(0);
        EXPECT_EQ(LinesWithMarker(LumoMarkerStatement), (std::vector<int>{1, 2, 3})) << line;
    }
    Editor->SetEmptySelection(Editor->PositionFromLine(4));
    Frame->ScintillaUpdate(0);
    EXPECT_EQ(LinesWithMarker(LumoMarkerStatement), std::vector<int>{4})
        << "a tab ends the continuation";
}

TEST_F(SearchFrameTest, SelectingTwoCharactersMarksEveryOccurrence) {
    Load("abc abc ab\xC3\xA9\xC3\xA9 abd");
    Editor->SetSel(0, 1);
    Frame->ScintillaUpdate(SciUpdateSelection);
    EXPECT_EQ(Marks(LumoIndicatorFind), "");
    Editor->SetSel(0, 2);
    Frame->ScintillaUpdate(SciUpdateSelection);
    EXPECT_EQ(Marks(LumoIndicatorFind), "~~  ~~  ~~     ~~");
    Editor->SetSel(10, 12); // one character of two bytes
    Frame->ScintillaUpdate(SciUpdateSelection);
    EXPECT_EQ(Marks(LumoIndicatorFind), "");
    Editor->SetSel(10, 14);
    Frame->ScintillaUpdate(SciUpdateSelection);
    EXPECT_EQ(Marks(LumoIndicatorFind), "          ~~~~");
    Editor->SetEmptySelection(1); // a plain caret move removes the marks
    Frame->ScintillaUpdate(SciUpdateSelection);
    EXPECT_EQ(Marks(LumoIndicatorFind), "");
}

TEST_F(SearchFrameTest, CommentingInsertsAndUncommentingDeletesTheFirstSemicolonPerLine) {
    struct TCase {
        const char* Text;
        int SelStart, SelEnd; // -1: the caret at 0
        bool Commented;
        const char* Result;
    } cases[] = {
        {"A = 1\r\nB = 2", -1, -1, true, ";A = 1\r\nB = 2"},
        {"A = 1\r\n\r\n;B\r\nC", 0, 9, true, ";A = 1\r\n;\r\n;;B\r\nC"},
        {"A = 1\r\nB\r\nC", 3, 7, true, ";A = 1\r\n;B\r\nC"}, // ends at line 1's start: taken in
        {"A = 1 ; note\r\nB = 2", 0, 9, false, "A = 1  note\r\nB = 2"},
        {"A = 1\r\n;B ; c", 0, 10, false, "A = 1\r\nB ; c"},
    };
    for (const TCase& c : cases) {
        Load(c.Text);
        if (c.SelStart >= 0)
            Editor->SetSel(c.SelStart, c.SelEnd);
        Frame->SetCommented(c.Commented);
        EXPECT_EQ(Editor->GetText(), c.Result) << c.Text;
    }
    // One step for undo per line.
    Load("A\r\nB");
    Editor->EmptyUndoBuffer();
    Editor->SelectAll();
    Frame->SetCommented(true);
    ASSERT_EQ(Editor->GetText(), ";A\r\n;B");
    Editor->Undo();
    EXPECT_EQ(Editor->GetText(), ";A\r\nB");
}

TEST_F(SearchFrameTest, CommentingManyLinesRaisesOneChangeAndClearsTheErrorRow) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "#SET A = " + std::to_string(i) + "\r\n";
    Load(text);
    Frame->MarkErrorRow(3, 2);
    EXPECT_EQ(LinesWithMarker(LumoMarkerErrorRow), std::vector<int>{2});
    EXPECT_EQ(Editor->GetCurrentPos(), Editor->PositionFromLine(2) + 1);
    int modified = 0;
    Editor->OnModified = [&](const TSciModification&) { ++modified; };
    Editor->SelectAll();
    Frame->SetCommented(true);
    EXPECT_EQ(modified, 1);
    EXPECT_TRUE(LinesWithMarker(LumoMarkerErrorRow).empty()) << "an edit clears the error row";
    EXPECT_EQ(Editor->GetModEventMask(), SciModEventMaskInsertDelete);
    Editor->OnModified = nullptr;
}

TEST_F(SearchFrameTest, FindNextAndPreviousStopAtTheEndsWithoutWrapping) {
    Load("x a x A x");
    Frame->SearchField->setText("a");
    Frame->SearchNext();
    EXPECT_EQ(Editor->GetSelectionStart(), 2);
    Frame->SearchNext();
    EXPECT_EQ(Editor->GetSelectionStart(), 6);
    EXPECT_TRUE(Boxes.isEmpty());
    Frame->SearchNext();
    EXPECT_EQ(Boxes, QStringList{"No match found"});
    EXPECT_EQ(Editor->GetSelectionStart(), 6) << "the last match stays selected";
    EXPECT_EQ(Editor->GetSelectionEnd(), 7);
    Frame->SearchPrevious();
    EXPECT_EQ(Editor->GetSelectionStart(), 2);
    Frame->SearchPrevious();
    EXPECT_EQ(Boxes.size(), 2);
    EXPECT_EQ(Editor->GetSelectionStart(), 2);

    Frame->MatchCase->click();
    EXPECT_EQ(Frame->Options(), so_MatchCase);
    Editor->SetEmptySelection(0);
    Frame->SearchField->setText("A");
    Frame->SearchNext();
    EXPECT_EQ(Editor->GetSelectionStart(), 6);
}

TEST_F(SearchFrameTest, EnterSearchesWithTheOptionsLastCopied) {
    Load("a A");
    Frame->MatchCase->click(); // not yet copied to the provider
    Frame->SearchField->setText("A");
    Frame->SearchFieldKeyPress(13);
    EXPECT_EQ(Editor->GetSelectionStart(), 0);
    Editor->SetEmptySelection(0);
    Frame->SearchNext();
    EXPECT_EQ(Editor->GetSelectionStart(), 2);
}

TEST_F(SearchFrameTest, AnEmptyRegularExpressionMatchNeverHoldsTheSearchInPlace) {
    Load("a\xC3\xA9z");
    Frame->RegEx->click();
    Frame->SearchField->setText("q*");
    std::vector<int> carets;
    for (int i = 0; i < 6 && Boxes.isEmpty(); ++i) {
        Frame->SearchNext();
        carets.push_back(Editor->GetCurrentPos());
    }
    EXPECT_EQ(carets, (std::vector<int>{1, 3, 3})) << "one character on each time, to the last";
    EXPECT_EQ(Boxes, QStringList{"No match found"});
    // Marking every match ends too.
    Frame->OpenSearch();
    EXPECT_EQ(Marks(LumoIndicatorFind), "");
}

TEST_F(SearchFrameTest, OpeningTakesTheSelectionAndMarksClosingClearsEverything) {
    FWindow.show();
    Load("abc x abc");
    Editor->SetSel(0, 3);
    int closed = 0;
    Frame->OnSearchClose = [&] { ++closed; };
    Frame->OpenSearch();
    EXPECT_TRUE(Frame->isVisible());
    EXPECT_EQ(Frame->SearchField->text(), "abc");
    EXPECT_TRUE(Frame->FindNextButton->isEnabled());
    EXPECT_EQ(Marks(LumoIndicatorFind), "~~~   ~~~");
    Frame->CloseSearch();
    EXPECT_FALSE(Frame->isVisible());
    EXPECT_EQ(Marks(LumoIndicatorFind), "");
    EXPECT_TRUE(Editor->GetSelectionEmpty());
    EXPECT_EQ(closed, 1);
    Frame->SearchField->clear();
    EXPECT_FALSE(Frame->FindNextButton->isEnabled());
    EXPECT_FALSE(Frame->FindPrevButton->isEnabled());
}

TEST_F(SearchFrameTest, ADisplayUpdateDrivesTheHighlightsAndReportsTheCaret) {
    FWindow.show();
    Load("#SET A = 1\r\n  #BLOCK\r\n  #BLOCK_END");
    std::vector<std::pair<int, int>> moves;
    Frame->OnCaretMove = [&](TDScintilla&, int line, int column) {
        moves.emplace_back(line, column);
    };
    Editor->SetEmptySelection(Editor->PositionFromLine(1) + 4);
    for (int i = 0; i < 20 && moves.empty(); ++i) {
        Editor->viewport()->repaint();
        QApplication::processEvents();
    }
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.back(), std::make_pair(2, 5));
    EXPECT_EQ(Marks(LumoIndicatorBlockMatch), "               ~~~~~     ~~~~~~~~~");
    EXPECT_EQ(LinesWithMarker(LumoMarkerStatement), std::vector<int>{1});
}

class ReplaceDialogTest : public SearchFrameTest {
protected:
    ReplaceDialogTest() : Dialog(&FWindow, Editor) {
        Dialog.InformationBox = [this](const QString& text) { Boxes << text; };
    }
    TSCReplaceDialog Dialog;
};

TEST_F(ReplaceDialogTest, OpensOnTheSelectionAndFindsBothWaysWithoutWrapping) {
    EXPECT_TRUE(Dialog.DownButton->isChecked());
    EXPECT_FALSE(Dialog.FindNextButton->isEnabled()) << "nothing to find";
    Load("one two one two one");
    Editor->SetSel(4, 7);
    Dialog.Execute();
    EXPECT_EQ(Dialog.FindWhat->text(), "two");
    Dialog.FindClick();
    EXPECT_EQ(Editor->GetSelectionStart(), 12);
    Dialog.FindClick();
    EXPECT_EQ(Boxes, QStringList{"No match found"});
    EXPECT_EQ(Editor->GetSelectionStart(), 12);
    EXPECT_EQ(Editor->GetSelectionEnd(), 15);
    Dialog.UpButton->setChecked(true);
    Dialog.FindClick();
    EXPECT_EQ(Editor->GetSelectionStart(), 4);
    Dialog.FindClick();
    EXPECT_EQ(Boxes.size(), 2);
    EXPECT_EQ(Editor->GetSelectionStart(), 4);
    Dialog.hide();
}

TEST_F(ReplaceDialogTest, ReplaceChangesOnlyASelectionThatIsTheFindText) {
    Load("Two two");
    Dialog.FindWhat->setText("two");
    Dialog.ReplaceWith->setText("2");
    Editor->SetSel(0, 3);
    Dialog.ReplaceClick();
    EXPECT_EQ(Editor->GetText(), "2 two") << "ignoring case unless Match case";
    EXPECT_EQ(Editor->GetSelectionEnd(), 1) << "the next match is not searched for";
    Load("Two two");
    Dialog.MatchCaseBox->setChecked(true);
    Editor->SetSel(0, 3);
    Dialog.ReplaceClick();
    EXPECT_EQ(Editor->GetText(), "Two two");
    Editor->SetSel(0, 2);
    Dialog.ReplaceClick();
    EXPECT_EQ(Editor->GetText(), "Two two");
}

TEST_F(ReplaceDialogTest, ReplaceAllResumesAfterEachReplacementAsOneStepForUndo) {
    struct TCase {
        const char* Text;
        const char* Find;
        const char* With;
        bool MatchCase, WholeWord;
        const char* Result;
    } cases[] = {
        {"ab", "a", "aXa", false, false, "aXab"},    {"A a Ab", "a", "b", false, false, "b b bb"},
        {"A a Ab", "a", "b", true, false, "A b Ab"}, {"A a Ab", "a", "b", false, true, "b b Ab"},
        {"xyz", "q", "r", false, false, "xyz"},
    };
    for (const TCase& c : cases) {
        Load(c.Text);
        Editor->EmptyUndoBuffer();
        Dialog.FindWhat->setText(QString::fromUtf8(c.Find));
        Dialog.ReplaceWith->setText(QString::fromUtf8(c.With));
        Dialog.MatchCaseBox->setChecked(c.MatchCase);
        Dialog.WholeWordBox->setChecked(c.WholeWord);
        Dialog.ReplaceAllClick();
        EXPECT_EQ(Editor->GetText(), c.Result) << c.Text << " / " << c.Find;
        if (std::string(c.Text) != c.Result) {
            Editor->Undo();
            EXPECT_EQ(Editor->GetText(), c.Text) << "one undo takes it all back";
        }
    }
}

// Without an assistive technology the control offers a plain accessible widget (the
// component's own counts characters at every caret move); when accessibility comes on, the
// plain ones are dropped, so that the next question gets the component's own.
TEST(DScintillaAccessibility, PlainWhileInactiveAndDroppedWhenAccessibilityComesOn) {
    ASSERT_FALSE(QAccessible::isActive());
    TDScintilla editor;
    editor.SetText("abc");
    QAccessibleInterface* plain = QAccessible::queryAccessibleInterface(&editor);
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->textInterface());
    EXPECT_EQ(plain->role(), QAccessible::EditableText);
    const QAccessible::Id before = QAccessible::uniqueId(plain);
    QAccessible::setActive(true); // what the platform's bridge reports when a reader starts
    QAccessibleInterface* again = QAccessible::queryAccessibleInterface(&editor);
    ASSERT_TRUE(again);
    EXPECT_NE(QAccessible::uniqueId(again), before);
    QAccessible::setActive(false);
}

} // namespace
