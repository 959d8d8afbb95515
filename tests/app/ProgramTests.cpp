// The built program against a sandbox: the command-line service commands.
#include "platform/sandbox/SandboxServiceManager.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
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

} // namespace

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
    // A refused command is just as silent: stopping a stopped service.
    EXPECT_EQ(TSandbox::Run({CONTROL_PANEL_PATH, "/Stop"}, env), 0);
    // The command mode makes no single-instance test: no block was ever created.
    for (auto& e : std::filesystem::directory_iterator(runtime))
        EXPECT_EQ(e.path().filename().string().find("vornix-block-"), std::string::npos);
}
