// The backup console commands and the enabling of "Start Disk Image Backup...".
#include "config/Backup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace cv;

namespace {

TEST(Backup, CommandForEachKindWithAndWithoutWow64) {
    struct {
        int Kind;
        bool Wow64;
        const char* File;
        const char* Parameters;
    } cases[] = {
        {0, false, "C:\\Windows\\System32\\cmd.exe",
         "/K wbadmin start backup -backuptarget:E: -include:C:;D: -allcritical -vssfull -quiet "
         "& pause & exit"},
        {0, true, "C:\\Windows\\Sysnative\\cmd.exe",
         "/K wbadmin start backup -backuptarget:E: -include:C:;D: -allcritical -vssfull -quiet "
         "& pause & exit"},
        {1, false, "C:\\Windows\\System32\\cmd.exe", "/K wbadmin stop job & pause & exit"},
        {1, true, "C:\\Windows\\Sysnative\\cmd.exe", "/K wbadmin stop job & pause & exit"},
        {2, false, "C:\\Windows\\System32\\cmd.exe", "/K wbadmin get status & pause & exit"},
        {2, true, "C:\\Windows\\Sysnative\\cmd.exe", "/K wbadmin get status & pause & exit"},
    };
    for (auto& c : cases) {
        auto cmd = BackupCommand(c.Kind, "C:;D:", "E:", c.Wow64, "C:\\Windows");
        ASSERT_TRUE(cmd) << c.Kind;
        EXPECT_EQ(cmd->File, c.File) << c.Kind << " " << c.Wow64;
        EXPECT_EQ(cmd->Parameters, c.Parameters) << c.Kind << " " << c.Wow64;
    }
}

TEST(Backup, StopAndStatusIgnoreTheFields) {
    EXPECT_EQ(BackupCommand(1, "", "", false, "W")->Parameters,
              "/K wbadmin stop job & pause & exit");
    EXPECT_EQ(BackupCommand(2, "x", "y", false, "W")->Parameters,
              "/K wbadmin get status & pause & exit");
}

TEST(Backup, FieldsPassedAsTyped) {
    auto cmd = BackupCommand(0, " F: ", "\\\\srv\\share\\", false, "W");
    EXPECT_EQ(cmd->Parameters,
              "/K wbadmin start backup -backuptarget:\\\\srv\\share\\ -include: F:  "
              "-allcritical -vssfull -quiet & pause & exit");
}

TEST(Backup, UnknownKindLaunchesNothing) {
    struct TRecorder : IShell {
        int Calls = 0;
        bool Execute(const std::string&, const std::string&, const std::string&) override {
            ++Calls;
            return true;
        }
    } shell;
    EXPECT_FALSE(BackupCommand(3, "C:", "E:", false, "W"));
    RunBackupCommand(shell, -1, "C:", "E:", false, "W");
    EXPECT_EQ(shell.Calls, 0);
}

TEST(Backup, RunLaunchesTheInterpreterWithoutWorkingFolder) {
    struct TRecorder : IShell {
        std::vector<std::string> Call;
        bool Execute(const std::string& f, const std::string& p, const std::string& w) override {
            Call = {f, p, w};
            return false; // a failed launch goes unreported
        }
    } shell;
    RunBackupCommand(shell, 1, "", "", true, "/sbx/Windows");
    EXPECT_EQ(shell.Call, (std::vector<std::string>{"/sbx/Windows\\Sysnative\\cmd.exe",
                                                    "/K wbadmin stop job & pause & exit", ""}));
}

TEST(Backup, StartEnabledOnlyWhileBothFieldsHoldText) {
    struct {
        const char* Source;
        const char* Target;
        bool Enabled;
    } cases[] = {
        {"C:;D:", "E:", true}, {"", "E:", false}, {"C:", "", false},
        {"", "", false},       {" ", "E:", true}, // not trimmed: a blank is text
    };
    for (auto& c : cases) {
        TBackupFieldsState s = BackupSourceEditChange(c.Source, c.Target);
        EXPECT_EQ(s.StartBackupEnabled, c.Enabled) << c.Source << "|" << c.Target;
        EXPECT_EQ(s.BackupWarningVisible, !c.Enabled) << c.Source << "|" << c.Target;
    }
}

} // namespace
