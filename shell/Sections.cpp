#include "Sections.h"

#include "Images.h"
#include "config/Backup.h"
#include "core/Text.h"

#include <QAbstractItemView>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace cv {

using namespace ui;

// ---------------------------------------------------------------- System

TSystemSection::TSystemSection(QFrame* info, const TLinkHandler& onLink) {
    auto* grid = new QGridLayout(info);
    grid->setContentsMargins(12, 10, 12, 14);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(6);
    struct {
        const char* captionName;
        const char* caption;
        const char* valueName;
        QLabel** value;
    } rows[] = {
        {"PackageCaption", "Package", "PackageLabel", &PackageLabel},
        {"BaseSystemCaption", "Base System", "BaseSystemLabel", &BaseSystemLabel},
        {"SystemIDCaption", "System ID", "SystemIdLabel", &SystemIdLabel},
        {"StartupTimeCaption", "Startup Time", "StartupTimeLabel", &StartupTimeLabel},
    };
    int r = 0;
    for (auto& row : rows) {
        grid->addWidget(Text(row.captionName, row.caption, info), r, 0);
        auto* value = Text(row.valueName, QStringLiteral("-"), info, true);
        value->setFixedWidth(353);
        *row.value = value;
        grid->addWidget(value, r, 1);
        ++r;
    }
    grid->addWidget(Text(QStringLiteral("KernelProcessesCaption"),
                         QStringLiteral("Kernel Processes:"), info),
                    r, 0);
    KernelProcessesLabel =
        Text(QStringLiteral("KernelProcessesLabel"), QStringLiteral("0"), info, true);
    grid->addWidget(KernelProcessesLabel, r++, 1);
    grid->addWidget(Text(QStringLiteral("ScadaProcessesCaption"),
                         QStringLiteral("Client Processes:"), info),
                    r, 0);
    ScadaProcessesLabel =
        Text(QStringLiteral("ScadaProcessesLabel"), QStringLiteral("0"), info, true);
    grid->addWidget(ScadaProcessesLabel, r++, 1);
    auto* link = LinkLabel(QStringLiteral("ProcessListLink"), QStringLiteral("ProcessDetails"),
                           QStringLiteral("Process List"), info, onLink);
    link->setToolTip(QStringLiteral("View details about running Vornix processes."));
    grid->addWidget(link, r++, 0, 1, 2);
    auto* history = LinkLabel(QStringLiteral("MessageHistoryLink"), QStringLiteral("MessageHistory"),
                              QStringLiteral("Message History"), info, onLink);
    history->setToolTip(QStringLiteral("View the messages shown since the control panel started."));
    grid->addWidget(history, r, 0, 1, 2);
    grid->setColumnStretch(2, 1);
}

void TSystemSection::SysInfoUpdate(const TSysInfo& sysInfo) {
    struct {
        const std::string& value;
        QLabel* label;
    } fields[] = {{sysInfo.Package, PackageLabel},
                  {sysInfo.BaseSystem, BaseSystemLabel},
                  {sysInfo.StartupTime, StartupTimeLabel},
                  {sysInfo.SystemID, SystemIdLabel}};
    for (auto& f : fields) {
        const std::string v = Trim(f.value);
        if (!v.empty())
            f.label->setText(QString::fromStdString(v));
    }
}

void TSystemSection::SetProcessCounts(int32_t kernel, int32_t client) {
    KernelProcessesLabel->setText(QString::number(kernel));
    ScadaProcessesLabel->setText(QString::number(client));
}

// ---------------------------------------------------------------- Configuration

namespace {
QComboBox* Combo(const QString& name, const QStringList& items, QWidget* parent) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->addItems(items);
    c->setFixedWidth(120);
    return c;
}
} // namespace

TConfigSection::TConfigSection(QFrame* info, const TLinkHandler& onLink) {
    auto* v = new QVBoxLayout(info);
    v->setContentsMargins(12, 10, 12, 14);
    v->setSpacing(8);
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    grid->addWidget(Text(QStringLiteral("ServiceStartTypeLabel"),
                         QStringLiteral("Service Start Type"), info),
                    0, 0);
    ServiceStartTypeCombo = Combo(QStringLiteral("ServiceStartTypeCombo"),
                                  {QStringLiteral("Automatic"), QStringLiteral("Manual"),
                                   QStringLiteral("Disabled")},
                                  info);
    grid->addWidget(ServiceStartTypeCombo, 0, 1);
    grid->addWidget(Text(QStringLiteral("Label7"), QStringLiteral("Global Memory Pool Size"), info),
                    1, 0);
    MemoryPoolSize = Combo(QStringLiteral("MemoryPoolSize"),
                           {"256", "384", "512", "768", "1024", "1536", "2048", "2560"}, info);
    MemoryPoolSize->setProperty("Tag", 1);
    grid->addWidget(MemoryPoolSize, 1, 1);
    grid->addWidget(Text(QStringLiteral("Label6"), QStringLiteral("MB"), info), 1, 2);
    grid->addWidget(
        Text(QStringLiteral("Label8"), QStringLiteral("Max Private Memory Pool Size"), info), 2, 0);
    PrivatePoolSize = Combo(QStringLiteral("PrivatePoolSize"), {"128", "256", "512"}, info);
    PrivatePoolSize->setProperty("Tag", 2);
    grid->addWidget(PrivatePoolSize, 2, 1);
    grid->addWidget(Text(QStringLiteral("Label9"), QStringLiteral("MB"), info), 2, 2);
    grid->setColumnStretch(3, 1);
    v->addLayout(grid);

    SizeWarning = new QFrame(info);
    SizeWarning->setObjectName(QStringLiteral("SizeWarning"));
    auto* sw = new QHBoxLayout(SizeWarning);
    sw->setContentsMargins(0, 0, 0, 0);
    sw->addWidget(Picture(QStringLiteral("SizeWarningImage"), images::Warning(), SizeWarning));
    SizeWarningLabel = Text(QStringLiteral("SizeWarningLabel"),
                            QStringLiteral("Requires Vornix restart"), SizeWarning);
    sw->addWidget(SizeWarningLabel, 1);
    SizeWarning->hide();
    v->addWidget(SizeWarning);

    struct {
        const char* name;
        const char* key;
        const char* caption;
    } links[] = {
        {"EditKernelSetupLinkLabel", "EditKernelSetup",
         "Edit system configuration (KERNEL_SETUP.LUM)"},
        {"EditStopSequenceLinkLabel", "EditStopSequence",
         "Edit shutdown program (STOP_SEQUENCE.LUM)"},
        {"SysConfLinkLabel", "SysConf", "System configuration wizard..."},
        {"ControllApplicationsLink", "Applications", "Control Corvane applications..."},
        {"SupportLink", "Support", "System info logging..."},
        {"PwLinkLabel", "ChangePw", "Change Corvane user password..."},
        {"CyberSecurity", "CyberSecurity", "Cyber Security..."},
    };
    for (auto& l : links) {
        auto* label = LinkLabel(l.name, l.key, l.caption, info, onLink);
        v->addWidget(label);
        if (QLatin1String(l.name) == QLatin1String("CyberSecurity"))
            CyberSecurity = label;
    }
    ScmNotInstalledPanel = new QFrame(info);
    ScmNotInstalledPanel->setObjectName(QStringLiteral("ScmNotInstalledPanel"));
    auto* nl = new QHBoxLayout(ScmNotInstalledPanel);
    nl->setContentsMargins(0, 0, 0, 0);
    nl->addWidget(
        Picture(QStringLiteral("ScmNotInstalledImage"), images::Warning(), ScmNotInstalledPanel));
    nl->addWidget(Text(QStringLiteral("ScmNotInstalledLabel"),
                       QStringLiteral("Warden Suite not installed"), ScmNotInstalledPanel),
                  1);
    ScmNotInstalledPanel->hide();
    v->addWidget(ScmNotInstalledPanel);
}

void TConfigSection::ShowCyberSecurity(bool visible) {
    CyberSecurity->setVisible(visible);
    ScmNotInstalledPanel->setVisible(!visible);
}

bool TConfigSection::PoolSizeListOpen() const {
    return MemoryPoolSize->view()->isVisible() || PrivatePoolSize->view()->isVisible();
}

void TConfigSection::SetPoolSizeRed(QComboBox* combo, bool red) {
    combo->lineEdit()->setStyleSheet(red ? QStringLiteral("color: red;") : QString());
}

// ---------------------------------------------------------------- Disk Image Backup

TBackupSection::TBackupSection(QFrame* info, const TLinkHandler& onLink) {
    auto* v = new QVBoxLayout(info);
    v->setContentsMargins(12, 10, 12, 14);
    v->setSpacing(8);
    struct {
        const char* name;
        const char* key;
        const char* caption;
    } links[] = {
        {"StartBackup", "StartBackup", "Start Disk Image Backup..."},
        {"LinkLabel2", "StopBackup", "Stop Disk Image Backup..."},
        {"LinkLabel3", "CheckBackup", "Check Disk Image Backup Status..."},
    };
    for (auto& l : links) {
        auto* label = LinkLabel(l.name, l.key, l.caption, info, onLink);
        v->addWidget(label);
        if (QLatin1String(l.name) == QLatin1String("StartBackup"))
            StartBackup = label;
    }
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(10);
    grid->addWidget(
        Text(QStringLiteral("BackupSourceLabel"), QStringLiteral("Backup Source:"), info), 0, 0);
    BackupSourceEdit = new QLineEdit(info);
    BackupSourceEdit->setObjectName(QStringLiteral("BackupSourceEdit"));
    grid->addWidget(BackupSourceEdit, 0, 1);
    grid->addWidget(
        Text(QStringLiteral("BackupTargetLabel"), QStringLiteral("Backup Target:"), info), 1, 0);
    BackupTargetEdit = new QLineEdit(info);
    BackupTargetEdit->setObjectName(QStringLiteral("BackupTargetEdit"));
    grid->addWidget(BackupTargetEdit, 1, 1);
    grid->setColumnMinimumWidth(1, 260);
    grid->setColumnStretch(2, 1);
    v->addLayout(grid);
    for (QLineEdit* field : {BackupSourceEdit, BackupTargetEdit})
        QObject::connect(field, &QLineEdit::textChanged, field, [this] { FieldsChanged(); });

    BackupWarningPanel = new QFrame(info);
    BackupWarningPanel->setObjectName(QStringLiteral("BackupWarningPanel"));
    auto* wl = new QHBoxLayout(BackupWarningPanel);
    wl->setContentsMargins(0, 0, 0, 0);
    wl->addWidget(
        Picture(QStringLiteral("BackupWarningImage"), images::Warning(), BackupWarningPanel));
    auto* wt = Text(QStringLiteral("BackupWarningLabel"), QString::fromLatin1(BackupWarningText),
                    BackupWarningPanel);
    wt->setStyleSheet(QStringLiteral("color: red;"));
    wl->addWidget(wt, 1);
    BackupWarningPanel->hide();
    v->addWidget(BackupWarningPanel);

    auto* box = new QFrame(info);
    box->setObjectName(QStringLiteral("BackupInfoBox"));
    box->setStyleSheet(
        QStringLiteral("#BackupInfoBox { background: #eef3f8; border: 1px solid #c9d6e3; }"));
    auto* bl = new QHBoxLayout(box);
    bl->setContentsMargins(8, 8, 8, 8);
    bl->addWidget(Picture(QStringLiteral("BackupInfoImage"), images::Information(), box), 0,
                  Qt::AlignTop);
    auto* note = Text(QStringLiteral("BackupInfoLabel"), QString::fromLatin1(BackupInfoText), box);
    note->setWordWrap(true);
    bl->addWidget(note, 1);
    v->addWidget(box);
}

void TBackupSection::SetHints() {
    // Tool tips break lines at line feeds.
    auto hint = [](const char* text) { return QString::fromLatin1(text).replace("\r\n", "\n"); };
    BackupSourceEdit->setToolTip(hint(BackupSourceHint));
    BackupTargetEdit->setToolTip(hint(BackupTargetHint));
}

void TBackupSection::FieldsChanged() {
    const TBackupFieldsState s = BackupSourceEditChange(Source(), Target());
    StartBackup->setEnabled(s.StartBackupEnabled);
    BackupWarningPanel->setVisible(s.BackupWarningVisible);
}

std::string TBackupSection::Source() const { return BackupSourceEdit->text().toStdString(); }
std::string TBackupSection::Target() const { return BackupTargetEdit->text().toStdString(); }

} // namespace cv
