#pragma once
// The script editor in the main window: the editor panel's search bar and editor, the menu
// bar the window shows with it, the Scintilla-aware edit actions, loading and saving the
// script, and the question before unsaved changes are left.
//
// A file that cannot be read or written raises cv::Exception with its full path and the
// system's reason, which reaches the application's general error display.
#include "editor/ScintillaSearchPanel.h"

#include <QAction>
#include <QObject>

#include <functional>
#include <memory>
#include <string>

class QFrame;
class QLineEdit;
class QMenu;
class QMenuBar;

namespace cv {

class ISystemInfo;

// QuerySaveEditor's answers (the standard dialog results).
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;
inline constexpr int mrCancel = 2;

inline constexpr const char* SaveQuestionText = "Do you want to save the modified file?";
inline constexpr const char* LossQuestionText =
    "The file contains characters that cannot be saved in the system's code page; they will be "
    "replaced. Save anyway?";

// Base of the edit actions: an action applies to the control with the keyboard focus when that
// control is a text box (such as the search field) or the editor; with any other control
// focused it does not apply and is disabled.
class TSCEditAction : public QAction {
public:
    // Hint: the short hint, "|", the long hint.
    TSCEditAction(const QString& Name, const QString& Caption, const QKeySequence& ShortCut,
                  const QString& Hint, QObject* Parent);

    struct TTarget {
        TDScintilla* Editor = nullptr;
        QLineEdit* Box = nullptr;
    };
    static TTarget FocusedTarget();
    // Enabled exactly when it applies to the focused control and can act there.
    void UpdateState();

protected:
    virtual bool EnabledFor(TDScintilla& Editor) const = 0;
    virtual bool EnabledFor(QLineEdit& Box) const = 0;
    virtual void ExecuteFor(TDScintilla& Editor) const = 0;
    virtual void ExecuteFor(QLineEdit& Box) const = 0;

private:
    void ExecuteTarget();
};

class TSCEditUndo final : public TSCEditAction {
public:
    explicit TSCEditUndo(QObject* Parent);

protected:
    bool EnabledFor(TDScintilla& Editor) const override;
    bool EnabledFor(QLineEdit& Box) const override;
    void ExecuteFor(TDScintilla& Editor) const override;
    void ExecuteFor(QLineEdit& Box) const override;
};

class TSCEditRedo final : public TSCEditAction {
public:
    explicit TSCEditRedo(QObject* Parent);

protected:
    bool EnabledFor(TDScintilla& Editor) const override;
    bool EnabledFor(QLineEdit&) const override { return false; }
    void ExecuteFor(TDScintilla& Editor) const override;
    void ExecuteFor(QLineEdit&) const override {}
};

class TSCEditCut final : public TSCEditAction {
public:
    explicit TSCEditCut(QObject* Parent);

protected:
    bool EnabledFor(TDScintilla& Editor) const override;
    bool EnabledFor(QLineEdit& Box) const override;
    void ExecuteFor(TDScintilla& Editor) const override;
    void ExecuteFor(QLineEdit& Box) const override;
};

class TSCEditCopy final : public TSCEditAction {
public:
    explicit TSCEditCopy(QObject* Parent);

protected:
    bool EnabledFor(TDScintilla& Editor) const override;
    bool EnabledFor(QLineEdit& Box) const override;
    void ExecuteFor(TDScintilla& Editor) const override;
    void ExecuteFor(QLineEdit& Box) const override;
};

class TSCEditPaste final : public TSCEditAction {
public:
    explicit TSCEditPaste(QObject* Parent);
    // Whether the clipboard holds text, as last asked (asking can wait on another program).
    bool ClipboardHoldsText = false;

protected:
    bool EnabledFor(TDScintilla& Editor) const override;
    bool EnabledFor(QLineEdit& Box) const override;
    void ExecuteFor(TDScintilla& Editor) const override;
    void ExecuteFor(QLineEdit& Box) const override;
};

class TSCEditSelectAll final : public TSCEditAction {
public:
    explicit TSCEditSelectAll(QObject* Parent);

protected:
    bool EnabledFor(TDScintilla& Editor) const override;
    bool EnabledFor(QLineEdit& Box) const override;
    void ExecuteFor(TDScintilla& Editor) const override;
    void ExecuteFor(QLineEdit& Box) const override;
};

class TLumoEditorHost : public QObject {
    Q_OBJECT
public:
    // Builds the search bar and the editor into `Body` (the editor panel below its header).
    // `CurrentFile` is the window's FCurrentFile, read by load and save.
    TLumoEditorHost(QWidget* Window, QFrame* LumoEditorPanel, QWidget* Body,
                    const std::string& CurrentFile, std::shared_ptr<ISystemInfo> System);
    ~TLumoEditorHost() override;

    // Fills the editor's menu bar; "&Back" does `Back`.
    void BuildMenu(QMenuBar* MainMenu1, std::function<void()> Back);
    // The window's first showing: no modification events until a file is loaded; the replace
    // dialog is created.
    void FirstShow();

    // Loads FCurrentFile into the editor (raises when it cannot be read: the editor stays empty).
    void LoadCurrentFile();
    // Writes the text when it is modified. False when the user declined to save characters the
    // code page lacks (nothing written, the editor stays modified). Raises when the file cannot
    // be written (the editor stays modified, the old file intact).
    bool Save1Click();
    // mrYes (saved, or nothing to ask), mrNo or mrCancel. Cancel also when a Yes could not save.
    int QuerySaveEditor();
    bool CanLeaveEditor();

    void CommentLines1Click() { SciSearchFrame1->SetCommented(true); }
    void UncommentLines1Click() { SciSearchFrame1->SetCommented(false); }
    void Find1Click() { SciSearchFrame1->OpenSearch(); }
    void Replace1Click();
    void FindNext1Click() { SciSearchFrame1->SearchNext(); }
    void FindPrevious1Click() { SciSearchFrame1->SearchPrevious(); }
    void ActivateSearchExecute();
    void SearchCloseActionExecute() { SciSearchFrame1->CloseSearch(); }
    void DScintilla1Modified(const TSciModification& Modification);
    void DScintilla1SavePointReached();
    // Brings the edit actions' enabled states up to date; asks the clipboard again when told
    // (it changed, or the Edit menu opens) rather than at every caret move or focus change.
    void UpdateActions(bool AskClipboard);

    QFrame* LumoEditorPanel;
    TSciSearchFrame* SciSearchFrame1 = nullptr;
    TDScintilla* DScintilla1 = nullptr;
    TSCReplaceDialog* SciReplace = nullptr;

    QObject* LumocomActions = nullptr;
    TSCEditUndo* SCEditUndo1 = nullptr;
    TSCEditRedo* SCEditRedo1 = nullptr;
    TSCEditCut* SCEditCut1 = nullptr;
    TSCEditCopy* SCEditCopy1 = nullptr;
    TSCEditPaste* SCEditPaste1 = nullptr;
    TSCEditSelectAll* SCEditSelectAll1 = nullptr;
    QAction* ActivateSearch = nullptr;
    QAction* SearchCloseAction = nullptr;

    QAction* Save1 = nullptr;
    QAction* Back1 = nullptr;
    QAction* CommentLines1 = nullptr;
    QAction* UncommentLines1 = nullptr;
    QAction* Find1 = nullptr;
    QAction* Replace1 = nullptr;
    QAction* FindNext1 = nullptr;
    QAction* FindPrevious1 = nullptr;

private:
    void ShowInformation(const QString& Text);
    std::vector<TSCEditAction*> EditActions() const;

    QWidget* FWindow;
    const std::string& FCurrentFile;
};

} // namespace cv
