// TCvService and the service manager backend against the real service control manager,
// with the test service installed as "Corvane".
// The ports come before windows.h (in TestServiceInstall.h): their constants share the names
// of its macros.
#include "platform/win32/Win32ServiceManager.h"
#include "service/ServiceStatus.h"
#include "support/Pump.h"

#include "TestServiceInstall.h"

#include "core/MainThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

// windows.h renames OpenService to OpenServiceW; the port method has the plain name.
#undef OpenService

using namespace cv;
using cv::test::TInstalledTestService;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

constexpr int kPollMs = 100;
constexpr int kForceBoundMs = 3000;

using cvtest::PumpUntil;

class ServiceWin32 : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetMainThread(); }
    void TearDown() override { DiscardPendingCalls(); }

    // A TCvService whose handler records each state it is told about, on the main thread.
    std::unique_ptr<TCvService> MakeService(int forceBoundMs = kForceBoundMs) {
        auto service = std::make_unique<TCvService>(
            FManager,
            [this] {
                FOffMainThread += IsMainThread() ? 0 : 1;
                FSeen.push_back(FService ? FService->Status() : -1);
            },
            forceBoundMs, kPollMs);
        FService = service.get();
        return service;
    }

    bool PumpUntilStatus(int32_t state, int timeoutMs = 10000) {
        return PumpUntil([&] { return FService->Status() == state; }, timeoutMs);
    }

    bool Saw(int32_t state) const {
        for (int32_t s : FSeen)
            if (s == state)
                return true;
        return false;
    }

    std::shared_ptr<TWin32ServiceManager> FManager = std::make_shared<TWin32ServiceManager>();
    TCvService* FService = nullptr;
    std::vector<int32_t> FSeen;
    int FOffMainThread = 0;
};

TEST_F(ServiceWin32, NotInstalledIsUnknownAndUnavailableAndCommandsDoNothing) {
    ASSERT_TRUE(cv::test::RemoveCorvaneService());
    auto service = MakeService();
    ASSERT_TRUE(PumpUntil([&] { return !FSeen.empty(); }));
    EXPECT_EQ(service->Status(), 0);
    std::string text;
    service->GetServiceStatusString(text);
    EXPECT_EQ(text, "Unknown");
    service->GetServiceStartTypeString(text);
    EXPECT_EQ(text, "Unavailable");
    EXPECT_FALSE(service->ServiceCanBeStarted());
    const auto start = Clock::now();
    service->Start();
    service->Stop();
    service->Force();
    EXPECT_LT(Clock::now() - start, milliseconds(1000));
    EXPECT_FALSE(service->ChangeServiceStartType(SERVICE_AUTO_START));
    EXPECT_EQ(service->ServStartType(), TCvService::StartTypeUnavailable);
}

TEST_F(ServiceWin32, FirstPollReportsTheStoppedStateOnTheMainThread) {
    TInstalledTestService installed;
    CV_REQUIRE_TEST_SERVICE(installed);
    auto service = MakeService();
    std::string text;
    service->GetServiceStartTypeString(text);
    EXPECT_EQ(text, "Manual");
    EXPECT_TRUE(service->ServiceCanBeStarted());
    ASSERT_TRUE(PumpUntil([&] { return !FSeen.empty(); }));
    EXPECT_EQ(FSeen, std::vector<int32_t>{SERVICE_STOPPED});
    EXPECT_EQ(FOffMainThread, 0);
    // No change, no further event.
    PumpUntil([] { return false; }, 5 * kPollMs);
    EXPECT_EQ(FSeen.size(), 1u);
}

TEST_F(ServiceWin32, StartAndStopAreSeenByThePoll) {
    TInstalledTestService installed;
    CV_REQUIRE_TEST_SERVICE(installed);
    auto service = MakeService();
    ASSERT_TRUE(PumpUntilStatus(SERVICE_STOPPED));
    service->Start();
    ASSERT_TRUE(PumpUntilStatus(SERVICE_RUNNING));
    EXPECT_TRUE(service->ServiceRunning());
    std::string text;
    service->GetServiceStatusString(text);
    EXPECT_EQ(text, "Running");
    service->Stop();
    ASSERT_TRUE(PumpUntilStatus(SERVICE_STOPPED));
    EXPECT_FALSE(service->ServiceRunning());
    EXPECT_TRUE(Saw(SERVICE_RUNNING));
    EXPECT_EQ(FSeen.back(), int32_t(SERVICE_STOPPED));
    EXPECT_EQ(FOffMainThread, 0);
}

TEST_F(ServiceWin32, TheProcessIdIsTheRunningServicesAndNoneWhenStopped) {
    TInstalledTestService installed;
    CV_REQUIRE_TEST_SERVICE(installed);
    auto scm = FManager->Open(SC_MANAGER_CONNECT);
    ASSERT_TRUE(scm);
    auto handle = scm->OpenService("Corvane", SERVICE_QUERY_STATUS);
    ASSERT_TRUE(handle);
    uint32_t pid = 1;
    ASSERT_TRUE(handle->QueryProcessId(pid));
    EXPECT_EQ(pid, 0u);
    auto service = MakeService();
    ASSERT_TRUE(PumpUntilStatus(SERVICE_STOPPED));
    service->Start();
    ASSERT_TRUE(PumpUntilStatus(SERVICE_RUNNING));
    ASSERT_TRUE(handle->QueryProcessId(pid));
    EXPECT_NE(pid, 0u);
    EXPECT_NE(pid, ::GetCurrentProcessId());
    service->Stop();
    ASSERT_TRUE(PumpUntilStatus(SERVICE_STOPPED));
    ASSERT_TRUE(handle->QueryProcessId(pid));
    EXPECT_EQ(pid, 0u);
    // Without the right to ask, the manager refuses.
    auto noRights = scm->OpenService("Corvane", SERVICE_QUERY_CONFIG);
    ASSERT_TRUE(noRights);
    EXPECT_FALSE(noRights->QueryProcessId(pid));
    EXPECT_EQ(FManager->LastError(), ERROR_ACCESS_DENIED_CODE);
}

TEST_F(ServiceWin32, ForceStopsARunningServiceBeforeReturning) {
    TInstalledTestService installed;
    CV_REQUIRE_TEST_SERVICE(installed);
    auto service = MakeService();
    service->Start();
    ASSERT_TRUE(PumpUntilStatus(SERVICE_RUNNING));
    const auto start = Clock::now();
    service->Force();
    EXPECT_LT(Clock::now() - start, milliseconds(kForceBoundMs));
    EXPECT_EQ(TInstalledTestService::State(), DWORD(SERVICE_STOPPED));
    EXPECT_TRUE(PumpUntilStatus(SERVICE_STOPPED));
}

TEST_F(ServiceWin32, ForceOnAStoppedServiceReturnsAtOnce) {
    TInstalledTestService installed;
    CV_REQUIRE_TEST_SERVICE(installed);
    auto service = MakeService();
    const auto start = Clock::now();
    service->Force();
    EXPECT_LT(Clock::now() - start, milliseconds(500));
}

TEST_F(ServiceWin32, ForceOnAHungServiceEndsAtTheBound) {
    TInstalledTestService installed(/*hung=*/true);
    CV_REQUIRE_TEST_SERVICE(installed);
    auto service = MakeService();
    service->Start();
    ASSERT_TRUE(PumpUntilStatus(SERVICE_RUNNING));
    service->Stop(); // ignored as well
    const auto start = Clock::now();
    service->Force();
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, milliseconds(kForceBoundMs - 100));
    EXPECT_LT(waited, milliseconds(kForceBoundMs + 2000));
    EXPECT_EQ(TInstalledTestService::State(), DWORD(SERVICE_RUNNING));
}

// The command-line commands on the real manager: a restart script leaves the service running,
// and a stop the service ignores fails at the bound.
TEST_F(ServiceWin32, StartAndStopWaitForTheirStateSoARestartLeavesTheServiceRunning) {
    TInstalledTestService installed;
    CV_REQUIRE_TEST_SERVICE(installed);
    auto service = MakeService(TCvService::DefaultForceBoundMs);
    const auto t0 = Clock::now();
    TServiceCommandResult r = service->StartAndWait();
    EXPECT_TRUE(r.Reached) << r.Reason;
    EXPECT_EQ(TInstalledTestService::State(), DWORD(SERVICE_RUNNING));
    const auto t1 = Clock::now();
    r = service->StopAndWait();
    EXPECT_TRUE(r.Reached) << r.Reason;
    EXPECT_EQ(TInstalledTestService::State(), DWORD(SERVICE_STOPPED));
    const auto t2 = Clock::now();
    r = service->StartAndWait();
    EXPECT_TRUE(r.Reached) << r.Reason;
    EXPECT_EQ(TInstalledTestService::State(), DWORD(SERVICE_RUNNING));
    auto ms = [](auto d) { return long(std::chrono::duration_cast<milliseconds>(d).count()); };
    std::printf("wine: start %ld ms, stop %ld ms, start %ld ms\n", ms(t1 - t0), ms(t2 - t1),
                ms(Clock::now() - t2));
    // A stop sent while the start is still pending waits for it first.
    ASSERT_TRUE(service->StopAndWait().Reached);
    service->Start();
    r = service->StopAndWait();
    EXPECT_TRUE(r.Reached) << r.Reason;
    EXPECT_EQ(TInstalledTestService::State(), DWORD(SERVICE_STOPPED));
}

TEST_F(ServiceWin32, AStopTheServiceIgnoresFailsAtTheBound) {
    TInstalledTestService installed(/*hung=*/true);
    CV_REQUIRE_TEST_SERVICE(installed);
    auto service = MakeService();
    ASSERT_TRUE(service->StartAndWait().Reached);
    const auto start = Clock::now();
    TServiceCommandResult r = service->StopAndWait();
    const auto waited = Clock::now() - start;
    EXPECT_FALSE(r.Reached);
    EXPECT_EQ(r.Reason, "the service did not reach Stopped within 3 s (it is Running)");
    EXPECT_GE(waited, milliseconds(kForceBoundMs - 100));
    EXPECT_LT(waited, milliseconds(kForceBoundMs + 2000));
}

TEST_F(ServiceWin32, StartTypeChangesRoundTripThroughTheManager) {
    TInstalledTestService installed;
    CV_REQUIRE_TEST_SERVICE(installed);
    auto service = MakeService();
    struct {
        const char* Text;
        bool CanBeStarted;
    } const cases[] = {{"Automatic", true}, {"Disabled", false}, {"Manual", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        const size_t events = FSeen.size();
        EXPECT_TRUE(
            service->ChangeServiceStartType(TCvService::GetServiceStartTypeConstant(c.Text)));
        EXPECT_EQ(FSeen.size(), events + 1); // raised on this thread, directly
        std::string text;
        service->GetServiceStartTypeString(text);
        EXPECT_EQ(text, c.Text);
        EXPECT_EQ(service->ServiceCanBeStarted(), c.CanBeStarted);
        // A new object reads the start type from the manager.
        TCvService fresh(FManager, {}, kForceBoundMs, kPollMs);
        fresh.GetServiceStartTypeString(text);
        EXPECT_EQ(text, c.Text);
    }
}

TEST_F(ServiceWin32, OutOfRangeStartTypeChangesNothingButStillNotifiesOnce) {
    TInstalledTestService installed(false, SERVICE_AUTO_START);
    CV_REQUIRE_TEST_SERVICE(installed);
    auto service = MakeService();
    for (int32_t type : {0, 1, 5, -1}) {
        SCOPED_TRACE(type);
        const size_t events = FSeen.size();
        EXPECT_FALSE(service->ChangeServiceStartType(type));
        EXPECT_EQ(FSeen.size(), events + 1);
        EXPECT_EQ(service->ServStartType(), int32_t(SERVICE_AUTO_START));
    }
    TCvService fresh(FManager, {}, kForceBoundMs, kPollMs);
    EXPECT_EQ(fresh.ServStartType(), int32_t(SERVICE_AUTO_START));
}

TEST_F(ServiceWin32, DisabledServiceDoesNotStart) {
    TInstalledTestService installed(false, SERVICE_DISABLED);
    CV_REQUIRE_TEST_SERVICE(installed);
    auto service = MakeService();
    EXPECT_FALSE(service->ServiceCanBeStarted());
    service->Start();
    PumpUntil([] { return false; }, 5 * kPollMs);
    EXPECT_EQ(service->Status(), int32_t(SERVICE_STOPPED));
}

// The backend's refusals carry Windows' codes, which the sandbox's manager mirrors.
TEST_F(ServiceWin32, ManagerRefusalsReportTheWindowsErrorCodes) {
    TInstalledTestService installed;
    CV_REQUIRE_TEST_SERVICE(installed);
    auto scm = FManager->Open(SC_MANAGER_CONNECT);
    ASSERT_TRUE(scm);
    EXPECT_FALSE(scm->OpenService("NoSuchVornixService", SERVICE_QUERY_STATUS));
    EXPECT_EQ(FManager->LastError(), ERROR_SERVICE_DOES_NOT_EXIST_CODE);

    auto service = scm->OpenService("Corvane", SERVICE_ALL_ACCESS);
    ASSERT_TRUE(service);
    TServiceStatusInfo status;
    EXPECT_FALSE(service->Control(SERVICE_CONTROL_STOP, status));
    EXPECT_EQ(FManager->LastError(), ERROR_SERVICE_NOT_ACTIVE_CODE);

    ASSERT_TRUE(service->Start());
    ASSERT_TRUE(TInstalledTestService::WaitForState(SERVICE_RUNNING, 10000));
    EXPECT_FALSE(service->Start());
    EXPECT_EQ(FManager->LastError(), ERROR_SERVICE_ALREADY_RUNNING_CODE);

    // Kept per thread: another thread's failure does not overwrite this one's code.
    std::thread other([&] {
        auto m = FManager->Open(SC_MANAGER_CONNECT);
        if (m)
            m->OpenService("NoSuchVornixService", SERVICE_QUERY_STATUS);
    });
    other.join();
    EXPECT_EQ(FManager->LastError(), ERROR_SERVICE_ALREADY_RUNNING_CODE);

    auto limited = scm->OpenService("Corvane", SERVICE_QUERY_STATUS);
    ASSERT_TRUE(limited);
    EXPECT_FALSE(limited->Control(SERVICE_CONTROL_STOP, status));
    EXPECT_EQ(FManager->LastError(), ERROR_ACCESS_DENIED_CODE);

    uint32_t startType = 0;
    auto config = scm->OpenService("Corvane", SERVICE_QUERY_CONFIG);
    ASSERT_TRUE(config);
    EXPECT_TRUE(config->QueryStartType(startType));
    EXPECT_EQ(startType, SERVICE_DEMAND_START);
}

} // namespace
