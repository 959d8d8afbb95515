#pragma once
// The one dispatcher behind every link label of the main window, the shell launcher for the
// programs it starts, and the existence check before a script opens in the editor. The window
// implements IToolLinkActions and forwards each link key to OverviewLabelLinkClick.
#include "CvRegistry.h"
#include "platform/Shell.h"

#include <string>

namespace cv {

// What a link can make the window do.
class IToolLinkActions {
public:
    virtual ~IToolLinkActions() = default;
    // Starts a program through the shell without waiting; the result is not reported.
    virtual void LaunchTool(const std::string& file, const std::string& parameters,
                            const std::string& workingFolder) = 0;
    // The modal error box (OK button) with the window's caption.
    virtual void ShowErrorMessage(const std::string& text) = 0;
    // FCurrentFile: the script the editor shows.
    virtual void SetCurrentFile(const std::string& path) = 0;
    virtual void ShowLumoEditorPanel() = 0;
    virtual void ShowProcessPanel() = 0;
    virtual void ReplaceWithDefaultCertificate() = 0;
    // The editor host's leave check; true when the editor may be left.
    virtual bool CanLeaveEditor() = 0;
    virtual void OpenHTTPConfigSection() = 0;
    virtual std::string BackupSourceText() = 0;
    virtual std::string BackupTargetText() = 0;
    // kind 0 start (with the two texts), 1 stop, 2 status.
    virtual void RunBackupCommand(int kind, const std::string& source,
                                  const std::string& target) = 0;
};

// The shell launcher: default verb, normal window, no wait; the result is ignored.
void LaunchTool(IShell& shell, const std::string& file, const std::string& parameters,
                const std::string& workingFolder);

// "The file <path> does not exist."
std::string FileMissingMessage(const std::string& path);

// True when the file exists; otherwise shows FileMissingMessage and returns false.
bool FileExistsOrSay(IToolLinkActions& actions, const std::string& path,
                     const TFileExistsFunc& fileExists = {});

inline constexpr const char* KernelSetupRelativePath = "sys\\active\\sys_\\kernel_setup.lum";
inline constexpr const char* StopSequenceRelativePath = "prog\\exec\\stop_sequence.lum";

class TToolLinkDispatcher {
public:
    TToolLinkDispatcher(IToolLinkActions& actions, std::string cvFolder, std::string wardenFolder,
                        TFileExistsFunc fileExists = {});

    // Compares the key exactly, letter case included, with the table in its order and performs
    // the first match; returns false for a key that does nothing.
    bool OverviewLabelLinkClick(const std::string& link);

private:
    void EditScript(const std::string& path);

    IToolLinkActions& FActions;
    std::string FCvFolder;
    std::string FWardenFolder;
    TFileExistsFunc FFileExists;
};

} // namespace cv
