#pragma once
// The widgets of the window's sections, one class each. A section builds its controls (with
// their design names) into its information panel, shows what it is given and forwards its
// links; the window wires it to the units.
#include "Widgets.h"
#include "notify/Model.h"

#include <QComboBox>
#include <QLineEdit>
#include <string>

namespace cv {

// "System": the system information and the process counts.
class TSystemSection {
public:
    TSystemSection(QFrame* info, const ui::TLinkHandler& onLink);
    // Each value trimmed; an empty one leaves its label as it is.
    void SysInfoUpdate(const TSysInfo& sysInfo);
    void SetProcessCounts(int32_t kernel, int32_t client);

    QLabel* PackageLabel = nullptr;
    QLabel* BaseSystemLabel = nullptr;
    QLabel* SystemIdLabel = nullptr;
    QLabel* StartupTimeLabel = nullptr;
    QLabel* KernelProcessesLabel = nullptr;
    QLabel* ScadaProcessesLabel = nullptr;
};

// "Configuration": the service start type, the memory pool sizes with their warning, the
// tool links.
class TConfigSection {
public:
    TConfigSection(QFrame* info, const ui::TLinkHandler& onLink);
    // The "Cyber Security..." link, or the note that its tool is missing.
    void ShowCyberSecurity(bool visible);
    bool PoolSizeListOpen() const;
    void SetPoolSizeRed(QComboBox* combo, bool red);

    QComboBox* ServiceStartTypeCombo = nullptr;
    QComboBox* MemoryPoolSize = nullptr;
    QComboBox* PrivatePoolSize = nullptr;
    QFrame* SizeWarning = nullptr;
    QLabel* SizeWarningLabel = nullptr;
    QLabel* CyberSecurity = nullptr;
    QFrame* ScmNotInstalledPanel = nullptr;
};

// "Disk Image Backup": the three links, the source and target fields, the warning and the
// advice.
class TBackupSection {
public:
    TBackupSection(QFrame* info, const ui::TLinkHandler& onLink);
    void SetHints();
    // Both fields filled: the start link works and the warning goes.
    void FieldsChanged();
    std::string Source() const;
    std::string Target() const;

    QLabel* StartBackup = nullptr;
    QLineEdit* BackupSourceEdit = nullptr;
    QLineEdit* BackupTargetEdit = nullptr;
    QFrame* BackupWarningPanel = nullptr;
};

} // namespace cv
