// The built program against a sandbox: the command-line service commands.
#include "platform/sandbox/SandboxServiceManager.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

using namespace cv;
using cvtest::TSandbox;

namespace {

uint32_t StateOf(const std::string& sandbox) {
    TSandboxServiceManager m(sandbox);
    auto scm = m.Open(SC_MANAGER_CONNECT);
    auto s = scm ? scm->OpenService("Corvane", SERVICE_QUERY_STATUS) : nullptr;
    TServiceStatusInfo st;
    return s && s->QueryStatus(st) ? st.CurrentState : 0;
}

bool WaitForState(const std::string& sandbox, uint32_t state) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        if (StateOf(sandbox) == state)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::vector<std::string> PanelEnvironment(const TSandbox& sb) {
    const std::string runtime = sb.Dir() + "/runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    return {"VORNIX_SANDBOX=" + sb.Dir(), "QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + runtime};
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

// An administrator's restart script: each command returns once its state is reached, so the
// next one never meets a pending state it would be refused in.
TEST(ProgramCommands, ARestartScriptLeavesTheSystemRunning) {
    TSandbox sb;
    const auto env = PanelEnvironment(sb);
    ASSERT_EQ(TSandbox::Run({CONTROL_PANEL_PATH, "/Start"}, env), 0);
    EXPECT_EQ(StateOf(sb.Dir()), SERVICE_RUNNING) << "running when /Start returns";
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(TSandbox::Run({CONTROL_PANEL_PATH, "/Stop"}, env), 0);
        EXPECT_EQ(StateOf(sb.Dir()), SERVICE_STOPPED) << "stopped when /Stop returns";
        EXPECT_EQ(TSandbox::Run({CONTROL_PANEL_PATH, "/Start"}, env), 0);
        EXPECT_EQ(StateOf(sb.Dir()), SERVICE_RUNNING);
    }
    EXPECT_EQ(TSandbox::Run({CONTROL_PANEL_PATH, "/Stop"}, env), 0);
}

TEST(ProgramCommands, ARefusedCommandExitsOneAndSaysWhyOnStandardError) {
    TSandbox sb({"--start-type", "4"});
    const std::string errors = sb.Dir() + "/stderr.txt";
    EXPECT_EQ(TSandbox::Run({CONTROL_PANEL_PATH, "/Start"}, PanelEnvironment(sb), errors), 1);
    EXPECT_NE(ReadAll(errors).find("Vornix Control Panel /Start: the start was refused: the "
                                   "service is disabled (error 1058)\n"),
              std::string::npos)
        << ReadAll(errors);
    EXPECT_EQ(StateOf(sb.Dir()), SERVICE_STOPPED);
}

TEST(ProgramCommands, StartAndStopRunWithoutAWindowAndExitZero) {
    TSandbox sb;
    const std::string runtime = sb.Dir() + "/runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    const std::vector<std::string> env = {"VORNIX_SANDBOX=" + sb.Dir(),
                                          "QT_QPA_PLATFORM=offscreen",
                                          "XDG_RUNTIME_DIR=" + runtime};
    EXPECT_EQ(TSandbox::Run({CONTROL_PANEL_PATH, "/Start"}, env), 0);
    EXPECT_TRUE(WaitForState(sb.Dir(), SERVICE_RUNNING));
    EXPECT_EQ(TSandbox::Run({CONTROL_PANEL_PATH, "/Stop", "/start"}, env), 0);
    EXPECT_TRUE(WaitForState(sb.Dir(), SERVICE_STOPPED));
    // Stopping a stopped service: the state asked for is there.
    EXPECT_EQ(TSandbox::Run({CONTROL_PANEL_PATH, "/Stop"}, env), 0);
    // The command mode makes no single-instance test: no block was ever created.
    for (auto& e : std::filesystem::directory_iterator(runtime))
        EXPECT_EQ(e.path().filename().string().find("vornix-block-"), std::string::npos);
}
