#include "ScintillaSearchPanel.h"

#include "editor/DScintillaUtils.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

// The resources live in a static library, whose initialiser the linker would drop.
static void InitEditorResources() {
    Q_INIT_RESOURCE(editor_images);
}

namespace cv {

namespace {

QIcon EditorIcon(const char* name) {
    static const bool initialised = (InitEditorResources(), true);
    (void)initialised;
    return QIcon(QStringLiteral(":/editor/") + QLatin1String(name) + QStringLiteral(".png"));
}

std::string_view EditorText(const TDScintilla& editor) {
    const int length = editor.GetLength();
    if (length <= 0)
        return {};
    return {editor.GetCharacterPointer(), static_cast<size_t>(length)};
}

int PreviousCharacterPosition(std::string_view text, int pos) {
    int previous = pos - 1;
    while (previous > 0 && previous < static_cast<int>(text.size()) &&
           (static_cast<unsigned char>(text[static_cast<size_t>(previous)]) & 0xC0) == 0x80)
        --previous;
    return previous;
}

int CharacterCount(std::string_view utf8) {
    int count = 0;
    for (char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    return count;
}

void Say(const TInformationBox& box, QWidget* near, const QString& text) {
    if (box) {
        box(text);
        return;
    }
    QWidget* window = near ? near->window() : nullptr;
    QMessageBox::information(window, window ? window->windowTitle() : QString(), text);
}

const QString NoMatchFound = QStringLiteral("No match found");

QToolButton* FlatButton(const QString& name, const QIcon& icon, const QString& tip,
                        QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setFixedSize(23, 22);
    button->setToolTip(tip);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

// ---------------------------------------------------------------- TSCFindProvider

TSCFindProvider::TSCFindProvider(TDScintilla* MyScintillaInstance)
    : FScintilla(MyScintillaInstance) {}

int TSCFindProvider::FindFlags() const {
    int flags = 0;
    if (FOptions & so_MatchCase)
        flags |= SciFindMatchCase;
    if (FOptions & so_WholeWord)
        flags |= SciFindWholeWord;
    if (FOptions & so_RegEx)
        flags |= SciFindRegExp;
    return flags;
}

bool TSCFindProvider::FindNext(const std::string& FindText) {
    return Find(FindText, true);
}

bool TSCFindProvider::FindPrevious(const std::string& FindText) {
    return Find(FindText, false);
}

bool TSCFindProvider::Find(const std::string& FindText, bool Forward) {
    if (!FScintilla || FindText.empty())
        return false;
    TDScintilla& editor = *FScintilla;
    const int flags = FindFlags();
    const bool hadSelection = !editor.GetSelectionEmpty();
    const int selectionStart = editor.GetSelectionStart();
    const int selectionEnd = editor.GetSelectionEnd();
    const int anchor = Forward ? selectionEnd : selectionStart;
    if (hadSelection)
        editor.SetEmptySelection(anchor);
    editor.SearchAnchor();
    auto search = [&] {
        return Forward ? editor.SearchNext(flags, FindText) : editor.SearchPrev(flags, FindText);
    };
    int found = search();
    if (found == anchor && editor.GetSelectionEmpty()) {
        // An empty match where the search began: the search starts one character on instead,
        // so that a repeated search moves and no position is searched twice.
        const std::string_view text = EditorText(editor);
        const int next =
            Forward ? NextCharacterPosition(text, anchor) : PreviousCharacterPosition(text, anchor);
        found = -1;
        if (next >= 0 && next <= editor.GetLength()) {
            editor.SetEmptySelection(next);
            editor.SearchAnchor();
            found = search();
        }
    }
    if (found < 0) {
        if (hadSelection)
            editor.SetSel(selectionStart, selectionEnd);
        else
            editor.SetEmptySelection(anchor);
        Say(InformationBox, FScintilla, NoMatchFound);
        return false;
    }
    editor.ScrollCaret();
    return true;
}

void TSCFindProvider::FindAll(const std::string& FindText) {
    if (!FScintilla)
        return;
    TDScintilla& editor = *FScintilla;
    editor.SetIndicatorCurrent(LumoIndicatorFind);
    editor.IndicatorClearRange(0, editor.GetLength());
    editor.IndicSetStyle(LumoIndicatorFind, SciIndicStraightBox);
    editor.IndicSetFore(LumoIndicatorFind, LumoFindFore);
    if (FindText.empty())
        return;
    const int flags = FindFlags();
    const std::vector<TSciRange> matches = FindAllMatches(
        [&](int start, int end) { return editor.FindText(flags, start, end, FindText); },
        EditorText(editor));
    editor.SetIndicatorCurrent(LumoIndicatorFind);
    for (const TSciRange& m : matches)
        if (m.End > m.Start)
            editor.IndicatorFillRange(m.Start, m.End - m.Start);
}

// ---------------------------------------------------------------- TSciSearchFrame

TSciSearchFrame::TSciSearchFrame(QWidget* Parent, std::shared_ptr<ISystemInfo> System)
    : QFrame(Parent), FFindProvider(std::make_unique<TSCFindProvider>()),
      LumoReservedWords(std::make_unique<TLumoWordSet>()),
      LumoBlockWords(std::make_unique<TLumoBlockWords>()),
      ScScanner(std::make_unique<TLumoStylingScanner>(std::move(System))) {
    setObjectName(QStringLiteral("SciSearchFrame"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);
    setFixedHeight(26);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 2, 2);
    row->setSpacing(4);

    SearchField = new QLineEdit(this);
    SearchField->setObjectName(QStringLiteral("SearchField"));
    SearchField->setFixedWidth(121);
    FindPrevButton = FlatButton(QStringLiteral("FindPrevButton"), EditorIcon("find_previous"),
                                QStringLiteral("Find previous (Shift+F3)"), this);
    FindNextButton = FlatButton(QStringLiteral("FindNextButton"), EditorIcon("find_next"),
                                QStringLiteral("Find next (F3)"), this);
    MatchCase = new QCheckBox(QStringLiteral("Match Case"), this);
    MatchCase->setObjectName(QStringLiteral("MatchCase"));
    WholeWord = new QCheckBox(QStringLiteral("Whole Word"), this);
    WholeWord->setObjectName(QStringLiteral("WholeWord"));
    RegEx = new QCheckBox(QStringLiteral("RegEx Search"), this);
    RegEx->setObjectName(QStringLiteral("RegEx"));
    CloseSearchButton = FlatButton(QStringLiteral("CloseSearchButton"), EditorIcon("search_close"),
                                   QStringLiteral("Close search (Esc)"), this);
    row->addWidget(SearchField);
    row->addWidget(FindPrevButton);
    row->addWidget(FindNextButton);
    row->addSpacing(4);
    row->addWidget(MatchCase);
    row->addWidget(WholeWord);
    row->addWidget(RegEx);
    row->addStretch(1);
    row->addWidget(CloseSearchButton);

    connect(SearchField, &QLineEdit::textChanged, this, [this] { SearchFieldChange(); });
    connect(SearchField, &QLineEdit::returnPressed, this, [this] { SearchFieldKeyPress(13); });
    connect(FindPrevButton, &QToolButton::clicked, this, [this] { FindPrevButtonClick(); });
    connect(FindNextButton, &QToolButton::clicked, this, [this] { FindNextButtonClick(); });
    connect(CloseSearchButton, &QToolButton::clicked, this, [this] { CloseSearchButtonClick(); });
    connect(MatchCase, &QCheckBox::clicked, this, [this] { MatchCaseClick(); });
    connect(WholeWord, &QCheckBox::clicked, this, [this] { WholeWordClick(); });
    connect(RegEx, &QCheckBox::clicked, this, [this] { RegExClick(); });
    SearchFieldChange();
    hide(); // until the user asks for it
}

TSciSearchFrame::~TSciSearchFrame() {
    if (FSciInstance)
        Detach();
}

void TSciSearchFrame::Detach() {
    FSciInstance->OnUpdateUI = nullptr;
    FSciInstance->OnStyleNeeded = nullptr;
    FSciInstance->OnChange = nullptr; // it would clear marks of the next editor
    FSciInstance->SetLexer(SciLexerNone);
}

void TSciSearchFrame::ScintillaInstance(TDScintilla* Editor) {
    if (Editor != FSciInstance) {
        if (FSciInstance)
            Detach();
        FSciInstance = Editor;
        FFindProvider->SetScintilla(Editor);
        if (Editor) {
            Editor->OnUpdateUI = [this](int updated) { ScintillaUpdate(updated); };
            Editor->OnStyleNeeded = [this](int position) { ScintillaStyleNeeded(position); };
            Editor->OnChange = [this] { ScintillaTextChanged(); };
            Editor->SetModEventMask(SciModEventMaskInsertDelete);
            Editor->SetLexer(SciLexerContainer);
            Editor->MarkerDefine(LumoMarkerStatement, SciMarkBackground);
            Editor->MarkerSetFore(LumoMarkerStatement, 0);
            Editor->MarkerSetBack(LumoMarkerStatement, LumoStatementBack);
            Editor->MarkerSetAlpha(LumoMarkerStatement, LumoStatementAlpha);
            Editor->MarkerDefine(LumoMarkerErrorRow, SciMarkBackground);
            Editor->MarkerSetFore(LumoMarkerErrorRow, 0);
            Editor->MarkerSetBack(LumoMarkerErrorRow, LumoErrorRowBack);
            Editor->SetMarginWidthN(0, 32);
            Editor->SetIndent(4);
            Editor->SetIndentationGuides(SciIndentGuidesLookBoth);
            ApplyLumoStyleTable(*Editor);
        }
    }
    ScScanner->ScintillaInstance(Editor);
}

void TSciSearchFrame::SetInformationBox(TInformationBox Box) {
    FFindProvider->InformationBox = std::move(Box);
}

void TSciSearchFrame::OpenSearch() {
    if (FSciInstance && !FSciInstance->GetSelectionEmpty())
        SearchField->setText(QString::fromStdString(FSciInstance->GetSelText()));
    show();
    FocusSearchField();
    SearchField->selectAll();
    if (!SearchField->text().isEmpty())
        FFindProvider->FindAll(SearchField->text().toStdString());
}

void TSciSearchFrame::CloseSearch() {
    hide();
    if (FSciInstance) {
        FSciInstance->SetEmptySelection(FSciInstance->GetCurrentPos());
        FSciInstance->SetIndicatorCurrent(LumoIndicatorFind);
        FSciInstance->IndicatorClearRange(0, FSciInstance->GetLength());
    }
    if (OnSearchClose)
        OnSearchClose();
}

void TSciSearchFrame::FocusSearchField() {
    SearchField->setFocus();
}

void TSciSearchFrame::SearchNext() {
    FFindProvider->SetOptions(FOptions);
    FFindProvider->FindNext(SearchField->text().toStdString());
}

void TSciSearchFrame::SearchPrevious() {
    FFindProvider->SetOptions(FOptions);
    FFindProvider->FindPrevious(SearchField->text().toStdString());
}

void TSciSearchFrame::SearchFieldChange() {
    const bool any = !SearchField->text().isEmpty();
    FindPrevButton->setEnabled(any);
    FindNextButton->setEnabled(any);
}

void TSciSearchFrame::SearchFieldKeyPress(int Key) {
    if (Key == 13) // with the options last copied by Find Next or Find Previous
        FFindProvider->FindNext(SearchField->text().toStdString());
}

void TSciSearchFrame::SetOption(uint8_t Bit, bool On) {
    FOptions = static_cast<uint8_t>(On ? FOptions | Bit : FOptions & ~Bit);
}

void TSciSearchFrame::MatchCaseClick() {
    SetOption(so_MatchCase, MatchCase->isChecked());
}

void TSciSearchFrame::WholeWordClick() {
    SetOption(so_WholeWord, WholeWord->isChecked());
}

void TSciSearchFrame::RegExClick() {
    SetOption(so_RegEx, RegEx->isChecked());
}

void TSciSearchFrame::SetCommented(bool Commented) {
    if (!FSciInstance)
        return;
    TDScintilla& editor = *FSciInstance;
    const auto [first, last] =
        CommentLines(editor, editor.GetSelectionStart(), editor.GetSelectionEnd());
    // Each insertion or deletion stays a step of its own for undo.
    editor.EditInOneGo([&] {
        bool changed = false;
        for (int line = first; line <= last; ++line) {
            const int start = editor.PositionFromLine(line);
            if (start < 0)
                break;
            if (Commented) {
                editor.InsertText(start, ";");
                changed = true;
                continue;
            }
            const int offset = UncommentOffset(editor.GetLine(line));
            if (offset >= 0) {
                editor.DeleteRange(start + offset, 1);
                changed = true;
            }
        }
        return changed;
    });
}

void TSciSearchFrame::MarkErrorRow(int Line, int Column) {
    if (!FSciInstance)
        return;
    TDScintilla& editor = *FSciInstance;
    editor.MarkerDeleteAll(LumoMarkerErrorRow);
    editor.MarkerAdd(Line - 1, LumoMarkerErrorRow);
    const int start = editor.PositionFromLine(Line - 1);
    if (start < 0) {
        editor.GotoLine(Line - 1);
        return;
    }
    editor.GotoPos(std::clamp(start + Column - 1, start, editor.GetLineEndPosition(Line - 1)));
}

void TSciSearchFrame::MarkErrorClear() {
    if (FSciInstance)
        FSciInstance->MarkerDeleteAll(LumoMarkerErrorRow);
}

bool TSciSearchFrame::LineContinues(int LineNo) const {
    return FSciInstance && cv::LineContinues(LineText(*FSciInstance, LineNo));
}

void TSciSearchFrame::HighlightCurrentRow() {
    if (!FSciInstance)
        return;
    TDScintilla& editor = *FSciInstance;
    editor.MarkerDeleteAll(LumoMarkerStatement);
    const auto [first, last] =
        StatementLines(editor, editor.LineFromPosition(editor.GetCurrentPos()));
    for (int line = first; line <= last; ++line)
        editor.MarkerAdd(line, LumoMarkerStatement);
}

void TSciSearchFrame::BraceHighlight(bool LookLeft) {
    if (!FSciInstance)
        return;
    TDScintilla& editor = *FSciInstance;
    const int caret = editor.GetCurrentPos();
    auto markAt = [&](int pos) {
        const int match = editor.BraceMatch(pos);
        if (match >= 0) {
            editor.BraceBadLight(-1);
            editor.BraceHighlight(pos, match);
            return true;
        }
        const char c = editor.GetCharAt(pos);
        if (c == '(' || c == ')') {
            editor.BraceBadLight(pos);
            return true;
        }
        return false;
    };
    if (LookLeft && caret > 0 && markAt(caret - 1))
        return;
    if (markAt(caret))
        return;
    editor.BraceHighlight(-1, -1);
}

void TSciSearchFrame::BlockMatchHighlight() {
    if (!FSciInstance)
        return;
    TDScintilla& editor = *FSciInstance;
    const int length = editor.GetLength();
    editor.SetIndicatorCurrent(LumoIndicatorBlockMatch);
    editor.IndicatorClearRange(0, length);
    editor.SetIndicatorCurrent(LumoIndicatorBlockUnmatched);
    editor.IndicatorClearRange(0, length);
    const int caret = editor.GetCurrentPos();
    const TSciRange word{editor.WordStartPosition(caret, true),
                         editor.WordEndPosition(caret, true)};
    // Comments are known from the line states, which the styler writes: the text searched is
    // styled first, so that what the search skips does not depend on what has been shown.
    const TBlockMatch match = FindBlockMatch(editor, *LumoBlockWords, caret, word, [&](int pos) {
        const int styled = editor.GetEndStyled();
        if (styled < pos)
            StyleSection(editor.PositionFromLine(editor.LineFromPosition(styled)), pos);
        return editor.GetEndStyled();
    });
    if (!match.Applies)
        return;
    editor.SetIndicatorCurrent(match.Matched ? LumoIndicatorBlockMatch
                                             : LumoIndicatorBlockUnmatched);
    editor.IndicatorFillRange(match.Word.Start, match.Word.End - match.Word.Start);
    if (match.Matched)
        editor.IndicatorFillRange(match.Match.Start, match.Match.End - match.Match.Start);
}

void TSciSearchFrame::StyleSection(int FromPos, int ToPos) {
    ScScanner->StyleSect(FromPos, ToPos);
}

void TSciSearchFrame::ScintillaUpdate(int Updated) {
    if (!FSciInstance)
        return;
    TDScintilla& editor = *FSciInstance;
    if (Updated & SciUpdateSelection) {
        const std::string selected = editor.GetSelText();
        if (CharacterCount(selected) >= 2) {
            FFindProvider->FindAll(selected);
        } else {
            editor.SetIndicatorCurrent(LumoIndicatorFind);
            editor.IndicatorClearRange(0, editor.GetLength());
        }
    }
    HighlightCurrentRow();
    BraceHighlight(true);
    BlockMatchHighlight();
    if (OnCaretMove) {
        const int caret = editor.GetCurrentPos();
        OnCaretMove(editor, editor.LineFromPosition(caret) + 1, editor.GetColumn(caret) + 1);
    }
}

void TSciSearchFrame::ScintillaStyleNeeded(int Position) {
    if (!FSciInstance)
        return;
    TDScintilla& editor = *FSciInstance;
    StyleSection(editor.PositionFromLine(editor.LineFromPosition(editor.GetEndStyled())), Position);
}

void TSciSearchFrame::ScintillaTextChanged() {
    MarkErrorClear();
}

// ---------------------------------------------------------------- TSCReplaceDialog

TSCReplaceDialog::TSCReplaceDialog(QWidget* Owner, TDScintilla* Editor)
    : QDialog(Owner), FScintilla(Editor) {
    setObjectName(QStringLiteral("SciReplace"));
    setWindowTitle(QStringLiteral("Replace"));
    setModal(false);
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(8);

    FindWhat = new QLineEdit(this);
    FindWhat->setObjectName(QStringLiteral("FindWhat"));
    FindWhat->setMinimumWidth(200);
    ReplaceWith = new QLineEdit(this);
    ReplaceWith->setObjectName(QStringLiteral("ReplaceWith"));
    auto* findLabel = new QLabel(QStringLiteral("Fi&nd what:"), this);
    findLabel->setBuddy(FindWhat);
    auto* replaceLabel = new QLabel(QStringLiteral("Re&place with:"), this);
    replaceLabel->setBuddy(ReplaceWith);

    WholeWordBox = new QCheckBox(QStringLiteral("Match &whole word only"), this);
    WholeWordBox->setObjectName(QStringLiteral("WholeWordBox"));
    MatchCaseBox = new QCheckBox(QStringLiteral("Match &case"), this);
    MatchCaseBox->setObjectName(QStringLiteral("MatchCaseBox"));
    auto* direction = new QGroupBox(QStringLiteral("Direction"), this);
    auto* directionRow = new QHBoxLayout(direction);
    UpButton = new QRadioButton(QStringLiteral("&Up"), direction);
    UpButton->setObjectName(QStringLiteral("UpButton"));
    DownButton = new QRadioButton(QStringLiteral("&Down"), direction);
    DownButton->setObjectName(QStringLiteral("DownButton"));
    DownButton->setChecked(true);
    directionRow->addWidget(UpButton);
    directionRow->addWidget(DownButton);

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    FindNextButton = button("FindNextButton", QStringLiteral("&Find Next"));
    FindNextButton->setDefault(true);
    ReplaceButton = button("ReplaceButton", QStringLiteral("&Replace"));
    ReplaceAllButton = button("ReplaceAllButton", QStringLiteral("Replace &All"));
    CancelButton = button("CancelButton", QStringLiteral("Cancel"));

    auto* options = new QVBoxLayout();
    options->addWidget(WholeWordBox);
    options->addWidget(MatchCaseBox);
    options->addStretch(1);
    auto* lower = new QHBoxLayout();
    lower->addLayout(options);
    lower->addWidget(direction);

    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(FindWhat, 0, 1);
    grid->addWidget(FindNextButton, 0, 2);
    grid->addWidget(replaceLabel, 1, 0);
    grid->addWidget(ReplaceWith, 1, 1);
    grid->addWidget(ReplaceButton, 1, 2);
    grid->addLayout(lower, 2, 0, 2, 2);
    grid->addWidget(ReplaceAllButton, 2, 2);
    grid->addWidget(CancelButton, 3, 2, Qt::AlignTop);

    connect(FindWhat, &QLineEdit::textChanged, this, [this] { FindTextChanged(); });
    connect(FindNextButton, &QPushButton::clicked, this, [this] { FindClick(); });
    connect(ReplaceButton, &QPushButton::clicked, this, [this] { ReplaceClick(); });
    connect(ReplaceAllButton, &QPushButton::clicked, this, [this] { ReplaceAllClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { reject(); });
    FindTextChanged();
}

void TSCReplaceDialog::FindTextChanged() {
    // As the platform's dialog: nothing to find, nothing to do.
    const bool any = !FindWhat->text().isEmpty();
    FindNextButton->setEnabled(any);
    ReplaceButton->setEnabled(any);
    ReplaceAllButton->setEnabled(any);
}

int TSCReplaceDialog::Flags() const {
    return (MatchCaseBox->isChecked() ? SciFindMatchCase : 0) |
           (WholeWordBox->isChecked() ? SciFindWholeWord : 0);
}

void TSCReplaceDialog::Execute() {
    if (FScintilla) {
        if (!FScintilla->GetSelectionEmpty())
            FindWhat->setText(QString::fromStdString(FScintilla->GetSelText()));
        FScintilla->SearchAnchor();
    }
    show();
    raise();
    activateWindow();
    FindWhat->setFocus();
    FindWhat->selectAll();
}

void TSCReplaceDialog::FindClick() {
    const std::string text = FindWhat->text().toStdString();
    if (!FScintilla || text.empty())
        return;
    TDScintilla& editor = *FScintilla;
    const int flags = Flags();
    const bool down = DownButton->isChecked();
    const bool hadSelection = !editor.GetSelectionEmpty();
    const int selectionStart = editor.GetSelectionStart();
    const int selectionEnd = editor.GetSelectionEnd();
    if (hadSelection) {
        editor.SetEmptySelection(down ? selectionEnd : selectionStart);
        editor.SearchAnchor();
    }
    const int found = down ? editor.SearchNext(flags, text) : editor.SearchPrev(flags, text);
    if (found < 0) {
        if (hadSelection)
            editor.SetSel(selectionStart, selectionEnd);
        Say(InformationBox, this, NoMatchFound);
        return;
    }
    editor.ScrollCaret();
}

void TSCReplaceDialog::ReplaceClick() {
    if (!FScintilla || FScintilla->GetSelectionEmpty())
        return;
    const QString selected = QString::fromStdString(FScintilla->GetSelText());
    const Qt::CaseSensitivity cs =
        MatchCaseBox->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (selected.compare(FindWhat->text(), cs) == 0)
        FScintilla->ReplaceSel(ReplaceWith->text().toStdString());
}

int TSCReplaceDialog::ReplaceAllClick() {
    const std::string text = FindWhat->text().toStdString();
    if (!FScintilla || text.empty())
        return 0;
    TDScintilla& editor = *FScintilla;
    const int flags = Flags();
    const std::string replacement = ReplaceWith->text().toStdString();
    int replaced = 0;
    editor.BeginUndoAction();
    editor.EditInOneGo([&] {
        replaced = ReplaceAllMatches(
            [&](int start) { return editor.FindText(flags, start, editor.GetLength(), text); },
            [&](TSciRange match) {
                editor.SetTargetStart(match.Start);
                editor.SetTargetEnd(match.End);
                return editor.ReplaceTarget(replacement);
            },
            [&] { return editor.GetLength(); }, [&](int pos) { return editor.PositionAfter(pos); });
        return replaced > 0;
    });
    editor.EndUndoAction();
    return replaced;
}

} // namespace cv
