#pragma once
// The search frame TSciSearchFrame: the thin search bar above the script editor. It also owns
// what the editor shows beyond plain text: it attaches the Lumo styler, and after every caret
// or selection change marks the current statement, the matching parentheses, the block
// keyword that matches the one at the caret and every occurrence of the selected text. It
// comments and uncomments lines. TSCFindProvider does the searching; TSCReplaceDialog is the
// find-and-replace dialog over the editor.
//
// The computations that need no window (statements, block matching, the stepping from match
// to match) are in SearchFrameLogic; these classes apply them to the editor.
#include "editor/DScintilla.h"
#include "editor/LumoScanner.h"
#include "editor/SearchFrameLogic.h"

#include <QDialog>
#include <QFrame>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace cv {

class ISystemInfo;

// The search options byte.
inline constexpr uint8_t so_MatchCase = 1;
inline constexpr uint8_t so_WholeWord = 2;
inline constexpr uint8_t so_RegEx = 4;

// Marks the frame puts on the editor.
inline constexpr int LumoMarkerStatement = 0; // the statement holding the caret
inline constexpr int LumoMarkerErrorRow = 1;
inline constexpr int LumoIndicatorFind = 8; // search hits
inline constexpr int LumoStatementBack = 0xB48246;
inline constexpr int LumoStatementAlpha = 33;
inline constexpr int LumoErrorRowBack = 0xE1E4FF;
inline constexpr int LumoFindFore = 0xFF0000;

// Shows a text in a modal information box; the host gives the program's own box.
using TInformationBox = std::function<void(const QString& Text)>;

class TSCFindProvider {
public:
    explicit TSCFindProvider(TDScintilla* MyScintillaInstance = nullptr);

    void SetScintilla(TDScintilla* Editor) { FScintilla = Editor; }
    TDScintilla* Scintilla() const { return FScintilla; }
    uint8_t Options() const { return FOptions; }
    void SetOptions(uint8_t Options) { FOptions = Options; }
    // The component's search flags for the options.
    int FindFlags() const;

    // Search from the selection's end (start) towards the text's end (start) without wrapping,
    // select the match and scroll it into view; without one, say "No match found" and keep the
    // selection. An empty match where the search starts is passed over (the next search
    // starts one character on), so a repeated search always moves. Empty text: nothing.
    bool FindNext(const std::string& FindText);
    bool FindPrevious(const std::string& FindText);
    // Marks every match with the find indicator (and clears the old marks first).
    void FindAll(const std::string& FindText);

    TInformationBox InformationBox;

private:
    bool Find(const std::string& FindText, bool Forward);

    TDScintilla* FScintilla;
    uint8_t FOptions = 0;
};

class TSciSearchFrame : public QFrame {
    Q_OBJECT
public:
    using TSCOnCaretMove = std::function<void(TDScintilla& Sender, int Line, int Column)>;

    // System: where the local parser's debug line goes (none without).
    explicit TSciSearchFrame(QWidget* Parent = nullptr,
                             std::shared_ptr<ISystemInfo> System = nullptr);
    ~TSciSearchFrame() override;

    // Attaches the editor: its events, marks, margins and style table, and the styler.
    void ScintillaInstance(TDScintilla* Editor);
    TDScintilla* ScintillaInstance() const { return FSciInstance; }

    void OpenSearch();
    void CloseSearch();
    void FocusSearchField();
    // Copy the options to the provider, then search for the search field's text.
    void SearchNext();
    void SearchPrevious();
    // Comments (true) or uncomments the lines of the selection, or the caret's line.
    void SetCommented(bool Commented);
    // Line and Column count from 1.
    void MarkErrorRow(int Line, int Column);
    void MarkErrorClear();

    void HighlightCurrentRow();
    bool LineContinues(int LineNo) const;
    void BraceHighlight(bool LookLeft);
    void BlockMatchHighlight();
    void StyleSection(int FromPos, int ToPos);

    // Handlers.
    void ScintillaUpdate(int Updated);
    void ScintillaStyleNeeded(int Position);
    void ScintillaTextChanged();
    void SearchFieldChange();
    void SearchFieldKeyPress(int Key);
    void FindNextButtonClick() { SearchNext(); }
    void FindPrevButtonClick() { SearchPrevious(); }
    void CloseSearchButtonClick() { CloseSearch(); }
    void MatchCaseClick();
    void WholeWordClick();
    void RegExClick();

    std::function<void()> OnSearchClose;
    TSCOnCaretMove OnCaretMove;
    // The box that says "No match found".
    void SetInformationBox(TInformationBox Box);

    uint8_t Options() const { return FOptions; }
    TSCFindProvider& FindProvider() { return *FFindProvider; }
    TLumoStylingScanner& Styler() { return *ScScanner; }
    const TLumoBlockWords& BlockWords() const { return *LumoBlockWords; }

    QLineEdit* SearchField = nullptr;
    QToolButton* FindPrevButton = nullptr;
    QToolButton* FindNextButton = nullptr;
    QCheckBox* MatchCase = nullptr;
    QCheckBox* WholeWord = nullptr;
    QCheckBox* RegEx = nullptr;
    QToolButton* CloseSearchButton = nullptr;

private:
    void SetOption(uint8_t Bit, bool On);
    void Detach();

    uint8_t FOptions = 0;
    QPointer<TDScintilla> FSciInstance;
    std::unique_ptr<TSCFindProvider> FFindProvider;
    std::unique_ptr<TLumoWordSet> LumoReservedWords; // never filled
    std::unique_ptr<TLumoBlockWords> LumoBlockWords;
    std::unique_ptr<TLumoStylingScanner> ScScanner;
};

// The find-and-replace dialog over the editor, with the controls of the platform's standard
// one: Find what, Replace with, Match whole word only, Match case, Direction, Find Next,
// Replace, Replace All, Cancel. It has no regular-expression option. Modeless.
class TSCReplaceDialog : public QDialog {
    Q_OBJECT
public:
    TSCReplaceDialog(QWidget* Owner, TDScintilla* Editor);

    // Shows the dialog: the editor's selection becomes the find text, and the search anchor
    // goes to the selection's start (the caret without one).
    void Execute();
    void FindClick();
    void ReplaceClick();
    // Replaces every match from the start of the text, as one step for undo.
    int ReplaceAllClick();

    TDScintilla* FScintilla = nullptr;
    TSCFindProvider* FFProvider = nullptr; // assigned by the host; the handlers do not use it
    TInformationBox InformationBox;

    QLineEdit* FindWhat = nullptr;
    QLineEdit* ReplaceWith = nullptr;
    QCheckBox* WholeWordBox = nullptr;
    QCheckBox* MatchCaseBox = nullptr;
    QRadioButton* UpButton = nullptr;
    QRadioButton* DownButton = nullptr;
    QPushButton* FindNextButton = nullptr;
    QPushButton* ReplaceButton = nullptr;
    QPushButton* ReplaceAllButton = nullptr;
    QPushButton* CancelButton = nullptr;

private:
    int Flags() const;
    void FindTextChanged();
};

} // namespace cv
