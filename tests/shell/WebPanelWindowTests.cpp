// The Web Server Configuration section and the summary column's certificate link in the
// window, headless, on a fresh sandbox per test: the controls as the user meets them, the
// timer, the questions before a start, and, end to end, the simulated system's web server
// serving with the certificate the panel made.
#include "shell/ControlPanelUI.h"
#include "shell/ErrorDisplay.h"
#include "shell/Images.h"
#include "shell/WebSettingsPresenter.h"

#include "config/CvRegistry.h"
#include "platform/FileSystem.h"
#include "platform/sandbox/SandboxRegistry.h"
#include "support/Loopback.h"
#include "support/Processes.h"
#include "support/Sandbox.h"

#include "WindowFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLinkButton>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace cv;
using cvtest::TSandbox;

namespace {

constexpr const char* Computer = "pc1.plant.local";

using cvtest::FreePort;
using cvtest::OwnExeName;
using cvtest::Shell;
using cvtest::TRun;

// Answers each modal box with the next button and keeps its text; a box nobody expected is
// recorded and closed so the test goes on.
class TBoxAnswerer {
public:
    explicit TBoxAnswerer(std::vector<QMessageBox::StandardButton> buttons = {})
        : FButtons(std::move(buttons)) {
        FTimer.setInterval(20);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            Texts << box->text();
            if (FButtons.empty()) {
                box->reject();
                return;
            }
            box->done(FButtons.front());
            FButtons.erase(FButtons.begin());
        });
        FTimer.start();
    }
    QStringList Texts;

private:
    std::vector<QMessageBox::StandardButton> FButtons;
    QTimer FTimer;
};

class WebPanelWindowTest : public cvtest::TWindowFixture {
protected:
    void SetUp() override {
        setenv("VORNIX_COMPUTER_NAME", Computer, 1);
        TWindowFixture::SetUp();
        WriteSettings("Left=\"0\" Top=\"0\" Width=\"921\" Height=\"825\" Extended=\"true\"");
        FOptions.Clock = [this] { return Now() + FClockOffsetDays; };
    }
    void TearDown() override {
        TWindowFixture::TearDown();
        unsetenv("VORNIX_COMPUTER_NAME");
    }
    // Keeps the simulated system's web server from serving when the service starts.
    void WebServerOff() { std::ofstream(FSandbox->Dir() + "/sim/web-off"); }

    // Focus moves between the controls only in the active window.
    void Activate() {
        FForm->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(FForm.get()));
    }
    std::string Value(const char* name) {
        TSandboxRegistry registry(FSandbox->Dir());
        return ReadProductValue(registry, WebUIProduct, name);
    }
    QString Caption() const {
        return Find<QLabel>("CertificateLinkLabel")->property("Caption").toString();
    }
    bool Shows(const char* image, int picture) const {
        const QPixmap shown = Find<QLabel>(image)->pixmap();
        return !shown.isNull() && shown.toImage() == images::CertificateState(picture).toImage();
    }
    void TypePort(const QString& text) {
        auto* port = Find<QLineEdit>("WebServerPort");
        port->setFocus();
        port->selectAll();
        QTest::keyClick(port, Qt::Key_Delete);
        QTest::keyClicks(port, text);
    }
    bool Running() { return FForm->Service() && FForm->Service()->ServiceRunning(); }

    double FClockOffsetDays = 0;
};

TEST_F(WebPanelWindowTest, TheFirstShowFillsTheSectionAndTheSummaryLink) {
    auto& f = Open();
    struct {
        const char* Name;
        const char* Text;
    } labels[] = {{"StaticText10", "Web Server Certificate"},
                  {"StaticText9", "Web Server Port"},
                  {"StaticText2", "Web Server Host Name"},
                  {"UnencryptedWarningLabel", "HTTPS disabled"},
                  {"WebServerCertTitleLabel", "Web Server Certificate"}};
    for (auto& l : labels)
        EXPECT_EQ(Find<QLabel>(l.Name)->text(), l.Text);
    struct {
        const char* Name;
        const char* Text;
        bool Checked;
    } boxes[] = {{"UseHTTPS", "Use HTTPS", true},
                 {"ForwardHTTP", "Redirect HTTP", true},
                 {"LocalhostUseOnly", "Localhost Use Only", false}};
    for (auto& b : boxes) {
        EXPECT_EQ(Find<QCheckBox>(b.Name)->text(), b.Text);
        EXPECT_EQ(Find<QCheckBox>(b.Name)->isChecked(), b.Checked) << b.Name;
    }
    auto* combo = Find<QComboBox>("CertificateComboBox");
    EXPECT_FALSE(combo->isEditable());
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->currentText(), "pc1.plant.local, default");
    EXPECT_EQ(Find<QLineEdit>("WebServerPort")->text(), "443");
    EXPECT_EQ(Find<QLineEdit>("WebServerPort")->maxLength(), 5);
    EXPECT_EQ(Find<QLineEdit>("WebOriginAddress")->text(), Computer);
    EXPECT_TRUE(Find("UnencryptedWarning")->isHidden());
    EXPECT_TRUE(Find("PortInUseWarning")->isHidden());
    auto* generate = Find<QLabel>("GenerateCertificateLinkLabel");
    EXPECT_TRUE(generate->text().contains("href=\"GenerateCertificate\""));
    EXPECT_TRUE(generate->text().contains("Generate Vornix Default Certificate..."));
    EXPECT_EQ(generate->toolTip(),
              "Generates new Vornix default certificate.\nCertificate is "
              "generated using current computer name.\nCurrent certificate "
              "selection will be replaced.\nIf Vornix is running, a restart is "
              "required.");

    EXPECT_TRUE(Caption().startsWith("<a href=\"WebCertificate\">Expires in 18"));
    EXPECT_TRUE(Find<QLabel>("CertificateLinkLabel")->text().contains("Expires in 18"));
    EXPECT_TRUE(Shows("CurCertLabelImage", 0));
    EXPECT_EQ(Value("CertificateName"), "pc1.plant.local, default");
    EXPECT_EQ(Value("WebOriginsURL"), "https://pc1.plant.local");

    // Dropping the list down and closing it saves the choice.
    const std::string serial = Value("CertificateSerial");
    {
        TSandboxRegistry registry(FSandbox->Dir());
        WriteProductValue(registry, WebUIProduct, "CertificateSerial", "");
    }
    combo->showPopup();
    EXPECT_EQ(combo->count(), 1);
    combo->hidePopup();
    EXPECT_TRUE(WaitFor([&] { return Value("CertificateSerial") == serial; }, 3000));

    // The summary link opens the section, and only it.
    f.OverviewLabelLinkClick(QStringLiteral("WebCertificate"));
    EXPECT_TRUE(Find("HTTPConfigInfoPanel")->isVisible());
    EXPECT_FALSE(Find("SystemInfoPanel")->isVisible());
    EXPECT_TRUE(f.IsExpanded());
}

TEST_F(WebPanelWindowTest, TheTimerShowsTheCertificateExpiringWithinItsInterval) {
    Open();
    auto* timer = Find<QTimer>("CertificateTimer");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 60000);
    ASSERT_TRUE(Shows("CurCertLabelImage", 0));
    FClockOffsetDays = 5 * 366; // the clock passes the end of its validity
    timer->setInterval(50);     // a minute, shortened
    EXPECT_TRUE(
        WaitFor([&] { return Caption() == "<a href=\"WebCertificate\">Expired</a>"; }, 5000));
    EXPECT_TRUE(Shows("CurCertLabelImage", 2));
}

TEST_F(WebPanelWindowTest, TheControlsReachThePanelAsTheUserUsesThem) {
    auto& f = Open();
    f.OpenHTTPConfigSection();
    TypePort("0");
    EXPECT_EQ(Find<QLabel>("SizeWarningLabel")->text(), "Value out of range");
    EXPECT_TRUE(Find<QLineEdit>("WebServerPort")->styleSheet().contains("red"));
    EXPECT_EQ(Value("Port"), "443");
    TypePort("8443");
    EXPECT_EQ(Find<QLabel>("SizeWarningLabel")->text(), "Requires Vornix restart");
    EXPECT_EQ(Value("Port"), "8443");
    QTest::keyClicks(Find<QLineEdit>("WebServerPort"), "x");
    EXPECT_EQ(Find<QLineEdit>("WebServerPort")->text(), "8443") << "digits only";

    {
        TBoxAnswerer no({QMessageBox::No});
        QTest::mouseClick(Find<QCheckBox>("UseHTTPS"), Qt::LeftButton);
        EXPECT_EQ(no.Texts, QStringList{"Disabling HTTPS is not recommended. Are you sure?"});
    }
    EXPECT_TRUE(Find<QCheckBox>("UseHTTPS")->isChecked());
    EXPECT_EQ(Find<QLineEdit>("WebServerPort")->text(), "8443");

    QTest::mouseClick(Find<QCheckBox>("LocalhostUseOnly"), Qt::LeftButton);
    EXPECT_EQ(Find<QLineEdit>("WebOriginAddress")->text(), "localhost");
    EXPECT_FALSE(Find("CertificateComboBox")->isEnabled());
    EXPECT_FALSE(Find("CertificateLinkLabel")->isVisible());
    EXPECT_EQ(Value("LocalhostUseOnly"), "True");
    QTest::mouseClick(Find<QCheckBox>("LocalhostUseOnly"), Qt::LeftButton);
    EXPECT_EQ(Find<QLineEdit>("WebServerPort")->text(), "8443");
    EXPECT_EQ(Find<QLineEdit>("WebOriginAddress")->text(), Computer);
    EXPECT_EQ(Value("WebOriginsURL"), "https://pc1.plant.local:8443");

    // Leaving the host name field empty: the error, the computer's name back, saved.
    auto* host = Find<QLineEdit>("WebOriginAddress");
    Activate(); // the question's box had the focus last
    host->setFocus();
    host->clear();
    {
        TBoxAnswerer ok({QMessageBox::Ok});
        Find<QLineEdit>("WebServerPort")->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(WaitFor([&] { return !ok.Texts.isEmpty(); }, 3000));
        EXPECT_EQ(ok.Texts, QStringList{"Web Server Host Name field cannot be empty"});
        QTest::qWait(50);
    }
    EXPECT_EQ(host->text(), Computer);
    EXPECT_EQ(Value("WebOriginsURL"), "https://pc1.plant.local:8443");

    // The list is read again as it drops down: a certificate deleted meanwhile is gone, and the
    // close-up shows that nothing is selected.
    for (const auto& e :
         std::filesystem::directory_iterator(FSandbox->Dir() + "/certificates/LocalMachine/My"))
        std::filesystem::remove(e.path());
    auto* combo = Find<QComboBox>("CertificateComboBox");
    combo->showPopup(); // empty now: it closes up at once
    EXPECT_EQ(combo->count(), 0);
    EXPECT_TRUE(WaitFor([&] { return Caption() == "Not selected"; }, 3000));
    EXPECT_TRUE(Shows("CurCertLabelImage", 1));
    EXPECT_EQ(Value("CertificateSerial"), "");
}

TEST_F(WebPanelWindowTest, StartAsksAfterTheComputerWasRenamed) {
    WebServerOff();
    auto& f = Open();
    ASSERT_TRUE(WaitFor([&] { return Find("StartButton")->isEnabled(); }));
    setenv("VORNIX_COMPUTER_NAME", "pc2.plant.local", 1);
    {
        TBoxAnswerer yes({QMessageBox::Yes});
        QTest::mouseClick(Find("StartButton"), Qt::LeftButton);
        ASSERT_EQ(yes.Texts.size(), 1);
        EXPECT_TRUE(yes.Texts[0].startsWith("Looks like Vornix default certificate is in use"));
        EXPECT_TRUE(yes.Texts[0].endsWith("\n\nDo you want to open it now prior to starting?"));
    }
    EXPECT_TRUE(Find("HTTPConfigInfoPanel")->isVisible());
    QTest::qWait(300);
    EXPECT_FALSE(Running()) << "Yes leaves the service stopped";
    {
        TBoxAnswerer no({QMessageBox::No});
        QTest::mouseClick(Find("StartButton"), Qt::LeftButton);
        EXPECT_EQ(no.Texts.size(), 1);
    }
    EXPECT_TRUE(WaitFor([&] { return Running(); })) << "No starts it";
    (void)f;
}

TEST_F(WebPanelWindowTest, StartAsksWhileAnotherProgramHoldsThePort) {
    WebServerOff();
    cvtest::TLoopbackListener listener;
    ASSERT_NE(listener.Port, 0);
    const QString port = QString::number(listener.Port);
    const QString holder = QStringLiteral("Port %1 is in use by %2 (PID %3)")
                               .arg(port, QString::fromStdString(OwnExeName()))
                               .arg(getpid());

    auto& f = Open();
    f.OpenHTTPConfigSection();
    ASSERT_TRUE(WaitFor([&] { return Find("StartButton")->isEnabled(); }));
    TypePort(port);
    EXPECT_TRUE(Find("PortInUseWarning")->isVisible());
    EXPECT_EQ(Find<QLabel>("PortInUseWarningLabel")->text(), holder);
    {
        TBoxAnswerer no({QMessageBox::No});
        QTest::mouseClick(Find("StartButton"), Qt::LeftButton);
        EXPECT_EQ(no.Texts, QStringList{holder + ".\nThe web server cannot use the port while that "
                                                 "program holds it.\n\nStart Vornix anyway?"});
    }
    QTest::qWait(300);
    EXPECT_FALSE(Running());
    {
        TBoxAnswerer yes({QMessageBox::Yes});
        QTest::mouseClick(Find("StartButton"), Qt::LeftButton);
        EXPECT_EQ(yes.Texts.size(), 1);
    }
    EXPECT_TRUE(WaitFor([&] { return Running(); }));
}

// The whole way: the panel's first show makes the certificate, the service starts from the
// window, and a client that trusts only the sandbox's root store fetches the page from
// 127.0.0.1, checking the address and then the computer's name.
TEST_F(WebPanelWindowTest, TheSimulatedWebServerServesWithThePanelsCertificate) {
    if (Shell("command -v curl && command -v openssl").Status != 0)
        GTEST_FAIL() << "curl and openssl are needed (scripts/install-deps.sh)";
    const QString port = QString::number(FreePort());
    std::ofstream(FSandbox->Dir() + "/sim/web-redirect-port") << FreePort();
    Open();
    ASSERT_EQ(FForm->WebSettings()->CertificateList().Items.size(), 1u);
    ASSERT_TRUE(WaitFor([&] { return Find("StartButton")->isEnabled(); }));
    TypePort(port);
    {
        TBoxAnswerer none; // no question is expected
        QTest::mouseClick(Find("StartButton"), Qt::LeftButton);
        const std::string state = FSandbox->Dir() + "/sim/webserver";
        ASSERT_TRUE(WaitFor([&] { return FileExists(state); }, 20000))
            << ReadFileBytes(FSandbox->Dir() + "/services/Corvane/service.log").value_or("");
        EXPECT_TRUE(none.Texts.isEmpty()) << none.Texts.join("|").toStdString();
        EXPECT_EQ(ReadFileBytes(state).value_or("").rfind("https 0.0.0.0:" + port.toStdString() +
                                                              " certificate " +
                                                              Value("CertificateSerial"),
                                                          0),
                  0u)
            << ReadFileBytes(state).value_or("");
    }

    // The system's own web server now holds the port: accepting it again warns of nothing.
    TypePort(port);
    EXPECT_TRUE(Find("PortInUseWarning")->isHidden());

    // The root store's certificate, exported as an administrator would.
    const std::string roots = FSandbox->Dir() + "/roots.pem";
    for (const auto& e :
         std::filesystem::directory_iterator(FSandbox->Dir() + "/certificates/LocalMachine/Root")) {
        if (e.path().extension() == ".cer") {
            ASSERT_EQ(
                Shell("openssl x509 -inform DER -in '" + e.path().string() + "' >> '" + roots + "'")
                    .Status,
                0);
        }
    }
    const std::string p = port.toStdString();
    const std::string curl =
        "curl --silent --show-error --fail --max-time 20 --cacert '" + roots + "' ";
    const TRun byAddress = Shell(curl + "https://127.0.0.1:" + p + "/");
    EXPECT_EQ(byAddress.Status, 0);
    EXPECT_NE(byAddress.Output.find("The system is running on pc1.plant.local."), std::string::npos)
        << byAddress.Output;
    const TRun byName = Shell(curl + "--resolve " + Computer + ":" + p + ":127.0.0.1 https://" +
                              Computer + ":" + p + "/");
    EXPECT_EQ(byName.Status, 0);
    EXPECT_NE(byName.Output.find("The system is running on pc1.plant.local."), std::string::npos);

    ASSERT_TRUE(WaitFor([&] { return Find("StopButton")->isEnabled(); }));
    {
        TBoxAnswerer yes({QMessageBox::Yes});
        QTest::mouseClick(Find("StopButton"), Qt::LeftButton);
        EXPECT_EQ(yes.Texts, QStringList{"Do you want to stop Corvane X Service?"});
    }
    EXPECT_TRUE(WaitFor([&] { return !Running(); }));
}

} // namespace
