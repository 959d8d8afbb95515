#include "service/ServiceStatus.h"

#include "platform/sandbox/SandboxServiceManager.h"
#include "support/Pump.h"
#include "support/Sandbox.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

using namespace cv;
using cvtest::PumpUntil;
using cvtest::TSandbox;

namespace {

struct TEvents {
    int Count = 0;
    std::vector<int32_t> States;
    TCvService* Service = nullptr;
};

std::unique_ptr<TCvService> MakeService(const std::string& sandbox, TEvents& events,
                                        int forceBoundMs = 20000, int pollMs = 100) {
    auto manager = std::make_shared<TSandboxServiceManager>(sandbox);
    auto svc = std::make_unique<TCvService>(
        manager,
        [&events] {
            ++events.Count;
            if (events.Service)
                events.States.push_back(events.Service->Status());
        },
        forceBoundMs, pollMs);
    events.Service = svc.get();
    return svc;
}

long long MsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now() - t)
        .count();
}

} // namespace

class ServiceStatusTest : public ::testing::Test {
protected:
    void SetUp() override { SetMainThread(); }
};

TEST_F(ServiceStatusTest, FirstPollReportsOnceOnTheMainThread) {
    TSandbox sb;
    TEvents events;
    auto svc = MakeService(sb.Dir(), events);
    EXPECT_EQ(events.Count, 0) << "state events arrive only through the hand-over";
    ASSERT_TRUE(PumpUntil([&] { return events.Count > 0; }));
    EXPECT_EQ(svc->Status(), int32_t(SERVICE_STOPPED));
    // No further change: no further event.
    PumpUntil([] { return false; }, 400);
    EXPECT_EQ(events.Count, 1);
}

TEST_F(ServiceStatusTest, ServiceNotInstalledIsUnknownAndUnavailable) {
    TSandbox sb;
    TSandboxServiceManager::DeleteService(sb.Dir(), "Corvane");
    TEvents events;
    auto svc = MakeService(sb.Dir(), events);
    ASSERT_TRUE(PumpUntil([&] { return events.Count > 0; }));
    EXPECT_EQ(svc->Status(), 0);
    std::string text;
    svc->GetServiceStatusString(text);
    EXPECT_EQ(text, "Unknown");
    svc->GetServiceStartTypeString(text);
    EXPECT_EQ(text, "Unavailable");
    EXPECT_FALSE(svc->ServiceCanBeStarted());
    auto start = std::chrono::steady_clock::now();
    svc->Start();
    svc->Stop();
    svc->Force();
    EXPECT_LT(MsSince(start), 500);
    EXPECT_FALSE(svc->ChangeServiceStartType(2));
}

TEST_F(ServiceStatusTest, StartAndStopAreSeenThroughPolling) {
    TSandbox sb;
    TEvents events;
    auto svc = MakeService(sb.Dir(), events);
    ASSERT_TRUE(PumpUntil([&] { return events.Count > 0; }));
    EXPECT_TRUE(svc->ServiceCanBeStarted());
    svc->Start();
    ASSERT_TRUE(PumpUntil([&] { return svc->ServiceRunning(); }));
    std::string text;
    svc->GetServiceStatusString(text);
    EXPECT_EQ(text, "Running");

    svc->Stop();
    EXPECT_TRUE(svc->ServiceRunning()) << "Stop does not wait; the next poll sees the change";
    ASSERT_TRUE(PumpUntil([&] { return svc->Status() == int32_t(SERVICE_STOPPED); }));
    // Every state the poll saw was reported, in order, without repeats.
    ASSERT_FALSE(events.States.empty());
    EXPECT_EQ(events.States.back(), int32_t(SERVICE_STOPPED));
    for (size_t i = 1; i < events.States.size(); ++i)
        EXPECT_NE(events.States[i], events.States[i - 1]);
    EXPECT_NE(std::find(events.States.begin(), events.States.end(), int32_t(SERVICE_RUNNING)),
              events.States.end());
}

TEST_F(ServiceStatusTest, StartTypeChangesRoundTripAndAlwaysRaiseTheEvent) {
    TSandbox sb;
    TEvents events;
    auto svc = MakeService(sb.Dir(), events);
    ASSERT_TRUE(PumpUntil([&] { return events.Count > 0; }));
    struct {
        int32_t type;
        bool ok;
        const char* text;
        bool canStart;
    } cases[] = {
        {2, true, "Automatic", true}, {4, true, "Disabled", false}, {3, true, "Manual", true},
        {0, false, "Manual", true},   {1, false, "Manual", true},   {7, false, "Manual", true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.type);
        int before = events.Count;
        EXPECT_EQ(svc->ChangeServiceStartType(c.type), c.ok);
        EXPECT_EQ(events.Count, before + 1) << "raised directly, once, success or not";
        std::string text;
        svc->GetServiceStartTypeString(text);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(svc->ServiceCanBeStarted(), c.canStart);
    }
    // Another process sees the stored start type.
    TEvents other;
    auto second = MakeService(sb.Dir(), other);
    EXPECT_EQ(second->ServStartType(), 3);
}

namespace {

// The sandbox's manager, but the next `FailNext` start-type calls fail with `FailWith`,
// as Wine's manager answers ERROR_INVALID_HANDLE now and then under concurrent callers.
class TFlakyManager : public IServiceManager {
public:
    explicit TFlakyManager(const std::string& sandbox)
        : FInner(std::make_shared<TSandboxServiceManager>(sandbox)) {}

    std::unique_ptr<IServiceManagerHandle> Open(uint32_t access) override {
        auto inner = FInner->Open(access);
        if (!inner)
            return {};
        return std::make_unique<TManagerHandle>(std::move(inner), *this);
    }
    uint32_t LastError() const override { return FError ? FError : FInner->LastError(); }

    std::atomic<int> FailNext{0};
    uint32_t FailWith = ERROR_INVALID_HANDLE_CODE;

private:
    bool Fail() {
        if (FailNext.load() <= 0)
            return false;
        --FailNext;
        FError = FailWith;
        return true;
    }

    class THandle : public IServiceHandle {
    public:
        THandle(std::unique_ptr<IServiceHandle> inner, TFlakyManager& owner)
            : FInner(std::move(inner)), FOwner(owner) {}
        bool Start() override { return FInner->Start(); }
        bool Control(uint32_t code, TServiceStatusInfo& status) override {
            return FInner->Control(code, status);
        }
        bool QueryStatus(TServiceStatusInfo& status) override { return FInner->QueryStatus(status); }
        bool QueryStartType(uint32_t& startType) override {
            return !FOwner.Fail() && FOwner.Succeeded(FInner->QueryStartType(startType));
        }
        bool ChangeStartType(uint32_t startType) override {
            return !FOwner.Fail() && FOwner.Succeeded(FInner->ChangeStartType(startType));
        }

    private:
        std::unique_ptr<IServiceHandle> FInner;
        TFlakyManager& FOwner;
    };

    class TManagerHandle : public IServiceManagerHandle {
    public:
        TManagerHandle(std::unique_ptr<IServiceManagerHandle> inner, TFlakyManager& owner)
            : FInner(std::move(inner)), FOwner(owner) {}
        std::unique_ptr<IServiceHandle> OpenService(const std::string& name,
                                                    uint32_t access) override {
            auto inner = FInner->OpenService(name, access);
            if (!inner)
                return {};
            return std::make_unique<THandle>(std::move(inner), FOwner);
        }

    private:
        std::unique_ptr<IServiceManagerHandle> FInner;
        TFlakyManager& FOwner;
    };

    bool Succeeded(bool ok) {
        if (ok)
            FError = 0;
        return ok;
    }

    std::shared_ptr<TSandboxServiceManager> FInner;
    // Only the test's own thread makes start-type calls.
    uint32_t FError = 0;
};

} // namespace

// A handle the manager calls invalid is asked once more on a new one; any other failure, or a
// second invalid handle, is the answer.
TEST_F(ServiceStatusTest, StartTypeCallsAskOnceMoreWhenTheManagerCallsTheHandleInvalid) {
    TSandbox sb;
    auto manager = std::make_shared<TFlakyManager>(sb.Dir());
    struct {
        int FailNext;
        uint32_t FailWith;
        bool Read;
    } const cases[] = {
        {1, ERROR_INVALID_HANDLE_CODE, true},
        {2, ERROR_INVALID_HANDLE_CODE, false},
        {1, ERROR_ACCESS_DENIED_CODE, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.FailNext << " x " << c.FailWith);
        manager->FailWith = c.FailWith;
        manager->FailNext = c.FailNext;
        TCvService svc(manager, {}, 20000, 100);
        EXPECT_EQ(svc.ServStartType(), c.Read ? int32_t(SERVICE_DEMAND_START)
                                             : TCvService::StartTypeUnavailable);
        EXPECT_EQ(manager->FailNext.load(), 0) << "never asked more than twice";

        manager->FailNext = c.FailNext;
        EXPECT_EQ(svc.ChangeServiceStartType(SERVICE_DEMAND_START), c.Read);
        EXPECT_EQ(manager->FailNext.load(), 0);
    }
}

TEST(ServiceStartType, TextsAndConstants) {
    struct {
        const char* text;
        int32_t constant;
    } constants[] = {{"Automatic", 2}, {"Manual", 3},    {"Disabled", 4}, {"automatic", 0},
                     {"DISABLED", 0},  {"Unavailable", 0}, {"", 0},        {"Manual ", 0}};
    for (auto& c : constants)
        EXPECT_EQ(TCvService::GetServiceStartTypeConstant(c.text), c.constant) << c.text;
    EXPECT_EQ(TCvService::StartTypeText(0), "");
    EXPECT_EQ(TCvService::StartTypeText(1), "");
    EXPECT_EQ(TCvService::StartTypeText(5), "Unavailable");
    const char* states[] = {"Unknown",          "Stopped",       "Start Pending", "Stop Pending",
                            "Running",          "Continue Pending", "Pause Pending", "Paused"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(TCvService::StatusText(i), states[i]);
}

TEST_F(ServiceStatusTest, ForceOnAStoppedServiceReturnsAtOnce) {
    TSandbox sb;
    TEvents events;
    auto svc = MakeService(sb.Dir(), events);
    auto start = std::chrono::steady_clock::now();
    svc->Force();
    EXPECT_LT(MsSince(start), 300);
}

TEST_F(ServiceStatusTest, ForceWaitsUntilStoppedAndEndsAtTheBoundWhenHung) {
    struct {
        bool hung;
        long long minMs, maxMs;
    } cases[] = {{false, 0, 3000}, {true, 1400, 4000}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.hung ? "hung" : "normal");
        TSandbox sb(c.hung ? std::vector<std::string>{"--hung"} : std::vector<std::string>{});
        TEvents events;
        auto svc = MakeService(sb.Dir(), events, 1500);
        svc->Start();
        ASSERT_TRUE(PumpUntil([&] { return svc->ServiceRunning(); }));
        auto start = std::chrono::steady_clock::now();
        svc->Force();
        auto took = MsSince(start);
        EXPECT_GE(took, c.minMs);
        EXPECT_LT(took, c.maxMs);
        std::string text;
        svc->GetServiceStatusString(text);
        EXPECT_EQ(text, c.hung ? "Running" : "Stopped");
    }
}

// The command-line commands wait for the state they ask for: a restart script that stops and
// then starts finds the system running, whichever pending state each command meets.
TEST_F(ServiceStatusTest, StartAndStopWaitForTheirStateAndLetAnOppositeChangeSettleFirst) {
    TSandbox sb;
    TEvents events;
    auto svc = MakeService(sb.Dir(), events);
    auto stateNow = [&] {
        std::string text;
        svc->GetServiceStatusString(text);
        return text;
    };
    TServiceCommandResult r = svc->StartAndWait();
    EXPECT_TRUE(r.Reached) << r.Reason;
    EXPECT_EQ(stateNow(), "Running") << "running when the command returns";
    EXPECT_TRUE(svc->StartAndWait().Reached) << "already running counts as reached";

    r = svc->StopAndWait();
    EXPECT_TRUE(r.Reached) << r.Reason;
    EXPECT_EQ(stateNow(), "Stopped");
    EXPECT_TRUE(svc->StopAndWait().Reached) << "already stopped counts as reached";

    // A stop while the start is still pending, and a start while the stop is still pending.
    svc->Start();
    EXPECT_EQ(stateNow(), "Start Pending");
    r = svc->StopAndWait();
    EXPECT_TRUE(r.Reached) << r.Reason;
    EXPECT_EQ(stateNow(), "Stopped");
    ASSERT_TRUE(svc->StartAndWait().Reached);
    svc->Stop();
    ASSERT_TRUE(PumpUntil([&] { return stateNow() == "Stop Pending"; }, 3000));
    r = svc->StartAndWait();
    EXPECT_TRUE(r.Reached) << r.Reason;
    EXPECT_EQ(stateNow(), "Running");
    EXPECT_TRUE(svc->StopAndWait().Reached);
}

TEST_F(ServiceStatusTest, CommandsThatCannotReachTheirStateSayWhy) {
    {
        SCOPED_TRACE("hung");
        TSandbox sb({"--hung"});
        TEvents events;
        auto svc = MakeService(sb.Dir(), events, 1500);
        ASSERT_TRUE(svc->StartAndWait().Reached);
        const auto start = std::chrono::steady_clock::now();
        TServiceCommandResult r = svc->StopAndWait();
        EXPECT_GE(MsSince(start), 1400);
        EXPECT_LT(MsSince(start), 4000);
        EXPECT_FALSE(r.Reached);
        EXPECT_EQ(r.Reason, "the service did not reach Stopped within 2 s (it is Running)");
    }
    {
        SCOPED_TRACE("disabled");
        TSandbox sb({"--start-type", "4"});
        TEvents events;
        auto svc = MakeService(sb.Dir(), events, 1500);
        TServiceCommandResult r = svc->StartAndWait();
        EXPECT_FALSE(r.Reached);
        EXPECT_EQ(r.Reason, "the start was refused: the service is disabled (error 1058)");
    }
    {
        SCOPED_TRACE("not installed");
        cvtest::TTempFolder empty;
        TEvents events;
        auto svc = MakeService(empty.Dir(), events, 1500);
        TServiceCommandResult r = svc->StartAndWait();
        EXPECT_FALSE(r.Reached);
        EXPECT_EQ(r.Reason, "the service \"Corvane\" cannot be opened: the service does not exist "
                            "(error 1060)");
    }
    {
        SCOPED_TRACE("no rights");
        TSandbox sb;
        setenv("VORNIX_SANDBOX_RIGHTS", "user", 1);
        TEvents events;
        auto svc = MakeService(sb.Dir(), events, 1500);
        TServiceCommandResult r = svc->StopAndWait();
        unsetenv("VORNIX_SANDBOX_RIGHTS");
        EXPECT_FALSE(r.Reached);
        EXPECT_EQ(r.Reason, "the service \"Corvane\" cannot be opened: access is denied (error 5)");
    }
}
