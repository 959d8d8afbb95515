#include "ControlPanelUI.h"

#include "MessageDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLinkButton>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#ifdef _WIN32
#include <objbase.h>
#endif

namespace cv {

namespace {

QLabel* Heading(const QString& name, const QString& text, int pixelSize, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    QFont f = l->font();
    f.setBold(true);
    if (pixelSize > 0)
        f.setPixelSize(pixelSize);
    l->setFont(f);
    return l;
}

QCommandLinkButton* ServiceButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* b = new QCommandLinkButton(caption, parent);
    b->setObjectName(name);
    b->setMinimumHeight(41);
    return b;
}

} // namespace

TForm1::TForm1(TPlatform platform, QWidget* parent)
    : QMainWindow(parent), FPlatform(std::move(platform)) {
#ifdef _WIN32
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
#endif
    FPlatform.Processes->EnableDebugPrivilege();
    FRunningIn64Bit = FPlatform.System->IsWow64();
    FWindowsFolder = FPlatform.System->WindowsFolder();
    fShown = false;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vornix Control Panel"));
    BuildFrame();
}

TForm1::~TForm1() {
    FService.reset(); // its polling thread stops before the controls go
    if (FInstanceHandle)
        FPlatform.Windows->Unregister();
#ifdef _WIN32
    CoUninitialize();
#endif
}

void TForm1::BuildFrame() {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Client"));
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    MessagePanel = new QFrame(central);
    MessagePanel->setObjectName(QStringLiteral("MessagePanel"));
    MessagePanel->hide();
    outer->addWidget(MessagePanel);

    auto* row = new QHBoxLayout();
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    outer->addLayout(row, 1);

    row->addWidget(BuildLeftColumn());

    ExpandPanel = new QFrame(central);
    ExpandPanel->setObjectName(QStringLiteral("ExpandPanel"));
    ExpandPanel->setFixedWidth(30);
    ExpandPanel->setMinimumHeight(400);
    auto* strip = new QVBoxLayout(ExpandPanel);
    auto* arrow = new QLabel(QStringLiteral("\u00BB"), ExpandPanel);
    QFont af = arrow->font();
    af.setPixelSize(16);
    arrow->setFont(af);
    arrow->setAlignment(Qt::AlignCenter);
    strip->addWidget(arrow);
    row->addWidget(ExpandPanel);

    AdditionalPanel = new QFrame(central);
    AdditionalPanel->setObjectName(QStringLiteral("AdditionalPanel"));
    auto* addLayout = new QVBoxLayout(AdditionalPanel);
    addLayout->setContentsMargins(0, 0, 0, 0);
    AdditionalToolsPanel = new QScrollArea(AdditionalPanel);
    AdditionalToolsPanel->setObjectName(QStringLiteral("AdditionalToolsPanel"));
    AdditionalToolsPanel->setFrameShape(QFrame::NoFrame);
    addLayout->addWidget(AdditionalToolsPanel);
    AdditionalPanel->hide();
    row->addWidget(AdditionalPanel, 1);

    ProcessPanel = new QFrame(central);
    ProcessPanel->setObjectName(QStringLiteral("ProcessPanel"));
    ProcessPanel->hide();
    row->addWidget(ProcessPanel, 1);
    LumoEditorPanel = new QFrame(central);
    LumoEditorPanel->setObjectName(QStringLiteral("LumoEditorPanel"));
    LumoEditorPanel->hide();
    row->addWidget(LumoEditorPanel, 1);

    setCentralWidget(central);
    resize(209 + 30, 825);
}

QWidget* TForm1::BuildLeftColumn() {
    ControlPanel = new QFrame(this);
    ControlPanel->setObjectName(QStringLiteral("ControlPanel"));
    ControlPanel->setFixedWidth(209);
    auto* col = new QVBoxLayout(ControlPanel);
    col->setContentsMargins(8, 8, 8, 8);

    ServiceButtonPanel = new QFrame(ControlPanel);
    ServiceButtonPanel->setObjectName(QStringLiteral("ServiceButtonPanel"));
    ServiceButtonPanel->setFocusPolicy(Qt::StrongFocus);
    auto* buttons = new QVBoxLayout(ServiceButtonPanel);
    buttons->setContentsMargins(0, 0, 0, 0);
    StartButton = ServiceButton(QStringLiteral("StartButton"), QStringLiteral("Start"), this);
    StopButton = ServiceButton(QStringLiteral("StopButton"), QStringLiteral("Stop"), this);
    ForceButton = ServiceButton(QStringLiteral("ForceButton"), QStringLiteral("Force Stop"), this);
    buttons->addWidget(StartButton);
    buttons->addWidget(StopButton);
    buttons->addWidget(ForceButton);
    col->addWidget(ServiceButtonPanel);

    auto* panel1 = new QFrame(ControlPanel);
    panel1->setObjectName(QStringLiteral("Panel1"));
    auto* p1 = new QVBoxLayout(panel1);
    p1->setContentsMargins(0, 0, 0, 0);
    p1->addWidget(Heading(QStringLiteral("WebServerCertTitleLabel"),
                          QStringLiteral("Web Server Certificate"), 0, panel1));
    p1->addWidget(
        Heading(QStringLiteral("SystemStatusTitleLabel"), QStringLiteral("System Status"), 0, panel1));
    auto* statusRow = new QHBoxLayout();
    ServiceStatusImage = new QLabel(panel1);
    ServiceStatusImage->setObjectName(QStringLiteral("ServiceStatusImage"));
    ServiceStatusImage->setFixedSize(16, 16);
    ServiceLinkLabel = new QLabel(QStringLiteral("Status:"), panel1);
    ServiceLinkLabel->setObjectName(QStringLiteral("ServiceLinkLabel"));
    ServiceLinkLabel->setEnabled(false);
    statusRow->addWidget(ServiceStatusImage);
    statusRow->addWidget(ServiceLinkLabel, 1);
    p1->addLayout(statusRow);
    col->addWidget(panel1);

    auto* systemInfo = new QFrame(ControlPanel);
    systemInfo->setObjectName(QStringLiteral("SystemInfo"));
    auto* si = new QVBoxLayout(systemInfo);
    si->setContentsMargins(0, 0, 0, 0);
    si->addWidget(Heading(QStringLiteral("Label11"), QStringLiteral("Applications"), 13, systemInfo));
    TreeView1 = new QTreeWidget(systemInfo);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setRootIsDecorated(false);
    TreeView1->setFrameShape(QFrame::NoFrame);
    TreeView1->setFocusPolicy(Qt::NoFocus);
    TreeView1->setIndentation(19);
    si->addWidget(TreeView1, 1);
    col->addWidget(systemInfo, 1);

    NotifyCheckbox = new QCheckBox(QStringLiteral("Run Vornix Notify"), ControlPanel);
    NotifyCheckbox->setObjectName(QStringLiteral("NotifyCheckbox"));
    col->addWidget(NotifyCheckbox);
    return ControlPanel;
}

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
    FService = std::make_unique<TCvService>(FPlatform.Services, [this] { UpdateServiceStatus(); });
    fShown = true;
}

void TForm1::UpdateServiceStatus() {
    if (!FService)
        return;
    const int32_t state = FService->Status();
    const bool running = FService->ServiceRunning();
    StartButton->setEnabled(state == int32_t(SERVICE_STOPPED) && FService->ServiceCanBeStarted());
    StopButton->setEnabled(state == int32_t(SERVICE_RUNNING));
    ForceButton->setEnabled(running);
    std::string text;
    FService->GetServiceStatusString(text);
    ServiceLinkLabel->setText(QString::fromStdString(text));
}

} // namespace cv
