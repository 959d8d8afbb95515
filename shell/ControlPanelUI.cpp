#include "ControlPanelUI.h"

#include "Controller.h"
#include "MessageBar.h"
#include "MessageHistoryView.h"
#include "ProcessListView.h"
#include "ProductSetupSection.h"
#include "Sections.h"
#include "Widgets.h"
#include "Images.h"
#include "LumoEditorHost.h"
#include "MessageDialog.h"
#include "StatusTree.h"
#include "TaskbarOverlay.h"
#include "ViewLogic.h"
#include "WebServerSection.h"
#include "WebSettingsPresenter.h"
#include "web/WebServerSettings.h"
#include "config/Backup.h"
#include "config/CvRegistry.h"
#include "config/ProductComponents.h"
#include "config/SizeWarning.h"
#include "config/SysConfigParEditor.h"
#include "service/CvProcessList.h"
#include "service/NotifyMutex.h"
#include "service/ServicePanel.h"
#include "core/Text.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCommandLinkButton>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QTimer>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace cv {

using namespace ui;

QEvent::Type TLogEntryEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType(QEvent::User + 1));
    return type;
}

TForm1::TForm1(TPlatform platform, QWidget* parent) : TForm1(std::move(platform), {}, parent) {}

TForm1::TForm1(TPlatform platform, TOptions options, QWidget* parent)
    : QMainWindow(parent), FPlatform(std::move(platform)), FOptions(options) {
    FComApartment = FPlatform.System->EnterComApartment();
    FPlatform.Processes->EnableDebugPrivilege();
    FRunningIn64Bit = FPlatform.System->IsWow64();
    FWindowsFolder = FPlatform.System->WindowsFolder();
    fShown = false;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vornix Control Panel"));
    setWindowIcon(images::Application());
    BuildFrame();
    // The event log listener posts the system's events to this window from now on.
    FEventLogListener = std::make_unique<TWinEvtListener>(FPlatform.EventLog);
    FEventLogListener->StartListening(this);
    // The per-user copy of the web server's settings, made with its defaults if it is new.
    FWebServerSettings = std::make_unique<TWebServerSettings>(
        TWebServerSettings::GetMyComputerName(*FPlatform.System), FPlatform.System->RoamingAppData());
    CertificateTimer = new QTimer(this);
    CertificateTimer->setObjectName(QStringLiteral("CertificateTimer"));
    CertificateTimer->setInterval(60000);
    connect(CertificateTimer, &QTimer::timeout, this, [this] {
        if (FWebPanel)
            FWebPanel->UpdateCertificateLink();
    });
    CertificateTimer->start();
}

TForm1::~TForm1() {
    // The certificate link's timer and the certificate list's objects go first.
    if (CertificateTimer)
        CertificateTimer->stop();
    if (FWebServer)
        FWebServer->SetPresenter(nullptr);
    FWebPanel.reset();
    // First of all: once stopped, no delivery posts to this window (one in progress has
    // posted already; the queue frees what this window will not handle).
    if (FEventLogListener)
        FEventLogListener->StopListening();
    FEventLogListener.reset();
    if (FController)
        FController->SaveSettings(frameGeometry().top(), frameGeometry().left(),
                                  frameGeometry().height(), frameGeometry().width(),
                                  isMaximized(), NotifyCheckbox->isChecked(), IsExpanded(),
                                  FBackup->BackupSourceEdit->text().toStdString(),
                                  FBackup->BackupTargetEdit->text().toStdString());
    FMutex.reset();
    if (FProcessTimer)
        FProcessTimer->stop();
    FProcessList.reset();
    FSections.clear();
    FService.reset(); // its polling thread stops
    FLinks.reset();
    FController.reset(); // the status feed stops
    FPanels.clear();
    FSysConfigPar.reset();
    FSizeWarning.reset();
    FProductComponents.reset();
    if (FInstanceHandle)
        FPlatform.Windows->Unregister();
    FTaskbar.reset(); // its taskbar list goes before the apartment
    if (FComApartment)
        FPlatform.System->LeaveComApartment();
}

// ---------------------------------------------------------------- building the frame

void TForm1::BuildFrame() {
    images::LoadWindowFonts();
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);
    setStyleSheet(QStringLiteral(
        "QMainWindow, #Client, #ControlPanel, #AdditionalToolsContent { background: white; }"
        "QCommandLinkButton { color: #1e3a55; }"
        "QCommandLinkButton:disabled { color: #a0a0a0; }"
        "QLabel { color: black; }"));

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Client"));
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    setCentralWidget(central);

    MessagePanel = new TMessageBar(central);
    outer->addWidget(MessagePanel);

    auto* row = new QHBoxLayout();
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    outer->addLayout(row, 1);
    row->addWidget(BuildLeftColumn());
    row->addWidget(BuildExpandPanel());

    AdditionalPanel = new QFrame(central);
    AdditionalPanel->setObjectName(QStringLiteral("AdditionalPanel"));
    auto* addLayout = new QVBoxLayout(AdditionalPanel);
    addLayout->setContentsMargins(0, 0, 0, 0);
    AdditionalToolsPanel = new QScrollArea(AdditionalPanel);
    AdditionalToolsPanel->setObjectName(QStringLiteral("AdditionalToolsPanel"));
    AdditionalToolsPanel->setFrameShape(QFrame::NoFrame);
    AdditionalToolsPanel->setWidgetResizable(true);
    AdditionalToolsPanel->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    AdditionalToolsPanel->verticalScrollBar()->setSingleStep(79);
    AdditionalToolsPanel->verticalScrollBar()->setTracking(true);
    AdditionalToolsPanel->setFocusPolicy(Qt::StrongFocus);
    AdditionalToolsPanel->viewport()->installEventFilter(this);
    auto* content = new QWidget(AdditionalToolsPanel);
    content->setObjectName(QStringLiteral("AdditionalToolsContent"));
    auto* sections = new QVBoxLayout(content);
    sections->setContentsMargins(16, 12, 16, 12);
    sections->setSpacing(0);
    BuildSections(sections);
    sections->addStretch(1);
    AdditionalToolsPanel->setWidget(content);
    addLayout->addWidget(AdditionalToolsPanel);
    AdditionalPanel->hide();
    row->addWidget(AdditionalPanel, 1);

    ProcessPanel = BuildFullPanel(QStringLiteral("ProcessPanel"), QStringLiteral("BackPanel"),
                                  QStringLiteral("BackImge"), QStringLiteral("BackLabel"));
    row->addWidget(ProcessPanel, 1);
    LumoEditorPanel = BuildFullPanel(QStringLiteral("LumoEditorPanel"), QStringLiteral("Panel2"),
                                     QStringLiteral("Image1"), QStringLiteral("Label4"));
    row->addWidget(LumoEditorPanel, 1);
    FEditorHost = std::make_unique<TLumoEditorHost>(
        this, LumoEditorPanel,
        LumoEditorPanel->findChild<QFrame*>(QStringLiteral("LumoEditorPanelBody")), FCurrentFile,
        FPlatform.System);
    MessageHistoryPanel = BuildFullPanel(QStringLiteral("MessageHistoryPanel"),
                                         QStringLiteral("HistoryBackPanel"),
                                         QStringLiteral("HistoryBackImage"),
                                         QStringLiteral("HistoryBackLabel"));
    row->addWidget(MessageHistoryPanel, 1);
    MessagePanel->OnMessageClick = [this] { ShowMessageHistoryPanel(); };

    BuildMenu();

    // The designed window: 921 by 825, at least 500 high; it starts as the left column and
    // the strip until the layout is applied.
    setMinimumHeight(500);
    setMinimumWidth(MinimumClientWidth());
    resize(921, 825);

    auto* back = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Backspace), this);
    connect(back, &QShortcut::activated, this, [this] {
        if (ProcessPanel->isVisible() || MessageHistoryPanel->isVisible() ||
            LumoEditorPanel->isVisible())
            Back();
    });
}

QWidget* TForm1::BuildLeftColumn() {
    ControlPanel = new QFrame(this);
    ControlPanel->setObjectName(QStringLiteral("ControlPanel"));
    ControlPanel->setFixedWidth(209);
    auto* col = new QVBoxLayout(ControlPanel);
    col->setContentsMargins(10, 10, 6, 10);
    col->setSpacing(6);

    ServiceButtonPanel = new QFrame(ControlPanel);
    ServiceButtonPanel->setObjectName(QStringLiteral("ServiceButtonPanel"));
    ServiceButtonPanel->setFocusPolicy(Qt::StrongFocus);
    auto* buttons = new QVBoxLayout(ServiceButtonPanel);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(2);
    StartButton = CommandButton(QStringLiteral("StartButton"), QStringLiteral("Start"),
                                images::ButtonIcon(0), ServiceButtonPanel);
    StopButton = CommandButton(QStringLiteral("StopButton"), QStringLiteral("Stop"),
                               images::ButtonIcon(1), ServiceButtonPanel);
    ForceButton = CommandButton(QStringLiteral("ForceButton"), QStringLiteral("Force Stop"),
                                images::ButtonIcon(2), ServiceButtonPanel);
    buttons->addWidget(StartButton);
    buttons->addWidget(StopButton);
    buttons->addWidget(ForceButton);
    connect(StartButton, &QCommandLinkButton::clicked, this, [this] { StartServiceBtnClick(); });
    connect(StopButton, &QCommandLinkButton::clicked, this, [this] { StopServiceBtnClick(); });
    connect(ForceButton, &QCommandLinkButton::clicked, this, [this] { ForceServiceBtnClick(); });
    col->addWidget(ServiceButtonPanel);
    col->addSpacing(6);

    auto* panel1 = new QFrame(ControlPanel);
    panel1->setObjectName(QStringLiteral("Panel1"));
    auto* p1 = new QVBoxLayout(panel1);
    p1->setContentsMargins(4, 0, 0, 0);
    p1->setSpacing(4);
    p1->addWidget(Text(QStringLiteral("WebServerCertTitleLabel"),
                       QStringLiteral("Web Server Certificate"), panel1, true));
    auto* certRow = new QHBoxLayout();
    certRow->setSpacing(6);
    CurCertLabelImage = Picture(QStringLiteral("CurCertLabelImage"), images::Certificate(), panel1);
    CertificateLinkLabel = Text(QStringLiteral("CertificateLinkLabel"), QString(), panel1);
    CertificateLinkLabel->setTextInteractionFlags(Qt::TextBrowserInteraction);
    CertificateLinkLabel->setWordWrap(true);
    connect(CertificateLinkLabel, &QLabel::linkActivated, this,
            [this](const QString& key) { OverviewLabelLinkClick(key); });
    certRow->addWidget(CurCertLabelImage, 0, Qt::AlignTop);
    certRow->addWidget(CertificateLinkLabel, 1);
    p1->addLayout(certRow);
    p1->addSpacing(8);
    p1->addWidget(Text(QStringLiteral("SystemStatusTitleLabel"), QStringLiteral("System Status"),
                       panel1, true));
    auto* statusRow = new QHBoxLayout();
    statusRow->setSpacing(6);
    ServiceStatusImage = Picture(QStringLiteral("ServiceStatusImage"), images::Status(2), panel1);
    ServiceLinkLabel = Text(QStringLiteral("ServiceLinkLabel"), QStringLiteral("Status:"), panel1);
    ServiceLinkLabel->setEnabled(false);
    QPalette pal = ServiceLinkLabel->palette();
    pal.setColor(QPalette::Disabled, QPalette::WindowText, Qt::black);
    ServiceLinkLabel->setPalette(pal);
    statusRow->addWidget(ServiceStatusImage);
    statusRow->addWidget(ServiceLinkLabel, 1);
    p1->addLayout(statusRow);
    col->addWidget(panel1);
    col->addSpacing(8);

    auto* systemInfo = new QFrame(ControlPanel);
    systemInfo->setObjectName(QStringLiteral("SystemInfo"));
    auto* si = new QVBoxLayout(systemInfo);
    si->setContentsMargins(4, 0, 0, 0);
    si->setSpacing(4);
    si->addWidget(Text(QStringLiteral("Label11"), QStringLiteral("Applications"), systemInfo, true, 13));
    TreeView1 = new TApplicationsTree(systemInfo);
    si->addWidget(TreeView1, 1);
    col->addWidget(systemInfo, 1);

    NotifyCheckbox = new QCheckBox(QStringLiteral("Run Vornix Notify"), ControlPanel);
    NotifyCheckbox->setObjectName(QStringLiteral("NotifyCheckbox"));
    col->addWidget(NotifyCheckbox);
    return ControlPanel;
}

QFrame* TForm1::BuildExpandPanel() {
    ExpandPanel = new QFrame(this);
    ExpandPanel->setObjectName(QStringLiteral("ExpandPanel"));
    ExpandPanel->setFixedWidth(30);
    ExpandPanel->setMinimumHeight(400);
    ExpandPanel->setAutoFillBackground(true);
    QPalette pal = ExpandPanel->palette();
    pal.setColor(QPalette::Window, Qt::white);
    ExpandPanel->setPalette(pal);
    ExpandPanel->installEventFilter(this);
    auto* strip = new QVBoxLayout(ExpandPanel);
    strip->setContentsMargins(0, 0, 0, 0);
    ExpandCaption = new QLabel(QStringLiteral("\u00BB"), ExpandPanel);
    ExpandCaption->setObjectName(QStringLiteral("ExpandCaption"));
    QFont f = ExpandCaption->font();
    f.setPixelSize(16);
    ExpandCaption->setFont(f);
    ExpandCaption->setAlignment(Qt::AlignCenter);
    ExpandCaption->setStyleSheet(QStringLiteral("color: #4675a0;"));
    strip->addWidget(ExpandCaption);
    return ExpandPanel;
}

TForm1::TSection TForm1::AddSection(QVBoxLayout* into, const QString& headerName,
                                    const QString& buttonName, const QString& caption,
                                    const QString& infoName) {
    TSection s;
    auto* content = into->parentWidget();
    s.Header = new QFrame(content);
    s.Header->setObjectName(headerName);
    auto* h = new QVBoxLayout(s.Header);
    h->setContentsMargins(0, 4, 0, 0);
    h->setSpacing(0);
    s.Button = new QCommandLinkButton(caption, s.Header);
    s.Button->setObjectName(buttonName);
    QFont bf = s.Button->font();
    bf.setBold(true);
    s.Button->setFont(bf);
    s.Button->setIconSize(QSize(16, 16));
    s.Button->setProperty("Tag", 0);
    s.Button->installEventFilter(this);
    h->addWidget(s.Button);
    h->addWidget(Rule(s.Header));
    into->addWidget(s.Header);
    s.Info = new QFrame(content);
    s.Info->setObjectName(infoName);
    s.Info->hide();
    into->addWidget(s.Info);
    SetSectionImages(s.Button, false);
    connect(s.Button, &QCommandLinkButton::clicked, this, [this, b = s.Button] { SectionClick(b); });
    FAllSections.push_back(s);
    return s;
}

void TForm1::BuildSections(QVBoxLayout* into) {
    const TLinkHandler onLink = [this](const QString& key) { OverviewLabelLinkClick(key); };
    auto system = AddSection(into, QStringLiteral("SystemPanel"), QStringLiteral("SystemBtn"),
                             QStringLiteral("System"), QStringLiteral("SystemInfoPanel"));
    SystemBtn = system.Button;
    FSystem = std::make_unique<TSystemSection>(system.Info, onLink);
    auto http = AddSection(into, QStringLiteral("HTTPConfigPanel"),
                           QStringLiteral("HTTPConfigButton"),
                           QStringLiteral("Web Server Configuration"),
                           QStringLiteral("HTTPConfigInfoPanel"));
    HTTPConfigButton = http.Button;
    FWebServer = std::make_unique<TWebServerSection>(http.Info, this, onLink, CurCertLabelImage,
                                                     CertificateLinkLabel,
                                                     [this] { OpenHTTPConfigSection(); });
    auto config = AddSection(into, QStringLiteral("ConfigPanel"), QStringLiteral("ConfigurationBtn"),
                             QStringLiteral("Configuration"), QStringLiteral("ConfigInfoPanel"));
    ConfigurationBtn = config.Button;
    FConfig = std::make_unique<TConfigSection>(config.Info, onLink);
    connect(FConfig->ServiceStartTypeCombo, &QComboBox::editTextChanged, this,
            [this](const QString&) { ServiceStartTypeChange(); });
    for (QComboBox* combo : {FConfig->MemoryPoolSize, FConfig->PrivatePoolSize})
        connect(combo, &QComboBox::editTextChanged, this,
                [this, combo](const QString&) { PrivePoolSizeChange(combo); });
    auto product = AddSection(into, QStringLiteral("ProductSetupPanel"),
                              QStringLiteral("ProductSetupBtn"), QStringLiteral("Product Setup"),
                              QStringLiteral("ProductSetupInfoPanel"));
    ProductSetupBtn = product.Button;
    ProductSetupPanel = product.Header;
    ProductSetupPanel->hide();
    FProductSetup = std::make_unique<TProductSetupSection>(product.Info);
    auto backup = AddSection(into, QStringLiteral("BackupPanel"), QStringLiteral("BackupBtn"),
                             QStringLiteral("Disk Image Backup"), QStringLiteral("BackupInfoPanel"));
    BackupBtn = backup.Button;
    FBackup = std::make_unique<TBackupSection>(backup.Info, onLink);
}

QFrame* TForm1::BuildFullPanel(const QString& name, const QString& stripName,
                               const QString& imageName, const QString& labelName) {
    auto* panel = new QFrame(centralWidget());
    panel->setObjectName(name);
    auto* v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    auto* strip = new QFrame(panel);
    strip->setObjectName(stripName);
    strip->setFixedHeight(35);
    strip->installEventFilter(this);
    auto* h = new QHBoxLayout(strip);
    h->setContentsMargins(10, 0, 10, 0);
    h->setSpacing(8);
    auto* image = Picture(imageName, images::Back(), strip);
    image->installEventFilter(this);
    auto* label = Text(labelName, QStringLiteral("Back"), strip, true, 16);
    label->setStyleSheet(QStringLiteral("color: rgb(70, 117, 160);"));
    label->installEventFilter(this);
    h->addWidget(image);
    h->addWidget(label);
    h->addStretch(1);
    v->addWidget(strip);
    v->addWidget(Rule(panel));
    auto* body = new QFrame(panel);
    body->setObjectName(name + QStringLiteral("Body"));
    new QVBoxLayout(body);
    v->addWidget(body, 1);
    if (name == QLatin1String("ProcessPanel")) {
        BackPanel = strip;
        body->layout()->setContentsMargins(10, 8, 10, 10);
        ProcessList = new TProcessListView(body);
        body->layout()->addWidget(ProcessList);
        ProcessList->OnKillProcess = [this] { KillProcessClick(); };
        ProcessList->OnKillAllProcess = [this] { KillAllProcessClick(); };
        ProcessList->OnDeleteKey = [this] {
            if (CenteredMessageDialog(this, QStringLiteral("Kill the process?"),
                                      TMsgDlgType::mtConfirmation,
                                      QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
                KillProcessClick();
        };
    } else if (name == QLatin1String("MessageHistoryPanel")) {
        HistoryBackPanel = strip;
        body->layout()->setContentsMargins(10, 8, 10, 10);
        MessageHistory = new TMessageHistoryView(FMessageHistory, body);
        body->layout()->addWidget(MessageHistory);
    }
    else
        Panel2 = strip;
    panel->hide();
    return panel;
}

void TForm1::BuildMenu() {
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    FEditorHost->BuildMenu(MainMenu1, [this] { Back(); });
    setMenuBar(MainMenu1);
    MainMenu1->hide(); // attached only while the editor shows
}

// ---------------------------------------------------------------- start-up and shut-down

bool TForm1::CanRunAsAdmin() {
    if (!FPlatform.System->IsNtPlatform())
        return true;
    if (FPlatform.Services->Open(SC_MANAGER_ALL_ACCESS))
        return true; // the handle closes at once
    CenteredMessageDialog(this,
                          QStringLiteral("Vornix Control Panel requires Administrator privileges "
                                         "to run."),
                          TMsgDlgType::mtError, QMessageBox::Ok);
    return false;
}

uint32_t TForm1::InstanceHandle() {
    if (!FInstanceHandle)
        FInstanceHandle = FPlatform.Windows->Register(static_cast<uintptr_t>(winId()),
                                                      [this] { RestoreAndRaise(); });
    return FInstanceHandle;
}

void TForm1::RestoreAndRaise() {
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!fShown)
        FirstShow();
}

void TForm1::FirstShow() {
    // Guarded from the start: applying the layout below shows panels and changes the state.
    fShown = true;
    FMaximized = false;
    FEnlargedWidth = 750;
    MainMenu1->hide();
    FEditorHost->FirstShow(); // no modification events until a file is loaded; the replace dialog
    ResolveFolders();
    CreateNotifyMutex();
    // The shell's taskbar message must reach the elevated window; it arms the status overlay.
    FTaskbar = std::make_unique<TTaskbarOverlay>(FPlatform.Taskbar, [this] {
        if (FService) {
            std::string text;
            FService->GetServiceStatusString(text);
            ShowServiceStatusIcon(FService->ServiceRunning(), text);
        }
    });
    FTaskbar->Attach(static_cast<uintptr_t>(winId()));
    FService = std::make_unique<TCvService>(FPlatform.Services, [this] { UpdateServiceStatus(); },
                                            TCvService::DefaultForceBoundMs, FOptions.ServicePollMs);
    FSections = {SystemBtn, HTTPConfigButton, ConfigurationBtn};
    CreateProcessList();
    FPanels = {AdditionalPanel, ProcessPanel, LumoEditorPanel, MessageHistoryPanel};
    FController = std::make_unique<TControlPanelController>(*this, FPlatform, FOptions.LogServicePort);
    CreateParameterFileEditor();
    FBackup->SetHints();
    FBackup->FieldsChanged();
    FWebServer->SetHints();
    CreateProductComponents();
    CreateWebServerPanel();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Refused first, so that a save that fails (its error shows) keeps the window and the text.
    event->ignore();
    if (QuerySaveEditor() == mrCancel)
        return;
    QMainWindow::closeEvent(event); // accepts
}

// ---------------------------------------------------------------- navigation

void TForm1::ShowPanel(QWidget* panel) {
    // The script is read before anything changes: a file that cannot be read (its error shows)
    // leaves the window as it was.
    if (panel == LumoEditorPanel)
        FEditorHost->LoadCurrentFile();
    if (panel == ProcessPanel && FProcessList)
        FProcessList->SetActive(fullActive);
    for (auto* p : FPanels)
        p->hide();
    if (panel == LumoEditorPanel)
        MainMenu1->show();
    else
        MainMenu1->hide();
    panel->show();
    panel->setFocus();
    if (panel == ProcessPanel && FProcessList)
        ShowProcessList(); // at once, not at the next tick
    if (panel == AdditionalPanel) {
        if (FProcessList)
            FProcessList->SetActive(countActive);
        AdditionalToolsPanel->setFocus();
    }
    if (panel == MessageHistoryPanel) {
        if (FProcessList)
            FProcessList->SetActive(countActive); // the left column's counts stay live
        MessageHistory->MessageHistoryList->setFocus();
    }
    if (!IsExpanded())
        ToggleExpand();
}

void TForm1::OpenSection(QCommandLinkButton* button) {
    for (auto* b : FSections) {
        const int tag = b->property("Tag").toInt();
        if (b == button ? tag == 0 : tag == 1)
            b->click();
    }
    ShowPanel(AdditionalPanel);
}

bool TForm1::IsExpanded() const { return ExpandCaption->text() == QStringLiteral("\u00AB"); }

int TForm1::MinimumClientWidth() const { return 209 + 30; }

int TForm1::FrameWidthExtra() const { return frameGeometry().width() - width(); }

void TForm1::SetClientWidth(int w) { resize(w, height()); }

bool TForm1::ToggleExpand() {
    if (IsExpanded()) {
        ShowSizeWarning();
        ExpandCaption->setText(QStringLiteral("\u00BB"));
        ExpandPanel->setFrameShape(QFrame::NoFrame);
        if (!isMaximized())
            FEnlargedWidth = width();
        setMaximumWidth(minimumWidth());
        SetClientWidth(minimumWidth());
        return false;
    }
    ExpandCaption->setText(QStringLiteral("\u00AB"));
    ExpandPanel->setFrameShape(QFrame::StyledPanel);
    setMaximumWidth(QWIDGETSIZE_MAX);
    int w = FEnlargedWidth;
    if (isMaximized() && screen())
        w = screen()->geometry().width();
    SetClientWidth(std::max(w, 750));
    return true;
}

void TForm1::Back() {
    if (CanLeaveEditor())
        ShowPanel(AdditionalPanel);
}

bool TForm1::CanLeaveEditor() { return FEditorHost->CanLeaveEditor(); }

int TForm1::QuerySaveEditor() { return FEditorHost->QuerySaveEditor(); }

void TForm1::SectionClick(QCommandLinkButton* button) {
    const int tag = button->property("Tag").toInt() == 1 ? 0 : 1;
    button->setProperty("Tag", tag);
    SetSectionImages(button, button->underMouse());
    for (auto& s : FAllSections)
        if (s.Button == button)
            s.Info->setVisible(tag == 1);
}

void TForm1::SetSectionImages(QCommandLinkButton* button, bool hot) {
    const bool open = button->property("Tag").toInt() == 1;
    // Closed: image 1, hot 0. Open: image 3, hot 2.
    button->setIcon(QIcon(images::UpDown(open ? (hot ? 2 : 3) : (hot ? 0 : 1))));
}

void TForm1::ExpandPanelClick() {
    if (!CanLeaveEditor())
        return;
    if (ToggleExpand())
        OpenSection(SystemBtn);
    else if (FProcessList)
        FProcessList->SetActive(notActive);
    AdditionalToolsPanel->viewport()->update();
}

void TForm1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (windowState() & Qt::WindowMaximized) {
        FMaximized = true;
    } else if (!(windowState() & Qt::WindowMinimized) && FMaximized) {
        FMaximized = false;
        const int wanted = std::max(FEnlargedWidth, 750);
        if (IsExpanded() && width() < wanted)
            SetClientWidth(wanted);
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (watched == ExpandPanel) {
        if (type == QEvent::MouseButtonRelease) {
            ExpandPanelClick();
            return true;
        }
        if (type == QEvent::Enter || type == QEvent::Leave) {
            QPalette pal = ExpandPanel->palette();
            pal.setColor(QPalette::Window, type == QEvent::Enter
                                               ? palette().color(QPalette::Button)
                                               : QColor(Qt::white));
            ExpandPanel->setPalette(pal);
            ExpandPanel->setCursor(type == QEvent::Enter ? Qt::PointingHandCursor : Qt::ArrowCursor);
        }
        return false;
    }
    if (watched == AdditionalToolsPanel->viewport() && type == QEvent::Wheel) {
        if (FConfig->PoolSizeListOpen())
            return false;
        auto* wheel = static_cast<QWheelEvent*>(event);
        auto* bar = AdditionalToolsPanel->verticalScrollBar();
        bar->setValue(bar->value() + (wheel->angleDelta().y() > 0 ? -10 : 10));
        return true;
    }
    for (auto& s : FAllSections) {
        if (watched == s.Button && (type == QEvent::Enter || type == QEvent::Leave)) {
            SetSectionImages(s.Button, type == QEvent::Enter);
            return false;
        }
    }
    // The header strips of the full-size panels: Back, with the hand cursor over them.
    auto* w = qobject_cast<QWidget*>(watched);
    QWidget* strip = nullptr;
    for (QWidget* s : {static_cast<QWidget*>(BackPanel), static_cast<QWidget*>(Panel2),
                       static_cast<QWidget*>(HistoryBackPanel)})
        if (s && w && (w == s || s->isAncestorOf(w)))
            strip = s;
    if (strip) {
        if (type == QEvent::Enter)
            QApplication::setOverrideCursor(Qt::PointingHandCursor);
        else if (type == QEvent::Leave)
            QApplication::restoreOverrideCursor();
        else if (type == QEvent::MouseButtonRelease) {
            Back();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- layout and messages

namespace {
TScreenRect ScreenRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }
} // namespace

void TForm1::UpdatePosition(int32_t top, int32_t left, int32_t height, int32_t width,
                            bool maximized, bool runNotify, bool extended, bool productSetup,
                            const std::string& source, const std::string& target) {
    ProductSetupPanel->setVisible(productSetup);
    const QSize frameExtra = frameGeometry().size() - size();
    // The stored rectangle as it fits the monitors there are now.
    std::vector<TScreenRect> monitors;
    if (QScreen* primary = QGuiApplication::primaryScreen())
        monitors.push_back(ScreenRect(primary->availableGeometry()));
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen())
            monitors.push_back(ScreenRect(screen->availableGeometry()));
    const TScreenRect fitted =
        FitWindowRect({left, top, width, height}, monitors, MinimumClientWidth() + frameExtra.width(),
                      500 + frameExtra.height());
    auto toInt = [](int64_t v) {
        return static_cast<int>(std::clamp<int64_t>(v, -(1 << 24), 1 << 24));
    };
    width = toInt(fitted.Width);
    height = toInt(fitted.Height);
    move(toInt(fitted.Left), toInt(fitted.Top));
    resize(std::max(width - frameExtra.width(), MinimumClientWidth()),
           std::max(height - frameExtra.height(), 500));
    setMinimumWidth(MinimumClientWidth());
    if (!extended)
        setMaximumWidth(MinimumClientWidth());
    if (maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    else
        setWindowState(windowState() & ~Qt::WindowMaximized);
    if (extended) {
        FEnlargedWidth = width - frameExtra.width();
        ExpandPanelClick();
    }
    if (runNotify)
        NotifyCheckbox->setChecked(true);
    FBackup->BackupTargetEdit->setText(QString::fromStdString(target));
    FBackup->BackupSourceEdit->setText(QString::fromStdString(source));
    // Onto the monitor when partly outside it.
    QScreen* s = QGuiApplication::screenAt(frameGeometry().center());
    if (!s)
        s = QGuiApplication::primaryScreen();
    if (s) {
        const QRect avail = s->availableGeometry();
        QRect g = frameGeometry();
        if (!avail.contains(g)) {
            g.moveLeft(std::clamp(g.left(), avail.left(), std::max(avail.left(), avail.right() - g.width() + 1)));
            g.moveTop(std::clamp(g.top(), avail.top(), std::max(avail.top(), avail.bottom() - g.height() + 1)));
            move(g.topLeft());
        }
    }
    ServiceButtonPanel->setFocus();
    if (StopButton->isEnabled())
        StopButton->setFocus();
    if (StartButton->isEnabled())
        StartButton->setFocus();
}

void TForm1::ShowMessage(uint8_t kind, const std::string& text, int32_t eventNumber) {
    MessageHistory->Add(kind, text, eventNumber, Now()); // also what the bar drops
    MessagePanel->ShowMessage(kind, text, eventNumber);
}

void TForm1::PostLogEntry(uint32_t eventId, std::unique_ptr<TSYSLogEntry> entry) {
    // The posted event owns the entry: freed after handling, or with the queue when the
    // window goes first.
    auto logEntry = std::make_unique<TLogEntry>(TLogEntry{entry->MessageText(), entry->Severity()});
    QCoreApplication::postEvent(this, new TLogEntryEvent(static_cast<int32_t>(eventId),
                                                         std::move(logEntry)));
}

void TForm1::ShowMessageHistoryPanel() {
    if (CanLeaveEditor())
        ShowPanel(MessageHistoryPanel);
}

bool TForm1::event(QEvent* event) {
    if (event->type() == TLogEntryEvent::EventType()) {
        auto* e = static_cast<TLogEntryEvent*>(event);
        std::unique_ptr<TLogEntry> entry = std::move(e->Entry); // freed in every case
        if (entry && entry->Level >= 1 && entry->Level <= 4)
            ShowMessage(entry->Level, entry->Text, e->EventNumber);
        return true;
    }
    return QMainWindow::event(event);
}

// ---------------------------------------------------------------- status view

void TForm1::StatusUpdate(const std::string&, const std::string&) {}

void TForm1::SysInfoUpdate(TSysInfo sysInfo) { FSystem->SysInfoUpdate(sysInfo); }

void TForm1::AplStatesUpdate(const TApplicationStates* aplStates) {
    TreeView1->AplStatesUpdate(aplStates);
}

// ---------------------------------------------------------------- service panel

namespace {
// The hourglass while a service call runs on the main thread.
struct TWaitCursor {
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

void TForm1::UpdateServiceStatus() {
    if (!FService)
        return;
    const int32_t state = FService->Status();
    const bool running = FService->ServiceRunning();
    if (!running)
        ServiceStoppedHook();
    const TServiceButtons b =
        ComputeServiceButtons(state, FService->ServiceCanBeStarted(), FKernelProcesses);
    StartButton->setEnabled(b.Start);
    StopButton->setEnabled(b.Stop);
    ForceButton->setEnabled(b.Force);
    std::string text;
    FService->GetServiceStatusString(text);
    ServiceLinkLabel->setText(QString::fromStdString(text));
    ShowServiceStatusIcon(running, text);
    std::string startType;
    FService->GetServiceStartTypeString(startType);
    {
        const QSignalBlocker block(FConfig->ServiceStartTypeCombo);
        FConfig->ServiceStartTypeCombo->setEditText(QString::fromStdString(startType));
    }
    if (startType == "Unavailable")
        FConfig->ServiceStartTypeCombo->setEnabled(false); // nothing enables it again
    if (StartButton->isEnabled())
        AplStatesUpdate(nullptr);
}

void TForm1::ShowServiceStatusIcon(bool running, const std::string& text) {
    const QPixmap status = images::Status(running ? 0 : 2);
    ServiceStatusImage->setPixmap(status);
    ServiceStatusImage->setToolTip(QString::fromStdString(text));
    if (FTaskbar && FTaskbar->Show(status.toImage(), text)) {
        setWindowIcon(images::Application());
        return;
    }
    // No taskbar overlay here: the window icon carries the status in its corner instead.
    QPixmap icon = images::Application().pixmap(64, 64);
    {
        QPainter p(&icon);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(QRect(30, 30, 34, 34), status);
    }
    setWindowIcon(QIcon(icon));
}

void TForm1::StartServiceBtnClick() {
    if (!ConfirmCertificateBeforeStart())
        return;
    if (!ConfirmPortBeforeStart())
        return;
    RetakeOriginalPoolSizes();
    MessagePanel->CloseMessage();
    LaunchNotifyIfWanted();
    TWaitCursor wait;
    FService->Start();
}

void TForm1::StopServiceBtnClick() {
    if (CenteredMessageDialog(this, QStringLiteral("Do you want to stop Corvane X Service?"),
                              TMsgDlgType::mtWarning,
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    TWaitCursor wait;
    FService->Stop();
}

void TForm1::ForceServiceBtnClick() {
    if (CenteredMessageDialog(this, QStringLiteral("Do you want to force immediate Corvane X shutdown?"),
                              TMsgDlgType::mtWarning,
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    TWaitCursor wait;
    if (FService->ServiceRunning())
        FService->Force();
    TerminateSystemProcesses();
}

void TForm1::ServiceStartTypeChange() {
    if (!FService)
        return;
    // Raises the state change event either way, so a refused or typed value is undone at once.
    FService->ChangeServiceStartType(
        TCvService::GetServiceStartTypeConstant(FConfig->ServiceStartTypeCombo->currentText().toStdString()));
}

bool TForm1::ConfirmCertificateBeforeStart() {
    return !FWebPanel || FWebPanel->ConfirmCertificateBeforeStart();
}

bool TForm1::ConfirmPortBeforeStart() { return !FWebPanel || FWebPanel->ConfirmPortBeforeStart(); }
void TForm1::CreateNotifyMutex() { FMutex = std::make_unique<TNotifyMutex>(FPlatform.Mutexes); }

void TForm1::LaunchNotifyIfWanted() {
    // By bare name: the shell's own search finds the tool.
    if (NotifyCheckbox->isChecked() && !FMutex->NotifyMutexExists())
        LaunchTool("Notify.exe", "", "");
}

void TForm1::TerminateSystemProcesses() {
    // Collects the full records first, so the processes go even when the panel never showed.
    if (FProcessList)
        FProcessList->TerminateAllSystemProcesses();
}

// ---------------------------------------------------------------- process list

void TForm1::CreateProcessList() {
    FProcessList = std::make_unique<TCvProcessList>(FPlatform.Processes, CvFolder);
    FProcessTimer = new QTimer(this);
    connect(FProcessTimer, &QTimer::timeout, this, [this] { FProcessList->TimerTick(); });
    FProcessList->SetOnTimerChange([this](int intervalMs) {
        if (intervalMs <= 0) {
            FProcessTimer->stop();
        } else {
            FProcessTimer->setInterval(intervalMs);
            FProcessTimer->start();
        }
    });
    FProcessList->SetOnProcessCountsUpdate([this] { UpdateProcessInfo(); });
    FProcessList->Refresh();
}

void TForm1::UpdateProcessInfo() {
    const TProcesses& p = FProcessList->Processes();
    FSystem->SetProcessCounts(p.KernelProcesses, p.ScadaProcesses);
    FKernelProcesses = p.KernelProcesses;
    ForceButton->setEnabled((FService && FService->ServiceRunning()) || p.KernelProcesses > 0);
    if (ProcessPanel->isVisible())
        ShowProcessList();
}

void TForm1::ShowProcessList() { ProcessList->ShowProcessList(FProcessList->Processes().Records()); }

void TForm1::KillProcessClick() {
    if (const uint32_t pid = ProcessList->SelectedProcessId()) {
        TWaitCursor wait;
        // The list shows the outcome at once rather than at the next tick.
        if (FProcessList->TerminateProcess(pid))
            FProcessList->Refresh();
    }
}

void TForm1::KillAllProcessClick() {
    TWaitCursor wait;
    FProcessList->TerminateAllSystemProcesses();
}

void TForm1::ServiceStoppedHook() {
    if (FSizeWarning)
        FSizeWarning->ServiceNotRunning(); // the restart warning goes once the service stopped
}

// ---------------------------------------------------------------- folders and links

void TForm1::ResolveFolders() {
    const TInstallFolders folders = cv::ResolveFolders(*FPlatform.Registry);
    CvFolder = folders.CvFolder;
    WardenFolder = folders.WardenFolder;
    SysServicesFolder = folders.SysServicesFolder;
    FConfig->ShowCyberSecurity(folders.CyberSecurityVisible);
    FLinks = std::make_unique<TToolLinkDispatcher>(*this, CvFolder, WardenFolder);
}

void TForm1::OverviewLabelLinkClick(const QString& link) {
    if (link == QLatin1String("MessageHistory")) {
        ShowMessageHistoryPanel();
        return;
    }
    if (FLinks)
        FLinks->OverviewLabelLinkClick(link.toStdString());
}

void TForm1::LaunchTool(const std::string& file, const std::string& parameters,
                        const std::string& workingFolder) {
    cv::LaunchTool(*FPlatform.Shell, file, parameters, workingFolder);
}

void TForm1::ShowErrorMessage(const std::string& text) {
    CenteredMessageDialog(this, QString::fromStdString(text), TMsgDlgType::mtError, QMessageBox::Ok);
}

void TForm1::SetCurrentFile(const std::string& path) { FCurrentFile = path; }
void TForm1::ShowLumoEditorPanel() { ShowPanel(LumoEditorPanel); }
void TForm1::ShowProcessPanel() { ShowPanel(ProcessPanel); }
void TForm1::ReplaceWithDefaultCertificate() {
    if (FWebPanel)
        FWebPanel->ReplaceWithDefaultCertificate();
}
void TForm1::OpenHTTPConfigSection() { OpenSection(HTTPConfigButton); }
std::string TForm1::BackupSourceText() { return FBackup->Source(); }
std::string TForm1::BackupTargetText() { return FBackup->Target(); }

void TForm1::RunBackupCommand(int kind, const std::string& source, const std::string& target) {
    const std::string refusal =
        cv::RunBackupCommand(*FPlatform.Shell, kind, source, target, FRunningIn64Bit, FWindowsFolder);
    if (!refusal.empty())
        ShowErrorMessage(refusal);
}

// ---------------------------------------------------------------- product components

void TForm1::CreateProductComponents() {
    FProductComponents = std::make_unique<TProductComponents>(*FProductSetup, SysServicesFolder);
}

// ---------------------------------------------------------------- memory pool sizes

void TForm1::CreateParameterFileEditor() {
    FSizeWarning = std::make_unique<TSizeWarning>();
    FSizeWarning->OnChange = [this] {
        FConfig->SizeWarningLabel->setText(QString::fromStdString(FSizeWarning->LabelText()));
        FConfig->SizeWarning->setVisible(FSizeWarning->Visible());
    };
    FSysConfigPar = std::make_unique<TSysConfigParEditor>(CvFolder + SysConfigParRelativePath);
    ShowPoolSizes();
    FSizeWarning->FPrivPoolValueOutOfRange = false;
    FSizeWarning->FPortValueOutOfRange = false;
}

void TForm1::ShowPoolSizes() {
    // Setting the texts here is not an edit.
    const QSignalBlocker a(FConfig->PrivatePoolSize), b(FConfig->MemoryPoolSize);
    FConfig->PrivatePoolSize->setEditText(QString::number(FSysConfigPar->GetParameter(scpp_Private_Pool_Size)));
    FConfig->PrivatePoolSize->setProperty("Tag", 2);
    FConfig->MemoryPoolSize->setEditText(QString::number(FSysConfigPar->GetParameter(scpp_Memory_Pool_Size)));
    FConfig->MemoryPoolSize->setProperty("Tag", 1);
}

void TForm1::PrivePoolSizeChange(QComboBox* combo) {
    if (!FSysConfigPar)
        return;
    const bool running = FService && FService->ServiceRunning();
    cv::PrivePoolSizeChange(*FSysConfigPar, *FSizeWarning, combo->currentText().toStdString(),
                            combo->property("Tag").toInt(), running,
                            [this, combo](bool red) { FConfig->SetPoolSizeRed(combo, red); });
}

void TForm1::ShowSizeWarning() {
    if (FSizeWarning)
        FSizeWarning->UpdateVisibility(FService && FService->ServiceRunning());
}

void TForm1::RetakeOriginalPoolSizes() {
    if (!FSysConfigPar)
        return;
    FSysConfigPar->GetOriginalValues();
    ShowPoolSizes();
}

} // namespace cv

// ---------------------------------------------------------------- web server settings

namespace cv {

void TForm1::CreateWebServerPanel() {
    FWebPanel = std::make_unique<TWebSettingsPresenter>(*FWebServer, *FWebServerSettings,
                                                        *FSizeWarning, FPlatform, CvFolder,
                                                        FOptions.Clock);
    FWebServer->SetPresenter(FWebPanel.get());
    FWebPanel->ShowWebServerSettings(true);
    FSizeWarning->FPrivPoolValueOutOfRange = false;
    FSizeWarning->FPortValueOutOfRange = false;
}

} // namespace cv
