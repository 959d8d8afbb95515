#pragma once
// The Web Server Configuration section and the summary column's certificate link: the web
// server's registry values under "Corvane Pro\WebUI", the per-user copy that survives
// local-only mode, the certificate list, the default certificate actions, and the warning
// when another program already listens on the web server's port. The window's controls are
// reached only through IWebServerPanelView, so all of it runs and is tested without a window.
#include "config/SizeWarning.h"
#include "core/DateTime.h"
#include "platform/Platform.h"
#include "web/CryptUtils.h"
#include "web/WebServerSettings.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cv {

inline constexpr const char* WebUIProduct = "Corvane Pro\\WebUI";
inline constexpr const char* WebCertificateLink = "WebCertificate";

// The eight registry values as ReadWebUISettings gives them.
struct TWebUISettings {
    int32_t Port = 443;
    bool UseHTTPS = true;
    bool LocalOnly = false;
    std::string HostName;
    bool Redirect = true;
    std::string Serial;   // empty unless "My" holds a certificate with it
    std::string CertName; // empty with the serial
};

// The section's controls (and the summary column's two) as the presenter addresses them.
enum TWebControl : uint8_t {
    wc_WebServerPort,
    wc_UseHTTPS,
    wc_ForwardHTTP,
    wc_WebOriginAddress,
    wc_LocalhostUseOnly,
    wc_CertificateComboBox,
    wc_GenerateCertificateLinkLabel,
    wc_UnencryptedWarning,
    wc_CurCertLabelImage,
    wc_CertificateLinkLabel,
    wc_PortInUseWarning, // the panel with the port holder's label
};

enum TWebQuestion : uint8_t { wq_Confirmation, wq_Warning };

class IWebServerPanelView {
public:
    virtual std::string Text(TWebControl control) = 0;
    // Setters change the control without raising its event: only the user's actions reach the
    // handlers.
    virtual void SetText(TWebControl control, const std::string& text) = 0;
    virtual bool Checked(TWebControl control) = 0;
    virtual void SetChecked(TWebControl control, bool checked) = 0;
    virtual void SetEnabled(TWebControl control, bool enabled) = 0;
    virtual void SetVisible(TWebControl control, bool visible) = 0;
    virtual void SetFocus(TWebControl control) = 0;
    // The port's digits red (a rejected port) or black.
    virtual void SetPortRed(bool red) = 0;
    // CertificateComboBox after every refill: the entries' texts and the selected one (-1:
    // none); the drop-down's width follows the texts.
    virtual void ShowCertificateList(const std::vector<std::string>& texts, int itemIndex) = 0;
    // The entry the user has chosen (-1: none).
    virtual int CertificateItemIndex() = 0;
    // CurCertLabelImage: picture `index` of ImageList2 (0 valid, 1 none selected, 2 not
    // valid), or none for -1.
    virtual void SetCertificatePicture(int index) = 0;
    // A modal question with Yes and No; true for Yes.
    virtual bool Ask(const std::string& question, TWebQuestion type) = 0;
    // The modal error box with an OK button.
    virtual void ShowError(const std::string& text) = 0;
    virtual void OpenHTTPConfigSection() = 0;

protected:
    ~IWebServerPanelView() = default;
};

// Texts of the section and the questions.
inline constexpr const char* NotSelectedText = "Not selected";
inline constexpr const char* EmptyHostNameText = "Web Server Host Name field cannot be empty";
inline constexpr const char* DisableHttpsQuestion =
    "Disabling HTTPS is not recommended. Are you sure?";
inline constexpr const char* ReplaceCertificateQuestion =
    "Replace current certificate with new Vornix default certificate?";
inline constexpr const char* GenerateCertificateHint =
    "Generates new Vornix default certificate.\r\n"
    "Certificate is generated using current computer name.\r\n"
    "Current certificate selection will be replaced.\r\n"
    "If Vornix is running, a restart is required.";
inline constexpr const char* CertificateChangedQuestion =
    "Looks like Vornix default certificate is in use and the computer configuration has "
    "changed.\r\n"
    "It is recommended to update the certificate to match the current configuration.\r\n"
    "Certicate can be updated by clicking \"Generate Vornix Default Certificate...\" link\r\n"
    "in Web Server Configuration options.\r\n"
    "\r\n"
    "Do you want to open it now prior to starting?";

// The question before a start while another program holds the web server's port; `holder` is
// PortHolderText's line.
std::string PortInUseQuestion(const std::string& holder);

class TWebSettingsPresenter {
public:
    using TClock = std::function<TDateTime()>; // local time

    // `installFolder` tells the system's own web server from other programs on its port.
    TWebSettingsPresenter(IWebServerPanelView& view, TWebServerSettings& settings,
                          TSizeWarning& sizeWarning, TPlatform platform, std::string installFolder,
                          TClock clock = {});

    TWebUISettings ReadWebUISettings();
    // The eight values, always in the order Port, Encrypted, CertificateName,
    // CertificateSerial, ForwardHTTP, WebOriginsURL, WebOriginsWs, LocalhostUseOnly.
    void WriteWebUISettings(int32_t Port, bool UseHTTPS, bool LocalOnly,
                            const std::string& HostName, bool Redirect, const std::string& Serial,
                            const std::string& CertName);
    void ShowWebServerSettings(bool FromRegistry);
    void SaveWebServerSettings();
    std::string SelectedCertificateSerial();
    bool SelectedCertificateValid();
    void UpdateCertificateLink();
    static bool PortInRange(int32_t Port) { return WebPortInRange(Port); }

    // The combo box side of the store's list: refill, select by serial, mirror into the view.
    void FillCertificateList(const std::string& Serial);
    void ApplyDefaultCertificate(const std::string& HostName);
    void ReplaceWithDefaultCertificate();
    bool ConfirmCertificateBeforeStart();
    // Before a start: asks whether to start anyway while another program listens on the web
    // server's port (the one in the registry, which the web server reads).
    bool ConfirmPortBeforeStart();
    std::string GetMyComputerName();

    // The controls' events.
    void WebServerPortChange();
    void WebServerOriginAddressChange();
    void UseHTTPSClick();
    void ForwardHttpClick();
    void LocalHostOnlyClick();
    void CertificateChange();
    void CertificateDropDown();

    const TCertificateList& CertificateList() const { return FCertificates; }
    bool SaveDisabled() const { return FSaveDisabled; }

private:
    TDateTime CurrentTime() const;
    TCertObject* SelectedCertificate();
    std::string SelectedCertificateText();
    bool SelectedCertificateValidAt(TDateTime now);
    void MirrorCertificateList();
    // The port field's number when it holds a port.
    bool PanelPort(int32_t& port);
    // What saving writes as the port: the field's, or the last valid one (the registry's)
    // while the field holds none.
    int32_t PortToSave();
    void PutPort(int32_t port);
    void SaveLocalCopy();
    // Shows or hides the port holder's warning for `port` (hidden for no port).
    std::string CheckPortHolder(int32_t port);

    IWebServerPanelView& FView;
    TWebServerSettings& FWebServerSettings;
    TSizeWarning& FSizeWarning;
    TPlatform FPlatform;
    std::string FInstallFolder;
    TClock FClock;
    TCryptUtils FCrypt;
    TCertificateList FCertificates;
    bool FSaveDisabled = false;
    bool FInHostNameCheck = false;
};

} // namespace cv
