#include "Backup.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace cv {

std::string DisallowedBackupCharacters(const std::string& text) {
    std::vector<std::string> found;
    auto note = [&](std::string shown) {
        if (std::find(found.begin(), found.end(), shown) == found.end())
            found.push_back(std::move(shown));
    };
    for (unsigned char c : text) {
        if (c == '\r' || c == '\n')
            note("line break");
        else if (c < 0x20 || c == 0x7F)
            note("control character");
        else if (std::strchr("&|<>^\"%!", c))
            note(std::string(1, static_cast<char>(c)));
    }
    std::string out;
    for (const auto& f : found)
        out += (out.empty() ? "" : " ") + f;
    return out;
}

std::string BackupTextsRefusal(const std::string& source, const std::string& target) {
    for (auto [field, text] : {std::pair{"source", &source}, std::pair{"target", &target}}) {
        const std::string bad = DisallowedBackupCharacters(*text);
        if (!bad.empty())
            return std::string("The backup ") + field + " contains characters that are not allowed: " + bad;
    }
    return {};
}

std::optional<TBackupCommand> BackupCommand(int kind, const std::string& source,
                                            const std::string& target, bool runningIn64Bit,
                                            const std::string& windowsFolder) {
    std::string command;
    switch (kind) {
    case backup_Start:
        if (!BackupTextsRefusal(source, target).empty())
            return std::nullopt;
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

std::string RunBackupCommand(IShell& shell, int kind, const std::string& source,
                             const std::string& target, bool runningIn64Bit,
                             const std::string& windowsFolder) {
    if (kind == backup_Start) {
        std::string refusal = BackupTextsRefusal(source, target);
        if (!refusal.empty())
            return refusal;
    }
    if (auto c = BackupCommand(kind, source, target, runningIn64Bit, windowsFolder))
        shell.Execute(c->File, c->Parameters, "");
    return {};
}

TBackupFieldsState BackupSourceEditChange(const std::string& source, const std::string& target) {
    const bool both = !source.empty() && !target.empty();
    return {both, !both};
}

} // namespace cv
