// The script editor in the window, headless, on a fresh sandbox per test: loading and saving
// the scripts byte for byte, the save question before leaving, failures to read and write,
// the menu and the edit actions.
#include "shell/ControlPanelUI.h"
#include "shell/ErrorDisplay.h"
#include "shell/LumoEditorHost.h"

#include "core/Assert.h"
#include "platform/FileSystem.h"
#include "support/Loopback.h"
#include "support/Sandbox.h"

#include "WindowFixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <deque>
#include <filesystem>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace cv;
using cvtest::TSandbox;

namespace {

using cvtest::FreePort;

// Answers the modal boxes in turn with the given buttons and keeps their texts.
class TBoxAnswers {
public:
    explicit TBoxAnswers(std::deque<QMessageBox::StandardButton> answers)
        : FAnswers(std::move(answers)) {
        FTimer.setInterval(10);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || FAnswers.empty())
                return;
            Texts << box->text();
            const auto answer = FAnswers.front();
            FAnswers.pop_front();
            box->done(answer);
        });
        FTimer.start();
    }
    QStringList Texts;

private:
    std::deque<QMessageBox::StandardButton> FAnswers;
    QTimer FTimer;
};

std::string Bytes(const std::string& path) {
    return ReadFileBytes(path).value_or("<none>");
}

class EditorHostTest : public cvtest::TWindowFixture {
protected:
    TForm1& Open() {
        TWindowFixture::Open();
        Host = FForm->EditorHost();
        Editor = Host->DScintilla1;
        return *FForm;
    }
    // The start-up script, written with these bytes and opened from its link.
    void OpenScript(const std::string& bytes) {
        WriteFileAtomic(ScriptPath(), bytes);
        FForm->OverviewLabelLinkClick("EditKernelSetup");
        ASSERT_TRUE(Host->LumoEditorPanel->isVisible());
    }
    std::string ScriptPath() const {
        return FSandbox->Dir() + "/Corvane/sys/active/sys_/kernel_setup.lum";
    }
    // An edit that leaves the text as it was but the editor modified.
    void Touch() {
        Editor->InsertText(0, "X");
        Editor->DeleteRange(0, 1);
        ASSERT_TRUE(Editor->GetModify());
    }
    TLumoEditorHost* Host = nullptr;
    TDScintilla* Editor = nullptr;
};

TEST_F(EditorHostTest, LoadsEveryEncodingAndLineEndAndSavesAnsiWithCrLfByteForByte) {
    struct TCase {
        const char* Name;
        std::string File;
        std::string Shown; // UTF-8, CR LF
        std::string Saved; // after an edit that changes nothing
    } cases[] = {
        {"CR LF after the last line", "A = 1\r\nB = 2\r\n", "A = 1\r\nB = 2", "A = 1\r\nB = 2"},
        {"LF only", "A = 1\nB = 2\n", "A = 1\r\nB = 2", "A = 1\r\nB = 2"},
        {"lone CR", "A = 1\rB = 2", "A = 1\r\nB = 2", "A = 1\r\nB = 2"},
        {"two empty lines first", "\r\n\r\n#SET A = 1\r\n", "\r\n\r\n#SET A = 1",
         "\r\n\r\n#SET A = 1"},
        {"ANSI", "T = 25\xB0\x43 \x80\r\n", "T = 25\xC2\xB0\x43 \xE2\x82\xAC",
         "T = 25\xB0\x43 \x80"},
        {"UTF-8 mark", "\xEF\xBB\xBFT = 25\xC2\xB0\x43\r\n", "T = 25\xC2\xB0\x43",
         "T = 25\xB0\x43"},
        {"UTF-16 LE mark", std::string("\xFF\xFE\x41\0\n\0\xB0\0", 8), "A\r\n\xC2\xB0",
         "A\r\n\xB0"},
        {"UTF-16 BE mark", std::string("\xFE\xFF\0A\0\r\0\n\0\xB0", 10), "A\r\n\xC2\xB0",
         "A\r\n\xB0"},
    };
    auto& f = Open();
    for (const TCase& c : cases) {
        OpenScript(c.File);
        EXPECT_EQ(Editor->GetText(), c.Shown) << c.Name;
        EXPECT_FALSE(Editor->GetModify()) << c.Name;
        EXPECT_FALSE(Editor->CanUndo()) << c.Name << ": nothing to undo after opening";
        EXPECT_FALSE(Host->Save1->isEnabled()) << c.Name;
        Touch();
        EXPECT_TRUE(Host->Save1->isEnabled()) << c.Name;
        Host->Save1->trigger();
        EXPECT_EQ(Bytes(ScriptPath()), c.Saved) << c.Name;
        EXPECT_FALSE(Editor->GetModify()) << c.Name;
        EXPECT_FALSE(Host->Save1->isEnabled()) << c.Name;
        f.Back(); // nothing to ask
        EXPECT_FALSE(Host->LumoEditorPanel->isVisible()) << c.Name;
    }
    // A line end the user types is kept.
    OpenScript("A\r\n");
    Editor->InsertText(Editor->GetLength(), "\r\n");
    Host->Save1->trigger();
    EXPECT_EQ(Bytes(ScriptPath()), "A\r\n");
}

TEST_F(EditorHostTest, TheSaveQuestionGuardsBackExpandAndClose) {
    enum TWay { Back, Expand, Close };
    struct TCase {
        TWay Way;
        QMessageBox::StandardButton Answer;
    } cases[] = {
        {Back, QMessageBox::Yes},   {Back, QMessageBox::No},   {Back, QMessageBox::Cancel},
        {Expand, QMessageBox::Yes}, {Expand, QMessageBox::No}, {Expand, QMessageBox::Cancel},
        {Close, QMessageBox::Yes},  {Close, QMessageBox::No},  {Close, QMessageBox::Cancel}};
    for (const TCase& c : cases) {
        const std::string name = std::to_string(c.Way) + "/" + std::to_string(c.Answer);
        auto& f = Open();
        OpenScript("#SET A = 1\r\n");
        Editor->InsertText(0, ";");
        TBoxAnswers answers({c.Answer});
        switch (c.Way) {
        case Back:
            f.Back();
            break;
        case Expand:
            QTest::mouseClick(Find("ExpandPanel"), Qt::LeftButton);
            break;
        case Close:
            f.close();
            break;
        }
        EXPECT_EQ(answers.Texts, QStringList{"Do you want to save the modified file?"}) << name;
        const bool cancelled = c.Answer == QMessageBox::Cancel;
        EXPECT_EQ(Bytes(ScriptPath()),
                  c.Answer == QMessageBox::Yes ? ";#SET A = 1" : "#SET A = 1\r\n")
            << name;
        EXPECT_EQ(Editor->GetModify(), cancelled) << name;
        EXPECT_EQ(Editor->GetLength() == 0, !cancelled) << name << ": the next showing reloads";
        if (c.Way == Close)
            EXPECT_EQ(f.isVisible(), cancelled) << name;
        else if (c.Way == Expand)
            EXPECT_EQ(f.IsExpanded(), cancelled) << name << ": collapsed only after the question";
        else
            EXPECT_EQ(Host->LumoEditorPanel->isVisible(), cancelled) << name;
        FForm.reset();
    }
}

TEST_F(EditorHostTest, NoQuestionWithoutChangesAndTheNextShowingReloads) {
    auto& f = Open();
    OpenScript("#SET A = 1\r\n");
    TBoxAnswers answers({});
    f.Back();
    EXPECT_TRUE(answers.Texts.isEmpty());
    EXPECT_EQ(Editor->GetText(), "#SET A = 1") << "kept until the next showing";
    WriteFileAtomic(ScriptPath(), "#SET B = 2");
    f.OverviewLabelLinkClick("EditKernelSetup");
    EXPECT_EQ(Editor->GetText(), "#SET B = 2");
    EXPECT_FALSE(Editor->CanUndo());
}

TEST_F(EditorHostTest, CharactersTheCodePageLacksAreSavedOnlyWhenTheUserSaysSo) {
    auto& f = Open();
    OpenScript("#PRINT \"x\"\r\n");
    Editor->InsertText(8, "\xCE\xA9"); // a capital omega
    {
        TBoxAnswers answers({QMessageBox::No});
        Host->Save1->trigger();
        EXPECT_EQ(answers.Texts, QStringList{QString::fromUtf8(LossQuestionText)});
    }
    EXPECT_EQ(Bytes(ScriptPath()), "#PRINT \"x\"\r\n");
    EXPECT_TRUE(Editor->GetModify());
    EXPECT_TRUE(Host->Save1->isEnabled());
    {
        // Back, Yes to saving, No to losing the character: the editor stays as it is.
        TBoxAnswers answers({QMessageBox::Yes, QMessageBox::No});
        f.Back();
        EXPECT_EQ(answers.Texts.size(), 2);
    }
    EXPECT_TRUE(Host->LumoEditorPanel->isVisible());
    EXPECT_TRUE(Editor->GetModify());
    {
        TBoxAnswers answers({QMessageBox::Yes});
        Host->Save1->trigger();
    }
    EXPECT_EQ(Bytes(ScriptPath()), "#PRINT \"?x\"");
    EXPECT_FALSE(Editor->GetModify());
}

TEST_F(EditorHostTest, AFailedWriteShowsThePathAndReasonAndKeepsTheTextAndTheFile) {
    auto& f = Open();
    OpenScript("#SET A = 1\r\n");
    Editor->InsertText(0, "; a longer first line\r\n");
    QStringList shown;
    TVornixApplication::SetErrorSink([&](const QString& m) { shown << m; });
    // A file size limit makes the write fail, whoever runs the test.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 8;
    setrlimit(RLIMIT_FSIZE, &small);
    QTest::keyClick(Editor, Qt::Key_S, Qt::ControlModifier); // through the general error display
    TBoxAnswers answers({QMessageBox::Yes});
    EXPECT_THROW(f.Back(), Exception) << "a Yes that cannot save does not leave";
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    TVornixApplication::SetErrorSink({});

    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(QString::fromStdString(f.CurrentFile())))
        << shown[0].toStdString();
    EXPECT_TRUE(shown[0].contains(QStringLiteral("File too large"))) << shown[0].toStdString();
    EXPECT_EQ(Bytes(ScriptPath()), "#SET A = 1\r\n");
    EXPECT_TRUE(Editor->GetModify());
    EXPECT_TRUE(Host->Save1->isEnabled());
    EXPECT_TRUE(Host->LumoEditorPanel->isVisible());
    EXPECT_EQ(Editor->GetText(), "; a longer first line\r\n#SET A = 1");
    std::error_code ec;
    size_t files = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(FSandbox->Dir() + "/Corvane/sys/active/sys_", ec))
        files += entry.path().filename().string().rfind("kernel_setup.lum", 0) == 0;
    EXPECT_EQ(files, 1u) << "no temporary file is left beside it";
}

TEST_F(EditorHostTest, AFailedReadLeavesTheEditorEmptyAndTheWindowAsItWas) {
    auto& f = Open();
    OpenScript("#SET A = 1\r\n");
    f.Back();
    f.SetCurrentFile(FSandbox->Dir() + "/Corvane/sys"); // a folder: it opens, but cannot be read
    try {
        f.ShowLumoEditorPanel();
        ADD_FAILURE() << "read a folder";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find(FSandbox->Dir() + "/Corvane/sys"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("Is a directory"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Editor->GetLength(), 0);
    EXPECT_FALSE(Host->LumoEditorPanel->isVisible());
    EXPECT_TRUE(Find("AdditionalPanel")->isVisible());
    EXPECT_FALSE(Find<QMenuBar>("MainMenu1")->isVisible());
}

TEST_F(EditorHostTest, KeysReachTheFocusedControlCtrlZInTheSearchFieldStaysThere) {
    auto& f = Open();
    OpenScript("#SET A = 1\r\n");
    f.activateWindow();
    QTest::qWait(20);
    Editor->setFocus();
    QTest::keyClicks(Editor, "X");
    ASSERT_EQ(Editor->GetText(), "X#SET A = 1");
    QTest::keyClick(Editor, Qt::Key_F, Qt::ControlModifier);
    auto* field = Host->SciSearchFrame1->SearchField;
    ASSERT_TRUE(Host->SciSearchFrame1->isVisible());
    ASSERT_TRUE(field->hasFocus());
    QTest::keyClicks(field, "SET");
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(field->text(), "SET") << "undone in the search field";
    EXPECT_EQ(Editor->GetText(), "X#SET A = 1") << "not in the editor";
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(Host->SciSearchFrame1->isVisible());
    EXPECT_TRUE(Editor->hasFocus()) << "closing the bar gives the editor the keys again";
    QTest::keyClick(Editor, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Editor->GetText(), "#SET A = 1");
    QTest::keyClick(Editor, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(Editor->GetText(), ";#SET A = 1");
    QTest::keyClick(Editor, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Editor->GetText(), "#SET A = 1");
    Editor->InsertText(0, "Y");
    TBoxAnswers answers({QMessageBox::No});
    QTest::keyClick(Editor, Qt::Key_Backspace, Qt::AltModifier); // Back, after the question
    EXPECT_EQ(answers.Texts.size(), 1);
    EXPECT_FALSE(Host->LumoEditorPanel->isVisible());
}

TEST_F(EditorHostTest, TheMenuBarHasTheEditorsItemsAndShowsOnlyWithTheEditor) {
    auto& f = Open();
    auto* bar = Find<QMenuBar>("MainMenu1");
    EXPECT_FALSE(bar->isVisible());
    OpenScript("#SET A = 1\r\n");
    EXPECT_TRUE(bar->isVisible());
    // Each menu as "caption [shortcut]" with "-" for a separator.
    auto items = [](QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? QStringLiteral("-")
                                     : a->text() + QStringLiteral(" [") + a->shortcut().toString() +
                                           QStringLiteral("]"));
        return out;
    };
    const QList<QAction*> menus = bar->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), "&File");
    EXPECT_EQ(items(menus[0]->menu()), (QStringList{"&Save [Ctrl+S]", "&Back [Alt+Backspace]"}));
    EXPECT_EQ(menus[1]->text(), "&Edit");
    EXPECT_EQ(items(menus[1]->menu()),
              (QStringList{"Undo [Ctrl+Z]", "Redo [Ctrl+Shift+Z]", "-", "Cut [Ctrl+X]",
                           "Copy [Ctrl+C]", "Paste [Ctrl+V]", "Select All [Ctrl+A]", "-",
                           "Comment Line(s) [Ctrl+K]", "Uncomment Line(s) [Ctrl+Shift+K]"}));
    EXPECT_EQ(menus[2]->text(), "Find");
    EXPECT_EQ(items(menus[2]->menu()), (QStringList{"Find [Ctrl+F]", "Replace [Ctrl+R]", "-",
                                                    "Find Next [F3]", "Find Previous [Shift+F3]"}));
    EXPECT_EQ(Host->SCEditUndo1->toolTip(), "Undo action");
    EXPECT_EQ(Host->SCEditUndo1->statusTip(),
              "Reverses the previous edit in the selected component");
    EXPECT_EQ(Host->SCEditPaste1->property("Category").toString(),
              "Edit Actions (Scintilla-aware)");
    EXPECT_EQ(Host->SearchCloseAction->shortcut(), QKeySequence(Qt::Key_Escape));
    f.Back();
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(EditorHostTest, EditActionsFollowTheFocusedControl) {
    Open();
    OpenScript("#SET A = 1\r\n");
    Editor->setFocus();
    Host->UpdateActions(true);
    EXPECT_FALSE(Host->SCEditUndo1->isEnabled());
    EXPECT_FALSE(Host->SCEditCopy1->isEnabled());
    EXPECT_TRUE(Host->SCEditSelectAll1->isEnabled());
    Editor->InsertText(0, "X");
    Editor->SetSel(0, 1);
    Host->UpdateActions(false);
    EXPECT_TRUE(Host->SCEditUndo1->isEnabled());
    EXPECT_TRUE(Host->SCEditCut1->isEnabled());
    Host->SCEditCut1->trigger();
    EXPECT_EQ(Editor->GetText(), "#SET A = 1");
    Host->UpdateActions(false);
    EXPECT_TRUE(Host->SCEditUndo1->isEnabled());
    Host->SCEditUndo1->trigger();
    EXPECT_EQ(Editor->GetText(), "X#SET A = 1");

    Host->ActivateSearch->trigger();
    auto* field = Host->SciSearchFrame1->SearchField;
    ASSERT_TRUE(field->hasFocus());
    field->setText("abc");
    Editor->SetSel(0, 1);
    Host->UpdateActions(true);
    EXPECT_FALSE(Host->SCEditRedo1->isEnabled()) << "redo is the editor's only";
    EXPECT_TRUE(Host->SCEditSelectAll1->isEnabled());
    Host->SCEditSelectAll1->trigger();
    EXPECT_EQ(field->selectedText(), "abc");
    EXPECT_EQ(Editor->GetSelText(), "X") << "the editor's selection is untouched";

    Find("ControlPanel")->setFocus(); // neither a text box nor the editor
    Host->UpdateActions(true);
    EXPECT_FALSE(Host->SCEditSelectAll1->isEnabled());
}

} // namespace
