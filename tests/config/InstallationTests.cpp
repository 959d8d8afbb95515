// The configuration units on a simulated installation: folders from its registry, its sample
// parameter file, and the links starting its stub tools (each records itself in
// sim/launches.log: its path, working folder, arguments, separated by tabs).
#include "support/Sandbox.h"

#include "config/Backup.h"
#include "config/CvRegistry.h"
#include "config/SysConfigParEditor.h"
#include "config/ToolLinks.h"
#include "core/Text.h"
#include "platform/FileSystem.h"
#include "platform/posix/PosixShell.h"
#include "platform/posix/PosixSystemInfo.h"
#include "platform/sandbox/SandboxRegistry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace cv;
using cvtest::TSandbox;

namespace {

std::string CurrentFolder() {
    char* cwd = getcwd(nullptr, 0);
    std::string s = cwd ? cwd : "";
    std::free(cwd);
    return s;
}

TEST(Installation, FoldersFromTheRegistryInEitherView) {
    for (const char* view : {"", "--registry-64"}) {
        SCOPED_TRACE(view);
        TSandbox sbx(*view ? std::vector<std::string>{view} : std::vector<std::string>{});
        TSandboxRegistry reg(sbx.Dir());
        TInstallFolders f = ResolveFolders(reg);
        EXPECT_EQ(f.CvFolder, sbx.Dir() + "/Corvane/");
        EXPECT_EQ(f.WardenFolder, sbx.Dir() + "/Warden/Vekta.Warden");
        EXPECT_TRUE(f.CyberSecurityVisible);
        EXPECT_EQ(f.SysServicesFolder, sbx.Dir() + "/CorvanePro/Services");
        EXPECT_EQ(ReadProductValue(reg, "Corvane Pro\\WebUI", "Port"), "443");
    }
}

TEST(Installation, WardenFallbackOnTheSandbox) {
    {
        TSandbox sbx({"--no-warden"});
        TSandboxRegistry reg(sbx.Dir());
        TInstallFolders f = ResolveFolders(reg);
        EXPECT_FALSE(f.CyberSecurityVisible);
        EXPECT_EQ(f.WardenFolder, sbx.Dir() + "/Corvane/prog\\utils\\security");
    }
    {
        TSandbox sbx({"--warden-in-install"});
        TSandboxRegistry reg(sbx.Dir());
        TInstallFolders f = ResolveFolders(reg);
        EXPECT_TRUE(f.CyberSecurityVisible);
        EXPECT_EQ(f.WardenFolder, sbx.Dir() + "/Corvane/prog\\utils\\security");
    }
}

TEST(Installation, SampleParameterFileKeepsEveryOtherLine) {
    TSandbox sbx;
    const std::string file = sbx.Dir() + "/Corvane/" + SysConfigParRelativePath;
    const std::string before = ReadFileBytes(file).value_or("");
    ASSERT_FALSE(before.empty());
    TSysConfigParEditor editor(file);
    EXPECT_EQ(editor.GetParameter(scpp_Memory_Pool_Size), 512);
    EXPECT_EQ(editor.GetParameter(scpp_Private_Pool_Size), 256);
    EXPECT_EQ(editor.TrySaveParameter("1024", scpp_Memory_Pool_Size), value_changed);
    EXPECT_EQ(ReadFileBytes(file).value_or(""),
              ReplaceAll(before, "MEMORY_POOL_SIZE = 512            ; set by installer",
                         "MEMORY_POOL_SIZE = 1024 ; set by installer"));
    EXPECT_EQ(editor.TrySaveParameter("512", scpp_Memory_Pool_Size), value_ok);
}

// The window's side of the links, with the real shell.
class TShellActions : public IToolLinkActions {
public:
    TShellActions(IShell& shell, const std::string& sandbox) : FShell(shell), FSystem(sandbox) {}
    void LaunchTool(const std::string& f, const std::string& p, const std::string& w) override {
        cv::LaunchTool(FShell, f, p, w);
    }
    void ShowErrorMessage(const std::string& text) override { Errors.push_back(text); }
    void SetCurrentFile(const std::string& path) override { CurrentFile = path; }
    void ShowLumoEditorPanel() override { EditorShown = true; }
    void ShowProcessPanel() override {}
    void ReplaceWithDefaultCertificate() override {}
    bool CanLeaveEditor() override { return true; }
    void OpenHTTPConfigSection() override {}
    std::string BackupSourceText() override { return "C:;D:"; }
    std::string BackupTargetText() override { return "E:"; }
    void RunBackupCommand(int kind, const std::string& s, const std::string& t) override {
        cv::RunBackupCommand(FShell, kind, s, t, FSystem.IsWow64(), FSystem.WindowsFolder());
    }

    std::vector<std::string> Errors;
    std::string CurrentFile;
    bool EditorShown = false;

private:
    IShell& FShell;
    TPosixSystemInfo FSystem;
};

std::vector<std::string> WaitForLaunches(const std::string& sandbox, size_t count) {
    std::vector<std::string> lines;
    for (int i = 0; i < 500; ++i) {
        std::string text = ReadFileBytes(sandbox + "/sim/launches.log").value_or("");
        lines = SplitAny(text, "\n");
        lines.pop_back(); // after the last line break
        if (lines.size() >= count)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return lines;
}

TEST(Installation, EveryLinkStartsItsStubWithItsParametersAndFolder) {
    TSandbox sbx;
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (sbx.Dir() + "/bin:" + saved).c_str(), 1);
    TSandboxRegistry reg(sbx.Dir());
    TInstallFolders f = ResolveFolders(reg);
    TPosixShell shell;
    TShellActions actions(shell, sbx.Dir());
    TToolLinkDispatcher links(actions, f.CvFolder, f.WardenFolder);

    const std::string exec = sbx.Dir() + "/Corvane/prog/exec";
    const std::string warden = sbx.Dir() + "/Warden/Vekta.Warden";
    const std::string cmd = sbx.Dir() + "/Windows/Sysnative/cmd.exe"; // the sandbox is WOW64
    struct {
        const char* Key;
        std::string Line;
    } cases[] = {
        {"ChangePw", exec + "/pwchange.exe\t" + exec + "\t-c"},
        {"SysConf", exec + "/cfgwizard.exe\t" + exec},
        {"Support", exec + "/sysreport.exe\t" + exec},
        {"Applications", sbx.Dir() + "/bin/appsetup.exe\t" + CurrentFolder()},
        {"CyberSecurity", warden + "/Vekta.Warden.exe\t" + warden},
        {"StartBackup", cmd + "\t" + CurrentFolder() +
                            "\t/K\twbadmin\tstart\tbackup\t-backuptarget:E:\t-include:C:;D:\t"
                            "-allcritical\t-vssfull\t-quiet\t&\tpause\t&\texit"},
        {"StopBackup",
         cmd + "\t" + CurrentFolder() + "\t/K\twbadmin\tstop\tjob\t&\tpause\t&\texit"},
        {"CheckBackup",
         cmd + "\t" + CurrentFolder() + "\t/K\twbadmin\tget\tstatus\t&\tpause\t&\texit"},
    };
    size_t n = 0;
    for (auto& c : cases) {
        ASSERT_TRUE(links.OverviewLabelLinkClick(c.Key)) << c.Key;
        auto lines = WaitForLaunches(sbx.Dir(), ++n);
        ASSERT_EQ(lines.size(), n) << c.Key;
        EXPECT_EQ(lines.back(), c.Line) << c.Key;
    }
    setenv("PATH", saved.c_str(), 1);
    EXPECT_TRUE(actions.Errors.empty());
}

TEST(Installation, BackupWithoutWow64UsesSystem32) {
    TSandbox sbx({"--no-wow64"});
    TPosixShell shell;
    TShellActions actions(shell, sbx.Dir());
    actions.RunBackupCommand(2, "", "");
    auto lines = WaitForLaunches(sbx.Dir(), 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(StartsWith(lines[0], sbx.Dir() + "/Windows/System32/cmd.exe\t")) << lines[0];
}

TEST(Installation, ScriptLinksOpenTheEditorOnlyForAnExistingFile) {
    TSandbox sbx;
    TSandboxRegistry reg(sbx.Dir());
    TInstallFolders f = ResolveFolders(reg);
    TPosixShell shell;
    TShellActions actions(shell, sbx.Dir());
    TToolLinkDispatcher links(actions, f.CvFolder, f.WardenFolder);

    links.OverviewLabelLinkClick("EditKernelSetup");
    EXPECT_TRUE(actions.EditorShown);
    EXPECT_EQ(actions.CurrentFile, sbx.Dir() + "/Corvane/sys\\active\\sys_\\kernel_setup.lum");

    actions.EditorShown = false;
    const std::string stop = sbx.Dir() + "/Corvane/prog\\exec\\stop_sequence.lum";
    ASSERT_TRUE(DeleteFileAt(stop));
    links.OverviewLabelLinkClick("EditStopSequence");
    EXPECT_FALSE(actions.EditorShown);
    EXPECT_EQ(actions.CurrentFile, stop);
    EXPECT_EQ(actions.Errors, (std::vector<std::string>{"The file " + stop + " does not exist."}));
}

} // namespace
