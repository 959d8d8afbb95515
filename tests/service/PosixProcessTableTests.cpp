// The /proc backend of the process table, on processes the tests start.
#include "platform/posix/PosixProcessTable.h"

#include "core/Text.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <filesystem>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace cv;
using namespace cv::posix_proc;

namespace {

std::string SleeperPath() {
    std::string sim = cvtest::TSandbox::SimPath();
    return sim.substr(0, sim.find_last_of('/') + 1) + "corvane-sim-sleeper";
}

// A child process running `path`, ended and reaped when the object goes.
class TChild {
public:
    explicit TChild(const std::string& path, int threads = 1) {
        std::string t = std::to_string(threads);
        char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>("--threads"), t.data(),
                        nullptr};
        if (posix_spawn(&FPid, path.c_str(), nullptr, nullptr, argv, environ) != 0)
            FPid = -1;
    }
    ~TChild() {
        if (FPid > 0) {
            kill(FPid, SIGKILL);
            Reap();
        }
    }
    pid_t Pid() const { return FPid; }
    int Reap() {
        int status = 0;
        waitpid(FPid, &status, 0);
        FPid = -1;
        return status;
    }

private:
    pid_t FPid = -1;
};

bool WaitUntil(const std::function<bool()>& done, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::optional<TSnapshotEntry> FindInSnapshot(TPosixProcessTable& table, uint32_t pid) {
    std::vector<TSnapshotEntry> snapshot;
    EXPECT_TRUE(table.Snapshot(snapshot));
    for (auto& e : snapshot)
        if (e.ProcessID == pid)
            return e;
    return std::nullopt;
}

std::string ShortHost() {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::string s = host;
    return s.substr(0, s.find('.'));
}

uint64_t NowAsFileTime() {
    using namespace std::chrono;
    auto us = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return 116444736000000000ull + static_cast<uint64_t>(us) * 10;
}

} // namespace

// ---- the /proc texts

TEST(ProcFiles, StatTakesTheFieldsAfterTheLastParenthesis) {
    struct TCase {
        const char* Text;
        bool Ok;
        char State;
        uint64_t Start;
    };
    const TCase cases[] = {
        {"123 (sleep) S 1 123 123 0 -1 4194560 100 0 0 0 0 0 0 0 20 0 1 0 98765 5 6\n", true, 'S',
         98765},
        // A command may hold blanks and parentheses of its own.
        {"7 (a) (b) R x) Z 1 7 7 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 42 0 0", true, 'Z', 42},
        {"7 (short) S 1 2 3", false, 0, 0},
        {"no parenthesis at all", false, 0, 0},
        {"7 (x) S 1 7 7 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 -5 0 0", false, 0, 0},
    };
    for (const auto& c : cases) {
        TStat stat;
        ASSERT_EQ(ParseStat(c.Text, stat), c.Ok) << c.Text;
        if (c.Ok) {
            EXPECT_EQ(stat.State, c.State) << c.Text;
            EXPECT_EQ(stat.StartTicks, c.Start) << c.Text;
        }
    }
}

TEST(ProcFiles, StatusAndBootTime) {
    const std::string status = "Name:\tcvkernel.exe\nUmask:\t0022\nState:\tS (sleeping)\n"
                               "Uid:\t999\t998\t997\t996\nGid:\t995\t995\t995\t995\n"
                               "Threads:\t4\nSigQ:\t0/31\n";
    uint32_t threads = 0;
    uint32_t uids[4] = {};
    ASSERT_TRUE(ParseStatusThreads(status, threads));
    EXPECT_EQ(threads, 4u);
    ASSERT_TRUE(ParseStatusUids(status, uids));
    EXPECT_EQ(uids[0], 999u);
    EXPECT_EQ(uids[1], 998u);
    EXPECT_EQ(uids[2], 997u);
    EXPECT_FALSE(ParseStatusThreads("Name:\tx\n", threads));
    EXPECT_FALSE(ParseStatusUids("Uid:\t1\t2\n", uids));

    uint64_t btime = 0;
    ASSERT_TRUE(ParseBootTime("cpu  1 2 3\nintr 5\nbtime 1700000000\nprocesses 9\n", btime));
    EXPECT_EQ(btime, 1700000000u);
    EXPECT_FALSE(ParseBootTime("cpu 1 2 3\n", btime));
}

TEST(ProcFiles, StartTicksBecomeFileTime) {
    constexpr uint64_t epoch = 116444736000000000ull;
    EXPECT_EQ(ToFileTime(0, 0, 100), epoch);
    EXPECT_EQ(ToFileTime(10, 150, 100), epoch + 11'500'0000ull); // 10 s + 1.5 s
    EXPECT_EQ(ToFileTime(1700000000, 1, 3), epoch + 1700000000ull * 10000000 + 3333333);
}

// ---- live processes

TEST(PosixProcessTable, SnapshotListsProcessesWithNameAndThreads) {
    TPosixProcessTable table;
    TChild child(SleeperPath(), 3);
    ASSERT_GT(child.Pid(), 0);
    std::optional<TSnapshotEntry> entry;
    ASSERT_TRUE(WaitUntil([&] {
        entry = FindInSnapshot(table, uint32_t(child.Pid()));
        return entry && entry->ThreadCount == 3;
    })) << "threads: "
        << (entry ? entry->ThreadCount : 0);
    EXPECT_EQ(entry->ExeFile, "corvane-sim-sleeper");

    auto self = FindInSnapshot(table, table.CurrentProcessId());
    ASSERT_TRUE(self);
    EXPECT_EQ(self->ExeFile, std::filesystem::read_symlink("/proc/self/exe").filename().string());
}

TEST(PosixProcessTable, AnOpenedProcessAnswersAndEnds) {
    TPosixProcessTable table;
    const uint64_t before = NowAsFileTime();
    TChild child(SleeperPath());
    ASSERT_GT(child.Pid(), 0);
    auto process = table.Open(uint32_t(child.Pid()), PROCESS_QUERY_AND_READ);
    ASSERT_TRUE(process);
    // The child may still be the forked test until it has run exec.
    ASSERT_TRUE(WaitUntil([&] { return EndsWith(process->ImagePath(), "/corvane-sim-sleeper"); }));
    EXPECT_EQ(process->ImagePath(), std::filesystem::canonical(SleeperPath()).string());

    std::string user, domain;
    ASSERT_TRUE(process->Account(user, domain));
    EXPECT_EQ(user, getpwuid(geteuid())->pw_name);
    EXPECT_EQ(domain, ShortHost());

    uint64_t created = 0;
    ASSERT_TRUE(process->CreationTime(created));
    // The boot time has whole seconds only.
    constexpr uint64_t slack = 2 * 10000000ull;
    EXPECT_GE(created + slack, before);
    EXPECT_LE(created, NowAsFileTime() + slack);

    auto killer = table.Open(uint32_t(child.Pid()), PROCESS_ALL_ACCESS_RIGHTS);
    ASSERT_TRUE(killer);
    EXPECT_TRUE(killer->Terminate(0));
    int status = child.Reap();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    // Its handle outlives it but no longer reaches anything.
    EXPECT_EQ(process->ImagePath(), "");
    EXPECT_FALSE(process->Account(user, domain));
    EXPECT_FALSE(process->Terminate(0));
    EXPECT_TRUE(process->CreationTime(created)) << "taken when it was opened";
}

TEST(PosixProcessTable, WaitingForExitEndsWhenTheProcessIsGoneOrAtTheBound) {
    TPosixProcessTable table;
    TChild child(SleeperPath());
    ASSERT_GT(child.Pid(), 0);
    auto process = table.Open(uint32_t(child.Pid()), PROCESS_ALL_ACCESS_RIGHTS);
    ASSERT_TRUE(process);

    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(process->WaitForExit(150)) << "still running";
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(140));

    // Not reaped by anyone: a zombie counts as gone, as a signalled handle would.
    ASSERT_TRUE(process->Terminate(0));
    t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(process->WaitForExit(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(4));
    EXPECT_EQ(process->ImagePath(), "");
    child.Reap();
    EXPECT_TRUE(process->WaitForExit(0));
}

TEST(PosixProcessTable, GoneProcessesCannotBeOpened) {
    TPosixProcessTable table;
    EXPECT_FALSE(table.Open(0, PROCESS_QUERY_AND_READ));
    EXPECT_FALSE(table.Open(0xFFFFFFF0u, PROCESS_QUERY_AND_READ));

    TChild zombie(SleeperPath());
    ASSERT_GT(zombie.Pid(), 0);
    kill(zombie.Pid(), SIGKILL);
    ASSERT_TRUE(WaitUntil([&] {
        siginfo_t info{};
        return waitid(P_PID, id_t(zombie.Pid()), &info, WEXITED | WNOWAIT) == 0;
    }));
    EXPECT_FALSE(table.Open(uint32_t(zombie.Pid()), PROCESS_QUERY_AND_READ)) << "only a zombie";
    const pid_t reaped = zombie.Pid();
    zombie.Reap();
    EXPECT_FALSE(table.Open(uint32_t(reaped), PROCESS_QUERY_AND_READ));
}

TEST(PosixProcessTable, AnImagePathLongerThanAPathBufferReadsAsEmpty) {
    char tmpl[] = "/tmp/vornix-long-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    const std::string base = tmpl;
    std::string folder = base;
    while (folder.size() < 270)
        folder += "/" + std::string(40, 'd');
    std::filesystem::create_directories(folder);
    const std::string exe = folder + "/sleeper";
    std::filesystem::copy_file(SleeperPath(), exe);
    {
        TPosixProcessTable table;
        TChild child(exe);
        ASSERT_GT(child.Pid(), 0);
        auto process = table.Open(uint32_t(child.Pid()), PROCESS_QUERY_AND_READ);
        ASSERT_TRUE(process);
        std::string link;
        ASSERT_TRUE(WaitUntil([&] {
            std::error_code ec;
            link =
                std::filesystem::read_symlink("/proc/" + std::to_string(child.Pid()) + "/exe", ec)
                    .string();
            return link == exe;
        }));
        EXPECT_EQ(process->ImagePath(), "");
    }
    std::filesystem::remove_all(base);
}

// Root may end anything; anyone else only its own processes, though it may still query others.
TEST(PosixProcessTable, OthersProcessesOpenForQueryingOnly) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run a check as another user";
    passwd* nobody = getpwnam("nobody");
    if (!nobody)
        GTEST_SKIP() << "no user nobody";
    const uint32_t parent = uint32_t(getpid());
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
            _exit(10);
        TPosixProcessTable table;
        int result = 0;
        if (!table.Open(parent, PROCESS_QUERY_AND_READ))
            result |= 1;
        if (table.Open(parent, PROCESS_ALL_ACCESS_RIGHTS))
            result |= 2;
        if (!table.Open(uint32_t(getpid()), PROCESS_ALL_ACCESS_RIGHTS))
            result |= 4;
        _exit(result);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: query refused, 2: terminate allowed, 4: own process refused, 10: no setuid";
}
