// The process list's rules over a process table whose answers each test decides.
#include "service/CvProcessList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

using namespace cv;

namespace {

struct TFakeProcess {
    uint32_t Pid = 0;
    std::string Exe;
    std::string Path;
    std::string User = "operator";
    std::string Domain = "PLANT";
    uint64_t Created = 0;
    uint32_t Threads = 1;
    std::string Version;
    bool OpenFails = false;
    bool AccountFails = false;
    bool TimeFails = false;
    bool WillNotDie = false; // ended, but still there when waited for
};

class TFakeTable : public IProcessTable {
public:
    std::vector<TFakeProcess> Procs;
    bool SnapshotFails = false;
    uint32_t Self = 4242;
    std::vector<uint32_t> Terminated;
    std::vector<int> WaitTimeouts;
    std::vector<std::pair<uint32_t, uint32_t>> Opens; // pid, access

    bool Snapshot(std::vector<TSnapshotEntry>& out) override {
        out.clear();
        if (SnapshotFails)
            return false;
        for (auto& p : Procs)
            out.push_back({p.Pid, p.Threads, p.Exe});
        return true;
    }

    std::unique_ptr<IProcessHandle> Open(uint32_t pid, uint32_t access) override {
        Opens.emplace_back(pid, access);
        for (auto& p : Procs)
            if (p.Pid == pid && !p.OpenFails)
                return std::make_unique<THandle>(*this, p);
        return {};
    }

    std::string FileVersion(const std::string& path) override {
        for (auto& p : Procs)
            if (p.Path == path)
                return p.Version;
        return {};
    }
    uint32_t CurrentProcessId() override { return Self; }
    void EnableDebugPrivilege() override {}
    uint32_t LastError() const override { return 31; }

private:
    class THandle : public IProcessHandle {
    public:
        THandle(TFakeTable& table, TFakeProcess p) : FTable(table), FProc(std::move(p)) {}
        std::string ImagePath() override { return FProc.Path; }
        bool Account(std::string& user, std::string& domain) override {
            if (FProc.AccountFails)
                return false;
            user = FProc.User;
            domain = FProc.Domain;
            return true;
        }
        bool CreationTime(uint64_t& t) override {
            t = FProc.Created;
            return !FProc.TimeFails;
        }
        bool Terminate(uint32_t) override {
            FTable.Terminated.push_back(FProc.Pid);
            return true;
        }
        // A process that ends leaves the table; one that will not die takes the whole wait.
        bool WaitForExit(int timeoutMs) override {
            FTable.WaitTimeouts.push_back(timeoutMs);
            if (FProc.WillNotDie) {
                std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
                return false;
            }
            auto& procs = FTable.Procs;
            procs.erase(std::remove_if(procs.begin(), procs.end(),
                                       [&](const TFakeProcess& p) { return p.Pid == FProc.Pid; }),
                        procs.end());
            return true;
        }

    private:
        TFakeTable& FTable;
        TFakeProcess FProc;
    };
};

TCvProcessRec Rec(const std::string& name, uint64_t start, const std::string& user = "",
                  const std::string& domain = "", uint32_t pid = 0, uint32_t threads = 0,
                  const std::string& version = "") {
    TCvProcessRec r;
    r.Name = name;
    r.StartFiletime = start;
    r.UserName = user;
    r.Domain = domain;
    r.ProcessID = pid;
    r.ThreadCount = threads;
    r.Version = version;
    return r;
}

constexpr const char* Install = "C:\\Corvane\\";
constexpr uint64_t Second = 10000000ull;
constexpr uint64_t T0 = 133000000000000000ull; // some day in 2022

TFakeProcess Proc(uint32_t pid, const std::string& exe, const std::string& user, uint64_t created,
                  const std::string& folder = "C:\\Corvane\\prog\\exec\\") {
    TFakeProcess p;
    p.Pid = pid;
    p.Exe = exe;
    p.Path = folder + exe;
    p.User = user;
    p.Created = created;
    p.Threads = pid % 7 + 1;
    return p;
}

struct TListFixture : ::testing::Test {
    std::shared_ptr<TFakeTable> Table = std::make_shared<TFakeTable>();
    std::unique_ptr<TCvProcessList> List;
    int Updates = 0;
    std::vector<int> Intervals;

    TCvProcessList& Make(const std::string& install = Install) {
        List = std::make_unique<TCvProcessList>(Table, install);
        List->SetOnProcessCountsUpdate([this] { ++Updates; });
        List->SetOnTimerChange([this](int ms) { Intervals.push_back(ms); });
        return *List;
    }

    std::vector<uint32_t> Pids() const {
        std::vector<uint32_t> v;
        for (auto& r : List->Processes().Records())
            v.push_back(r.ProcessID);
        return v;
    }
};

} // namespace

// ---- which processes belong to the system

struct TPathCase {
    const char* Install;
    const char* Path;
    bool System;
};

TEST(ProcessListRules, SystemPathTable) {
    const TPathCase cases[] = {
        {"C:\\Corvane\\", "C:\\Corvane\\prog\\exec\\cvkernel.exe", true},
        {"C:\\Corvane\\", "c:\\corvane\\PROG\\cvkernel.exe", true}, // folder ignores case
        {"C:\\Corvane\\", "D:\\Corvane\\cvkernel.exe", false},
        {"C:\\Corvane\\", "", false},
        {"C:\\Corvane\\", "D:\\Vekta\\Corvane Pro\\Services\\web.exe", true},
        {"C:\\Corvane\\", "D:\\vekta\\corvane pro\\Services\\web.exe", false}, // text keeps case
        {"", "C:\\Corvane\\cvkernel.exe", false}, // an empty folder matches nothing
        {"", "C:\\Program Files\\Vekta\\Corvane Pro\\x.exe", true},
        // POSIX paths meet the same rules once "/" reads as "\".
        {"/tmp/sb/Corvane/", "/tmp/sb/Corvane/prog/exec/cvkernel.exe", true},
        {"/tmp/sb/Corvane/", "/tmp/sb/CorvaneX/cvkernel.exe", false},
        {"/tmp/sb/Corvane/", "/opt/Vekta/Corvane Pro/bin/web", true},
        {"C:\\Corvane\\", "C:/Corvane/prog/exec/cvkernel.exe", true},
    };
    auto table = std::make_shared<TFakeTable>();
    for (const auto& c : cases) {
        TCvProcessList list(table, c.Install);
        EXPECT_EQ(list.IsSystemPath(c.Path), c.System) << c.Install << " | " << c.Path;
    }
}

TEST(ProcessListRules, KernelAccountIgnoresCase) {
    for (const char* user : {"Corvane", "corvane", "CORVANE"})
        EXPECT_TRUE(TCvProcessList::IsKernelAccount(user)) << user;
    for (const char* user : {"", "Corvane2", "Corvan", "operator", "Administrator"})
        EXPECT_FALSE(TCvProcessList::IsKernelAccount(user)) << user;
}

// ---- TProcesses

TEST(Processes, IndexOutsideTheListRaisesIndexOutOfBounds) {
    TProcesses p;
    p.Add({});
    p.Add({});
    for (int index : {-1, 2, 3}) {
        try {
            p.GetProcessRec(index);
            ADD_FAILURE() << "no exception for index " << index;
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "Index out of bounds");
        }
        EXPECT_THROW(p.Delete(index), Exception);
    }
    EXPECT_NO_THROW(p.GetProcessRec(1));
    EXPECT_EQ(p.Count(), 2);
}

TEST(Processes, SortIsByStartEarliestFirstKeepingTiesInOrder) {
    TProcesses p;
    p.Add(Rec("c", 30));
    p.Add(Rec("a1", 10));
    p.Add(Rec("b", 20));
    p.Add(Rec("a2", 10));
    p.Sort();
    std::string order;
    for (auto& r : p.Records())
        order += r.Name + " ";
    EXPECT_EQ(order, "a1 a2 b c ");
}

TEST(Processes, ClearResetsCountsAndRecords) {
    TProcesses p;
    p.KernelProcesses = 2;
    p.ScadaProcesses = 3;
    p.Add({});
    p.Clear();
    EXPECT_EQ(p.KernelProcesses, 0);
    EXPECT_EQ(p.ScadaProcesses, 0);
    EXPECT_EQ(p.Count(), 0);
}

// ---- Refresh

TEST_F(TListFixture, RefreshCountsKernelAndClientProcessesOfTheSystemOnly) {
    Table->Procs = {
        Proc(10, "cvkernel.exe", "Corvane", T0),
        Proc(11, "cvscheduler.exe", "corvane", T0),
        Proc(12, "hmi.exe", "operator", T0),
        Proc(13, "notepad.exe", "operator", T0, "C:\\Windows\\"),
    };
    auto& list = Make();
    list.Refresh();
    EXPECT_EQ(list.Processes().KernelProcesses, 2);
    EXPECT_EQ(list.Processes().ScadaProcesses, 1);
    EXPECT_EQ(list.Processes().Count(), 0) << "records only in fullActive";
    EXPECT_EQ(Updates, 1);
    for (auto& [pid, access] : Table->Opens)
        EXPECT_EQ(access, PROCESS_QUERY_AND_READ) << pid;
}

TEST_F(TListFixture, ProcessesThatCannotBeReadAreNeitherCountedNorListed) {
    Table->Procs = {Proc(10, "a.exe", "Corvane", T0), Proc(11, "b.exe", "Corvane", T0),
                    Proc(12, "c.exe", "Corvane", T0), Proc(13, "d.exe", "Corvane", T0)};
    Table->Procs[0].OpenFails = true;
    Table->Procs[1].Path.clear();
    Table->Procs[2].AccountFails = true;
    auto& list = Make();
    list.SetActive(fullActive);
    EXPECT_EQ(list.Processes().KernelProcesses, 1);
    EXPECT_EQ(Pids(), std::vector<uint32_t>{13});
}

TEST_F(TListFixture, FullRefreshFillsRecordsSortedByStart) {
    Table->Procs = {
        Proc(30, "cvhistorian.exe", "Corvane", T0 + 3 * Second),
        Proc(10, "cvkernel.exe", "Corvane", T0 + 1 * Second),
        Proc(20, "hmi.exe", "operator", T0 + 2 * Second),
    };
    Table->Procs[0].Version = "7.1.0.12";
    auto& list = Make();
    list.SetActive(fullActive);
    ASSERT_EQ(Pids(), (std::vector<uint32_t>{10, 20, 30}));
    const TCvProcessRec r = list.Processes().GetProcessRec(2);
    EXPECT_EQ(r.Name, "cvhistorian.exe");
    EXPECT_EQ(r.Version, "7.1.0.12");
    EXPECT_EQ(r.UserName, "Corvane");
    EXPECT_EQ(r.Domain, "PLANT");
    EXPECT_EQ(r.StartFiletime, T0 + 3 * Second);
    EXPECT_EQ(r.StartDateTime, FileTimeToLocalDateTime(T0 + 3 * Second));
    EXPECT_EQ(r.ThreadCount, 30u % 7 + 1);
    EXPECT_THROW(list.Processes().GetProcessRec(list.Processes().Count()), Exception);
}

TEST_F(TListFixture, AFailingCreationTimeRaisesAndReportsNoCounts) {
    Table->Procs = {Proc(10, "a.exe", "Corvane", T0)};
    Table->Procs[0].TimeFails = true;
    auto& list = Make();
    list.Refresh(); // counts only: the time is not asked for
    EXPECT_EQ(Updates, 1);
    try {
        list.SetActive(fullActive);
        ADD_FAILURE() << "no exception";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode(), 31u);
    }
    EXPECT_EQ(Updates, 1);
}

TEST_F(TListFixture, NoSnapshotGivesZeroCounts) {
    Table->Procs = {Proc(10, "a.exe", "Corvane", T0)};
    auto& list = Make();
    list.Refresh();
    ASSERT_EQ(list.Processes().KernelProcesses, 1);
    Table->SnapshotFails = true;
    list.Refresh();
    EXPECT_EQ(list.Processes().KernelProcesses, 0);
    EXPECT_EQ(Updates, 2);
}

TEST_F(TListFixture, ModesSetTheTimerAndKeepRecordsOnlyInFullActive) {
    Table->Procs = {Proc(10, "a.exe", "Corvane", T0)};
    auto& list = Make();
    EXPECT_EQ(Intervals, std::vector<int>{0}) << "created with the timer off";
    list.TimerTick();
    EXPECT_EQ(Updates, 0) << "a tick with the timer off does nothing";

    list.SetActive(countActive);
    EXPECT_EQ(Updates, 1) << "refreshed at once";
    EXPECT_EQ(list.TimerInterval(), 5000);
    list.SetActive(fullActive);
    EXPECT_EQ(list.TimerInterval(), 1000);
    EXPECT_EQ(list.Processes().Count(), 1);
    list.TimerTick();
    EXPECT_EQ(Updates, 3);
    list.SetActive(countActive);
    EXPECT_EQ(list.Processes().Count(), 0) << "the records go with the next refresh";
    list.SetActive(notActive);
    EXPECT_EQ(Updates, 4) << "notActive does not refresh";
    EXPECT_EQ(Intervals, (std::vector<int>{0, 5000, 1000, 5000, 0}));
}

// ---- ending processes

TEST_F(TListFixture, TheOwnProcessIsNeverEnded) {
    Table->Procs = {Proc(10, "a.exe", "Corvane", T0), Proc(Table->Self, "panel.exe", "admin", T0)};
    auto& list = Make();
    list.SetActive(fullActive);
    ASSERT_EQ(list.Processes().Count(), 2);
    EXPECT_FALSE(list.TerminateProcess(Table->Self));
    EXPECT_EQ(list.TerminateAllProcesses(), 1);
    EXPECT_EQ(Table->Terminated, std::vector<uint32_t>{10});
}

TEST_F(TListFixture, EndingAProcessThatCannotBeOpenedDoesNothing) {
    Table->Procs = {Proc(10, "a.exe", "Corvane", T0)};
    Table->Procs[0].OpenFails = true;
    auto& list = Make();
    for (uint32_t pid : {0u, 10u, 99999u})
        EXPECT_FALSE(list.TerminateProcess(pid)) << pid;
    EXPECT_TRUE(Table->Terminated.empty());
}

TEST_F(TListFixture, TerminatingOpensWithAllAccess) {
    Table->Procs = {Proc(10, "a.exe", "Corvane", T0)};
    auto& list = Make();
    Table->Opens.clear();
    EXPECT_TRUE(list.TerminateProcess(10));
    ASSERT_EQ(Table->Opens.size(), 1u);
    EXPECT_EQ(Table->Opens[0].second, PROCESS_ALL_ACCESS_RIGHTS);
}

TEST_F(TListFixture, TerminateAllSystemProcessesEndsThemOutsideFullActiveToo) {
    for (TActiveType mode : {notActive, countActive, fullActive}) {
        Table->Procs = {Proc(20, "hmi.exe", "operator", T0 + 2 * Second),
                        Proc(10, "cvkernel.exe", "Corvane", T0 + 1 * Second),
                        Proc(30, "other.exe", "operator", T0, "C:\\Windows\\")};
        Table->Terminated.clear();
        auto& list = Make();
        list.SetActive(mode);
        const int updatesBefore = Updates;
        EXPECT_EQ(list.TerminateAllSystemProcesses(), 2) << int(mode);
        EXPECT_EQ(Table->Terminated, (std::vector<uint32_t>{10, 20})) << "in start order";
        EXPECT_EQ(list.Active(), mode);
        EXPECT_EQ(list.Processes().Count(), 0) << "the refresh after the wait finds them gone";
        EXPECT_EQ(list.Processes().KernelProcesses, 0);
        EXPECT_EQ(list.Processes().ScadaProcesses, 0);
        EXPECT_EQ(Updates, updatesBefore + 1) << "the counts are reported afresh";
    }
}

TEST_F(TListFixture, ProcessesThatWillNotDieAreWaitedForOnceAndStillCounted) {
    Table->Procs = {Proc(10, "cvkernel.exe", "Corvane", T0), Proc(11, "cvscheduler.exe", "Corvane", T0 + 1),
                    Proc(20, "hmi.exe", "operator", T0 + 2)};
    Table->Procs[0].WillNotDie = true;
    Table->Procs[1].WillNotDie = true;
    auto& list = Make();
    list.SetActive(fullActive);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(list.TerminateAllSystemProcesses(), 3);
    const auto took = std::chrono::steady_clock::now() - t0;
    // One bound for all of them, not one each.
    EXPECT_LT(took, std::chrono::milliseconds(TCvProcessList::TerminateWaitMs + 1000));
    ASSERT_EQ(Table->WaitTimeouts.size(), 3u);
    EXPECT_LE(Table->WaitTimeouts[0], TCvProcessList::TerminateWaitMs);
    EXPECT_LE(Table->WaitTimeouts[1], 100) << "the first one took the whole wait";
    EXPECT_EQ(list.Processes().KernelProcesses, 2);
    EXPECT_EQ(list.Processes().ScadaProcesses, 0);
    EXPECT_EQ(list.Processes().Count(), 2);
}

// ---- the list view's content

TEST(ProcessListView, GroupsFollowTheirEarliestProcessAndEmptyAccountsGoToProcesses) {
    std::vector<TCvProcessRec> records = {
        Rec("cvkernel.exe", 1, "Corvane", "NT SERVICE", 10, 4, "7.1.0.1"),
        Rec("hmi.exe", 2, "operator", "PLANT", 20, 2),
        Rec("orphan.exe", 3, "", "PLANT", 25),
        Rec("cvhistorian.exe", 4, "Corvane", "NT SERVICE", 30),
        Rec("nodomain.exe", 5, "someone", "", 35),
    };
    auto groups = BuildProcessListGroups(records, [](TDateTime) { return std::string("then"); });
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].Header, "NT SERVICE\\Corvane");
    EXPECT_EQ(groups[1].Header, "PLANT\\operator");
    EXPECT_EQ(groups[2].Header, "Processes");
    ASSERT_EQ(groups[0].Items.size(), 2u);
    EXPECT_EQ(groups[0].Items[0].Caption, "cvkernel.exe");
    EXPECT_EQ(groups[0].Items[0].SubItems,
              (std::vector<std::string>{"10", "then", "4", "7.1.0.1"}));
    EXPECT_EQ(groups[0].Items[0].ProcessID, 10u);
    EXPECT_EQ(groups[0].Items[1].Caption, "cvhistorian.exe");
    ASSERT_EQ(groups[2].Items.size(), 2u);
    EXPECT_EQ(groups[2].Items[0].Caption, "orphan.exe");
    EXPECT_EQ(groups[2].Items[1].Caption, "nodomain.exe");
}

TEST(ProcessListView, ColumnsAndTheirRoundedWidths) {
    const char* captions[] = {"Name", "PID", "Started", "Threads", "Version"};
    const int widths[] = {150, 50, 135, 65, 80}; // 0.30 0.10 0.27 0.13 0.16 of 500
    for (size_t i = 0; i < ProcessListColumns.size(); ++i) {
        EXPECT_STREQ(ProcessListColumns[i].Caption, captions[i]);
        EXPECT_EQ(ProcessListColumnWidth(i, 500), widths[i]) << captions[i];
    }
    EXPECT_EQ(ProcessListColumnWidth(2, 301), 81); // 81.27
    EXPECT_EQ(ProcessListColumnWidth(3, 301), 39); // 39.13
    EXPECT_EQ(ProcessListColumnWidth(4, 301), 48); // 48.16
}

TEST(ProcessListView, StartedTextAndFileTimes) {
    EXPECT_EQ(FileTimeToLocalDateTime(0), 0.0);
    EXPECT_EQ(DefaultStartedText(EncodeDateTime(2024, 3, 9, 7, 5, 4, 999)), "2024-03-09 07:05:04");
    // 2024-01-01 00:00:00 UTC, in local time, to the millisecond.
    const uint64_t ft = 116444736000000000ull + 1704067200ull * Second + 12345678;
    EXPECT_NEAR(FileTimeToLocalDateTime(ft), UnixToLocalDateTime(1704067200.0 + 1.234), 1e-9);
}
