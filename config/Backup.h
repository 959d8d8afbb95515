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

// The characters of `text` that the command interpreter would act on (& | < > ^ " % !, line
// breaks and other control characters), each once, in the order they first occur, as shown in
// the refusal ("line break", "control character" for the invisible ones); empty when none.
// The source and target come from a file that unelevated programs can write, and the console
// runs as administrator: such a text could run a command of its own.
std::string DisallowedBackupCharacters(const std::string& text);

// "The backup source contains characters that are not allowed: &" (or target) for the first
// field that holds one; empty when the start command may be built from both.
std::string BackupTextsRefusal(const std::string& source, const std::string& target);

// runningIn64Bit: a 32-bit process on 64-bit Windows, which reaches the 64-bit system folder
// only through "Sysnative". windowsFolder is WINDIR. No command for another kind, and none to
// start a backup from texts that BackupTextsRefusal refuses.
std::optional<TBackupCommand> BackupCommand(int kind, const std::string& source,
                                            const std::string& target, bool runningIn64Bit,
                                            const std::string& windowsFolder);

// Launches the console without waiting (no working folder); the launch's result is not looked
// at. Returns the refusal for texts that must not reach the console (nothing is launched then),
// empty otherwise.
std::string RunBackupCommand(IShell& shell, int kind, const std::string& source,
                             const std::string& target, bool runningIn64Bit,
                             const std::string& windowsFolder);

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
