#include "WebSettingsPresenter.h"

#include "config/CvRegistry.h"
#include "core/Text.h"
#include "web/PortHolder.h"

namespace cv {

namespace {

const char* BoolText(bool b) {
    return b ? "True" : "False";
}

// Sets a flag for the length of a scope; cleared also when the scope is left by an exception,
// so a failure while the panel is filled never leaves it deaf to the user.
class TFlagScope {
public:
    explicit TFlagScope(bool& flag) : FFlag(flag) { FFlag = true; }
    ~TFlagScope() { FFlag = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& FFlag;
};

} // namespace

std::string PortInUseQuestion(const std::string& holder) {
    return holder + ".\r\nThe web server cannot use the port while that program holds it.\r\n\r\n"
                    "Start Vornix anyway?";
}

TWebSettingsPresenter::TWebSettingsPresenter(IWebServerPanelView& view,
                                             TWebServerSettings& settings,
                                             TSizeWarning& sizeWarning, TPlatform platform,
                                             std::string installFolder, TClock clock)
    : FView(view), FWebServerSettings(settings), FSizeWarning(sizeWarning),
      FPlatform(std::move(platform)), FInstallFolder(std::move(installFolder)),
      FClock(std::move(clock)), FCrypt(*FPlatform.Certificates, *FPlatform.System) {}

TDateTime TWebSettingsPresenter::CurrentTime() const {
    return FClock ? FClock() : Now();
}

std::string TWebSettingsPresenter::GetMyComputerName() {
    return TWebServerSettings::GetMyComputerName(*FPlatform.System);
}

// ---------------------------------------------------------------- registry values

TWebUISettings TWebSettingsPresenter::ReadWebUISettings() {
    IRegistry& reg = *FPlatform.Registry;
    auto read = [&](const char* name) { return ReadProductValue(reg, WebUIProduct, name); };
    TWebUISettings s;
    s.Port = PortFromRegistry(read("Port"));
    s.UseHTTPS = read("Encrypted") != "False";
    s.CertName = read("CertificateName");
    s.Serial = read("CertificateSerial");
    s.Redirect = read("ForwardHTTP") != "False";
    s.HostName = HostFromOriginURL(read("WebOriginsURL"), GetMyComputerName());
    s.LocalOnly = read("LocalhostUseOnly") == "True";
    if (s.Serial.empty() || !FCrypt.CertificateExists(s.Serial)) {
        s.Serial.clear();
        s.CertName.clear();
    }
    return s;
}

void TWebSettingsPresenter::WriteWebUISettings(int32_t Port, bool UseHTTPS, bool LocalOnly,
                                               const std::string& HostName, bool Redirect,
                                               const std::string& Serial,
                                               const std::string& CertName) {
    IRegistry& reg = *FPlatform.Registry;
    const std::pair<const char*, std::string> values[] = {
        {"Port", std::to_string(Port)},
        {"Encrypted", BoolText(UseHTTPS)},
        {"CertificateName", CertName},
        {"CertificateSerial", Serial},
        {"ForwardHTTP", BoolText(Redirect)},
        {"WebOriginsURL", OriginURL(UseHTTPS, false, HostName, Port)},
        {"WebOriginsWs", OriginURL(UseHTTPS, true, HostName, Port)},
        {"LocalhostUseOnly", BoolText(LocalOnly)},
    };
    for (const auto& [name, value] : values)
        WriteProductValue(reg, WebUIProduct, name, value);
}

bool TWebSettingsPresenter::PanelPort(int32_t& port) {
    const std::string text = FView.Text(wc_WebServerPort);
    return !text.empty() && TryStrToInt(text, port) && PortInRange(port);
}

int32_t TWebSettingsPresenter::PortToSave() {
    int32_t port = 0;
    if (PanelPort(port))
        return port;
    return PortFromRegistry(ReadProductValue(*FPlatform.Registry, WebUIProduct, "Port"));
}

void TWebSettingsPresenter::PutPort(int32_t port) {
    FView.SetText(wc_WebServerPort, std::to_string(port));
    // The field holds a port again.
    FView.SetPortRed(false);
    FSizeWarning.FPortValueOutOfRange = false;
}

void TWebSettingsPresenter::SaveWebServerSettings() {
    WriteWebUISettings(PortToSave(), FView.Checked(wc_UseHTTPS), FView.Checked(wc_LocalhostUseOnly),
                       FView.Text(wc_WebOriginAddress), FView.Checked(wc_ForwardHTTP),
                       SelectedCertificateSerial(), SelectedCertificateText());
}

void TWebSettingsPresenter::SaveLocalCopy() {
    FWebServerSettings.SaveSettings(PortToSave(), FView.Text(wc_WebOriginAddress),
                                    FView.Checked(wc_UseHTTPS), FView.Checked(wc_ForwardHTTP));
}

// ---------------------------------------------------------------- filling the panel

void TWebSettingsPresenter::ShowWebServerSettings(bool FromRegistry) {
    if (FSaveDisabled)
        return;
    TFlagScope disabled(FSaveDisabled);
    TWebUISettings s;
    bool localOnly = false;
    if (FromRegistry) {
        s = ReadWebUISettings();
        localOnly = s.LocalOnly;
    } else {
        localOnly = FView.Checked(wc_LocalhostUseOnly);
    }
    FView.SetChecked(wc_LocalhostUseOnly, localOnly);
    FView.SetEnabled(wc_LocalhostUseOnly, true);

    if (FView.Checked(wc_LocalhostUseOnly)) {
        int32_t port = s.Port;
        if (!FromRegistry) {
            // The settings in force before the switch.
            SaveLocalCopy();
            port = 80;
        }
        FView.SetChecked(wc_UseHTTPS, false);
        FView.SetChecked(wc_ForwardHTTP, false);
        FView.SetText(wc_WebOriginAddress, "localhost");
        PutPort(port);
    } else if (FromRegistry) {
        FView.SetChecked(wc_UseHTTPS, s.UseHTTPS);
        FView.SetChecked(wc_ForwardHTTP, s.Redirect);
        FView.SetText(wc_WebOriginAddress, s.HostName);
        PutPort(s.Port);
    } else {
        FWebServerSettings.LoadSettings();
        const TWebServerSettingField& f = FWebServerSettings.GetActiveSettings();
        FView.SetChecked(wc_UseHTTPS, f.UseHTTPS());
        FView.SetChecked(wc_ForwardHTTP, f.ForwardHTTP());
        // A hand-edited copy may hold no port or no host; the scheme's port and this computer
        // stand in for them.
        FView.SetText(wc_WebOriginAddress,
                      Trim(f.HostName()).empty() ? GetMyComputerName() : f.HostName());
        PutPort(PortInRange(f.Port()) ? f.Port() : (f.UseHTTPS() ? 443 : 80));
        if (FCertificates.Items.empty()) {
            ApplyDefaultCertificate(FView.Text(wc_WebOriginAddress));
        } else if (!SelectedCertificate()) {
            FCertificates.ItemIndex = 0;
            MirrorCertificateList();
        }
        UpdateCertificateLink();
    }

    if (FromRegistry) {
        if (!s.Serial.empty())
            FillCertificateList(s.Serial);
        if (FCertificates.Items.empty() && !FView.Checked(wc_LocalhostUseOnly)) {
            const std::string computer = GetMyComputerName();
            FView.SetText(wc_WebOriginAddress, computer);
            ApplyDefaultCertificate(computer);
        }
        // The registry always holds normalised values and freshly composed URLs.
        SaveWebServerSettings();
        UpdateCertificateLink();
    }

    const bool enabled = !localOnly;
    for (TWebControl c : {wc_ForwardHTTP, wc_WebOriginAddress, wc_UseHTTPS, wc_CertificateComboBox,
                          wc_GenerateCertificateLinkLabel})
        FView.SetEnabled(c, enabled);
    FView.SetVisible(wc_CurCertLabelImage, enabled);
    FView.SetVisible(wc_CertificateLinkLabel, enabled);
    FView.SetEnabled(wc_WebServerPort, true);

    int32_t port = 0;
    CheckPortHolder(PanelPort(port) ? port : 0);
}

// ---------------------------------------------------------------- the controls' events

void TWebSettingsPresenter::WebServerPortChange() {
    if (FSaveDisabled)
        return;
    FView.SetPortRed(false);
    FSizeWarning.FPortValueOutOfRange = false;
    int32_t port = 0;
    if (PanelPort(port)) {
        if (!FSizeWarning.FPrivPoolValueOutOfRange)
            FSizeWarning.SetLabelText(RequiresRestartText);
        SaveWebServerSettings();
        CheckPortHolder(port);
    } else {
        FSizeWarning.SetLabelText(ValueOutOfRangeText);
        FView.SetPortRed(true);
        FSizeWarning.FPortValueOutOfRange = true;
        CheckPortHolder(0);
    }
}

void TWebSettingsPresenter::WebServerOriginAddressChange() {
    // The error box takes the focus from the field; that is no second leave.
    if (FSaveDisabled || FInHostNameCheck)
        return;
    TFlagScope checking(FInHostNameCheck);
    if (Trim(FView.Text(wc_WebOriginAddress)).empty()) {
        FView.ShowError(EmptyHostNameText);
        FView.SetText(wc_WebOriginAddress, GetMyComputerName());
        FView.SetFocus(wc_WebOriginAddress);
    }
    if (!Trim(FView.Text(wc_WebOriginAddress)).empty())
        SaveWebServerSettings();
}

void TWebSettingsPresenter::UseHTTPSClick() {
    if (FSaveDisabled)
        return;
    {
        TFlagScope disabled(FSaveDisabled);
        if (FView.Checked(wc_UseHTTPS)) {
            PutPort(443);
        } else if (FView.Ask(DisableHttpsQuestion, wq_Confirmation)) {
            PutPort(80);
        } else {
            FView.SetChecked(wc_UseHTTPS, true);
        }
        const bool https = FView.Checked(wc_UseHTTPS);
        FView.SetEnabled(wc_CertificateComboBox, https);
        FView.SetVisible(wc_CurCertLabelImage, https);
        FView.SetVisible(wc_CertificateLinkLabel, https);
        FView.SetEnabled(wc_ForwardHTTP, https);
        FView.SetChecked(wc_ForwardHTTP, https);
    }
    FView.SetVisible(wc_UnencryptedWarning, !FView.Checked(wc_UseHTTPS));
    SaveWebServerSettings();
    int32_t port = 0;
    CheckPortHolder(PanelPort(port) ? port : 0);
}

void TWebSettingsPresenter::ForwardHttpClick() {
    if (!FSaveDisabled)
        SaveWebServerSettings();
}

void TWebSettingsPresenter::LocalHostOnlyClick() {
    if (FSaveDisabled)
        return;
    if (FView.Checked(wc_LocalhostUseOnly)) {
        try {
            SaveLocalCopy();
        } catch (...) {
            // Nothing was switched: the box says so again.
            FView.SetChecked(wc_LocalhostUseOnly, false);
            throw;
        }
    }
    ShowWebServerSettings(false);
    SaveWebServerSettings();
}

void TWebSettingsPresenter::CertificateChange() {
    if (FSaveDisabled)
        return;
    int32_t port = 0;
    if (PanelPort(port)) {
        if (!FSizeWarning.FPortValueOutOfRange && !FSizeWarning.FPrivPoolValueOutOfRange)
            FSizeWarning.SetLabelText(RequiresRestartText);
        SaveWebServerSettings();
    }
    UpdateCertificateLink();
}

void TWebSettingsPresenter::CertificateDropDown() {
    FillCertificateList(SelectedCertificateSerial());
}

// ---------------------------------------------------------------- certificates

TCertObject* TWebSettingsPresenter::SelectedCertificate() {
    // The user's choice in the box is the selection.
    const int index = FView.CertificateItemIndex();
    FCertificates.ItemIndex =
        index >= 0 && index < static_cast<int>(FCertificates.Items.size()) ? index : -1;
    return FCertificates.Selected();
}

std::string TWebSettingsPresenter::SelectedCertificateText() {
    return SelectedCertificate()
               ? FCertificates.Items[static_cast<size_t>(FCertificates.ItemIndex)].Text
               : std::string();
}

std::string TWebSettingsPresenter::SelectedCertificateSerial() {
    TCertObject* c = SelectedCertificate();
    return c ? c->FSerialNumber : std::string();
}

bool TWebSettingsPresenter::SelectedCertificateValidAt(TDateTime now) {
    TCertObject* c = SelectedCertificate();
    if (!c || SelectedCertificateText().empty())
        return false;
    c->CalculateExpiration(now);
    return c->FValid;
}

bool TWebSettingsPresenter::SelectedCertificateValid() {
    return SelectedCertificateValidAt(CurrentTime());
}

void TWebSettingsPresenter::UpdateCertificateLink() {
    FView.SetCertificatePicture(-1);
    TCertObject* c = SelectedCertificate();
    if (c && !SelectedCertificateText().empty()) {
        const TDateTime now = CurrentTime();
        FView.SetCertificatePicture(SelectedCertificateValidAt(now) ? 0 : 2);
        FView.SetText(wc_CertificateLinkLabel, std::string("<a href=\"") + WebCertificateLink +
                                                   "\">" + c->ValidityText(now) + "</a>");
    } else {
        FView.SetCertificatePicture(1);
        FView.SetText(wc_CertificateLinkLabel, NotSelectedText);
    }
}

void TWebSettingsPresenter::MirrorCertificateList() {
    std::vector<std::string> texts;
    texts.reserve(FCertificates.Items.size());
    for (const auto& item : FCertificates.Items)
        texts.push_back(item.Text);
    FView.ShowCertificateList(texts, FCertificates.ItemIndex);
}

void TWebSettingsPresenter::FillCertificateList(const std::string& Serial) {
    // When the store cannot be opened the entries stay; the width is set again either way.
    FCrypt.FillCertificateList(Serial, FCertificates);
    MirrorCertificateList();
}

void TWebSettingsPresenter::ApplyDefaultCertificate(const std::string& HostName) {
    FillCertificateList(FCrypt.CreateDefaultCertificate(HostName));
}

void TWebSettingsPresenter::ReplaceWithDefaultCertificate() {
    if (SelectedCertificateValid() && !FView.Ask(ReplaceCertificateQuestion, wq_Confirmation))
        return;
    const std::string computer = GetMyComputerName();
    FView.SetText(wc_WebOriginAddress, computer);
    ApplyDefaultCertificate(computer);
    SaveWebServerSettings();
    ShowWebServerSettings(true);
}

bool TWebSettingsPresenter::ConfirmCertificateBeforeStart() {
    TCertObject* c = SelectedCertificate();
    if (!c || SelectedCertificateText().empty())
        return true;
    if (!c->FIsCorvaneCertificate)
        return true;
    if (SameText(c->FIssuedToComputer, GetMyComputerName()))
        return true;
    if (FView.Ask(CertificateChangedQuestion, wq_Confirmation)) {
        FView.OpenHTTPConfigSection();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- who holds the port

std::string TWebSettingsPresenter::CheckPortHolder(int32_t port) {
    std::string warning;
    if (PortInRange(port))
        warning = PortInUseWarning(
            *FPlatform.Listeners, static_cast<uint16_t>(port),
            SystemWebServer(*FPlatform.Services, *FPlatform.Processes, FInstallFolder));
    FView.SetText(wc_PortInUseWarning, warning);
    FView.SetVisible(wc_PortInUseWarning, !warning.empty());
    return warning;
}

bool TWebSettingsPresenter::ConfirmPortBeforeStart() {
    const int32_t port =
        PortFromRegistry(ReadProductValue(*FPlatform.Registry, WebUIProduct, "Port"));
    const std::string holder = CheckPortHolder(port);
    if (holder.empty())
        return true;
    return FView.Ask(PortInUseQuestion(holder), wq_Warning);
}

} // namespace cv
