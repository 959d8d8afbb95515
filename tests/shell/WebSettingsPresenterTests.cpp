// The Web Server Configuration section's behaviour without a window: the registry values, the
// per-user copy, the certificate list and its actions, on the sandbox's registry and
// certificate stores in a fresh folder, with a view that records what the panel would show.
#include "shell/WebSettingsPresenter.h"

#include "config/CvRegistry.h"
#include "platform/posix/PosixPortListeners.h"
#include "platform/posix/PosixProcessTable.h"
#include "platform/sandbox/SandboxCertificateStore.h"
#include "platform/sandbox/SandboxRegistry.h"
#include "platform/sandbox/SandboxServiceManager.h"
#include "support/Loopback.h"
#include "support/Processes.h"
#include "support/TempFolder.h"
#include "web/CertTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <unistd.h>

using namespace cv;
using cvtest::TTempFolder;

namespace {

constexpr const char* Computer = "pc1.plant.local";

// The sandbox's registry, recording the names of the values written, in order.
class TRecordingRegistry : public IRegistry {
public:
    explicit TRecordingRegistry(const std::string& folder) : FInner(folder) {}
    std::vector<std::string> Writes;

    std::unique_ptr<IRegistryKey> OpenKey(const std::string& path, uint32_t access) override {
        return Wrap(FInner.OpenKey(path, access));
    }
    std::unique_ptr<IRegistryKey> CreateKey(const std::string& path, uint32_t access) override {
        return Wrap(FInner.CreateKey(path, access));
    }
    bool KeyExists(const std::string& path, uint32_t access) override {
        return FInner.KeyExists(path, access);
    }

private:
    class TKey : public IRegistryKey {
    public:
        TKey(std::unique_ptr<IRegistryKey> inner, std::vector<std::string>& writes)
            : FKey(std::move(inner)), FWrites(writes) {}
        std::optional<std::string> ReadString(const std::string& name) override {
            return FKey->ReadString(name);
        }
        bool WriteString(const std::string& name, const std::string& value) override {
            FWrites.push_back(name);
            return FKey->WriteString(name, value);
        }
        bool ValueExists(const std::string& name) override { return FKey->ValueExists(name); }

    private:
        std::unique_ptr<IRegistryKey> FKey;
        std::vector<std::string>& FWrites;
    };
    std::unique_ptr<IRegistryKey> Wrap(std::unique_ptr<IRegistryKey> key) {
        return key ? std::make_unique<TKey>(std::move(key), Writes) : nullptr;
    }
    TSandboxRegistry FInner;
};

// What the window would show, as the designed controls start; questions answered from a list.
class TFakeView : public IWebServerPanelView {
public:
    std::map<TWebControl, std::string> Texts = {{wc_WebServerPort, "443"},
                                                {wc_WebOriginAddress, "localhost"}};
    std::map<TWebControl, bool> Checks = {{wc_UseHTTPS, true}, {wc_ForwardHTTP, true}};
    std::map<TWebControl, bool> Enabled;
    std::map<TWebControl, bool> Visible = {{wc_UnencryptedWarning, false},
                                           {wc_PortInUseWarning, false}};
    std::vector<std::string> Items;
    int Index = -1;
    int Picture = -1;
    bool PortRed = false;
    std::deque<bool> Answers;
    std::vector<std::string> Questions;
    std::vector<TWebQuestion> QuestionTypes;
    std::vector<std::string> Errors;
    int SectionOpened = 0;
    std::vector<TWebControl> Focused;

    std::string Text(TWebControl c) override { return Texts[c]; }
    void SetText(TWebControl c, const std::string& t) override { Texts[c] = t; }
    bool Checked(TWebControl c) override { return Checks[c]; }
    void SetChecked(TWebControl c, bool v) override { Checks[c] = v; }
    void SetEnabled(TWebControl c, bool v) override { Enabled[c] = v; }
    void SetVisible(TWebControl c, bool v) override { Visible[c] = v; }
    void SetFocus(TWebControl c) override { Focused.push_back(c); }
    void SetPortRed(bool red) override { PortRed = red; }
    void ShowCertificateList(const std::vector<std::string>& texts, int index) override {
        Items = texts;
        Index = index;
    }
    int CertificateItemIndex() override { return Index; }
    void SetCertificatePicture(int index) override { Picture = index; }
    bool Ask(const std::string& q, TWebQuestion type) override {
        Questions.push_back(q);
        QuestionTypes.push_back(type);
        if (Answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << q;
            return false;
        }
        bool a = Answers.front();
        Answers.pop_front();
        return a;
    }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    void OpenHTTPConfigSection() override { ++SectionOpened; }
};

// Whole days from now to the same moment five years on, less the moment already gone.
int DefaultCertificateDays() {
    using namespace std::chrono;
    const year_month_day today{floor<days>(system_clock::now())};
    year_month_day end = today + years(5);
    if (!end.ok()) // 29 February: the last day the month has
        end = year_month_day_last(end.year(), month_day_last(end.month()));
    return static_cast<int>((sys_days(end) - sys_days(today)).count()) - 1;
}

std::string Link(const std::string& text) {
    return "<a href=\"WebCertificate\">" + text + "</a>";
}

class WebSettingsPanel : public ::testing::Test {
protected:
    void SetUp() override {
        Registry = std::make_shared<TRecordingRegistry>(Temp.Dir());
        Registry->CreateKey(std::string(ProductsKey) + WebUIProduct, KEY_WRITE);
        // As the installer leaves them.
        SetValues({{"Port", "443"},
                   {"Encrypted", "True"},
                   {"CertificateName", ""},
                   {"CertificateSerial", ""},
                   {"ForwardHTTP", "True"},
                   {"WebOriginsURL", ""},
                   {"WebOriginsWs", ""},
                   {"LocalhostUseOnly", "False"}});
        Platform.Registry = Registry;
        Platform.Certificates = std::make_shared<TSandboxCertificateStore>(Temp.Dir());
        Platform.System = System;
        Platform.Listeners = std::make_shared<TPosixPortListeners>();
        Platform.Services = std::make_shared<TSandboxServiceManager>(Temp.Dir());
        Platform.Processes = std::make_shared<TPosixProcessTable>();
        std::filesystem::create_directories(Temp.Dir() + "/AppData");
        Settings = std::make_unique<TWebServerSettings>(Computer, Temp.Dir() + "/AppData");
        Registry->Writes.clear();
    }

    TWebSettingsPresenter& Panel(std::string installFolder = "/nonexistent/") {
        FPanel = std::make_unique<TWebSettingsPresenter>(View, *Settings, Warning, Platform,
                                                         std::move(installFolder),
                                                         [this] { return Clock.value_or(Now()); });
        return *FPanel;
    }
    // The panel as the window's first show leaves it.
    TWebSettingsPresenter& Shown() {
        TWebSettingsPresenter& p = Panel();
        p.ShowWebServerSettings(true);
        Warning.FPortValueOutOfRange = Warning.FPrivPoolValueOutOfRange = false;
        Registry->Writes.clear();
        return p;
    }

    void SetValues(const std::vector<std::pair<std::string, std::string>>& values) {
        for (const auto& [name, value] : values)
            WriteProductValue(*Registry, WebUIProduct, name, value);
    }
    std::string Value(const std::string& name) {
        return ReadProductValue(*Registry, WebUIProduct, name);
    }
    std::vector<std::string> AllValues() {
        std::vector<std::string> out;
        for (const char* name :
             {"Port", "Encrypted", "CertificateName", "CertificateSerial", "ForwardHTTP",
              "WebOriginsURL", "WebOriginsWs", "LocalhostUseOnly"})
            out.push_back(Value(name));
        return out;
    }
    std::string Serial(size_t item) {
        return FPanel->CertificateList().Items.at(item).Object->FSerialNumber;
    }
    // A server certificate made with OpenSSL, its key in a container of its own.
    std::string AddServerCertificate(const std::string& name, uint8_t serial) {
        using namespace cvtest;
        TTestCertSpec spec;
        spec.CommonName = name;
        spec.Serial = {serial};
        TTestKey key = MakeTestKey();
        auto& store = static_cast<TSandboxCertificateStore&>(*Platform.Certificates);
        auto cert = store.CreateFromEncoded(MakeCertificateDer(spec, key.get()));
        cert->AddEnhancedKeyUsage(szOID_PKIX_KP_SERVER_AUTH);
        const std::string container = "Keys" + std::to_string(serial);
        TKeyProvInfo info{container, "", PROV_RSA_FULL, CRYPT_MACHINE_KEYSET, AT_SIGNATURE};
        cert->SetKeyProvInfo(&info);
        PutKey(Temp.Dir(), container, key.get());
        EXPECT_TRUE(store.OpenSystemStore("My")->Add(*cert));
        return SerialNumberText({serial});
    }
    void TypePort(const std::string& text) {
        View.Texts[wc_WebServerPort] = text;
        FPanel->WebServerPortChange();
    }

    const std::vector<std::string> WriteOrder = {
        "Port",        "Encrypted",     "CertificateName", "CertificateSerial",
        "ForwardHTTP", "WebOriginsURL", "WebOriginsWs",    "LocalhostUseOnly"};
    TTempFolder Temp;
    std::shared_ptr<TRecordingRegistry> Registry;
    std::shared_ptr<cvtest::TRecordingSystemInfo> System = [] {
        auto system = std::make_shared<cvtest::TRecordingSystemInfo>();
        system->Name = Computer;
        system->ProcessId = static_cast<uint32_t>(getpid());
        return system;
    }();
    TPlatform Platform;
    std::unique_ptr<TWebServerSettings> Settings;
    TSizeWarning Warning;
    TFakeView View;
    std::optional<TDateTime> Clock; // the system's when unset
    std::unique_ptr<TWebSettingsPresenter> FPanel;
};

TEST(WebOrigins, URLsLeaveOutOnlyTheSchemesOwnPort) {
    struct TCase {
        bool Https;
        int32_t Port;
        const char* Url;
        const char* Ws;
    };
    const TCase cases[] = {
        {true, 443, "https://pc1", "wss://pc1"},
        {true, 8443, "https://pc1:8443", "wss://pc1:8443"},
        {true, 80, "https://pc1:80", "wss://pc1:80"},
        {false, 80, "http://pc1", "ws://pc1"},
        {false, 443, "http://pc1:443", "ws://pc1:443"},
        {false, 8080, "http://pc1:8080", "ws://pc1:8080"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(OriginURL(c.Https, false, "pc1", c.Port), c.Url);
        EXPECT_EQ(OriginURL(c.Https, true, "pc1", c.Port), c.Ws);
    }
}

TEST_F(WebSettingsPanel, RegistryValuesReadExactlyAsWritten) {
    TWebSettingsPresenter& p = Panel();
    struct TCase {
        std::vector<std::pair<std::string, std::string>> Values;
        int32_t Port;
        bool Https, Redirect, LocalOnly;
        const char* Host;
    };
    const std::vector<TCase> cases = {
        {{}, 443, true, true, false, Computer},
        {{{"Encrypted", "false"}, {"ForwardHTTP", "FALSE"}, {"LocalhostUseOnly", "true"}},
         443,
         true,
         true,
         false,
         Computer},
        {{{"Encrypted", "False"}, {"ForwardHTTP", "False"}, {"LocalhostUseOnly", "True"}},
         443,
         false,
         false,
         true,
         Computer},
        {{{"Port", "8443"}, {"WebOriginsURL", "https://web.plant.local:8443"}},
         8443,
         true,
         true,
         false,
         "web.plant.local"},
        {{{"Port", "80"}, {"WebOriginsURL", "http://pc9"}}, 80, true, true, false, "pc9"},
        {{{"WebOriginsURL", "pc9"}}, 443, true, true, false, Computer},
        {{{"WebOriginsURL", "https://"}}, 443, true, true, false, Computer},
        // Not a port: 443 (the panel goes on and writes it back).
        {{{"Port", "eighty"}}, 443, true, true, false, Computer},
        {{{"Port", "0"}}, 443, true, true, false, Computer},
        {{{"Port", "65536"}}, 443, true, true, false, Computer},
        {{{"Port", "65535"}}, 65535, true, true, false, Computer},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Values.empty() ? "no values" : c.Values[0].first + "=" + c.Values[0].second);
        SetValues({{"Port", ""},
                   {"Encrypted", ""},
                   {"ForwardHTTP", ""},
                   {"LocalhostUseOnly", ""},
                   {"WebOriginsURL", ""}});
        SetValues(c.Values);
        const TWebUISettings s = p.ReadWebUISettings();
        EXPECT_EQ(s.Port, c.Port);
        EXPECT_EQ(s.UseHTTPS, c.Https);
        EXPECT_EQ(s.Redirect, c.Redirect);
        EXPECT_EQ(s.LocalOnly, c.LocalOnly);
        EXPECT_EQ(s.HostName, c.Host);
    }
}

TEST_F(WebSettingsPanel, ACertificateIsNamedOnlyWhileTheStoreHoldsIt) {
    TWebSettingsPresenter& p = Shown();
    const std::string serial = Serial(0);
    SetValues({{"CertificateName", "anything"}, {"CertificateSerial", serial}});
    TWebUISettings s = p.ReadWebUISettings();
    EXPECT_EQ(s.Serial, serial);
    EXPECT_EQ(s.CertName, "anything");
    SetValues({{"CertificateSerial", "0123456789"}});
    s = p.ReadWebUISettings();
    EXPECT_EQ(s.Serial, "");
    EXPECT_EQ(s.CertName, "");
}

TEST_F(WebSettingsPanel, ValuesAreWrittenInTheirOrder) {
    TWebSettingsPresenter& p = Panel();
    p.WriteWebUISettings(8443, true, false, "pc1", false, "1A2B", "pc1, default");
    EXPECT_EQ(Registry->Writes, WriteOrder);
    EXPECT_EQ(AllValues(),
              (std::vector<std::string>{"8443", "True", "pc1, default", "1A2B", "False",
                                        "https://pc1:8443", "wss://pc1:8443", "False"}));
}

TEST_F(WebSettingsPanel, FirstStartCreatesAndSelectsADefaultCertificateAndWritesAllEight) {
    TWebSettingsPresenter& p = Panel();
    p.ShowWebServerSettings(true);
    ASSERT_EQ(p.CertificateList().Items.size(), 1u);
    EXPECT_EQ(View.Items, std::vector<std::string>{"pc1.plant.local, default"});
    EXPECT_EQ(View.Index, 0);
    const TCertObject& cert = *p.CertificateList().Items[0].Object;
    EXPECT_TRUE(cert.FIsCorvaneCertificate);
    EXPECT_EQ(cert.FIssuedToComputer, Computer);
    EXPECT_EQ(View.Texts[wc_WebServerPort], "443");
    EXPECT_EQ(View.Texts[wc_WebOriginAddress], Computer);
    EXPECT_TRUE(View.Checks[wc_UseHTTPS]);
    EXPECT_TRUE(View.Checks[wc_ForwardHTTP]);
    EXPECT_FALSE(View.Checks[wc_LocalhostUseOnly]);
    EXPECT_EQ(Registry->Writes, WriteOrder);
    EXPECT_EQ(AllValues(),
              (std::vector<std::string>{"443", "True", "pc1.plant.local, default",
                                        cert.FSerialNumber, "True", "https://pc1.plant.local",
                                        "wss://pc1.plant.local", "False"}));
    EXPECT_EQ(View.Picture, 0);
    EXPECT_EQ(View.Texts[wc_CertificateLinkLabel],
              Link("Expires in " + std::to_string(DefaultCertificateDays()) + " days"));
    for (TWebControl c : {wc_ForwardHTTP, wc_WebOriginAddress, wc_UseHTTPS, wc_CertificateComboBox,
                          wc_GenerateCertificateLinkLabel, wc_LocalhostUseOnly, wc_WebServerPort})
        EXPECT_TRUE(View.Enabled[c]) << c;
    EXPECT_TRUE(View.Visible[wc_CurCertLabelImage]);
    EXPECT_TRUE(View.Visible[wc_CertificateLinkLabel]);
    EXPECT_FALSE(p.SaveDisabled());

    // The next start finds it by its serial and makes no other.
    Panel().ShowWebServerSettings(true);
    EXPECT_EQ(FPanel->CertificateList().Items.size(), 1u);
    EXPECT_EQ(View.Index, 0);
}

TEST_F(WebSettingsPanel, LocalOnlyInTheRegistryMakesNoCertificate) {
    SetValues({{"LocalhostUseOnly", "True"}, {"Port", "8080"}});
    TWebSettingsPresenter& p = Panel();
    p.ShowWebServerSettings(true);
    EXPECT_TRUE(p.CertificateList().Items.empty());
    EXPECT_EQ(View.Texts[wc_WebServerPort], "8080");
    EXPECT_EQ(View.Texts[wc_WebOriginAddress], "localhost");
    EXPECT_FALSE(View.Checks[wc_UseHTTPS]);
    EXPECT_FALSE(View.Enabled[wc_CertificateComboBox]);
    EXPECT_FALSE(View.Visible[wc_CertificateLinkLabel]);
    EXPECT_TRUE(View.Enabled[wc_WebServerPort]);
    EXPECT_EQ(View.Picture, 1);
    EXPECT_EQ(View.Texts[wc_CertificateLinkLabel], NotSelectedText);
    EXPECT_EQ(AllValues(),
              (std::vector<std::string>{"8080", "False", "", "", "False", "http://localhost:8080",
                                        "ws://localhost:8080", "True"}));
}

TEST_F(WebSettingsPanel, APortThatIsNoNumberIsTakenAs443AndThePanelGoesOn) {
    SetValues({{"Port", "eighty"}});
    TWebSettingsPresenter& p = Panel();
    p.ShowWebServerSettings(true);
    EXPECT_FALSE(p.SaveDisabled());
    EXPECT_EQ(View.Texts[wc_WebServerPort], "443");
    EXPECT_EQ(Value("Port"), "443");
    TypePort("8443"); // the panel still answers
    EXPECT_EQ(Value("Port"), "8443");
}

TEST_F(WebSettingsPanel, PortEditsWithinOneTo65535AreSavedOthersTurnRed) {
    TWebSettingsPresenter& p = Shown();
    (void)p;
    struct TCase {
        const char* Text;
        bool Accepted;
    };
    const TCase cases[] = {{"0", false},     {"1", true},    {"", false},     {"65535", true},
                           {"65536", false}, {"8443", true}, {"99999", false}};
    std::string lastSaved = "443";
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        TypePort(c.Text);
        EXPECT_EQ(View.PortRed, !c.Accepted);
        EXPECT_EQ(Warning.FPortValueOutOfRange, !c.Accepted);
        EXPECT_EQ(Warning.LabelText(), c.Accepted ? RequiresRestartText : ValueOutOfRangeText);
        if (c.Accepted)
            lastSaved = c.Text;
        EXPECT_EQ(Value("Port"), lastSaved) << "the registry keeps the last valid port";
    }
    EXPECT_FALSE(Warning.Visible()) << "the shared panel's visibility is its own rule's";
    // A rejected pool size keeps its message in the shared label.
    Warning.FPrivPoolValueOutOfRange = true;
    Warning.SetLabelText(ValueOutOfRangeText);
    TypePort("444");
    EXPECT_EQ(Warning.LabelText(), ValueOutOfRangeText);
    EXPECT_EQ(Value("Port"), "444");
}

TEST_F(WebSettingsPanel, SavingWithABadPortFieldKeepsTheLastValidPort) {
    TWebSettingsPresenter& p = Shown();
    TypePort("8443");
    TypePort("70000");
    View.Checks[wc_ForwardHTTP] = false;
    p.ForwardHttpClick();
    EXPECT_EQ(Value("Port"), "8443");
    EXPECT_EQ(Value("ForwardHTTP"), "False");
    EXPECT_EQ(Value("WebOriginsURL"), "https://pc1.plant.local:8443");
}

TEST_F(WebSettingsPanel, SwitchingHttpsResetsThePortAndNoKeepsItOn) {
    TWebSettingsPresenter& p = Shown();
    TypePort("8443");
    View.Checks[wc_ForwardHTTP] = false;
    p.ForwardHttpClick();

    // No: HTTPS stays on with its port, and redirect comes on again.
    View.Checks[wc_UseHTTPS] = false;
    View.Answers = {false};
    p.UseHTTPSClick();
    EXPECT_EQ(View.Questions, std::vector<std::string>{DisableHttpsQuestion});
    EXPECT_TRUE(View.Checks[wc_UseHTTPS]);
    EXPECT_EQ(View.Texts[wc_WebServerPort], "8443");
    EXPECT_TRUE(View.Checks[wc_ForwardHTTP]);
    EXPECT_TRUE(View.Enabled[wc_ForwardHTTP]);
    EXPECT_FALSE(View.Visible[wc_UnencryptedWarning]);
    EXPECT_EQ(Value("ForwardHTTP"), "True");
    EXPECT_EQ(Value("Port"), "8443");

    // Yes: plain HTTP on 80.
    View.Checks[wc_UseHTTPS] = false;
    View.Answers = {true};
    p.UseHTTPSClick();
    EXPECT_EQ(View.Texts[wc_WebServerPort], "80");
    EXPECT_FALSE(View.Checks[wc_ForwardHTTP]);
    EXPECT_FALSE(View.Enabled[wc_ForwardHTTP]);
    EXPECT_FALSE(View.Enabled[wc_CertificateComboBox]);
    EXPECT_FALSE(View.Visible[wc_CertificateLinkLabel]);
    EXPECT_TRUE(View.Visible[wc_UnencryptedWarning]);
    EXPECT_EQ(AllValues()[0], "80");
    EXPECT_EQ(Value("Encrypted"), "False");
    EXPECT_EQ(Value("WebOriginsURL"), "http://pc1.plant.local");
    EXPECT_EQ(Value("CertificateSerial"), Serial(0)) << "the selection stays";

    // On again: 443, no question; a red port is black again.
    View.PortRed = true;
    Warning.FPortValueOutOfRange = true;
    View.Checks[wc_UseHTTPS] = true;
    p.UseHTTPSClick();
    EXPECT_EQ(View.Questions.size(), 2u);
    EXPECT_EQ(View.Texts[wc_WebServerPort], "443");
    EXPECT_FALSE(View.PortRed);
    EXPECT_FALSE(Warning.FPortValueOutOfRange);
    EXPECT_FALSE(View.Visible[wc_UnencryptedWarning]);
    EXPECT_EQ(Value("WebOriginsURL"), "https://pc1.plant.local");
}

TEST_F(WebSettingsPanel, LocalOnlyOnAndOffReturnsTheSettingsBeforeIt) {
    struct TCase {
        const char* Name;
        const char* PortMeanwhile; // typed while local-only is on; null for none
    };
    for (const TCase& c :
         {TCase{"plain round trip", nullptr}, TCase{"port changed meanwhile", "8080"}}) {
        SCOPED_TRACE(c.Name);
        TWebSettingsPresenter& p = Shown();
        TypePort("8443");
        View.Texts[wc_WebOriginAddress] = "web.plant.local";
        p.WebServerOriginAddressChange();
        View.Checks[wc_ForwardHTTP] = false;
        p.ForwardHttpClick();
        const std::string serial = Value("CertificateSerial");

        View.Checks[wc_LocalhostUseOnly] = true;
        p.LocalHostOnlyClick();
        EXPECT_EQ(AllValues(), (std::vector<std::string>{"80", "False", "pc1.plant.local, default",
                                                         serial, "False", "http://localhost",
                                                         "ws://localhost", "True"}));
        for (TWebControl ctl : {wc_ForwardHTTP, wc_WebOriginAddress, wc_UseHTTPS,
                                wc_CertificateComboBox, wc_GenerateCertificateLinkLabel})
            EXPECT_FALSE(View.Enabled[ctl]) << ctl;
        EXPECT_FALSE(View.Visible[wc_CurCertLabelImage]);
        EXPECT_TRUE(View.Enabled[wc_WebServerPort]);
        const TWebServerSettingField& kept = Settings->GetActiveSettings();
        EXPECT_EQ(kept.Port(), 8443);
        EXPECT_EQ(kept.HostName(), "web.plant.local");
        EXPECT_TRUE(kept.UseHTTPS());
        EXPECT_FALSE(kept.ForwardHTTP());
        if (c.PortMeanwhile) {
            TypePort(c.PortMeanwhile);
            EXPECT_EQ(Value("Port"), c.PortMeanwhile);
            EXPECT_EQ(Settings->GetActiveSettings().Port(), 8443) << "the copy stays as it was";
        }

        View.Checks[wc_LocalhostUseOnly] = false;
        p.LocalHostOnlyClick();
        EXPECT_EQ(View.Texts[wc_WebServerPort], "8443");
        EXPECT_EQ(View.Texts[wc_WebOriginAddress], "web.plant.local");
        EXPECT_TRUE(View.Checks[wc_UseHTTPS]);
        EXPECT_FALSE(View.Checks[wc_ForwardHTTP]);
        EXPECT_EQ(View.Index, 0);
        EXPECT_EQ(AllValues(),
                  (std::vector<std::string>{"8443", "True", "pc1.plant.local, default", serial,
                                            "False", "https://web.plant.local:8443",
                                            "wss://web.plant.local:8443", "False"}));
        for (TWebControl ctl :
             {wc_ForwardHTTP, wc_WebOriginAddress, wc_UseHTTPS, wc_CertificateComboBox})
            EXPECT_TRUE(View.Enabled[ctl]) << ctl;
        EXPECT_EQ(View.Picture, 0);
    }
}

TEST_F(WebSettingsPanel, LeavingLocalOnlyWithAnEmptyListMakesACertificateForTheHost) {
    SetValues({{"LocalhostUseOnly", "True"}});
    Settings->SaveSettings(8443, "web.plant.local", true, true);
    TWebSettingsPresenter& p = Panel();
    p.ShowWebServerSettings(true);
    ASSERT_TRUE(p.CertificateList().Items.empty());
    View.Checks[wc_LocalhostUseOnly] = false;
    p.LocalHostOnlyClick();
    EXPECT_EQ(View.Items, std::vector<std::string>{"web.plant.local, default"});
    EXPECT_EQ(View.Index, 0);
    EXPECT_EQ(Value("CertificateName"), "web.plant.local, default");
    EXPECT_EQ(Value("WebOriginsURL"), "https://web.plant.local:8443");
}

TEST_F(WebSettingsPanel, AHandEditedCopyWithoutPortOrHostStillGivesAUsablePanel) {
    TWebSettingsPresenter& p = Shown();
    View.Checks[wc_LocalhostUseOnly] = true;
    p.LocalHostOnlyClick();
    Settings->SaveSettings(123456, " ", false, false); // as if edited by hand
    View.Checks[wc_LocalhostUseOnly] = false;
    p.LocalHostOnlyClick();
    EXPECT_EQ(View.Texts[wc_WebServerPort], "80");
    EXPECT_EQ(View.Texts[wc_WebOriginAddress], Computer);
    EXPECT_EQ(Value("WebOriginsURL"), "http://pc1.plant.local");
}

TEST_F(WebSettingsPanel, AnEmptyHostNameIsRefusedAndTheComputerNamePutBack) {
    TWebSettingsPresenter& p = Shown();
    SetValues({{"WebOriginsURL", "https://stale"}});
    // Leaving the field saves even when nothing changed.
    p.WebServerOriginAddressChange();
    EXPECT_EQ(Value("WebOriginsURL"), "https://pc1.plant.local");
    EXPECT_TRUE(View.Errors.empty());

    for (const char* empty : {"", "  "}) {
        View.Errors.clear();
        View.Texts[wc_WebOriginAddress] = empty;
        SetValues({{"WebOriginsURL", "https://stale"}});
        p.WebServerOriginAddressChange();
        EXPECT_EQ(View.Errors, std::vector<std::string>{EmptyHostNameText});
        EXPECT_EQ(View.Texts[wc_WebOriginAddress], Computer);
        EXPECT_EQ(View.Focused.back(), wc_WebOriginAddress);
        EXPECT_EQ(Value("WebOriginsURL"), "https://pc1.plant.local");
    }
}

TEST_F(WebSettingsPanel, ACertificateChoiceIsSavedOnlyWithAValidPort) {
    TWebSettingsPresenter& p = Shown();
    const std::string other = AddServerCertificate("web.plant.local", 0x42);
    p.CertificateDropDown(); // the list is read again as it drops down
    ASSERT_EQ(View.Items.size(), 2u);
    ASSERT_EQ(Serial(static_cast<size_t>(View.Index)), Value("CertificateSerial"))
        << "the selection is kept";
    const int first = Serial(0) == other ? 0 : 1;
    const std::string firstSerial = other;

    View.Index = first; // the user's choice
    p.CertificateChange();
    EXPECT_EQ(Value("CertificateSerial"), firstSerial);
    EXPECT_EQ(Warning.LabelText(), RequiresRestartText);

    TypePort("0");
    View.Index = 1 - first;
    p.CertificateChange();
    EXPECT_EQ(Value("CertificateSerial"), firstSerial) << "not saved with an invalid port";
    EXPECT_EQ(Warning.LabelText(), ValueOutOfRangeText);

    // Dropping down refills and keeps the selection by serial.
    p.CertificateDropDown();
    EXPECT_EQ(Serial(static_cast<size_t>(View.Index)), Serial(static_cast<size_t>(1 - first)));
}

TEST_F(WebSettingsPanel, TheLinkFollowsTheClockThroughExpiry) {
    TWebSettingsPresenter& p = Shown();
    const TCertObject& cert = *p.CertificateList().Items[0].Object;
    struct TCase {
        TDateTime At;
        int Picture;
        std::string Caption;
    };
    const TCase cases[] = {
        {cert.FValidTo - 90.25, 0, Link("Expires in 90 days")},
        {cert.FValidTo - 20.0 / 24, 0, Link("Expires in 0 days")},
        {cert.FValidTo, 2, Link("Expired")},
        {cert.FValidFrom - 30.0 / 24, 2, Link("Not valid in 1 days")},
    };
    for (const TCase& c : cases) {
        Clock = c.At;
        p.UpdateCertificateLink();
        EXPECT_EQ(View.Picture, c.Picture);
        EXPECT_EQ(View.Texts[wc_CertificateLinkLabel], c.Caption);
    }
    View.Index = -1;
    p.UpdateCertificateLink();
    EXPECT_EQ(View.Picture, 1);
    EXPECT_EQ(View.Texts[wc_CertificateLinkLabel], NotSelectedText);
}

TEST_F(WebSettingsPanel, StartAsksWhenTheDefaultCertificateWasMadeForAnotherName) {
    TWebSettingsPresenter& p = Shown();
    struct TCase {
        const char* Name;
        std::deque<bool> Answers;
        bool Asked, Starts;
    };
    const TCase cases[] = {
        {"pc1.plant.local", {}, false, true},
        {"PC1.Plant.LOCAL", {}, false, true},
        {"pc2.plant.local", {true}, true, false},
        {"pc2.plant.local", {false}, true, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + (c.Answers.empty() ? ""
                                            : c.Answers[0]    ? " Yes"
                                                              : " No"));
        System->Name = c.Name;
        View.Questions.clear();
        View.SectionOpened = 0;
        View.Answers = c.Answers;
        EXPECT_EQ(p.ConfirmCertificateBeforeStart(), c.Starts);
        EXPECT_EQ(View.Questions.size(), c.Asked ? 1u : 0u);
        EXPECT_EQ(View.SectionOpened, c.Asked && !c.Starts ? 1 : 0);
    }
    EXPECT_EQ(View.Questions.at(0),
              "Looks like Vornix default certificate is in use and the computer configuration has "
              "changed.\r\nIt is recommended to update the certificate to match the current "
              "configuration.\r\nCerticate can be updated by clicking \"Generate Vornix Default "
              "Certificate...\" link\r\nin Web Server Configuration options.\r\n\r\nDo you want to "
              "open it now prior to starting?");
    // Nothing selected: nothing to ask.
    View.Index = -1;
    View.Questions.clear();
    EXPECT_TRUE(p.ConfirmCertificateBeforeStart());
    EXPECT_TRUE(View.Questions.empty());
}

TEST_F(WebSettingsPanel, ReplacingAsksOnlyWhileTheCertificateIsValid) {
    TWebSettingsPresenter& p = Shown();
    const std::string original = Serial(0);
    TypePort("8443");
    View.Texts[wc_WebOriginAddress] = "web.plant.local";
    p.WebServerOriginAddressChange();

    View.Answers = {false};
    p.ReplaceWithDefaultCertificate();
    EXPECT_EQ(View.Questions, std::vector<std::string>{ReplaceCertificateQuestion});
    EXPECT_EQ(View.Items.size(), 1u);
    EXPECT_EQ(Value("CertificateSerial"), original);

    // Expired: replaced without a question, and the host becomes the computer's name again.
    View.Questions.clear();
    Clock = p.CertificateList().Items[0].Object->FValidTo + 1;
    System->Name = "pc2.plant.local";
    p.ReplaceWithDefaultCertificate();
    EXPECT_TRUE(View.Questions.empty());
    // The new key replaced the old one in the container: only the new certificate can serve.
    ASSERT_EQ(View.Items.size(), 1u);
    ASSERT_EQ(View.Index, 0);
    const std::string serial = Serial(0);
    EXPECT_NE(serial, original);
    EXPECT_EQ(View.Items[static_cast<size_t>(View.Index)], "pc2.plant.local, default");
    EXPECT_EQ(AllValues(), (std::vector<std::string>{"8443", "True", "pc2.plant.local, default",
                                                     serial, "True", "https://pc2.plant.local:8443",
                                                     "wss://pc2.plant.local:8443", "False"}));
    EXPECT_EQ(View.Texts[wc_WebOriginAddress], "pc2.plant.local");
}

TEST_F(WebSettingsPanel, AFailedDefaultCertificateLeavesNothingSelectedAndWritesEmptyNames) {
    // The machine key folder cannot be made: no key, no certificate.
    std::filesystem::create_directories(Temp.Dir() + "/crypto");
    std::ofstream(Temp.Dir() + "/crypto/MachineKeys") << "not a folder";
    TWebSettingsPresenter& p = Panel();
    p.ShowWebServerSettings(true);
    EXPECT_TRUE(View.Items.empty());
    EXPECT_EQ(View.Picture, 1);
    EXPECT_EQ(View.Texts[wc_CertificateLinkLabel], NotSelectedText);
    EXPECT_EQ(Value("CertificateName"), "");
    EXPECT_EQ(Value("CertificateSerial"), "");
    EXPECT_EQ(Value("Port"), "443");
}

// ---------------------------------------------------------------- who holds the port

using cvtest::OwnExeName;
using TListener = cvtest::TLoopbackListener;

TEST_F(WebSettingsPanel, APortHeldByAnotherProgramIsNamedAndStartAsks) {
    TListener listener;
    const std::string port = std::to_string(listener.Port);
    const std::string holder = "Port " + port + " is in use by " + OwnExeName() + " (PID " +
                               std::to_string(getpid()) + ")";
    TWebSettingsPresenter& p = Shown();
    EXPECT_FALSE(View.Visible[wc_PortInUseWarning]);

    TypePort(port);
    EXPECT_TRUE(View.Visible[wc_PortInUseWarning]);
    EXPECT_EQ(View.Texts[wc_PortInUseWarning], holder);
    EXPECT_EQ(Value("Port"), port) << "the port is saved all the same";
    EXPECT_EQ(Warning.LabelText(), RequiresRestartText) << "the size warning keeps its own text";

    View.Answers = {false, true};
    EXPECT_FALSE(p.ConfirmPortBeforeStart());
    EXPECT_TRUE(p.ConfirmPortBeforeStart());
    ASSERT_EQ(View.Questions.size(), 2u);
    EXPECT_EQ(View.Questions[0], holder + ".\r\nThe web server cannot use the port while that "
                                          "program holds it.\r\n\r\nStart Vornix anyway?");
    EXPECT_EQ(View.QuestionTypes[0], wq_Warning);

    // A rejected port hides it; a free one too, and Start does not ask.
    TypePort("0");
    EXPECT_FALSE(View.Visible[wc_PortInUseWarning]);
    std::string freePort;
    {
        TListener closed; // free again once it closes
        freePort = std::to_string(closed.Port);
    }
    View.Questions.clear();
    TypePort(freePort);
    EXPECT_FALSE(View.Visible[wc_PortInUseWarning]);
    EXPECT_TRUE(p.ConfirmPortBeforeStart());
    EXPECT_TRUE(View.Questions.empty());

    // The system's own web server (a program below the install folder) may hold its port.
    TypePort(port);
    TWebSettingsPresenter& own =
        Panel(std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/");
    own.ShowWebServerSettings(true);
    EXPECT_EQ(View.Texts[wc_WebServerPort], port);
    EXPECT_FALSE(View.Visible[wc_PortInUseWarning]);
    EXPECT_TRUE(own.ConfirmPortBeforeStart());
    EXPECT_TRUE(View.Questions.empty());
}

} // namespace
