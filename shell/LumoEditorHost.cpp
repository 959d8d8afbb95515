#include "LumoEditorHost.h"

#include "MessageDialog.h"
#include "editor/ScriptFile.h"

#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QVBoxLayout>

namespace cv {

namespace {

bool AskClipboardForText() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

} // namespace

// ---------------------------------------------------------------- edit actions

TSCEditAction::TSCEditAction(const QString& Name, const QString& Caption,
                             const QKeySequence& ShortCut, const QString& Hint, QObject* Parent)
    : QAction(Caption, Parent) {
    setObjectName(Name);
    setShortcut(ShortCut);
    setProperty("Category", QStringLiteral("Edit Actions (Scintilla-aware)"));
    setProperty("Hint", Hint);
    const qsizetype bar = Hint.indexOf(QLatin1Char('|'));
    setToolTip(bar < 0 ? Hint : Hint.left(bar));
    setStatusTip(bar < 0 ? Hint : Hint.mid(bar + 1));
    setEnabled(false);
    connect(this, &QAction::triggered, this, [this] { ExecuteTarget(); });
}

TSCEditAction::TTarget TSCEditAction::FocusedTarget() {
    QWidget* focused = QApplication::focusWidget();
    if (auto* box = qobject_cast<QLineEdit*>(focused))
        return {nullptr, box};
    // The component's text area is the editor itself or its viewport.
    for (QWidget* w = focused; w && w != focused->window(); w = w->parentWidget())
        if (auto* editor = dynamic_cast<TDScintilla*>(w))
            return {editor, nullptr};
    return {};
}

void TSCEditAction::UpdateState() {
    const TTarget target = FocusedTarget();
    if (target.Editor)
        setEnabled(EnabledFor(*target.Editor));
    else if (target.Box)
        setEnabled(EnabledFor(*target.Box));
    else
        setEnabled(false);
}

void TSCEditAction::ExecuteTarget() {
    const TTarget target = FocusedTarget();
    if (target.Editor && EnabledFor(*target.Editor))
        ExecuteFor(*target.Editor);
    else if (target.Box && EnabledFor(*target.Box))
        ExecuteFor(*target.Box);
}

TSCEditUndo::TSCEditUndo(QObject* Parent)
    : TSCEditAction(
          QStringLiteral("SCEditUndo1"), QStringLiteral("Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z),
          QStringLiteral("Undo action|Reverses the previous edit in the selected component"),
          Parent) {}
bool TSCEditUndo::EnabledFor(TDScintilla& Editor) const {
    return Editor.CanUndo();
}
bool TSCEditUndo::EnabledFor(QLineEdit& Box) const {
    return Box.isUndoAvailable();
}
void TSCEditUndo::ExecuteFor(TDScintilla& Editor) const {
    Editor.Undo();
}
void TSCEditUndo::ExecuteFor(QLineEdit& Box) const {
    Box.undo();
}

TSCEditRedo::TSCEditRedo(QObject* Parent)
    : TSCEditAction(
          QStringLiteral("SCEditRedo1"), QStringLiteral("Redo"),
          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
          QStringLiteral(
              "Redo action|Repeats the previously undone action in the selected component"),
          Parent) {}
bool TSCEditRedo::EnabledFor(TDScintilla& Editor) const {
    return Editor.CanRedo();
}
void TSCEditRedo::ExecuteFor(TDScintilla& Editor) const {
    Editor.Redo();
}

TSCEditCut::TSCEditCut(QObject* Parent)
    : TSCEditAction(
          QStringLiteral("SCEditCut1"), QStringLiteral("Cut"), QKeySequence(Qt::CTRL | Qt::Key_X),
          QStringLiteral("Cut selected text|Cuts the selected text to the clipboard"), Parent) {}
// The editor accepts pasting when it is not read-only (the component's own test would also
// ask the clipboard, which has no bearing on cutting).
bool TSCEditCut::EnabledFor(TDScintilla& Editor) const {
    return !Editor.GetReadOnly() && !Editor.GetSelectionEmpty();
}
bool TSCEditCut::EnabledFor(QLineEdit& Box) const {
    return !Box.isReadOnly() && Box.hasSelectedText();
}
void TSCEditCut::ExecuteFor(TDScintilla& Editor) const {
    Editor.Cut();
}
void TSCEditCut::ExecuteFor(QLineEdit& Box) const {
    Box.cut();
}

TSCEditCopy::TSCEditCopy(QObject* Parent)
    : TSCEditAction(
          QStringLiteral("SCEditCopy1"), QStringLiteral("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C),
          QStringLiteral("Copy selected text|Copies the selected text to the clipboard"), Parent) {}
bool TSCEditCopy::EnabledFor(TDScintilla& Editor) const {
    return !Editor.GetSelectionEmpty();
}
bool TSCEditCopy::EnabledFor(QLineEdit& Box) const {
    return Box.hasSelectedText();
}
void TSCEditCopy::ExecuteFor(TDScintilla& Editor) const {
    Editor.Copy();
}
void TSCEditCopy::ExecuteFor(QLineEdit& Box) const {
    Box.copy();
}

TSCEditPaste::TSCEditPaste(QObject* Parent)
    : TSCEditAction(
          QStringLiteral("SCEditPaste1"), QStringLiteral("Paste"),
          QKeySequence(Qt::CTRL | Qt::Key_V),
          QStringLiteral(
              "Paste text|Pastes the contents of the clipboard into the selected component"),
          Parent) {}
bool TSCEditPaste::EnabledFor(TDScintilla& Editor) const {
    return !Editor.GetReadOnly() && ClipboardHoldsText;
}
bool TSCEditPaste::EnabledFor(QLineEdit& Box) const {
    return !Box.isReadOnly() && ClipboardHoldsText;
}
void TSCEditPaste::ExecuteFor(TDScintilla& Editor) const {
    Editor.Paste();
}
void TSCEditPaste::ExecuteFor(QLineEdit& Box) const {
    Box.paste();
}

TSCEditSelectAll::TSCEditSelectAll(QObject* Parent)
    : TSCEditAction(QStringLiteral("SCEditSelectAll1"), QStringLiteral("Select All"),
                    QKeySequence(Qt::CTRL | Qt::Key_A),
                    QStringLiteral("Select All|Selects all text in the current component"),
                    Parent) {}
bool TSCEditSelectAll::EnabledFor(TDScintilla& Editor) const {
    return Editor.GetLength() > 0;
}
bool TSCEditSelectAll::EnabledFor(QLineEdit& Box) const {
    return !Box.text().isEmpty();
}
void TSCEditSelectAll::ExecuteFor(TDScintilla& Editor) const {
    Editor.SelectAll();
}
void TSCEditSelectAll::ExecuteFor(QLineEdit& Box) const {
    Box.selectAll();
}

// ---------------------------------------------------------------- the host

TLumoEditorHost::TLumoEditorHost(QWidget* Window, QFrame* Panel, QWidget* Body,
                                 const std::string& CurrentFile,
                                 std::shared_ptr<ISystemInfo> System)
    : QObject(Window), LumoEditorPanel(Panel), FWindow(Window), FCurrentFile(CurrentFile) {
    setObjectName(QStringLiteral("LumoEditorHost"));
    LumoEditorPanel->setAutoFillBackground(true);
    QPalette palette = LumoEditorPanel->palette();
    palette.setColor(QPalette::Window, Qt::white);
    LumoEditorPanel->setPalette(palette);

    auto* layout = qobject_cast<QVBoxLayout*>(Body->layout());
    if (!layout)
        layout = new QVBoxLayout(Body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    SciSearchFrame1 = new TSciSearchFrame(Body, std::move(System));
    SciSearchFrame1->setObjectName(QStringLiteral("SciSearchFrame1"));
    DScintilla1 = new TDScintilla(Body);
    DScintilla1->setObjectName(QStringLiteral("DScintilla1"));
    layout->addWidget(SciSearchFrame1);
    layout->addWidget(DScintilla1, 1);
    // Showing the panel gives the editor the keyboard focus.
    LumoEditorPanel->setFocusProxy(DScintilla1);

    SciSearchFrame1->ScintillaInstance(DScintilla1);
    SciSearchFrame1->SetInformationBox([this](const QString& text) { ShowInformation(text); });
    SciSearchFrame1->OnSearchClose = [this] {
        if (LumoEditorPanel->isVisible())
            DScintilla1->setFocus();
    };
    SciSearchFrame1->OnCaretMove = [this](TDScintilla&, int, int) { UpdateActions(false); };
    DScintilla1->OnModified = [this](const TSciModification& m) { DScintilla1Modified(m); };
    DScintilla1->OnSavePointReached = [this] { DScintilla1SavePointReached(); };

    LumocomActions = new QObject(this);
    LumocomActions->setObjectName(QStringLiteral("LumocomActions"));
    SCEditUndo1 = new TSCEditUndo(LumocomActions);
    SCEditRedo1 = new TSCEditRedo(LumocomActions);
    SCEditCut1 = new TSCEditCut(LumocomActions);
    SCEditCopy1 = new TSCEditCopy(LumocomActions);
    SCEditPaste1 = new TSCEditPaste(LumocomActions);
    SCEditSelectAll1 = new TSCEditSelectAll(LumocomActions);

    // The Find menu item carries Ctrl+F; the same key on this action would make it ambiguous
    // (and both do the same), so the action is executed through its handler only.
    ActivateSearch = new QAction(QStringLiteral("Search"), LumocomActions);
    ActivateSearch->setObjectName(QStringLiteral("ActivateSearch"));
    ActivateSearch->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    ActivateSearch->setToolTip(QStringLiteral("Search"));
    ActivateSearch->setStatusTip(QStringLiteral("Search within the current LUMO program"));
    connect(ActivateSearch, &QAction::triggered, this, [this] { ActivateSearchExecute(); });

    SearchCloseAction = new QAction(LumocomActions);
    SearchCloseAction->setObjectName(QStringLiteral("SearchCloseAction"));
    SearchCloseAction->setShortcut(QKeySequence(Qt::Key_Escape));
    SearchCloseAction->setToolTip(QStringLiteral("Close search panel"));
    SearchCloseAction->setStatusTip(QStringLiteral("Closes the search panel"));
    SearchCloseAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    LumoEditorPanel->addAction(SearchCloseAction); // Esc anywhere in the editor panel
    connect(SearchCloseAction, &QAction::triggered, this, [this] { SearchCloseActionExecute(); });

    connect(qApp, &QApplication::focusChanged, this, [this] { UpdateActions(false); });
    connect(SciSearchFrame1->SearchField, &QLineEdit::textChanged, this,
            [this] { UpdateActions(false); });
    connect(SciSearchFrame1->SearchField, &QLineEdit::selectionChanged, this,
            [this] { UpdateActions(false); });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            [this] { UpdateActions(true); });
}

TLumoEditorHost::~TLumoEditorHost() {
    DScintilla1->OnModified = nullptr;
    DScintilla1->OnSavePointReached = nullptr;
}

std::vector<TSCEditAction*> TLumoEditorHost::EditActions() const {
    return {SCEditUndo1, SCEditRedo1, SCEditCut1, SCEditCopy1, SCEditPaste1, SCEditSelectAll1};
}

void TLumoEditorHost::UpdateActions(bool AskClipboard) {
    if (AskClipboard)
        SCEditPaste1->ClipboardHoldsText = AskClipboardForText();
    for (TSCEditAction* action : EditActions())
        action->UpdateState();
}

void TLumoEditorHost::BuildMenu(QMenuBar* MainMenu1, std::function<void()> Back) {
    auto item = [this](QMenu* menu, const char* name, const QString& caption,
                       const QKeySequence& key, std::function<void()> handler) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
        return action;
    };

    QMenu* file = MainMenu1->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    Save1 = item(file, "Save1", QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S),
                 [this] { Save1Click(); });
    Save1->setEnabled(false);
    Back1 = item(file, "Back1", QStringLiteral("&Back"), QKeySequence(Qt::ALT | Qt::Key_Backspace),
                 std::move(Back));
    // The window's own Alt+Backspace does Back for every full-size panel; the item shows the key.
    Back1->setShortcutContext(Qt::WidgetWithChildrenShortcut);

    QMenu* edit = MainMenu1->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("Edit1"));
    edit->addAction(SCEditUndo1);
    edit->addAction(SCEditRedo1);
    edit->addSeparator();
    edit->addAction(SCEditCut1);
    edit->addAction(SCEditCopy1);
    edit->addAction(SCEditPaste1);
    edit->addAction(SCEditSelectAll1);
    edit->addSeparator();
    CommentLines1 = item(edit, "CommentLines1", QStringLiteral("Comment Line(s)"),
                         QKeySequence(Qt::CTRL | Qt::Key_K), [this] { CommentLines1Click(); });
    UncommentLines1 =
        item(edit, "UncommentLines1", QStringLiteral("Uncomment Line(s)"),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K), [this] { UncommentLines1Click(); });
    connect(edit, &QMenu::aboutToShow, this, [this] { UpdateActions(true); });

    QMenu* find = MainMenu1->addMenu(QStringLiteral("Find"));
    find->setObjectName(QStringLiteral("Find2"));
    Find1 = item(find, "Find1", QStringLiteral("Find"), QKeySequence(Qt::CTRL | Qt::Key_F),
                 [this] { Find1Click(); });
    Replace1 = item(find, "Replace1", QStringLiteral("Replace"), QKeySequence(Qt::CTRL | Qt::Key_R),
                    [this] { Replace1Click(); });
    find->addSeparator();
    FindNext1 = item(find, "FindNext1", QStringLiteral("Find Next"), QKeySequence(Qt::Key_F3),
                     [this] { FindNext1Click(); });
    FindPrevious1 = item(find, "FindPrevious1", QStringLiteral("Find Previous"),
                         QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { FindPrevious1Click(); });
}

void TLumoEditorHost::FirstShow() {
    // No modification event before the first file is loaded.
    DScintilla1->SetModEventMask(0);
    if (!SciReplace) {
        SciReplace = new TSCReplaceDialog(FWindow, DScintilla1);
        SciReplace->FFProvider = &SciSearchFrame1->FindProvider();
        SciReplace->InformationBox = [this](const QString& text) { ShowInformation(text); };
    }
}

void TLumoEditorHost::ShowInformation(const QString& Text) {
    CenteredMessageDialog(FWindow, Text, TMsgDlgType::mtInformation, QMessageBox::Ok);
}

void TLumoEditorHost::LoadCurrentFile() {
    TDScintilla& editor = *DScintilla1;
    if (editor.GetLength() > 0) {
        editor.ClearAll();
        if (editor.GetLength() > 0)
            return;
    }
    const TScriptText script = DecodeScript(ReadScriptFile(FCurrentFile));
    editor.SetText(script.Text);
    editor.GotoPos(0);
    editor.SetSavePoint();
    editor.EmptyUndoBuffer();
    editor.SetModEventMask(SciModEventMaskInsertDelete);
}

bool TLumoEditorHost::Save1Click() {
    TDScintilla& editor = *DScintilla1;
    if (!editor.GetModify())
        return true;
    const TEncodedScript encoded = EncodeScript(editor.GetText());
    // The code page's default character would take the place of what the administrator wrote.
    if (!encoded.Lossless &&
        CenteredMessageDialog(FWindow, QString::fromUtf8(LossQuestionText), TMsgDlgType::mtWarning,
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    WriteScriptFile(FCurrentFile, encoded.Bytes);
    editor.SetSavePoint();
    editor.EmptyUndoBuffer();
    return true;
}

int TLumoEditorHost::QuerySaveEditor() {
    TDScintilla& editor = *DScintilla1;
    if (LumoEditorPanel->isHidden() || !editor.GetModify())
        return mrYes;
    const auto answer =
        CenteredMessageDialog(FWindow, QString::fromUtf8(SaveQuestionText), TMsgDlgType::mtWarning,
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer != QMessageBox::Yes && answer != QMessageBox::No)
        return mrCancel;
    // A save that was declined or failed (the error shows) keeps the text and the panel.
    if (answer == QMessageBox::Yes && !Save1Click())
        return mrCancel;
    editor.ClearAll();
    editor.SetSavePoint();
    editor.EmptyUndoBuffer();
    return answer == QMessageBox::Yes ? mrYes : mrNo;
}

bool TLumoEditorHost::CanLeaveEditor() {
    const int answer = QuerySaveEditor();
    return answer == mrYes || answer == mrNo;
}

void TLumoEditorHost::Replace1Click() {
    if (!SciReplace)
        FirstShow();
    SciReplace->Execute();
}

void TLumoEditorHost::ActivateSearchExecute() {
    SciSearchFrame1->show();
    SciSearchFrame1->OpenSearch();
}

void TLumoEditorHost::DScintilla1Modified(const TSciModification&) {
    if (Save1)
        Save1->setEnabled(DScintilla1->GetModify());
    UpdateActions(false);
}

void TLumoEditorHost::DScintilla1SavePointReached() {
    if (Save1)
        Save1->setEnabled(false);
}

} // namespace cv
