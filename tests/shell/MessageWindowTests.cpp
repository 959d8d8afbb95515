// The system's events in the window, end to end through the sandbox's event log, and the
// message history panel.
#include "shell/ControlPanelUI.h"

#include "platform/sandbox/SandboxEventLog.h"
#include "support/Loopback.h"
#include "support/Sandbox.h"

#include "WindowFixture.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace cv;
using cvtest::TSandbox;

namespace {

using cvtest::FreePort;

// Nobody listens on the log service's port: no feed rows.
class MessageWindowTest : public cvtest::TWindowFixture {
protected:
    // `corvane-sim event`, as an administrator or the system would write one.
    void SimEvent(int level, int id, const std::string& text, const std::string& provider = "Corvane") {
        ASSERT_EQ(TSandbox::Run({TSandbox::SimPath(), "event", FSandbox->Dir(), "--provider", provider,
                                 "--level", std::to_string(level), "--id", std::to_string(id), text}),
                  0);
    }
    QString Label() const { return FForm->findChild<QLabel*>("MessageLabel")->text(); }
    std::vector<std::string> HistoryTexts() const {
        std::vector<std::string> texts;
        const TMessageHistory& h = FForm->MessageHistoryObject();
        for (size_t i = 0; i < h.Count(); ++i)
            texts.push_back(h.At(i).Text);
        return texts;
    }
};

} // namespace

TEST_F(MessageWindowTest, TheSystemsEventsShowInTheBarWithTheirColoursAndHelp) {
    SimEvent(2, 12000, "written before the panel started");
    Open();
    auto* bar = Find("MessagePanel");
    const struct {
        int level, id;
        std::string text;
        QString label, helpContext;
        QColor colour, textColour;
        bool help;
    } cases[] = {
        {2, 12001, "Disk almost full\r\nFree space on E:", "Disk almost full", "\r\nFree space on E:",
         QColor(247, 140, 98), Qt::black, true},
        {3, 12000, "Archive slow", "Archive slow", "", QColor(247, 213, 98), Qt::black, true},
        {4, 11999, "The system has started", "The system has started", "", QColor(70, 117, 160),
         Qt::white, false},
        {1, 7, "Kernel halted", "Kernel halted", "", QColor(247, 140, 98), Qt::black, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SimEvent(c.level, c.id, c.text);
        // Delivered within a second of being written.
        ASSERT_TRUE(QTest::qWaitFor([&] { return bar->isVisible() && Label() == c.label; }, 1000));
        EXPECT_EQ(bar->palette().color(QPalette::Window), c.colour);
        EXPECT_TRUE(Find<QLabel>("MessageLabel")->styleSheet().contains(c.textColour.name()));
        EXPECT_EQ(Find<QLabel>("MessageHelpContext")->text(), c.helpContext);
        EXPECT_EQ(Find("MessageLabelHelp")->isVisible(), c.help) << "help picture from 12000 on";
    }
    // A verbose event is posted but not shown; other providers' events are not posted at all.
    SimEvent(5, 12003, "verbose detail");
    SimEvent(2, 12004, "licence expired", "Vekta Licensing");
    SimEvent(2, 12005, "other letter case", "corvane");
    SimEvent(4, 12006, "marker");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Label() == "marker"; }, 5000));
    EXPECT_EQ(HistoryTexts(),
              (std::vector<std::string>{"marker", "Kernel halted", "The system has started",
                                        "Archive slow", "Disk almost full\r\nFree space on E:"}))
        << "nothing from before the start, nothing verbose, nothing of other providers";
}

TEST_F(MessageWindowTest, ABurstOfAThousandEventsArrivesInOrderWhileTheWindowResponds) {
    auto& f = Open();
    // The event loop's pulse: the longest gap between ticks while the burst is delivered.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer pulse;
    pulse.setInterval(20);
    QObject::connect(&pulse, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
    });
    sinceTick.start();
    pulse.start();
    const std::string dir = FSandbox->Dir();
    std::thread writer([dir] {
        for (int i = 1; i <= 1000; ++i)
            TSandboxEventLog::WriteEvent(dir, "Application",
                                         {"Corvane", 12000 + i, 4, {"burst " + std::to_string(i)}});
    });
    const bool all = QTest::qWaitFor(
        [&] { return f.MessageHistoryObject().Count() == 1000; }, 60000);
    writer.join();
    pulse.stop();
    ASSERT_TRUE(all) << f.MessageHistoryObject().Count() << " of 1000";
    const TMessageHistory& h = f.MessageHistoryObject();
    for (size_t row = 0; row < h.Count(); ++row) {
        ASSERT_EQ(h.At(row).Text, "burst " + std::to_string(1000 - row)) << "row " << row;
        ASSERT_EQ(h.At(row).EventNumber, int32_t(13000 - row));
    }
    EXPECT_EQ(Label(), "burst 1000");
    EXPECT_LT(longestGap, 2000) << "the window kept handling its timers";
}

TEST_F(MessageWindowTest, TheHistoryKeepsEveryMessageTheBarWasAskedToShow) {
    auto& f = Open();
    f.ShowMessage(1, "FATAL row of the log service", 0); // the bar drops it, the history keeps it
    f.ShowMessage(2, "Disk almost full\r\nFree space on E:", 12004);
    f.ShowMessage(4, "Started", 1000);
    EXPECT_EQ(HistoryTexts(), (std::vector<std::string>{"Started", "Disk almost full\r\nFree space on E:",
                                                        "FATAL row of the log service"}));

    // The bar's text opens the panel; its strip leads back.
    QTest::mouseClick(Find("MessageLabel"), Qt::LeftButton);
    EXPECT_TRUE(Find("MessageHistoryPanel")->isVisible());
    EXPECT_FALSE(Find("AdditionalPanel")->isVisible());
    EXPECT_TRUE(f.IsExpanded());
    auto* list = Find<QTreeView>("MessageHistoryList");
    ASSERT_EQ(list->model()->rowCount(), 3);
    EXPECT_EQ(list->model()->index(0, 3).data().toString(), "Started");
    EXPECT_EQ(list->model()->index(1, 3).data().toString(), "Disk almost full\nFree space on E:");
    EXPECT_EQ(list->model()->index(1, 1).data().toString(), "Warning");
    EXPECT_EQ(list->model()->index(2, 2).data().toString(), "") << "no event number";
    EXPECT_FALSE(list->model()->index(2, 1).data(Qt::DecorationRole).isNull()) << "severity picture";
    QTest::mouseClick(Find("HistoryBackLabel"), Qt::LeftButton);
    EXPECT_TRUE(Find("AdditionalPanel")->isVisible());
    EXPECT_FALSE(Find("MessageHistoryPanel")->isVisible());

    // The System section's link, and Alt+Backspace back.
    f.OverviewLabelLinkClick("MessageHistory");
    EXPECT_TRUE(Find("MessageHistoryPanel")->isVisible());
    QTest::keyClick(&f, Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_TRUE(Find("AdditionalPanel")->isVisible());
    f.ShowMessageHistoryPanel();

    // Copy the selected rows; a new message keeps them selected where they went.
    auto* copy = Find<QPushButton>("CopyMessagesButton");
    EXPECT_FALSE(copy->isEnabled()) << "nothing selected";
    list->selectionModel()->select(list->model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->selectionModel()->select(list->model()->index(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    f.ShowMessage(4, "newer", 0);
    ASSERT_TRUE(copy->isEnabled());
    QTest::mouseClick(copy, Qt::LeftButton);
    const QStringList lines = QApplication::clipboard()->text().split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("\tInformation\t1000\tStarted"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\tError\t\tFATAL row of the log service")))
        << lines[1].toStdString();

    QTest::mouseClick(Find("ClearMessagesButton"), Qt::LeftButton);
    EXPECT_EQ(list->model()->rowCount(), 0);
    EXPECT_FALSE(Find("ClearMessagesButton")->isEnabled());
    EXPECT_TRUE(Find("MessagePanel")->isVisible()) << "the bar is left as it is";
}

TEST_F(MessageWindowTest, ClosingWhileEventsKeepArrivingEndsCleanly) {
    const std::string dir = FSandbox->Dir();
    std::atomic<bool> writing{true};
    std::atomic<int> written{0};
    std::thread writer([&] {
        while (writing.load()) {
            TSandboxEventLog::WriteEvent(dir, "Application", {"Corvane", 12001, 2, {"keeps coming"}});
            ++written;
        }
    });
    auto& f = Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.MessageHistoryObject().Count() >= 5; }, 10000));
    FForm.reset(); // its posted entries still queued go with it
    const int target = written.load() + 20;
    EXPECT_TRUE(QTest::qWaitFor([&] { return written.load() >= target; }, 10000));
    writing = false;
    writer.join();
}
