// Named mutexes as lock files, and the notification tool's mutex seen through them.
#include "platform/posix/PosixNamedMutex.h"
#include "service/NotifyMutex.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using namespace cv;

namespace {

// A session folder of its own, so a notification tool running on this machine is not seen.
struct NamedMutexTest : ::testing::Test {
    std::string Runtime;
    std::string Saved;
    bool HadSaved = false;

    void SetUp() override {
        char tmpl[] = "/tmp/vornix-runtime-XXXXXX";
        ASSERT_TRUE(mkdtemp(tmpl));
        Runtime = tmpl;
        if (const char* s = std::getenv("XDG_RUNTIME_DIR")) {
            Saved = s;
            HadSaved = true;
        }
        setenv("XDG_RUNTIME_DIR", Runtime.c_str(), 1);
    }
    void TearDown() override {
        if (HadSaved)
            setenv("XDG_RUNTIME_DIR", Saved.c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        std::filesystem::remove_all(Runtime);
    }
};

} // namespace

TEST_F(NamedMutexTest, NotifyMutexIsSeenWhileHeldAndNotAfterRelease) {
    auto mutexes = std::make_shared<TPosixNamedMutex>();
    TNotifyMutex notify(mutexes);
    EXPECT_FALSE(notify.NotifyMutexExists());
    auto held = mutexes->Hold("Notify_LocalHost");
    ASSERT_TRUE(held);
    EXPECT_TRUE(notify.NotifyMutexExists());
    EXPECT_TRUE(notify.NotifyMutexExists()) << "asking does not take it away";
    EXPECT_FALSE(mutexes->Exists("notify_localhost")) << "names keep their case";
    held.reset();
    EXPECT_FALSE(notify.NotifyMutexExists());
}

TEST_F(NamedMutexTest, ExistsUntilTheLastHolderLetsGo) {
    TPosixNamedMutex mutexes;
    auto first = mutexes.Hold("Shared");
    auto second = mutexes.Hold("Shared");
    ASSERT_TRUE(first && second);
    first.reset();
    EXPECT_TRUE(mutexes.Exists("Shared"));
    second.reset();
    EXPECT_FALSE(mutexes.Exists("Shared"));
    EXPECT_TRUE(mutexes.Hold("Shared")) << "taken again after the probe removed the old file";
}

TEST_F(NamedMutexTest, AHolderThatDiesTakesItsMutexWithIt) {
    TPosixNamedMutex mutexes;
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        auto held = TPosixNamedMutex().Hold("Notify_LocalHost");
        char c = held ? '1' : '0';
        (void)!write(ready[1], &c, 1);
        (void)!read(done[0], &c, 1); // until the parent has looked
        _exit(0);                    // no release: the process just ends
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, '1');
    EXPECT_TRUE(mutexes.Exists("Notify_LocalHost")) << "held by another process";
    (void)!write(done[1], "x", 1);
    waitpid(pid, nullptr, 0);
    EXPECT_FALSE(mutexes.Exists("Notify_LocalHost"));
    EXPECT_FALSE(std::filesystem::exists(TPosixNamedMutex::LockFilePath("Notify_LocalHost")))
        << "the file left behind is removed";
    for (int fd : {ready[0], ready[1], done[0], done[1]})
        close(fd);
}

TEST_F(NamedMutexTest, AnyNameStaysInsideTheSessionFolder) {
    for (const char* name : {"Global\\Notify", "../../etc/x", "a/b", ".hidden", "Ä ö"}) {
        const std::filesystem::path file = TPosixNamedMutex::LockFilePath(name);
        EXPECT_EQ(file.parent_path().string(), Runtime) << name;
        TPosixNamedMutex mutexes;
        auto held = mutexes.Hold(name);
        ASSERT_TRUE(held) << name;
        EXPECT_TRUE(mutexes.Exists(name)) << name;
    }
}

TEST_F(NamedMutexTest, WithoutSessionFolderTheFileIsPerUserInTmp) {
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(TPosixNamedMutex::LockFilePath("Notify_LocalHost"),
              "/tmp/vornix-mutex-" + std::to_string(geteuid()) + "-Notify_LocalHost");
}

TEST_F(NamedMutexTest, ALinkPlacedUnderTheNameIsNotFollowed) {
    const std::string target = Runtime + "/target";
    const std::string path = TPosixNamedMutex::LockFilePath("Linked");
    std::filesystem::create_symlink(target, path);
    TPosixNamedMutex mutexes;
    EXPECT_FALSE(mutexes.Hold("Linked"));
    EXPECT_FALSE(mutexes.Exists("Linked"));
    EXPECT_FALSE(std::filesystem::exists(target));
}
