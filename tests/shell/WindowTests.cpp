// The main window, headless, on a fresh sandbox and settings folder per test.
#include "shell/ControlPanelUI.h"
#include "shell/Controller.h"
#include "shell/ErrorDisplay.h"
#include "shell/StatusTree.h"

#include "platform/FileSystem.h"
#include "support/Sandbox.h"

#include <QApplication>
#include <QCommandLinkButton>
#include <QLabel>
#include <QMessageBox>
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

uint16_t FreePort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    close(s);
    return ntohs(a.sin_port);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        FSandbox = std::make_unique<TSandbox>();
        FSandbox->Activate();
        FOptions.LogServicePort = FreePort(); // nobody listens: the feed keeps connecting
        FOptions.ServicePollMs = 100;
    }
    void TearDown() override {
        FForm.reset();
        FSandbox.reset();
    }

    TForm1& Open() {
        FForm = std::make_unique<TForm1>(CreatePlatform(), FOptions);
        FForm->show();
        QTest::qWait(50);
        return *FForm;
    }
    void Close() { FForm.reset(); }

    template <class T = QWidget>
    T* Find(const char* name) const {
        auto* w = FForm->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(w) << name;
        return w;
    }
    std::string SettingsFile() const {
        return FSandbox->Dir() + "/AppData/Roaming/Vekta/VornixControlPanel_Settings.xml";
    }
    void ClickStrip() { QTest::mouseClick(Find("ExpandPanel"), Qt::LeftButton); }
    bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
        return QTest::qWaitFor(done, ms);
    }

    std::unique_ptr<TSandbox> FSandbox;
    TForm1::TOptions FOptions;
    std::unique_ptr<TForm1> FForm;
};

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

TEST_F(WindowTest, ClosingExpandedAndReopeningKeepsTheOuterWidth) {
    auto& f = Open();
    ClickStrip();
    f.resize(1010, 700);
    QTest::qWait(20);
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
    QTest::qWait(50);
    EXPECT_TRUE(f.WasMaximized());
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
    QTest::qWait(20);
    EXPECT_TRUE(bar->isVisible());
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
    QTest::qWait(30);
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
