// The sandbox's registry file: two views of SOFTWARE, Windows' letter-case rules, rights,
// and no lost values when several processes write at once.
#include "support/TempFolder.h"

#include "platform/FileSystem.h"
#include "platform/sandbox/SandboxRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace cv;

namespace {

constexpr uint32_t All = KEY_READ | KEY_WRITE;

TEST(SandboxRegistry, SoftwareHasTwoViewsOtherKeysOne) {
    cvtest::TTempFolder tmp;
    TSandboxRegistry reg(tmp.Dir());
    ASSERT_TRUE(reg.CreateKey("SOFTWARE\\Vekta", All)->WriteString("Path", "own"));
    EXPECT_FALSE(reg.KeyExists("SOFTWARE\\Vekta", KEY_READ | KEY_WOW64_64KEY));
    ASSERT_TRUE(reg.CreateKey("SOFTWARE\\Vekta", All | KEY_WOW64_64KEY)->WriteString("Path", "64"));
    EXPECT_EQ(reg.OpenKey("SOFTWARE\\Vekta", KEY_READ)->ReadString("Path"), "own");
    EXPECT_EQ(reg.OpenKey("SOFTWARE\\Vekta", KEY_READ | KEY_WOW64_64KEY)->ReadString("Path"), "64");
    EXPECT_EQ(reg.OpenKey("SOFTWARE\\Vekta", KEY_READ | 0x0200)->ReadString("Path"), "own");

    ASSERT_TRUE(reg.CreateKey("SYSTEM\\Shared", All)->WriteString("v", "one"));
    EXPECT_EQ(reg.OpenKey("SYSTEM\\Shared", KEY_READ | KEY_WOW64_64KEY)->ReadString("v"), "one");
}

TEST(SandboxRegistry, PathsAndNamesIgnoreLetterCaseAndKeepTheirCreatedCase) {
    cvtest::TTempFolder tmp;
    TSandboxRegistry reg(tmp.Dir());
    ASSERT_TRUE(reg.CreateKey("\\SOFTWARE\\Vekta\\Products\\Corvane Pro\\WebUI", All)
                    ->WriteString("Port", "443"));
    auto key = reg.OpenKey("software\\VEKTA\\products\\corvane pro\\webui\\", KEY_READ);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ReadString("PORT"), "443");
    EXPECT_TRUE(key->ValueExists("port"));
    // A write under another case replaces the value instead of adding a second one.
    ASSERT_TRUE(reg.OpenKey("SOFTWARE\\vekta\\Products\\Corvane Pro\\WebUI", All)
                    ->WriteString("PORT", "8443"));
    EXPECT_EQ(key->ReadString("Port"), "8443");
    std::string file = ReadFileBytes(TSandboxRegistry::FilePath(tmp.Dir())).value_or("");
    EXPECT_NE(file.find("[32\\SOFTWARE\\Vekta\\Products\\Corvane Pro\\WebUI]"), std::string::npos);
    EXPECT_EQ(file.find("PORT"), std::string::npos) << file;
}

TEST(SandboxRegistry, CreatingAKeyCreatesItsParents) {
    cvtest::TTempFolder tmp;
    TSandboxRegistry reg(tmp.Dir());
    EXPECT_FALSE(reg.KeyExists("SOFTWARE\\A", KEY_READ));
    ASSERT_TRUE(reg.CreateKey("SOFTWARE\\A\\B\\C", All));
    EXPECT_TRUE(reg.KeyExists("SOFTWARE\\A", KEY_READ));
    EXPECT_TRUE(reg.KeyExists("\\SOFTWARE\\A\\B", KEY_READ));
    EXPECT_TRUE(reg.OpenKey("SOFTWARE\\A\\B\\C", KEY_READ));
    EXPECT_FALSE(reg.OpenKey("SOFTWARE\\A\\X", KEY_READ));
    EXPECT_FALSE(reg.OpenKey("SOFTWARE\\\\A", KEY_READ)) << "an empty key name is invalid";
    EXPECT_FALSE(reg.CreateKey("", All));
}

TEST(SandboxRegistry, MissingValueIsNulloptAndValuesRoundTripAnyText) {
    cvtest::TTempFolder tmp;
    TSandboxRegistry reg(tmp.Dir());
    auto key = reg.CreateKey("SOFTWARE\\T", All);
    EXPECT_EQ(key->ReadString("Path"), std::nullopt);
    EXPECT_FALSE(key->ValueExists("Path"));
    const std::vector<std::pair<std::string, std::string>> values = {
        {"", "default value"},
        {"a=b", "x=y"},
        {"[section]", "[v]"},
        {";c", ";d"},
        {"multi", "line\r\ntwo"},
        {"pct", "100% %41"},
        {"utf8", "Gr\xc3\xb6\xc3\x9f"
                 "e"},
        {"empty", ""},
    };
    for (auto& [n, v] : values)
        ASSERT_TRUE(key->WriteString(n, v)) << n;
    TSandboxRegistry again(tmp.Dir());
    auto reread = again.OpenKey("SOFTWARE\\T", KEY_READ);
    for (auto& [n, v] : values)
        EXPECT_EQ(reread->ReadString(n), v) << n;
}

TEST(SandboxRegistry, AccessMaskIsHonoured) {
    cvtest::TTempFolder tmp;
    TSandboxRegistry reg(tmp.Dir());
    reg.CreateKey("SOFTWARE\\T", All)->WriteString("v", "1");
    auto readOnly = reg.OpenKey("SOFTWARE\\T", KEY_QUERY_VALUE);
    EXPECT_FALSE(readOnly->WriteString("v", "2"));
    auto writeOnly = reg.OpenKey("SOFTWARE\\T", KEY_SET_VALUE);
    EXPECT_EQ(writeOnly->ReadString("v"), std::nullopt);
    EXPECT_EQ(readOnly->ReadString("v"), "1");
}

TEST(SandboxRegistry, StandardUserMayReadButNotWrite) {
    cvtest::TTempFolder tmp;
    TSandboxRegistry reg(tmp.Dir());
    reg.CreateKey("SOFTWARE\\T", All)->WriteString("v", "1");
    setenv("VORNIX_SANDBOX_RIGHTS", "user", 1);
    EXPECT_TRUE(reg.OpenKey("SOFTWARE\\T", KEY_READ));
    EXPECT_FALSE(reg.OpenKey("SOFTWARE\\T", KEY_WRITE));
    EXPECT_FALSE(reg.CreateKey("SOFTWARE\\U", KEY_WRITE));
    unsetenv("VORNIX_SANDBOX_RIGHTS");
}

TEST(SandboxRegistry, ConcurrentWritersFromSeveralProcessesLoseNothing) {
    cvtest::TTempFolder tmp;
    TSandboxRegistry(tmp.Dir()).CreateKey("SOFTWARE\\Shared", All);
    constexpr int Processes = 4, Values = 25;
    std::vector<pid_t> children;
    for (int p = 0; p < Processes; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            TSandboxRegistry reg(tmp.Dir());
            auto key = reg.OpenKey("SOFTWARE\\Shared", All);
            bool ok = key != nullptr;
            for (int v = 0; ok && v < Values; ++v)
                ok = key->WriteString("p" + std::to_string(p) + "v" + std::to_string(v), "x");
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto key = TSandboxRegistry(tmp.Dir()).OpenKey("SOFTWARE\\Shared", KEY_READ);
    for (int p = 0; p < Processes; ++p)
        for (int v = 0; v < Values; ++v)
            EXPECT_TRUE(key->ValueExists("p" + std::to_string(p) + "v" + std::to_string(v)))
                << p << " " << v;
}

} // namespace
