#include "platform/sandbox/SandboxServiceManager.h"

#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace cv;
using cvtest::TSandbox;

namespace {

bool WaitForState(IServiceHandle& s, uint32_t state, int timeoutMs = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    TServiceStatusInfo st;
    while (std::chrono::steady_clock::now() < end) {
        if (s.QueryStatus(st) && st.CurrentState == state)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace

TEST(SandboxServiceManager, RefusesAsWindowsDoes) {
    TSandbox sb;
    TSandboxServiceManager manager(sb.Dir());
    auto scm = manager.Open(SC_MANAGER_CONNECT);
    ASSERT_TRUE(scm);

    EXPECT_FALSE(scm->OpenService("Nonexistent", SERVICE_QUERY_STATUS));
    EXPECT_EQ(manager.LastError(), ERROR_SERVICE_DOES_NOT_EXIST_CODE);

    auto svc = scm->OpenService("Corvane", SERVICE_ALL_ACCESS);
    ASSERT_TRUE(svc);
    TServiceStatusInfo st;
    EXPECT_FALSE(svc->Control(SERVICE_CONTROL_STOP, st));
    EXPECT_EQ(manager.LastError(), ERROR_SERVICE_NOT_ACTIVE_CODE);

    ASSERT_TRUE(svc->ChangeStartType(SERVICE_DISABLED));
    EXPECT_FALSE(svc->Start());
    EXPECT_EQ(manager.LastError(), ERROR_SERVICE_DISABLED_CODE);
    ASSERT_TRUE(svc->ChangeStartType(SERVICE_DEMAND_START));

    ASSERT_TRUE(svc->Start());
    EXPECT_FALSE(svc->Start());
    EXPECT_EQ(manager.LastError(), ERROR_SERVICE_ALREADY_RUNNING_CODE);
    ASSERT_TRUE(WaitForState(*svc, SERVICE_RUNNING));

    // A handle without the right is refused, whatever the state.
    auto queryOnly = scm->OpenService("Corvane", SERVICE_QUERY_STATUS);
    ASSERT_TRUE(queryOnly);
    EXPECT_FALSE(queryOnly->Control(SERVICE_CONTROL_STOP, st));
    EXPECT_EQ(manager.LastError(), ERROR_ACCESS_DENIED_CODE);

    ASSERT_TRUE(svc->Control(SERVICE_CONTROL_STOP, st));
    EXPECT_TRUE(WaitForState(*svc, SERVICE_STOPPED));
}

TEST(SandboxServiceManager, StandardUserRightsAreMissingRights) {
    TSandbox sb;
    setenv("VORNIX_SANDBOX_RIGHTS", "user", 1);
    TSandboxServiceManager manager(sb.Dir());
    EXPECT_FALSE(manager.Open(SC_MANAGER_ALL_ACCESS));
    EXPECT_EQ(manager.LastError(), ERROR_ACCESS_DENIED_CODE);
    auto scm = manager.Open(SC_MANAGER_CONNECT);
    ASSERT_TRUE(scm);
    EXPECT_TRUE(scm->OpenService("Corvane", SERVICE_QUERY_STATUS));
    EXPECT_FALSE(scm->OpenService("Corvane", SERVICE_START));
    unsetenv("VORNIX_SANDBOX_RIGHTS");
}

TEST(SandboxServiceManager, StateIsSharedAndADeadServiceProcessIsStopped) {
    TSandbox sb;
    TSandboxServiceManager a(sb.Dir()), b(sb.Dir());
    auto sa = a.Open(SC_MANAGER_CONNECT)->OpenService("Corvane", SERVICE_ALL_ACCESS);
    auto sb2 = b.Open(SC_MANAGER_CONNECT)->OpenService("Corvane", SERVICE_QUERY_STATUS);
    ASSERT_TRUE(sa && sb2);
    ASSERT_TRUE(sa->Start());
    ASSERT_TRUE(WaitForState(*sb2, SERVICE_RUNNING));
    int pid = TSandboxServiceManager::ServiceProcessId(sb.Dir(), "Corvane");
    ASSERT_GT(pid, 0);
    uint32_t seen = 0;
    ASSERT_TRUE(sb2->QueryProcessId(seen));
    EXPECT_EQ(seen, static_cast<uint32_t>(pid)) << "the process any handle sees";
    kill(pid, SIGKILL);
    EXPECT_TRUE(WaitForState(*sb2, SERVICE_STOPPED));
    ASSERT_TRUE(sb2->QueryProcessId(seen));
    EXPECT_EQ(seen, 0u);
    auto startOnly = a.Open(SC_MANAGER_CONNECT)->OpenService("Corvane", SERVICE_START);
    EXPECT_FALSE(startOnly->QueryProcessId(seen));
    EXPECT_EQ(a.LastError(), ERROR_ACCESS_DENIED_CODE);
}
