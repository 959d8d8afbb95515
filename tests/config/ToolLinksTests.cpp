// The link dispatcher: every key of its table does its one thing, anything else nothing.
#include "config/ToolLinks.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace cv;

namespace {

// Records every action as one line of text.
class TRecordingActions : public IToolLinkActions {
public:
    std::vector<std::string> Log;
    bool LeaveEditor = true;

    void LaunchTool(const std::string& f, const std::string& p, const std::string& w) override {
        Log.push_back("launch " + f + " | " + p + " | " + w);
    }
    void ShowErrorMessage(const std::string& text) override { Log.push_back("error " + text); }
    void SetCurrentFile(const std::string& path) override { Log.push_back("file " + path); }
    void ShowLumoEditorPanel() override { Log.push_back("editor"); }
    void ShowProcessPanel() override { Log.push_back("processes"); }
    void ReplaceWithDefaultCertificate() override { Log.push_back("certificate"); }
    bool CanLeaveEditor() override {
        Log.push_back("leave?");
        return LeaveEditor;
    }
    void OpenHTTPConfigSection() override { Log.push_back("http section"); }
    std::string BackupSourceText() override { return "C:;D:"; }
    std::string BackupTargetText() override { return "E:"; }
    void RunBackupCommand(int kind, const std::string& s, const std::string& t) override {
        Log.push_back("backup " + std::to_string(kind) + " " + s + " " + t);
    }
};

const std::string Cv = "C:\\Vornix\\";
const std::string Warden = "C:\\Tools\\Vekta.Warden";

struct TLinkCase {
    const char* Key;
    std::vector<std::string> Expected;
};

TEST(ToolLinks, EveryKeyDoesItsAction) {
    const std::set<std::string> existing = {Cv + "sys\\active\\sys_\\kernel_setup.lum",
                                            Cv + "prog\\exec\\stop_sequence.lum"};
    const TLinkCase cases[] = {
        {"ChangePw", {"launch pwchange.exe | -c | C:\\Vornix\\prog\\exec"}},
        {"SysConf", {"launch cfgwizard.exe |  | C:\\Vornix\\prog\\exec"}},
        {"EditKernelSetup", {"file C:\\Vornix\\sys\\active\\sys_\\kernel_setup.lum", "editor"}},
        {"EditStopSequence", {"file C:\\Vornix\\prog\\exec\\stop_sequence.lum", "editor"}},
        {"ProcessDetails", {"processes"}},
        {"GenerateCertificate", {"certificate"}},
        {"WebCertificate", {"leave?", "http section"}},
        {"Support", {"launch sysreport.exe |  | C:\\Vornix\\prog\\exec"}},
        {"Applications", {"launch appsetup.exe |  | "}},
        {"CyberSecurity",
         {"launch C:\\Tools\\Vekta.Warden\\Vekta.Warden.exe |  | C:\\Tools\\Vekta.Warden"}},
        {"StartBackup", {"backup 0 C:;D: E:"}},
        {"StopBackup", {"backup 1  "}},
        {"CheckBackup", {"backup 2  "}},
    };
    for (auto& c : cases) {
        TRecordingActions actions;
        TToolLinkDispatcher links(actions, Cv, Warden,
                                  [&](const std::string& p) { return existing.count(p) > 0; });
        EXPECT_TRUE(links.OverviewLabelLinkClick(c.Key)) << c.Key;
        EXPECT_EQ(actions.Log, c.Expected) << c.Key;
    }
}

TEST(ToolLinks, KeysAreComparedExactly) {
    for (const char* key : {"changepw", "CHANGEPW", "ChangePW", "changePw", "ChangePw ", " SysConf",
                            "editkernelsetup", "Processdetails", "startbackup", "", "Unknown"}) {
        TRecordingActions actions;
        TToolLinkDispatcher links(actions, Cv, Warden, [](const std::string&) { return true; });
        EXPECT_FALSE(links.OverviewLabelLinkClick(key)) << "'" << key << "'";
        EXPECT_TRUE(actions.Log.empty()) << "'" << key << "'";
    }
}

TEST(ToolLinks, MissingScriptNamesTheFullPathAndKeepsTheEditorClosed) {
    TRecordingActions actions;
    TToolLinkDispatcher links(actions, Cv, Warden, [](const std::string&) { return false; });
    links.OverviewLabelLinkClick("EditStopSequence");
    EXPECT_EQ(actions.Log,
              (std::vector<std::string>{
                  "file C:\\Vornix\\prog\\exec\\stop_sequence.lum",
                  "error The file C:\\Vornix\\prog\\exec\\stop_sequence.lum does not exist."}));
}

TEST(ToolLinks, WebCertificateWaitsForTheEditorToBeLeft) {
    TRecordingActions actions;
    actions.LeaveEditor = false;
    TToolLinkDispatcher links(actions, Cv, Warden);
    links.OverviewLabelLinkClick("WebCertificate");
    EXPECT_EQ(actions.Log, (std::vector<std::string>{"leave?"}));
}

TEST(ToolLinks, EmptyInstallFolderMakesThePathsRelative) {
    TRecordingActions actions;
    TToolLinkDispatcher links(actions, "", "prog\\utils\\security",
                              [](const std::string&) { return false; });
    links.OverviewLabelLinkClick("ChangePw");
    links.OverviewLabelLinkClick("EditKernelSetup");
    EXPECT_EQ(
        actions.Log,
        (std::vector<std::string>{
            "launch pwchange.exe | -c | prog\\exec", "file sys\\active\\sys_\\kernel_setup.lum",
            "error The file sys\\active\\sys_\\kernel_setup.lum does not exist."}));
}

} // namespace
