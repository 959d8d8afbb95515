#pragma once
// "Web Server Configuration": the certificate list and its generation link, the port, HTTPS,
// redirect, host name and local-only controls, the "HTTPS disabled" warning and the warning
// when another program holds the port; with them the summary column's certificate picture
// and link. The behaviour is TWebSettingsPresenter's; this section gives it the controls by
// their design names and forwards the user's actions to it.
#include "WebSettingsPresenter.h"
#include "Widgets.h"

#include <QObject>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace cv {

class TWebServerSection final : public QObject, public IWebServerPanelView {
public:
    // `certificateImage` and `certificateLink` are the summary column's CurCertLabelImage and
    // CertificateLinkLabel; `openSection` opens this section.
    TWebServerSection(QFrame* info, QWidget* window, const ui::TLinkHandler& onLink,
                      QLabel* certificateImage, QLabel* certificateLink,
                      std::function<void()> openSection);
    ~TWebServerSection() override;

    // The presenter that receives the user's actions; none before the window's first show.
    void SetPresenter(TWebSettingsPresenter* presenter) { FPresenter = presenter; }
    void SetHints();

    std::string Text(TWebControl control) override;
    void SetText(TWebControl control, const std::string& text) override;
    bool Checked(TWebControl control) override;
    void SetChecked(TWebControl control, bool checked) override;
    void SetEnabled(TWebControl control, bool enabled) override;
    void SetVisible(TWebControl control, bool visible) override;
    void SetFocus(TWebControl control) override;
    void SetPortRed(bool red) override;
    void ShowCertificateList(const std::vector<std::string>& texts, int itemIndex) override;
    int CertificateItemIndex() override;
    void SetCertificatePicture(int index) override;
    bool Ask(const std::string& question, TWebQuestion type) override;
    void ShowError(const std::string& text) override;
    void OpenHTTPConfigSection() override;

    QLabel* StaticText10 = nullptr;
    QComboBox* CertificateComboBox = nullptr;
    QLabel* GenerateCertificateLinkLabel = nullptr;
    QLabel* StaticText9 = nullptr;
    QLineEdit* WebServerPort = nullptr;
    QCheckBox* UseHTTPS = nullptr;
    QCheckBox* ForwardHTTP = nullptr;
    QLabel* StaticText2 = nullptr;
    QLineEdit* WebOriginAddress = nullptr;
    QCheckBox* LocalhostUseOnly = nullptr;
    QFrame* UnencryptedWarning = nullptr;
    QFrame* PortInUseWarning = nullptr;
    QLabel* PortInUseWarningLabel = nullptr;
    QLabel* CurCertLabelImage = nullptr;
    QLabel* CertificateLinkLabel = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class TCertificateComboBox;
    QWidget* Widget(TWebControl control) const;
    // Runs a user's action on the presenter; a failure goes to the general error display
    // from here rather than unwinding through the toolkit's event handling.
    void Forward(void (TWebSettingsPresenter::*handler)());

    QWidget* FWindow;
    std::function<void()> FOpenSection;
    TWebSettingsPresenter* FPresenter = nullptr;
};

} // namespace cv
