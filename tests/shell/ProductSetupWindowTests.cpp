// The Product Setup section of the window, headless, on a fresh sandbox per test: real check
// boxes clicked with the mouse, the real question answered.
#include "shell/ControlPanelUI.h"
#include "shell/ErrorDisplay.h"
#include "config/ProductComponents.h"

#include "platform/FileSystem.h"
#include "support/Sandbox.h"

#include "WindowFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLinkButton>
#include <QLabel>
#include <QMessageBox>
#include <QScrollArea>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace cv;
using cvtest::TSandbox;

namespace {

// Answers each modal box with the next button and keeps its caption and text.
class TBoxAnswerer {
public:
    explicit TBoxAnswerer(std::vector<QMessageBox::StandardButton> buttons) : FButtons(std::move(buttons)) {
        FTimer.setInterval(20);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            Captions << box->windowTitle();
            Texts << box->text();
            if (FButtons.empty()) { // not expected: recorded, and closed so the test goes on
                box->reject();
                return;
            }
            const auto button = FButtons.front();
            FButtons.erase(FButtons.begin());
            box->done(button);
        });
        FTimer.start();
    }
    QStringList Captions;
    QStringList Texts;

private:
    std::vector<QMessageBox::StandardButton> FButtons;
    QTimer FTimer;
};

class ProductSetupWindowTest : public cvtest::TWindowFixture {
protected:
    void SetUp() override {
        TWindowFixture::SetUp();
        // The section shown, the window expanded; nobody listens on the feed's port.
        WriteSettings("Left=\"0\" Top=\"0\" Width=\"921\" Height=\"825\" Extended=\"true\" "
                      "ProductSetup=\"true\"");
        FOptions.LogServicePort = 1;
    }
    void TearDown() override {
        TVornixApplication::SetErrorSink({});
        TWindowFixture::TearDown();
    }
    std::string ProductFile() const {
        return FSandbox->Dir() + "/CorvanePro/Services/Resources/product.xml";
    }
    TForm1& Open() {
        TWindowFixture::Open();
        // Only the Product Setup section open, and scrolled into view.
        QTest::mouseClick(Find<QCommandLinkButton>("SystemBtn"), Qt::LeftButton);
        QTest::mouseClick(Find<QCommandLinkButton>("ProductSetupBtn"), Qt::LeftButton);
        Find<QScrollArea>("AdditionalToolsPanel")->ensureWidgetVisible(Find("ProductSetupInfoPanel"));
        QTest::qWait(20);
        return *FForm;
    }
    std::vector<QCheckBox*> Boxes() const {
        const auto boxes =
            Find("ProductComponentsContent")->findChildren<QCheckBox*>(Qt::FindDirectChildrenOnly);
        return {boxes.begin(), boxes.end()};
    }
    QCheckBox* Box(const QString& task) const {
        for (QCheckBox* b : Boxes())
            if (b->text().startsWith(task + " ("))
                return b;
        ADD_FAILURE() << "no box " << task.toStdString();
        return nullptr;
    }
    QString Label(const char* name) const { return Find<QLabel>(name)->text(); }
    std::string FileStates() const {
        std::string out;
        const TProductXml file = TProductXml::Load(ProductFile());
        for (const auto& e : file.Tasks())
            out += (out.empty() ? "" : " ") + e.TaskName + (e.CommentedOut ? ":off" : ":on");
        return out;
    }
    void Click(QCheckBox* box) {
        Find<QScrollArea>("ProductComponentsScrollBox")->ensureWidgetVisible(box);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    }
};

TEST_F(ProductSetupWindowTest, TheSampleInstallationsTasksAreListedInOrderFromTheTop) {
    Open();
    EXPECT_TRUE(Find("ProductSetupPanel")->isVisible());
    const auto boxes = Boxes();
    ASSERT_GE(boxes.size(), 12u);
    QStringList captions;
    for (auto* b : boxes)
        captions << b->text();
    QStringList sorted = captions;
    std::sort(sorted.begin(), sorted.end(),
              [](const QString& a, const QString& b) { return a.toStdString() < b.toStdString(); });
    EXPECT_EQ(captions, sorted);
    EXPECT_EQ(captions.back(), "calculations (calc\\calculations.tsk)") << "lower case after upper";
    EXPECT_FALSE(Box("Kernel")->isEnabled());
    EXPECT_TRUE(Box("Kernel")->isChecked());
    EXPECT_FALSE(Box("OpcUaServer")->isChecked());
    EXPECT_TRUE(Box("Historian")->isEnabled());
    EXPECT_TRUE(Box("Historian")->toolTip().isEmpty()) << "the hint is not shown as a tool tip";
    // Aligned to the top: margins left 10, top 2, bottom 1.
    for (size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_EQ(boxes[i]->property("Tag").toInt(), static_cast<int>(i));
        EXPECT_EQ(boxes[i]->x(), 10);
        if (i > 0) {
            EXPECT_EQ(boxes[i]->y(), boxes[i - 1]->geometry().bottom() + 1 + 1 + 2);
        }
    }
    EXPECT_EQ(Label("ProductComponentNameText"), "N/A");
}

TEST_F(ProductSetupWindowTest, HoveringShowsTheTaskAndLeavingShowsNA) {
    Open();
    struct {
        const char* Task;
        const char* Name;
        const char* Dependencies;
        const char* Details;
    } cases[] = {
        {"ReportGenerator", "ReportGenerator", "Historian\nAlarmServer", "Daily and monthly reports as PDF."},
        {"Kernel", "Kernel", "None",
         "Permanent product component.\nRuntime core: memory pools, scheduling of applications and "
         "their states."},
        {"MobileNotifier", "MobileNotifier", "AlarmServer\nSmsGateway", "Sends alarms to the on-call phones."},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.Task);
        QCheckBox* box = Box(c.Task);
        Find<QScrollArea>("ProductComponentsScrollBox")->ensureWidgetVisible(box);
        QTest::mouseMove(box, QPoint(20, box->height() / 2));
        EXPECT_TRUE(QTest::qWaitFor([&] { return Label("ProductComponentNameText") == c.Name; }, 2000));
        EXPECT_EQ(Label("ProductComponentDependencyText"), c.Dependencies);
        EXPECT_EQ(Label("ProductComponentDetailsText"), c.Details);
        QTest::mouseMove(Find("ProductComponentDetails"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return Label("ProductComponentNameText") == "N/A"; }, 2000));
        EXPECT_EQ(Label("ProductComponentDependencyText"), "N/A");
        EXPECT_EQ(Label("ProductComponentDetailsText"), "N/A");
    }
}

TEST_F(ProductSetupWindowTest, ClicksAskAboutDependenciesAndSwitchTheFile) {
    Open();
    const std::string original = ReadFileBytes(ProductFile()).value();
    {
        // Cancel: the tick goes back and nothing changes.
        TBoxAnswerer cancel({QMessageBox::Cancel});
        Click(Box("ReportGenerator"));
        ASSERT_EQ(cancel.Texts.size(), 1);
        EXPECT_EQ(cancel.Captions[0], "Verify dependencies");
        EXPECT_EQ(cancel.Texts[0], "This process has dependencies to other currently active product "
                                   "processes:\nHistorian\nAlarmServer\n\nDo you want to disable also "
                                   "dependency processes?");
        EXPECT_TRUE(Box("ReportGenerator")->isChecked());
        EXPECT_EQ(ReadFileBytes(ProductFile()).value(), original);
    }
    {
        TBoxAnswerer yes({QMessageBox::Yes});
        Click(Box("ArchiveExport"));
        EXPECT_EQ(yes.Texts.size(), 1);
    }
    EXPECT_FALSE(Box("ArchiveExport")->isChecked());
    EXPECT_FALSE(Box("Historian")->isChecked());
    const std::string states = FileStates();
    EXPECT_NE(states.find("Historian:off"), std::string::npos) << states;
    EXPECT_NE(states.find("ArchiveExport:off"), std::string::npos) << states;
    {
        // Enabling again asks about the dependency that is off now; No enables the task only.
        TBoxAnswerer no({QMessageBox::No});
        Click(Box("ArchiveExport"));
        ASSERT_EQ(no.Texts.size(), 1);
        EXPECT_TRUE(no.Texts[0].startsWith("This process has dependencies to other currently disabled"));
    }
    EXPECT_TRUE(Box("ArchiveExport")->isChecked());
    EXPECT_FALSE(Box("Historian")->isChecked());
    {
        TBoxAnswerer none({});
        Click(Box("Historian")); // its dependencies are active (Kernel, Scheduler): nothing asked
        EXPECT_TRUE(none.Texts.isEmpty());
    }
    EXPECT_TRUE(Box("Historian")->isChecked());
    EXPECT_EQ(ReadFileBytes(ProductFile()).value(), original) << "every task back as it was";
}

TEST_F(ProductSetupWindowTest, AFileGoneBeforeAClickReachesTheErrorDisplay) {
    Open();
    QStringList shown;
    TVornixApplication::SetErrorSink([&](const QString& m) { shown << m; });
    std::filesystem::remove(ProductFile());
    Click(Box("EventLogBridge"));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains("product.xml")) << shown[0].toStdString();
    EXPECT_FALSE(Box("EventLogBridge")->isChecked()) << "the box keeps the new tick";
    EXPECT_FALSE(FileExists(ProductFile()));
    EXPECT_TRUE(FForm->isVisible());
}

TEST_F(ProductSetupWindowTest, AnEntryThatCannotBeCommentedOutStaysOnWithAMessage) {
    WriteFileAtomic(ProductFile(), "<ProductTasks><Task taskName=\"Pumps\" description=\"P-101 -- P-104\">"
                                   "pumps.tsk</Task><Task taskName=\"Other\">o.tsk</Task></ProductTasks>");
    Open();
    ASSERT_EQ(Boxes().size(), 2u);
    TBoxAnswerer ok({QMessageBox::Ok});
    Click(Box("Pumps"));
    EXPECT_EQ(ok.Texts, QStringList{"The process Pumps cannot be disabled: its entry contains '--'."});
    EXPECT_TRUE(Box("Pumps")->isChecked());
    EXPECT_EQ(FileStates(), "Pumps:on Other:on");
}

TEST_F(ProductSetupWindowTest, WithoutAReadableTaskListTheSectionIsEmpty) {
    WriteFileAtomic(ProductFile(), "<ProductTasks><Task taskName=\"A\">a</Task>");
    TBoxAnswerer none({});
    Open();
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(none.Texts.isEmpty()) << "no message";
}

} // namespace
