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

// Every form the backup tool takes stays as typed; a text the command interpreter would act on
// never reaches the elevated console.
TEST(Backup, TextsTheInterpreterWouldActOnAreRefusedBeforeAnythingStarts) {
    struct {
        const char* Source;
        const char* Target;
        const char* Refusal; // empty: accepted
    } cases[] = {
        {"C:;D:", "E:", ""},
        {"C:", "\\\\?\\Volume{6b1e3c5a-0f3d-4c2e-9a7b-2d4f6e8a0c1b}\\", ""},
        {"C:;D:\\Mount\\Data Disk", "\\\\server\\share\\", ""},
        {"C:,D:", "F:\\Backups (weekly)\\", ""},
        {"C:", "E: & net user x y /add", "The backup target contains characters that are not allowed: &"},
        {"C: | more", "E:", "The backup source contains characters that are not allowed: |"},
        {"C:>x", "E:<y", "The backup source contains characters that are not allowed: >"},
        {"C:", "E:^&calc", "The backup target contains characters that are not allowed: ^ &"},
        {"C:", "\"E:\"", "The backup target contains characters that are not allowed: \""},
        {"%TEMP%", "E:", "The backup source contains characters that are not allowed: %"},
        {"C:", "E:!x!", "The backup target contains characters that are not allowed: !"},
        {"C:\r\ncalc", "E:", "The backup source contains characters that are not allowed: line break"},
        {"C:", "E:\x1b\t", "The backup target contains characters that are not allowed: control character"},
        {"C:&", "E:|", "The backup source contains characters that are not allowed: &"},
    };
    struct TRecorder : IShell {
        int Calls = 0;
        bool Execute(const std::string&, const std::string&, const std::string&) override {
            ++Calls;
            return true;
        }
    };
    for (auto& c : cases) {
        SCOPED_TRACE(std::string(c.Source) + " | " + c.Target);
        EXPECT_EQ(BackupTextsRefusal(c.Source, c.Target), c.Refusal);
        TRecorder shell;
        EXPECT_EQ(RunBackupCommand(shell, backup_Start, c.Source, c.Target, false, "W"), c.Refusal);
        EXPECT_EQ(shell.Calls, *c.Refusal ? 0 : 1);
        EXPECT_EQ(BackupCommand(backup_Start, c.Source, c.Target, false, "W").has_value(), !*c.Refusal);
    }
    // Stop and status take no text, so nothing in the fields keeps them from running.
    TRecorder shell;
    EXPECT_EQ(RunBackupCommand(shell, backup_Stop, "&", "|", false, "W"), "");
    EXPECT_EQ(RunBackupCommand(shell, backup_Status, "&", "|", false, "W"), "");
    EXPECT_EQ(shell.Calls, 2);
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
