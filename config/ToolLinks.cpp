#include "ToolLinks.h"

#include "platform/FileSystem.h"

#include <functional>
#include <utility>

namespace cv {

void LaunchTool(IShell& shell, const std::string& file, const std::string& parameters,
                const std::string& workingFolder) {
    shell.Execute(file, parameters, workingFolder);
}

std::string FileMissingMessage(const std::string& path) {
    return "The file " + path + " does not exist.";
}

bool FileExistsOrSay(IToolLinkActions& actions, const std::string& path,
                     const TFileExistsFunc& fileExists) {
    if (fileExists ? fileExists(path) : FileExists(path))
        return true;
    actions.ShowErrorMessage(FileMissingMessage(path));
    return false;
}

TToolLinkDispatcher::TToolLinkDispatcher(IToolLinkActions& actions, std::string cvFolder,
                                         std::string wardenFolder, TFileExistsFunc fileExists)
    : FActions(actions), FCvFolder(std::move(cvFolder)), FWardenFolder(std::move(wardenFolder)),
      FFileExists(std::move(fileExists)) {}

void TToolLinkDispatcher::EditScript(const std::string& path) {
    // Stored before the check: a missing file leaves the new path and the editor closed.
    FActions.SetCurrentFile(path);
    if (FileExistsOrSay(FActions, path, FFileExists))
        FActions.ShowLumoEditorPanel();
}

bool TToolLinkDispatcher::OverviewLabelLinkClick(const std::string& link) {
    struct TEntry {
        const char* Key;
        std::function<void()> Action;
    };
    IToolLinkActions& a = FActions;
    const std::string exec = FCvFolder + "prog\\exec";
    const TEntry table[] = {
        {"ChangePw", [&] { a.LaunchTool("pwchange.exe", "-c", exec); }},
        {"SysConf", [&] { a.LaunchTool("cfgwizard.exe", "", exec); }},
        {"EditKernelSetup", [&] { EditScript(FCvFolder + KernelSetupRelativePath); }},
        {"EditStopSequence", [&] { EditScript(FCvFolder + StopSequenceRelativePath); }},
        {"ProcessDetails", [&] { a.ShowProcessPanel(); }},
        {"GenerateCertificate", [&] { a.ReplaceWithDefaultCertificate(); }},
        {"WebCertificate",
         [&] {
             if (a.CanLeaveEditor())
                 a.OpenHTTPConfigSection();
         }},
        {"Support", [&] { a.LaunchTool("sysreport.exe", "", exec); }},
        {"Applications", [&] { a.LaunchTool("appsetup.exe", "", ""); }},
        {"CyberSecurity",
         [&] { a.LaunchTool(FWardenFolder + "\\Vekta.Warden.exe", "", FWardenFolder); }},
        {"StartBackup", [&] { a.RunBackupCommand(0, a.BackupSourceText(), a.BackupTargetText()); }},
        {"StopBackup", [&] { a.RunBackupCommand(1, "", ""); }},
        {"CheckBackup", [&] { a.RunBackupCommand(2, "", ""); }},
    };
    for (auto& e : table)
        if (link == e.Key) {
            e.Action();
            return true;
        }
    return false;
}

} // namespace cv
