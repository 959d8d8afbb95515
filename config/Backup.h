#pragma once
// The Disk Image Backup section: the console command that runs the system's image backup tool,
// and the rule that enables "Start Disk Image Backup..." only while both fields hold text.
#include "platform/Shell.h"

#include <optional>
#include <string>

namespace cv {

enum TBackupKind : int { backup_Start = 0, backup_Stop = 1, backup_Status = 2 };

struct TBackupCommand {
    std::string File;       // the command interpreter
    std::string Parameters; // "/K wbadmin ... & pause & exit"
};

// runningIn64Bit: a 32-bit process on 64-bit Windows, which reaches the 64-bit system folder
// only through "Sysnative". windowsFolder is WINDIR. No command for another kind.
std::optional<TBackupCommand> BackupCommand(int kind, const std::string& source,
                                            const std::string& target, bool runningIn64Bit,
                                            const std::string& windowsFolder);

// Launches the console without waiting (no working folder); the result is not looked at.
void RunBackupCommand(IShell& shell, int kind, const std::string& source, const std::string& target,
                      bool runningIn64Bit, const std::string& windowsFolder);

struct TBackupFieldsState {
    bool StartBackupEnabled = false;
    bool BackupWarningVisible = true;
};

// BackupSourceEditChange: on every change of either field.
TBackupFieldsState BackupSourceEditChange(const std::string& source, const std::string& target);

inline constexpr const char* BackupWarningText = "Source and Target must be defined";
inline constexpr const char* BackupInfoText =
    "The consistency of a running Vornix application cannot be guaranteed in the disk image "
    "backup. It is therefore recommended to take the disk backup while Vornix is not running or "
    "to take the application backup separately.";
inline constexpr const char* BackupSourceHint =
    "Specifies the semicolon delimited list of volume drive letters,\r\n"
    "volume mount points, or GUID-based volume names to include in the backup.";
inline constexpr const char* BackupTargetHint =
    "Specifies the storage location for this backup.\r\n"
    "Requires a hard disk drive letter (f:),\r\n"
    "a volume GUID-based path in the format of \\\\?\\Volume{GUID},\r\n"
    "or a Universal Naming Convention (UNC) path to a remote shared folder "
    "(\\\\<servername>\\<sharename>\\).\r\n"
    "By default, the backup will be saved at: "
    "\\\\<servername>\\<sharename>\\WindowsImageBackup\\<ComputerBackedUp>\\.";

} // namespace cv
