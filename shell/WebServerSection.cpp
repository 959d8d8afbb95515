#include "WebServerSection.h"

#include "ErrorDisplay.h"
#include "Images.h"
#include "MessageDialog.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace cv {

using namespace ui;

namespace {

// Labels and message boxes break lines at line feeds.
QString Lines(const std::string& text) {
    return QString::fromStdString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

QFrame* WarningPanel(const QString& name, const QString& text, QWidget* parent, QLabel** label) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(Picture(name + QStringLiteral("Image"), images::Warning(), panel));
    auto* l = Text(name + QStringLiteral("Label"), text, panel);
    row->addWidget(l, 1);
    if (label)
        *label = l;
    panel->hide();
    return panel;
}

} // namespace

// The certificate list: refilled as it drops down, and its choice taken up as it closes. A
// choice made with the keys or the wheel while it is closed counts as a close-up too, so what
// the box shows is always what is saved.
class TWebServerSection::TCertificateComboBox final : public QComboBox {
public:
    explicit TCertificateComboBox(QWidget* parent) : QComboBox(parent) {
        connect(this, &QComboBox::activated, this, [this] {
            if (!FCloseUpPending && !view()->isVisible() && OnCloseUp)
                OnCloseUp();
        });
    }
    std::function<void()> OnDropDown;
    std::function<void()> OnCloseUp;

    void showPopup() override {
        if (OnDropDown)
            OnDropDown();
        if (count() == 0) {
            // An empty list does not drop down; it has closed up at once.
            ScheduleCloseUp();
            return;
        }
        QComboBox::showPopup();
    }
    void hidePopup() override {
        // Also called on a closed list (when the box is disabled, for one): no close-up then.
        const bool open = view()->isVisible();
        QComboBox::hidePopup();
        if (open)
            ScheduleCloseUp();
    }

private:
    // After the box has taken the chosen entry, which it does once the list is closed.
    void ScheduleCloseUp() {
        FCloseUpPending = true;
        QTimer::singleShot(0, this, [this] {
            FCloseUpPending = false;
            if (OnCloseUp)
                OnCloseUp();
        });
    }

private:
    bool FCloseUpPending = false;
};

TWebServerSection::TWebServerSection(QFrame* info, QWidget* window, const TLinkHandler& onLink,
                                     QLabel* certificateImage, QLabel* certificateLink,
                                     std::function<void()> openSection)
    : CurCertLabelImage(certificateImage), CertificateLinkLabel(certificateLink), FWindow(window),
      FOpenSection(std::move(openSection)) {
    auto* v = new QVBoxLayout(info);
    v->setContentsMargins(12, 10, 12, 14);
    v->setSpacing(8);
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);

    StaticText10 =
        ui::Text(QStringLiteral("StaticText10"), QStringLiteral("Web Server Certificate"), info);
    grid->addWidget(StaticText10, 0, 0);
    auto* combo = new TCertificateComboBox(info);
    combo->setObjectName(QStringLiteral("CertificateComboBox"));
    combo->setEditable(false);
    combo->setMaxVisibleItems(8);
    combo->setFixedWidth(300);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->OnDropDown = [this] { Forward(&TWebSettingsPresenter::CertificateDropDown); };
    combo->OnCloseUp = [this] { Forward(&TWebSettingsPresenter::CertificateChange); };
    CertificateComboBox = combo;
    grid->addWidget(CertificateComboBox, 0, 1, 1, 3, Qt::AlignLeft);
    GenerateCertificateLinkLabel = LinkLabel(
        QStringLiteral("GenerateCertificateLinkLabel"), QStringLiteral("GenerateCertificate"),
        QStringLiteral("Generate Vornix Default Certificate..."), info, onLink);
    grid->addWidget(GenerateCertificateLinkLabel, 1, 1, 1, 3, Qt::AlignLeft);

    StaticText9 = ui::Text(QStringLiteral("StaticText9"), QStringLiteral("Web Server Port"), info);
    grid->addWidget(StaticText9, 2, 0);
    WebServerPort = new QLineEdit(QStringLiteral("443"), info);
    WebServerPort->setObjectName(QStringLiteral("WebServerPort"));
    WebServerPort->setMaxLength(5);
    WebServerPort->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,5}")), WebServerPort));
    WebServerPort->setFixedWidth(60);
    connect(WebServerPort, &QLineEdit::textChanged, this,
            [this] { Forward(&TWebSettingsPresenter::WebServerPortChange); });
    grid->addWidget(WebServerPort, 2, 1);
    UseHTTPS = new QCheckBox(QStringLiteral("Use HTTPS"), info);
    UseHTTPS->setObjectName(QStringLiteral("UseHTTPS"));
    UseHTTPS->setChecked(true);
    connect(UseHTTPS, &QCheckBox::clicked, this,
            [this] { Forward(&TWebSettingsPresenter::UseHTTPSClick); });
    grid->addWidget(UseHTTPS, 2, 2);
    ForwardHTTP = new QCheckBox(QStringLiteral("Redirect HTTP"), info);
    ForwardHTTP->setObjectName(QStringLiteral("ForwardHTTP"));
    ForwardHTTP->setChecked(true);
    connect(ForwardHTTP, &QCheckBox::clicked, this,
            [this] { Forward(&TWebSettingsPresenter::ForwardHttpClick); });
    grid->addWidget(ForwardHTTP, 2, 3);

    StaticText2 =
        ui::Text(QStringLiteral("StaticText2"), QStringLiteral("Web Server Host Name"), info);
    grid->addWidget(StaticText2, 3, 0);
    WebOriginAddress = new QLineEdit(QStringLiteral("localhost"), info);
    WebOriginAddress->setObjectName(QStringLiteral("WebOriginAddress"));
    WebOriginAddress->setFixedWidth(300);
    WebOriginAddress->installEventFilter(this);
    grid->addWidget(WebOriginAddress, 3, 1, 1, 3, Qt::AlignLeft);
    LocalhostUseOnly = new QCheckBox(QStringLiteral("Localhost Use Only"), info);
    LocalhostUseOnly->setObjectName(QStringLiteral("LocalhostUseOnly"));
    connect(LocalhostUseOnly, &QCheckBox::clicked, this,
            [this] { Forward(&TWebSettingsPresenter::LocalHostOnlyClick); });
    grid->addWidget(LocalhostUseOnly, 4, 1, 1, 3, Qt::AlignLeft);
    grid->setColumnStretch(4, 1);
    v->addLayout(grid);

    UnencryptedWarning = WarningPanel(QStringLiteral("UnencryptedWarning"),
                                      QStringLiteral("HTTPS disabled"), info, nullptr);
    v->addWidget(UnencryptedWarning);
    // In the style of the Configuration section's size warning.
    PortInUseWarning =
        WarningPanel(QStringLiteral("PortInUseWarning"), QString(), info, &PortInUseWarningLabel);
    PortInUseWarningLabel->setWordWrap(true);
    v->addWidget(PortInUseWarning);
}

TWebServerSection::~TWebServerSection() {
    FPresenter = nullptr;
}

void TWebServerSection::SetHints() {
    GenerateCertificateLinkLabel->setToolTip(Lines(GenerateCertificateHint));
}

void TWebServerSection::Forward(void (TWebSettingsPresenter::*handler)()) {
    if (!FPresenter)
        return;
    try {
        (FPresenter->*handler)();
    } catch (const std::exception& e) {
        TVornixApplication::ShowException(QString::fromUtf8(e.what()));
    }
}

bool TWebServerSection::eventFilter(QObject* watched, QEvent* event) {
    if (watched == WebOriginAddress && event->type() == QEvent::FocusOut) {
        // Leaving the field for another control of the window; the window losing the focus
        // (another program, a message box) is no leaving.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            QTimer::singleShot(
                0, this, [this] { Forward(&TWebSettingsPresenter::WebServerOriginAddressChange); });
    }
    return QObject::eventFilter(watched, event);
}

QWidget* TWebServerSection::Widget(TWebControl control) const {
    switch (control) {
    case wc_WebServerPort:
        return WebServerPort;
    case wc_UseHTTPS:
        return UseHTTPS;
    case wc_ForwardHTTP:
        return ForwardHTTP;
    case wc_WebOriginAddress:
        return WebOriginAddress;
    case wc_LocalhostUseOnly:
        return LocalhostUseOnly;
    case wc_CertificateComboBox:
        return CertificateComboBox;
    case wc_GenerateCertificateLinkLabel:
        return GenerateCertificateLinkLabel;
    case wc_UnencryptedWarning:
        return UnencryptedWarning;
    case wc_CurCertLabelImage:
        return CurCertLabelImage;
    case wc_CertificateLinkLabel:
        return CertificateLinkLabel;
    case wc_PortInUseWarning:
        return PortInUseWarning;
    }
    return nullptr;
}

std::string TWebServerSection::Text(TWebControl control) {
    switch (control) {
    case wc_WebServerPort:
        return WebServerPort->text().toStdString();
    case wc_WebOriginAddress:
        return WebOriginAddress->text().toStdString();
    case wc_CertificateLinkLabel:
        return CertificateLinkLabel->property("Caption").toString().toStdString();
    case wc_PortInUseWarning:
        return PortInUseWarningLabel->text().toStdString();
    case wc_CertificateComboBox:
        return CertificateComboBox->currentText().toStdString();
    default:
        return {};
    }
}

void TWebServerSection::SetText(TWebControl control, const std::string& text) {
    const QString t = QString::fromStdString(text);
    switch (control) {
    case wc_WebServerPort: {
        const QSignalBlocker quiet(WebServerPort);
        WebServerPort->setText(t);
        break;
    }
    case wc_WebOriginAddress: {
        const QSignalBlocker quiet(WebOriginAddress);
        WebOriginAddress->setText(t);
        break;
    }
    case wc_CertificateLinkLabel:
        // The caption as given; shown with its link in the look of the window's other links.
        CertificateLinkLabel->setProperty("Caption", t);
        CertificateLinkLabel->setText(QString(t).replace(
            QLatin1String("<a href="),
            QLatin1String("<a style=\"color:#4675a0; text-decoration:none;\" href=")));
        break;
    case wc_PortInUseWarning:
        PortInUseWarningLabel->setText(t);
        break;
    default:
        break;
    }
}

bool TWebServerSection::Checked(TWebControl control) {
    auto* box = qobject_cast<QCheckBox*>(Widget(control));
    return box && box->isChecked();
}

void TWebServerSection::SetChecked(TWebControl control, bool checked) {
    if (auto* box = qobject_cast<QCheckBox*>(Widget(control))) {
        const QSignalBlocker quiet(box);
        box->setChecked(checked);
    }
}

void TWebServerSection::SetEnabled(TWebControl control, bool enabled) {
    if (QWidget* w = Widget(control))
        w->setEnabled(enabled);
}

void TWebServerSection::SetVisible(TWebControl control, bool visible) {
    if (QWidget* w = Widget(control))
        w->setVisible(visible);
}

void TWebServerSection::SetFocus(TWebControl control) {
    if (QWidget* w = Widget(control))
        w->setFocus(Qt::OtherFocusReason);
}

void TWebServerSection::SetPortRed(bool red) {
    WebServerPort->setStyleSheet(red ? QStringLiteral("color: red;") : QString());
}

void TWebServerSection::ShowCertificateList(const std::vector<std::string>& texts, int itemIndex) {
    const QSignalBlocker quiet(CertificateComboBox);
    CertificateComboBox->clear();
    std::vector<int> widths;
    const QFontMetrics metrics(CertificateComboBox->font());
    for (const std::string& t : texts) {
        const QString text = QString::fromStdString(t);
        CertificateComboBox->addItem(text);
        widths.push_back(metrics.horizontalAdvance(text));
    }
    CertificateComboBox->setCurrentIndex(itemIndex);
    const int scrollBar = CertificateComboBox->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int dropped =
        CertificateListDroppedWidth(widths, CertificateComboBox->maxVisibleItems(), scrollBar);
    // Never narrower than the box itself.
    CertificateComboBox->view()->setMinimumWidth(std::max(dropped, CertificateComboBox->width()));
}

int TWebServerSection::CertificateItemIndex() {
    return CertificateComboBox->currentIndex();
}

void TWebServerSection::SetCertificatePicture(int index) {
    if (index < 0)
        CurCertLabelImage->clear();
    else
        CurCertLabelImage->setPixmap(images::CertificateState(index));
}

bool TWebServerSection::Ask(const std::string& question, TWebQuestion type) {
    return CenteredMessageDialog(FWindow, Lines(question),
                                 type == wq_Warning ? TMsgDlgType::mtWarning
                                                    : TMsgDlgType::mtConfirmation,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TWebServerSection::ShowError(const std::string& text) {
    CenteredMessageDialog(FWindow, Lines(text), TMsgDlgType::mtError, QMessageBox::Ok);
}

void TWebServerSection::OpenHTTPConfigSection() {
    if (FOpenSection)
        FOpenSection();
}

} // namespace cv
