// The detached start: where a name is found, which folder the program starts in, how its
// parameters arrive, and that nothing is left behind.
#include "support/TempFolder.h"

#include "platform/FileSystem.h"
#include "platform/posix/PosixShell.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace cv;

namespace {

TEST(PosixShell, SplitsLikeAWindowsCommandLine) {
    struct {
        const char* Line;
        std::vector<std::string> Args;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {"-c", {"-c"}},
        {"a  b\tc", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}},
        {"x\"a b\"y", {"xa by"}},
        {"\"\"", {""}},
        {"a\\\\b", {"a\\\\b"}},        // backslashes not before a quote are literal
        {"a\\\"b", {"a\"b"}},          // \" is a literal quote
        {"\"a\\\\\" b", {"a\\", "b"}}, // \\" is one backslash, then the closing quote
        {"\"a\"\"b\"", {"a\"b"}},      // "" inside quotes is a literal quote
        {"C:\\dir\\ \"C:\\Program Files\\x\"", {"C:\\dir\\", "C:\\Program Files\\x"}},
        {"/K wbadmin get status & pause & exit",
         {"/K", "wbadmin", "get", "status", "&", "pause", "&", "exit"}},
    };
    for (auto& c : cases)
        EXPECT_EQ(TPosixShell::SplitCommandLine(c.Line), c.Args) << c.Line;
}

class PosixShellStart : public ::testing::Test {
protected:
    void SetUp() override {
        Log = Tmp.Dir() + "/log";
        ForceDirectories(Tmp.Dir() + "/work");
        ForceDirectories(Tmp.Dir() + "/path");
        const char* path = std::getenv("PATH");
        SavedPath = path ? path : "";
    }
    void TearDown() override { setenv("PATH", SavedPath.c_str(), 1); }

    // A program that writes its folder and its arguments, one per line, then "end".
    void WriteRecorder(const std::string& file, const std::string& tag) {
        WriteFileAtomic(file, "#!/bin/sh\n{ echo " + tag +
                                  "; pwd; for a in \"$@\"; do echo \"[$a]\"; done; echo end; } > " +
                                  Log + ".tmp && mv " + Log + ".tmp " + Log + "\n");
        chmod(file.c_str(), 0755);
    }

    std::string WaitForLog() {
        for (int i = 0; i < 500; ++i) {
            if (auto s = ReadFileBytes(Log))
                return *s;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "<nothing started>";
    }

    cvtest::TTempFolder Tmp;
    std::string Log;
    std::string SavedPath;
    TPosixShell Shell;
};

TEST_F(PosixShellStart, BareNameFoundInTheWorkingFolderBeforeThePath) {
    WriteRecorder(Tmp.Dir() + "/work/tool.exe", "work");
    WriteRecorder(Tmp.Dir() + "/path/tool.exe", "path");
    setenv("PATH", (Tmp.Dir() + "/path:" + SavedPath).c_str(), 1);
    // The folder comes with Windows separators as the units build it.
    ASSERT_TRUE(Shell.Execute("tool.exe", "-c \"two words\"", Tmp.Dir() + "\\work"));
    EXPECT_EQ(WaitForLog(), "work\n" + Tmp.Dir() + "/work\n[-c]\n[two words]\nend\n");
}

TEST_F(PosixShellStart, BareNameWithoutFolderFoundOnThePathStartsInTheCurrentFolder) {
    WriteRecorder(Tmp.Dir() + "/path/appsetup.exe", "path");
    setenv("PATH", (Tmp.Dir() + "/path:" + SavedPath).c_str(), 1);
    char* cwd = getcwd(nullptr, 0);
    std::string current = cwd;
    std::free(cwd);
    ASSERT_TRUE(Shell.Execute("appsetup.exe", "", ""));
    EXPECT_EQ(WaitForLog(), "path\n" + current + "\nend\n");
}

TEST_F(PosixShellStart, FullPathStartsInTheGivenFolder) {
    WriteRecorder(Tmp.Dir() + "/path/Vekta.Warden.exe", "full");
    ASSERT_TRUE(Shell.Execute(Tmp.Dir() + "/path\\Vekta.Warden.exe", "", Tmp.Dir() + "/work"));
    EXPECT_EQ(WaitForLog(), "full\n" + Tmp.Dir() + "/work\nend\n");
}

TEST_F(PosixShellStart, FailuresAreReportedAsFailures) {
    WriteRecorder(Tmp.Dir() + "/work/tool.exe", "work");
    setenv("PATH", (Tmp.Dir() + "/path").c_str(), 1);
    EXPECT_FALSE(Shell.Execute("missing.exe", "", Tmp.Dir() + "/work"));
    EXPECT_FALSE(Shell.Execute("tool.exe", "", "")) << "not in the current folder nor on PATH";
    EXPECT_FALSE(Shell.Execute("tool.exe", "", Tmp.Dir() + "/no such folder"));
    EXPECT_FALSE(Shell.Execute(Tmp.Dir() + "/work/tool.exe", "", Tmp.Dir() + "/no such folder"));
    WriteFileAtomic(Tmp.Dir() + "/work/plain.txt", "not a program");
    EXPECT_FALSE(Shell.Execute("plain.txt", "", Tmp.Dir() + "/work"));
    EXPECT_FALSE(Shell.Execute("", "", ""));
}

TEST_F(PosixShellStart, LeavesNoChildBehind) {
    WriteRecorder(Tmp.Dir() + "/work/tool.exe", "work");
    ASSERT_TRUE(Shell.Execute("tool.exe", "", Tmp.Dir() + "/work"));
    WaitForLog();
    // The started program is not our child: there is nothing for us to reap.
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

} // namespace
