#include "Backup.h"

namespace cv {

std::optional<TBackupCommand> BackupCommand(int kind, const std::string& source,
                                            const std::string& target, bool runningIn64Bit,
                                            const std::string& windowsFolder) {
    std::string command;
    switch (kind) {
    case backup_Start:
        command = "/K wbadmin start backup -backuptarget:" + target + " -include:" + source +
                  " -allcritical -vssfull -quiet";
        break;
    case backup_Stop:
        command = "/K wbadmin stop job";
        break;
    case backup_Status:
        command = "/K wbadmin get status";
        break;
    default:
        return std::nullopt; // a console with nothing but "pause" helps no one
    }
    // The console waits for a key once the tool has ended, then closes.
    command += " & pause & exit";
    const std::string folder = runningIn64Bit ? "\\Sysnative" : "\\System32";
    return TBackupCommand{windowsFolder + folder + "\\cmd.exe", command};
}

void RunBackupCommand(IShell& shell, int kind, const std::string& source, const std::string& target,
                      bool runningIn64Bit, const std::string& windowsFolder) {
    if (auto c = BackupCommand(kind, source, target, runningIn64Bit, windowsFolder))
        shell.Execute(c->File, c->Parameters, "");
}

TBackupFieldsState BackupSourceEditChange(const std::string& source, const std::string& target) {
    const bool both = !source.empty() && !target.empty();
    return {both, !both};
}

} // namespace cv
