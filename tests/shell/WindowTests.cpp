// The main window, headless, on a fresh sandbox and settings folder per test.
#include "shell/ControlPanelUI.h"
#include "shell/Controller.h"
#include "shell/ErrorDisplay.h"
#include "shell/Images.h"
#include "shell/StatusTree.h"
#include "shell/TaskbarOverlay.h"
#include "service/CvProcessList.h"

#include "platform/FileSystem.h"
#include "support/Loopback.h"
#include "support/Sandbox.h"

#include "WindowFixture.h"

#include <QApplication>
#include <QCommandLinkButton>
#include <QLabel>
#include <QMessageBox>
#include <QComboBox>
#include <QCheckBox>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace cv;
using cvtest::TSandbox;

namespace {

using cvtest::FreePort;

class WindowTest : public cvtest::TWindowFixture {
protected:
    void SetUp() override {
        TWindowFixture::SetUp();
        // The first show makes the web server's default certificate; a service started later
        // must not serve on the machine's ports 443 and 80.
        std::ofstream(FSandbox->Dir() + "/sim/web-off");
    }

    void Close() { FForm.reset(); }
    void ClickStrip() { QTest::mouseClick(Find("ExpandPanel"), Qt::LeftButton); }
};

// Answers the next modal box with `button` and keeps its text.
class TBoxAnswerer {
public:
    explicit TBoxAnswerer(QMessageBox::StandardButton button) {
        FTimer.setInterval(20);
        QObject::connect(&FTimer, &QTimer::timeout, [this, button] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                Texts << box->text();
                box->done(button);
            }
        });
        FTimer.start();
    }
    QStringList Texts;

private:
    QTimer FTimer;
};

std::vector<std::vector<std::string>> Launches(const std::string& sandbox) {
    std::vector<std::vector<std::string>> out;
    std::ifstream in(sandbox + "/sim/launches.log");
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t i = 0; i <= line.size(); ++i)
            if (i == line.size() || line[i] == '\t') {
                fields.push_back(line.substr(start, i - start));
                start = i + 1;
            }
        out.push_back(fields);
    }
    return out;
}

} // namespace

TEST_F(WindowTest, FirstStartIsCollapsedAndTheStripExpandsTo750WithSystemOpen) {
    auto& f = Open();
    EXPECT_FALSE(f.IsExpanded());
    EXPECT_EQ(f.width(), 239) << "the left column and the strip";
    EXPECT_FALSE(Find("AdditionalPanel")->isVisible());
    ClickStrip();
    EXPECT_TRUE(f.IsExpanded());
    EXPECT_EQ(f.width(), 750);
    EXPECT_TRUE(Find("AdditionalPanel")->isVisible());
    EXPECT_TRUE(Find("SystemInfoPanel")->isVisible());
    EXPECT_FALSE(Find("HTTPConfigInfoPanel")->isVisible());
    EXPECT_EQ(Find<QCommandLinkButton>("SystemBtn")->property("Tag").toInt(), 1);
    ClickStrip();
    EXPECT_FALSE(f.IsExpanded());
    EXPECT_EQ(f.width(), 239);
    EXPECT_EQ(f.EnlargedWidth(), 750);
}

TEST_F(WindowTest, AStoredWindowLargerThanTheScreenIsFittedAndSavedFitted) {
    std::filesystem::create_directories(std::filesystem::path(SettingsFile()).parent_path());
    std::ofstream(SettingsFile()) << "<VornixControlPanel Left=\"0\" Top=\"0\" Width=\"2147483647\" "
                                     "Height=\"2147483647\" Extended=\"true\"/>";
    auto& f = Open();
    const QRect screen = f.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(f.frameGeometry()))
        << f.frameGeometry().width() << "x" << f.frameGeometry().height();
    EXPECT_EQ(f.frameGeometry().width(), screen.width());
    Close();
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(SettingsFile().c_str()));
    EXPECT_LE(doc.document_element().attribute("Width").as_llong(), screen.width());
    EXPECT_LE(doc.document_element().attribute("Height").as_llong(), screen.height());
}

TEST_F(WindowTest, ClosingExpandedAndReopeningKeepsTheOuterWidth) {
    auto& f = Open();
    ClickStrip();
    f.resize(1010, 700);
    ASSERT_TRUE(WaitFor([&] { return f.width() == 1010; }));
    const int outer = f.frameGeometry().width();
    Close();
    auto& again = Open();
    EXPECT_TRUE(again.IsExpanded());
    EXPECT_EQ(again.frameGeometry().width(), outer);
    EXPECT_TRUE(Find("SystemInfoPanel")->isVisible());
}

TEST_F(WindowTest, ClosingMaximisedKeepsTheNormalRectangle) {
    {
        std::filesystem::create_directories(std::filesystem::path(SettingsFile()).parent_path());
        std::ofstream(SettingsFile()) << "<VornixControlPanel Left=\"11\" Top=\"22\" Width=\"800\" "
                                         "Height=\"600\" Extended=\"true\"/>";
    }
    auto& f = Open();
    f.showMaximized();
    EXPECT_TRUE(WaitFor([&] { return f.WasMaximized(); }));
    Close();
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(SettingsFile().c_str()));
    auto root = doc.document_element();
    EXPECT_STREQ(root.attribute("Maximized").value(), "true");
    EXPECT_EQ(root.attribute("Left").as_int(), 11);
    EXPECT_EQ(root.attribute("Top").as_int(), 22);
    EXPECT_EQ(root.attribute("Width").as_int(), 800);
    EXPECT_EQ(root.attribute("Height").as_int(), 600);
}

TEST_F(WindowTest, MessageBarSplitsTextAndShowsHelpFrom12000) {
    auto& f = Open();
    auto* bar = Find("MessagePanel");
    f.ShowMessage(1, "not shown", 0);
    EXPECT_FALSE(bar->isVisible()) << "a kind-1 message without an event number";
    f.ShowMessage(2, "first\r\nsecond", 12001);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(Find<QLabel>("MessageLabel")->text(), "first");
    EXPECT_EQ(Find<QLabel>("MessageHelpContext")->text(), "\r\nsecond");
    EXPECT_TRUE(Find("MessageHelpContext")->isVisible());
    EXPECT_TRUE(Find("MessageLabelHelp")->isVisible());
    EXPECT_EQ(bar->property("Tag").toInt(), 2);
    f.ShowMessage(4, "plain", 0);
    EXPECT_FALSE(Find("MessageLabelHelp")->isVisible());
    QTest::mouseClick(Find("CloseMessageButton"), Qt::LeftButton);
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(WindowTest, PostedLogEntriesShowLevelsOneToFourOnly) {
    auto& f = Open();
    auto* bar = Find("MessagePanel");
    QCoreApplication::postEvent(&f, new TLogEntryEvent(7, std::make_unique<TLogEntry>(TLogEntry{"dropped", 5})));
    QCoreApplication::postEvent(&f, new TLogEntryEvent(7, std::make_unique<TLogEntry>(TLogEntry{"dropped", 0})));
    QTest::qWait(20);
    EXPECT_FALSE(bar->isVisible());
    QCoreApplication::postEvent(&f, new TLogEntryEvent(7, std::make_unique<TLogEntry>(TLogEntry{"Disk almost full", 2})));
    EXPECT_TRUE(WaitFor([&] { return bar->isVisible(); }));
    EXPECT_EQ(Find<QLabel>("MessageLabel")->text(), "Disk almost full");
}

TEST_F(WindowTest, BackFromTheProcessPanelReturnsToTheSections) {
    auto& f = Open();
    f.ShowPanel(Find("ProcessPanel"));
    EXPECT_TRUE(f.IsExpanded());
    EXPECT_TRUE(Find("ProcessPanel")->isVisible());
    EXPECT_FALSE(Find("AdditionalPanel")->isVisible());
    QTest::mouseClick(Find("BackLabel"), Qt::LeftButton);
    EXPECT_TRUE(Find("AdditionalPanel")->isVisible());
    EXPECT_FALSE(Find("ProcessPanel")->isVisible());
    f.ShowPanel(Find("ProcessPanel"));
    QTest::keyClick(&f, Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_TRUE(Find("AdditionalPanel")->isVisible());
}

TEST_F(WindowTest, OpenSectionLeavesExactlyThatSectionOpen) {
    auto& f = Open();
    ClickStrip();
    f.OpenSection(Find<QCommandLinkButton>("ConfigurationBtn"));
    EXPECT_FALSE(Find("SystemInfoPanel")->isVisible());
    EXPECT_TRUE(Find("ConfigInfoPanel")->isVisible());
    QTest::mouseClick(Find("BackupBtn"), Qt::LeftButton);
    f.OpenSection(Find<QCommandLinkButton>("HTTPConfigButton"));
    EXPECT_TRUE(Find("HTTPConfigInfoPanel")->isVisible());
    EXPECT_FALSE(Find("ConfigInfoPanel")->isVisible());
    EXPECT_TRUE(Find("BackupInfoPanel")->isVisible()) << "not one of the switched sections";
}

TEST_F(WindowTest, TreeOrderHintsAndColdWhenTheServiceIsDown) {
    auto& f = Open();
    TApplicationStates s;
    s.SetAN(12, "WEB");
    s.SetAN(3, "MAIN");
    s.SetAS(3, as_Hot);
    s.SetSP(3, sp_Hot_Send);
    s.SetAN(7, "ALARMS");
    s.SetAS(7, as_Warm);
    f.AplStatesUpdate(&s);
    auto* tree = Find<TApplicationsTree>("TreeView1");
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "3: MAIN");
    EXPECT_EQ(tree->topLevelItem(1)->text(0), "7: ALARMS");
    EXPECT_EQ(tree->topLevelItem(2)->text(0), "12: WEB");
    const QPoint first = tree->visualItemRect(tree->topLevelItem(0)).center();
    EXPECT_EQ(tree->HintAt(first), "Hot Shadowing phase: HOT_SEND");
    f.AplStatesUpdate(nullptr);
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tree->HintAt(tree->visualItemRect(tree->topLevelItem(i)).center()), "Cold");
        EXPECT_EQ(tree->topLevelItem(i)->data(0, TApplicationsTree::SelectedImageRole).toInt(), 6);
    }
    EXPECT_EQ(tree->topLevelItem(1)->text(0), "7: ALARMS") << "texts are kept";
    TApplicationStates one;
    one.SetAN(5, "X");
    f.AplStatesUpdate(&one);
    EXPECT_EQ(tree->topLevelItemCount(), 1);
}

TEST_F(WindowTest, SystemInformationKeepsLabelsForEmptyValues) {
    auto& f = Open();
    TSysInfo info;
    info.Package = "  ";
    info.SystemID = "SYS-42";
    f.SysInfoUpdate(info);
    EXPECT_EQ(Find<QLabel>("PackageLabel")->text(), "-");
    EXPECT_EQ(Find<QLabel>("SystemIdLabel")->text(), "SYS-42");
}

TEST_F(WindowTest, AnEscapingExceptionIsShownAndTheWindowGoesOn) {
    QStringList shown;
    TVornixApplication::SetErrorSink([&](const QString& m) { shown << m; });
    auto& f = Open();
    QTimer::singleShot(0, &f, [] { throw Exception("Cannot write file \"x\"."); });
    WaitFor([&] { return !shown.isEmpty(); });
    TVornixApplication::SetErrorSink({});
    EXPECT_EQ(shown, QStringList{"Cannot write file \"x\"."});
    EXPECT_TRUE(f.isVisible());
}

TEST_F(WindowTest, WithoutAdministratorRightsTheCheckSaysSo) {
    setenv("VORNIX_SANDBOX_RIGHTS", "user", 1);
    TForm1 f(CreatePlatform(), FOptions);
    QString text;
    QTimer::singleShot(100, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            box->accept();
        }
    });
    EXPECT_FALSE(f.CanRunAsAdmin());
    unsetenv("VORNIX_SANDBOX_RIGHTS");
    EXPECT_EQ(text, "Vornix Control Panel requires Administrator privileges to run.");
}

TEST_F(WindowTest, TheControllerOnTheSimulatedLogServiceFillsTheTree) {
    // The system runs, and the simulated log service follows it.
    ASSERT_EQ(TSandbox::Run({TSandbox::SimPath(), "init", FSandbox->Dir()}), 0);
    std::string port = std::to_string(FOptions.LogServicePort);
    std::vector<std::string> args = {TSandbox::SimPath(), "logservice", "--port", port,
                                     "--sandbox", FSandbox->Dir()};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t log = 0;
    ASSERT_EQ(posix_spawn(&log, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    auto& f = Open();
    ASSERT_TRUE(WaitFor([&] { return f.Service() && f.Service()->Status() == 1; }));
    f.Service()->Start();
    auto* tree = Find<QTreeWidget>("TreeView1");
    EXPECT_TRUE(WaitFor([&] { return tree->topLevelItemCount() > 0; }, 15000));
    EXPECT_TRUE(WaitFor([&] { return Find<QLabel>("PackageLabel")->text() != "-"; }, 15000));
    Close();
    kill(log, SIGTERM);
    waitpid(log, nullptr, 0);
}

TEST_F(WindowTest, ConfigurationLinksStartTheirToolsWithParametersAndFolders) {
    const std::string dir = FSandbox->Dir();
    setenv("PATH", (dir + "/bin:" + std::string(getenv("PATH"))).c_str(), 1);
    auto& f = Open();
    const std::string cv = f.GetCvFolder();
    ASSERT_EQ(cv, dir + "/Corvane/");
    struct {
        const char* key;
        std::string program, folder, args;
    } cases[] = {
        {"ChangePw", cv + "prog/exec/pwchange.exe", cv + "prog/exec", "-c"},
        {"SysConf", cv + "prog/exec/cfgwizard.exe", cv + "prog/exec", ""},
        {"Support", cv + "prog/exec/sysreport.exe", cv + "prog/exec", ""},
        {"Applications", dir + "/bin/appsetup.exe", "", ""},
        {"CyberSecurity", dir + "/Warden/Vekta.Warden/Vekta.Warden.exe",
         dir + "/Warden/Vekta.Warden", ""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.key);
        const size_t before = Launches(dir).size();
        f.OverviewLabelLinkClick(QString::fromLatin1(c.key));
        ASSERT_TRUE(WaitFor([&] { return Launches(dir).size() > before; }, 5000));
        auto l = Launches(dir).back();
        ASSERT_GE(l.size(), 2u);
        EXPECT_EQ(l[0], c.program);
        if (!c.folder.empty()) {
            EXPECT_EQ(std::filesystem::path(l[1]), std::filesystem::path(c.folder));
        }
        EXPECT_EQ(l.size() > 2 ? l[2] : "", c.args);
    }
    const size_t before = Launches(dir).size();
    f.OverviewLabelLinkClick("changepw");
    QTest::qWait(300);
    EXPECT_EQ(Launches(dir).size(), before) << "keys are compared with their letter case";
}

TEST_F(WindowTest, ScriptLinksOpenTheEditorOrNameTheMissingFile) {
    auto& f = Open();
    f.OverviewLabelLinkClick("EditStopSequence");
    EXPECT_TRUE(Find("LumoEditorPanel")->isVisible());
    EXPECT_EQ(f.CurrentFile(), f.GetCvFolder() + "prog\\exec\\stop_sequence.lum");
    f.Back();
    std::filesystem::remove(FSandbox->Dir() + "/Corvane/sys/active/sys_/kernel_setup.lum");
    TBoxAnswerer answer(QMessageBox::Ok);
    f.OverviewLabelLinkClick("EditKernelSetup");
    ASSERT_EQ(answer.Texts.size(), 1);
    EXPECT_EQ(answer.Texts[0].toStdString(), "The file " + f.GetCvFolder() +
                                                 "sys\\active\\sys_\\kernel_setup.lum does not exist.");
    EXPECT_FALSE(Find("LumoEditorPanel")->isVisible());
}

TEST_F(WindowTest, PoolSizesEditTheParameterFileAndWarnOnlyWhileRunning) {
    auto& f = Open();
    auto* global = Find<QComboBox>("MemoryPoolSize");
    auto* priv = Find<QComboBox>("PrivatePoolSize");
    EXPECT_EQ(global->currentText(), "512");
    EXPECT_EQ(priv->currentText(), "256");
    const std::string par = FSandbox->Dir() + "/Corvane/sys/active/sys_/kernel_params.par";
    global->setEditText("768");
    EXPECT_NE(ReadFileBytes(par).value_or("").find("MEMORY_POOL_SIZE = 768 ; set by installer\r\n"),
              std::string::npos);
    EXPECT_FALSE(!Find("SizeWarning")->isHidden()) << "the service is stopped";
    global->setEditText("2561");
    EXPECT_TRUE(!Find("SizeWarning")->isHidden());
    EXPECT_EQ(Find<QLabel>("SizeWarningLabel")->text(), "Value out of range");
    EXPECT_NE(ReadFileBytes(par).value_or("").find("MEMORY_POOL_SIZE = 768 "), std::string::npos)
        << "a rejected value is not written";
    global->setEditText(" 384 ");
    EXPECT_FALSE(!Find("SizeWarning")->isHidden());

    // Running: a change needs a restart; changing back does not.
    ASSERT_TRUE(WaitFor([&] { return f.Service() && f.Service()->Status() == 1; }));
    f.StartServiceBtnClick();
    ASSERT_TRUE(WaitFor([&] { return f.Service()->ServiceRunning(); }));
    priv->setEditText("512");
    EXPECT_TRUE(!Find("SizeWarning")->isHidden());
    EXPECT_EQ(Find<QLabel>("SizeWarningLabel")->text(), "Requires Vornix restart");
    priv->setEditText("256");
    EXPECT_FALSE(!Find("SizeWarning")->isHidden()) << "back to the values the service started with";
    priv->setEditText("128");
    EXPECT_TRUE(!Find("SizeWarning")->isHidden());
    f.Service()->Stop();
    EXPECT_TRUE(WaitFor([&] { return !!Find("SizeWarning")->isHidden(); }))
        << "stopping the service takes the restart warning away";
}

TEST_F(WindowTest, BackupFieldsEnableTheStartLinkAndTheLinksRunTheConsole) {
    auto& f = Open();
    auto* source = Find<QLineEdit>("BackupSourceEdit");
    auto* target = Find<QLineEdit>("BackupTargetEdit");
    EXPECT_EQ(source->text(), "C:;D:");
    EXPECT_EQ(target->text(), "E:");
    EXPECT_TRUE(Find("StartBackup")->isEnabled());
    source->clear();
    EXPECT_FALSE(Find("StartBackup")->isEnabled());
    EXPECT_FALSE(Find("BackupWarningPanel")->isHidden());
    source->setText("C:");
    EXPECT_TRUE(Find("StartBackup")->isEnabled());
    EXPECT_TRUE(Find("BackupWarningPanel")->isHidden());
    EXPECT_NE(source->toolTip().indexOf("volume mount points"), -1);

    const std::string dir = FSandbox->Dir();
    f.OverviewLabelLinkClick("StartBackup");
    ASSERT_TRUE(WaitFor([&] { return !Launches(dir).empty(); }, 5000));
    auto l = Launches(dir).back();
    EXPECT_EQ(l[0], dir + "/Windows/Sysnative/cmd.exe") << "the sandbox runs as WOW64";
    std::string args;
    for (size_t i = 2; i < l.size(); ++i)
        args += (i > 2 ? " " : "") + l[i];
    EXPECT_EQ(args, "/K wbadmin start backup -backuptarget:E: -include:C: -allcritical -vssfull "
                    "-quiet & pause & exit");
    Close();
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(SettingsFile().c_str()));
    EXPECT_STREQ(doc.document_element().attribute("Source").value(), "C:");
}

TEST_F(WindowTest, APoisonedBackupTargetIsShownButNeverReachesTheConsole) {
    // Any program of the same user can write the settings file; the console runs elevated.
    std::filesystem::create_directories(std::filesystem::path(SettingsFile()).parent_path());
    std::ofstream(SettingsFile()) << "<VornixControlPanel Source=\"C:\" "
                                     "Target=\"E: &amp; net user x y /add\"/>";
    auto& f = Open();
    EXPECT_EQ(Find<QLineEdit>("BackupTargetEdit")->text(), "E: & net user x y /add")
        << "shown as it is, for the user to see and mend";
    EXPECT_TRUE(Find("StartBackup")->isEnabled());
    const std::string dir = FSandbox->Dir();
    const size_t before = Launches(dir).size();
    {
        TBoxAnswerer ok(QMessageBox::Ok);
        f.OverviewLabelLinkClick("StartBackup");
        EXPECT_EQ(ok.Texts, QStringList{"The backup target contains characters that are not "
                                        "allowed: &"});
    }
    // The stop job launched next is the only new line: had the start been launched, it would
    // have been recorded first.
    f.OverviewLabelLinkClick("StopBackup");
    ASSERT_TRUE(WaitFor([&] { return Launches(dir).size() > before; }, 5000));
    const auto launches = Launches(dir);
    ASSERT_EQ(launches.size(), before + 1);
    std::string args;
    for (size_t i = 2; i < launches.back().size(); ++i)
        args += (i > 2 ? " " : "") + launches.back()[i];
    EXPECT_EQ(args, "/K wbadmin stop job & pause & exit");
}

TEST_F(WindowTest, MissingWardenToolHidesItsLinkAndSaysSo) {
    FSandbox.reset();
    FSandbox = std::make_unique<TSandbox>(std::vector<std::string>{"--no-warden"});
    FSandbox->Activate();
    Open();
    EXPECT_TRUE(Find("CyberSecurity")->isHidden());
    EXPECT_FALSE(Find("ScmNotInstalledPanel")->isHidden());
}

TEST_F(WindowTest, ServicePanelFollowsTheServiceAndNoToAQuestionChangesNothing) {
    auto& f = Open();
    ASSERT_TRUE(WaitFor([&] { return Find("StartButton")->isEnabled(); }));
    EXPECT_FALSE(Find("StopButton")->isEnabled());
    EXPECT_FALSE(Find("ForceButton")->isEnabled());
    EXPECT_EQ(Find<QLabel>("ServiceLinkLabel")->text(), "Stopped");
    QTest::mouseClick(Find("StartButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Find("StopButton")->isEnabled(); }));
    EXPECT_FALSE(Find("StartButton")->isEnabled());
    EXPECT_TRUE(Find("ForceButton")->isEnabled());
    EXPECT_EQ(Find<QLabel>("ServiceLinkLabel")->text(), "Running");
    {
        TBoxAnswerer no(QMessageBox::No);
        QTest::mouseClick(Find("StopButton"), Qt::LeftButton);
        QTest::mouseClick(Find("ForceButton"), Qt::LeftButton);
        EXPECT_EQ(no.Texts, (QStringList{"Do you want to stop Corvane X Service?",
                                        "Do you want to force immediate Corvane X shutdown?"}));
    }
    QTest::qWait(400);
    EXPECT_TRUE(f.Service()->ServiceRunning()) << "No leaves the service running";
    {
        TBoxAnswerer yes(QMessageBox::Yes);
        QTest::mouseClick(Find("StopButton"), Qt::LeftButton);
    }
    EXPECT_TRUE(WaitFor([&] { return Find("StartButton")->isEnabled(); }));
    EXPECT_EQ(Find<QLabel>("ServiceLinkLabel")->text(), "Stopped");
}

TEST_F(WindowTest, StartTypeListUndoesTypedTextAndDisablingBlocksStart) {
    auto& f = Open();
    auto* combo = Find<QComboBox>("ServiceStartTypeCombo");
    ASSERT_TRUE(WaitFor([&] { return combo->currentText() == "Manual"; }));
    combo->setEditText("Manualx");
    EXPECT_EQ(combo->currentText(), "Manual") << "typed text is replaced at once";
    combo->setCurrentIndex(combo->findText("Disabled"));
    EXPECT_EQ(f.Service()->ServStartType(), 4);
    EXPECT_FALSE(Find("StartButton")->isEnabled());
    combo->setCurrentIndex(combo->findText("Automatic"));
    EXPECT_EQ(f.Service()->ServStartType(), 2);
    EXPECT_TRUE(Find("StartButton")->isEnabled());
}

TEST_F(WindowTest, NotifyToolStartsWithTheServiceOnlyWhenNoneRuns) {
    const std::string dir = FSandbox->Dir();
    setenv("PATH", (dir + "/bin:" + std::string(getenv("PATH"))).c_str(), 1);
    auto& f = Open();
    Find<QCheckBox>("NotifyCheckbox")->setChecked(true);
    auto notifyLaunches = [&] {
        int n = 0;
        for (auto& l : Launches(dir))
            n += !l.empty() && l[0] == dir + "/bin/Notify.exe";
        return n;
    };
    {
        auto held = f.Platform().Mutexes->Hold("Notify_LocalHost");
        ASSERT_TRUE(held);
        ASSERT_TRUE(WaitFor([&] { return Find("StartButton")->isEnabled(); }));
        f.StartServiceBtnClick();
        ASSERT_TRUE(WaitFor([&] { return f.Service()->ServiceRunning(); }));
        QTest::qWait(300);
        EXPECT_EQ(notifyLaunches(), 0) << "one already runs in the session";
        f.Service()->Stop();
        ASSERT_TRUE(WaitFor([&] { return Find("StartButton")->isEnabled(); }));
    }
    f.StartServiceBtnClick();
    EXPECT_TRUE(WaitFor([&] { return notifyLaunches() == 1; }, 5000));
}

// Pictures of each section for a person to look at (VORNIX_SCREENSHOT_DIR); otherwise it only
// checks that the window renders.
TEST_F(WindowTest, EverySectionRenders) {
    auto& f = Open();
    f.resize(921, 825);
    ClickStrip();
    const char* dir = std::getenv("VORNIX_SCREENSHOT_DIR");
    for (const char* button : {"SystemBtn", "HTTPConfigButton", "ConfigurationBtn"}) {
        f.OpenSection(Find<QCommandLinkButton>(button));
        QTest::qWait(30);
        const QPixmap shot = f.grab();
        EXPECT_FALSE(shot.isNull());
        if (dir)
            shot.save(QString::fromLatin1(dir) + "/" + button + ".png");
    }
    QTest::mouseClick(Find("BackupBtn"), Qt::LeftButton);
    f.OpenSection(Find<QCommandLinkButton>("HTTPConfigButton"));
    QTest::mouseClick(Find("HTTPConfigButton"), Qt::LeftButton);
    f.ShowMessage(2, "The Corvane service reported a warning.\r\nSee the event log for details.", 12004);
    QTest::qWait(30);
    if (dir)
        f.grab().save(QString::fromLatin1(dir) + "/BackupBtn.png");
    f.ShowPanel(Find("ProcessPanel"));
    QTest::qWait(30);
    if (dir)
        f.grab().save(QString::fromLatin1(dir) + "/ProcessPanel.png");
}

TEST_F(WindowTest, ProcessPanelListsTheSystemsProcessesByAccountAndKeepsTheSelection) {
    const std::string dir = FSandbox->Dir();
    for (const char* name : {"cvclient.exe", "cvviewer.exe"})
        ASSERT_EQ(TSandbox::Run({TSandbox::SimPath(), "client", dir, name}), 0);
    auto& f = Open();
    ClickStrip();
    EXPECT_TRUE(WaitFor([&] { return Find<QLabel>("ScadaProcessesLabel")->text() == "2"; }, 8000));
    f.OverviewLabelLinkClick("ProcessDetails");
    auto* list = Find<QTreeWidget>("ProcessList");
    ASSERT_TRUE(WaitFor([&] { return list->topLevelItemCount() == 1; }));
    EXPECT_EQ(list->columnCount(), 5);
    EXPECT_EQ(list->headerItem()->text(2), "Started");
    QTreeWidgetItem* group = list->topLevelItem(0);
    EXPECT_TRUE(group->text(0).contains('\\')) << "the group is named domain\\account";
    ASSERT_EQ(group->childCount(), 2);
    EXPECT_EQ(group->child(0)->text(0), "cvclient.exe") << "by start, earliest first";
    group->child(1)->setSelected(true);
    const uint32_t pid = group->child(1)->data(0, Qt::UserRole).toUInt();
    const uint64_t refreshes = f.ProcessListObject()->RefreshCount();
    // The panel refreshes every second; the list is rebuilt then.
    ASSERT_TRUE(WaitFor([&] { return f.ProcessListObject()->RefreshCount() > refreshes; }));
    ASSERT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->selectedItems().front()->data(0, Qt::UserRole).toUInt(), pid);

    {
        TBoxAnswerer yes(QMessageBox::Yes);
        QTest::keyClick(list, Qt::Key_Delete);
        EXPECT_EQ(yes.Texts, QStringList{"Kill the process?"});
    }
    EXPECT_TRUE(WaitFor([&] { return Find<QLabel>("ScadaProcessesLabel")->text() == "1"; }));
    f.KillAllProcessClick();
    EXPECT_TRUE(WaitFor([&] { return Find<QLabel>("ScadaProcessesLabel")->text() == "0"; }));
}

TEST_F(WindowTest, ForceStopEndsKernelProcessesLeftByAStoppedService) {
    if (geteuid() != 0)
        GTEST_SKIP() << "kernel processes run under the service account only when root";
    const std::string dir = FSandbox->Dir();
    auto& f = Open();
    ASSERT_TRUE(WaitFor([&] { return Find("StartButton")->isEnabled(); }));
    f.StartServiceBtnClick();
    ASSERT_TRUE(WaitFor([&] { return f.Service()->ServiceRunning(); }));
    std::ofstream(dir + "/sim/leave-kernel").put('\n');
    f.Service()->Stop();
    ASSERT_TRUE(WaitFor([&] { return f.Service()->Status() == 1; }));
    f.ProcessListObject()->Refresh();
    EXPECT_EQ(Find<QLabel>("KernelProcessesLabel")->text(), "3");
    EXPECT_TRUE(Find("ForceButton")->isEnabled()) << "stopped, but kernel processes are left";
    {
        TBoxAnswerer yes(QMessageBox::Yes);
        QTest::mouseClick(Find("ForceButton"), Qt::LeftButton);
    }
    EXPECT_EQ(Find<QLabel>("KernelProcessesLabel")->text(), "0")
        << "ended although the process panel never showed";
    EXPECT_FALSE(Find("ForceButton")->isEnabled());
}

namespace {

// The taskbar port as the shell would drive it: a button message to arm it, a list that is
// there or not.
class TRecordingTaskbar : public ITaskbar {
public:
    void Attach(uintptr_t window) override { Window = window; }
    bool ButtonCreated(const void* message) override { return message == &ButtonMessage; }
    bool SetOverlay(const TOverlayPicture& picture, const std::string& description) override {
        Overlays.push_back({picture, description});
        return HasList;
    }
    bool ClearOverlay() override { return HasList; }
    void Detach() override { Detached = true; }

    struct TOverlay {
        TOverlayPicture Picture;
        std::string Description;
    };
    int ButtonMessage = 0;
    uintptr_t Window = 0;
    bool HasList = false;
    bool Detached = false;
    std::vector<TOverlay> Overlays;
};

bool SamePicture(const TOverlayPicture& a, const QPixmap& b) {
    const TOverlayPicture p = TTaskbarOverlay::Picture(b.toImage());
    return a.Width == p.Width && a.Height == p.Height && a.Pixels == p.Pixels;
}

QImage IconImage(const QIcon& icon) {
    return icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

TEST(TaskbarOverlay, PictureIsStraightArgbRowByRow) {
    QImage image(2, 2, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 0, 128));
    image.setPixel(1, 0, qRgba(0, 255, 0, 255));
    image.setPixel(0, 1, qRgba(0, 0, 255, 0));
    image.setPixel(1, 1, qRgba(10, 20, 30, 40));
    const TOverlayPicture p =
        TTaskbarOverlay::Picture(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    EXPECT_EQ(p.Width, 2);
    EXPECT_EQ(p.Height, 2);
    ASSERT_EQ(p.Pixels.size(), 4u);
    EXPECT_EQ(p.Pixels[0] >> 24, 128u);
    EXPECT_EQ((p.Pixels[0] >> 16) & 0xFF, 255u) << "not premultiplied";
    EXPECT_EQ(p.Pixels[1], 0xFF00FF00u);
    EXPECT_EQ(p.Pixels[2] >> 24, 0u);
    EXPECT_EQ(p.Pixels[3] >> 24, 40u);
}

TEST_F(WindowTest, TheStatusGoesOntoTheTaskbarButtonOnceTheShellHasMadeIt) {
    auto taskbar = std::make_shared<TRecordingTaskbar>();
    TPlatform platform = CreatePlatform();
    platform.Taskbar = taskbar;
    FForm = std::make_unique<TForm1>(platform, FOptions);
    FForm->show();
    ASSERT_TRUE(WaitFor([&] { return Find<QLabel>("ServiceLinkLabel")->text() == "Stopped"; }));
    EXPECT_EQ(taskbar->Window, uintptr_t(FForm->winId()));
    // No button yet: the window's own icon carries the status.
    ASSERT_FALSE(taskbar->Overlays.empty());
    EXPECT_NE(IconImage(FForm->windowIcon()), IconImage(images::Application()));

    TTaskbarOverlay* overlay = FForm->TaskbarOverlay();
    ASSERT_TRUE(overlay);
    size_t before = taskbar->Overlays.size();
    overlay->nativeEventFilter("xcb_generic_event_t", &taskbar->ButtonMessage, nullptr);
    EXPECT_EQ(taskbar->Overlays.size(), before) << "only Windows messages reach the port";

    taskbar->HasList = true;
    EXPECT_FALSE(overlay->nativeEventFilter("windows_generic_MSG", &taskbar->ButtonMessage, nullptr))
        << "the message goes on to the window";
    ASSERT_EQ(taskbar->Overlays.size(), before + 1);
    EXPECT_EQ(taskbar->Overlays.back().Description, "Stopped");
    EXPECT_TRUE(SamePicture(taskbar->Overlays.back().Picture, images::Status(2)));
    EXPECT_EQ(IconImage(FForm->windowIcon()), IconImage(images::Application()))
        << "the overlay carries the status; the window icon is plain";

    before = taskbar->Overlays.size();
    QTest::mouseClick(Find("StartButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Find("StopButton")->isEnabled(); }));
    ASSERT_GT(taskbar->Overlays.size(), before);
    EXPECT_EQ(taskbar->Overlays.back().Description, "Running");
    EXPECT_TRUE(SamePicture(taskbar->Overlays.back().Picture, images::Status(0)));

    Close();
    EXPECT_TRUE(taskbar->Detached) << "the taskbar list goes with the window";
}
