// The process list on the simulated system's real processes: kernel processes started by the
// sandbox's service (as "corvane" when the tests run as root), client processes started from
// the install folder, and a process outside it that must be left alone.
#include "service/CvProcessList.h"
#include "service/ServiceStatus.h"

#include "core/Text.h"

#include "platform/posix/PosixProcessTable.h"
#include "platform/sandbox/SandboxServiceManager.h"
#include "support/Pump.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace cv;
using cvtest::TSandbox;

namespace {

constexpr int KernelProgramCount = 3; // cvkernel, cvscheduler, cvhistorian

bool WaitUntil(const std::function<bool()>& done, int ms = 10000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return true;
}

// Kernel processes run as "corvane" only when the service runs as root.
bool KernelAsServiceAccount() {
    return geteuid() == 0 && getpwnam("corvane") != nullptr;
}

std::unique_ptr<IServiceHandle> OpenCorvane(const TSandbox& sb, uint32_t access) {
    TSandboxServiceManager manager(sb.Dir());
    auto scm = manager.Open(SC_MANAGER_CONNECT);
    return scm ? scm->OpenService("Corvane", access) : nullptr;
}

uint32_t ServiceState(const TSandbox& sb) {
    TServiceStatusInfo status;
    auto service = OpenCorvane(sb, SERVICE_QUERY_STATUS);
    return service && service->QueryStatus(status) ? status.CurrentState : 0;
}

// "corvane-sim client": a client process from the install folder; returns its pid.
pid_t StartClient(const TSandbox& sb, const std::string& name, int threads) {
    const std::string command = TSandbox::SimPath() + " client '" + sb.Dir() + "' " + name +
                                " --threads " + std::to_string(threads);
    FILE* out = popen(command.c_str(), "r");
    if (!out)
        return -1;
    int pid = -1;
    if (std::fscanf(out, "%d", &pid) != 1)
        pid = -1;
    pclose(out);
    return pid;
}

bool Alive(pid_t pid) {
    char state = 0;
    FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!f)
        return false;
    int ignored = std::fscanf(f, "%*d (%*[^)]) %c", &state);
    (void)ignored;
    std::fclose(f);
    return state != 0 && state != 'Z';
}

struct SystemProcessesTest : ::testing::Test {
    std::unique_ptr<TSandbox> Sandbox;
    std::unique_ptr<TCvProcessList> List;
    int Updates = 0;

    void Make(const std::vector<std::string>& initArgs = {}) {
        Sandbox = std::make_unique<TSandbox>(initArgs);
        List = std::make_unique<TCvProcessList>(std::make_shared<TPosixProcessTable>(),
                                                Sandbox->Dir() + "/Corvane/");
        List->SetOnProcessCountsUpdate([this] { ++Updates; });
    }

    int Total() const {
        return List->Processes().KernelProcesses + List->Processes().ScadaProcesses;
    }

    // Starts the service and waits until its kernel processes are counted.
    void StartSystem() {
        auto service = OpenCorvane(*Sandbox, SERVICE_START | SERVICE_QUERY_STATUS);
        ASSERT_TRUE(service && service->Start());
        ASSERT_TRUE(WaitUntil([&] {
            List->Refresh();
            return ServiceState(*Sandbox) == SERVICE_RUNNING && Total() == KernelProgramCount;
        })) << "counted "
            << Total();
    }

    // The counts a running system's kernel processes give.
    void ExpectKernelCounts(int kernel, int clients) {
        if (KernelAsServiceAccount()) {
            EXPECT_EQ(List->Processes().KernelProcesses, kernel);
            EXPECT_EQ(List->Processes().ScadaProcesses, clients);
        } else {
            // Run as the current user, the kernel programs count as client processes.
            EXPECT_EQ(List->Processes().KernelProcesses, 0);
            EXPECT_EQ(List->Processes().ScadaProcesses, kernel + clients);
        }
    }
};

// A process outside the install folder, which nothing here may count or end.
class TOutsider {
public:
    TOutsider() {
        std::string sim = TSandbox::SimPath();
        FPath = sim.substr(0, sim.find_last_of('/') + 1) + "corvane-sim-sleeper";
        char* argv[] = {FPath.data(), nullptr};
        if (posix_spawn(&FPid, FPath.c_str(), nullptr, nullptr, argv, environ) != 0)
            FPid = -1;
    }
    ~TOutsider() {
        if (FPid > 0) {
            kill(FPid, SIGKILL);
            waitpid(FPid, nullptr, 0);
        }
    }
    pid_t Pid() const { return FPid; }

private:
    std::string FPath;
    pid_t FPid = -1;
};

} // namespace

TEST_F(SystemProcessesTest, RunningSystemIsCountedGroupedByAccountAndSortedByStart) {
    Make();
    TOutsider outsider;
    ASSERT_GT(outsider.Pid(), 0);
    StartSystem();
    std::this_thread::sleep_for(std::chrono::milliseconds(30)); // a later start than the kernel's
    const pid_t client = StartClient(*Sandbox, "hmi.exe", 2);
    ASSERT_GT(client, 0);

    List->SetActive(countActive);
    ExpectKernelCounts(KernelProgramCount, 1);
    EXPECT_EQ(List->Processes().Count(), 0);

    List->SetActive(fullActive);
    const auto& records = List->Processes().Records();
    // The client's second thread may still be on its way.
    ASSERT_TRUE(WaitUntil([&] {
        List->Refresh();
        return records.size() == size_t(KernelProgramCount + 1) && records.back().ThreadCount == 2;
    })) << records.size();
    for (size_t i = 1; i < records.size(); ++i)
        EXPECT_LE(records[i - 1].StartFiletime, records[i].StartFiletime) << i;
    EXPECT_EQ(records.back().ProcessID, uint32_t(client)) << "the client started last";
    EXPECT_EQ(records.back().Name, "hmi.exe");
    EXPECT_EQ(records.back().ThreadCount, 2u);
    for (const auto& r : records) {
        EXPECT_NE(r.ProcessID, uint32_t(outsider.Pid()));
        EXPECT_EQ(r.Version, "") << "no version resources here";
        EXPECT_GT(r.StartDateTime, 0.0);
    }

    const auto groups = BuildProcessListGroups(records);
    const std::string me = getpwuid(geteuid())->pw_name;
    if (KernelAsServiceAccount()) {
        ASSERT_EQ(groups.size(), 2u);
        EXPECT_TRUE(EndsWith(groups[0].Header, "\\corvane")) << groups[0].Header;
        EXPECT_EQ(groups[0].Items.size(), size_t(KernelProgramCount));
        EXPECT_TRUE(EndsWith(groups[1].Header, "\\" + me)) << groups[1].Header;
        ASSERT_EQ(groups[1].Items.size(), 1u);
        EXPECT_EQ(groups[1].Items[0].Caption, "hmi.exe");
    } else {
        ASSERT_EQ(groups.size(), 1u);
        EXPECT_TRUE(EndsWith(groups[0].Header, "\\" + me)) << groups[0].Header;
    }
}

TEST_F(SystemProcessesTest, KillProcessEndsOneAndAnInvalidPidEndsNothing) {
    Make();
    StartSystem();
    const pid_t client = StartClient(*Sandbox, "hmi.exe", 1);
    ASSERT_GT(client, 0);
    List->SetActive(fullActive);
    ASSERT_EQ(Total(), KernelProgramCount + 1);

    pid_t gone = 0;
    {
        TOutsider shortLived;
        gone = shortLived.Pid();
    }
    for (uint32_t pid : {0u, uint32_t(gone), 0xFFFFFFF0u})
        EXPECT_FALSE(List->TerminateProcess(pid)) << pid;
    EXPECT_FALSE(List->TerminateProcess(uint32_t(getpid())));
    List->Refresh();
    EXPECT_EQ(Total(), KernelProgramCount + 1) << "nothing ended";

    EXPECT_TRUE(List->TerminateProcess(uint32_t(client)));
    EXPECT_TRUE(WaitUntil([&] { return !Alive(client); }));
    List->Refresh();
    EXPECT_EQ(Total(), KernelProgramCount);
}

// The service died and left its kernel processes: Force Stop ends them although the process
// panel was never shown.
TEST_F(SystemProcessesTest, ForceStopOnAStoppedServiceEndsTheKernelProcessesLeftBehind) {
    Make();
    TOutsider outsider;
    StartSystem();
    const int servicePid = TSandboxServiceManager::ServiceProcessId(Sandbox->Dir(), "Corvane");
    ASSERT_GT(servicePid, 0);
    kill(servicePid, SIGKILL);
    ASSERT_TRUE(WaitUntil([&] { return ServiceState(*Sandbox) == SERVICE_STOPPED; }));

    List->SetActive(countActive);
    ExpectKernelCounts(KernelProgramCount, 0);
    ASSERT_EQ(List->Processes().Count(), 0);

    const int updates = Updates;
    EXPECT_EQ(List->TerminateAllSystemProcesses(), KernelProgramCount);
    EXPECT_EQ(Updates, updates + 1);
    EXPECT_EQ(List->Active(), countActive);
    EXPECT_EQ(List->Processes().Count(), 0);
    EXPECT_TRUE(WaitUntil([&] {
        List->Refresh();
        return Total() == 0;
    }));
    EXPECT_TRUE(Alive(outsider.Pid())) << "a process outside the installation is left alone";
}

// A hung service ignores the forced shutdown; once Force gives up waiting, the kernel
// processes are still there for the process list to end.
TEST_F(SystemProcessesTest, ForceStopOfAHungServiceLeavesTheKernelProcessesToEnd) {
    SetMainThread();
    Make({"--hung"});
    StartSystem();
    {
        auto manager = std::make_shared<TSandboxServiceManager>(Sandbox->Dir());
        TCvService service(manager, {}, 400, 100);
        service.Force();
    }
    DiscardPendingCalls();
    EXPECT_EQ(ServiceState(*Sandbox), SERVICE_RUNNING);
    List->Refresh();
    ASSERT_EQ(Total(), KernelProgramCount) << "the service kept its processes";

    EXPECT_EQ(List->TerminateAllSystemProcesses(), KernelProgramCount);
    EXPECT_TRUE(WaitUntil([&] {
        List->Refresh();
        return Total() == 0;
    }));
}

// The simulated system ends its processes with every ordinary shutdown.
TEST_F(SystemProcessesTest, StopAndForcedShutdownEndTheKernelProcesses) {
    for (uint32_t code : {SERVICE_CONTROL_STOP, 200u}) {
        Make();
        StartSystem();
        TServiceStatusInfo status;
        ASSERT_TRUE(OpenCorvane(*Sandbox, SERVICE_ALL_ACCESS)->Control(code, status)) << code;
        ASSERT_TRUE(WaitUntil([&] { return ServiceState(*Sandbox) == SERVICE_STOPPED; })) << code;
        List->Refresh();
        EXPECT_EQ(Total(), 0) << code;
        Sandbox.reset();
    }
}

TEST_F(SystemProcessesTest, AShutdownThatLeavesKernelProcessesBehindIsCounted) {
    Make();
    StartSystem();
    FILE* flag = std::fopen((Sandbox->Dir() + "/sim/leave-kernel").c_str(), "w");
    ASSERT_TRUE(flag);
    std::fclose(flag);
    TServiceStatusInfo status;
    ASSERT_TRUE(OpenCorvane(*Sandbox, SERVICE_ALL_ACCESS)->Control(SERVICE_CONTROL_STOP, status));
    ASSERT_TRUE(WaitUntil([&] { return ServiceState(*Sandbox) == SERVICE_STOPPED; }));
    List->Refresh();
    ExpectKernelCounts(KernelProgramCount, 0);
}
