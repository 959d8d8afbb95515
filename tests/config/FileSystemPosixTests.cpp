// The atomic file write on POSIX: what a replaced file keeps of the original.
#include "platform/FileSystem.h"
#include "core/Assert.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace cv;
namespace fs = std::filesystem;

namespace {

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
}

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> out;
    for (auto& e : fs::directory_iterator(dir))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// A process id that no process has: a child that has ended and been reaped.
pid_t GonePid() {
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

} // namespace

TEST(AtomicWrite, TheOriginalsModeIsKept) {
    cvtest::TTempFolder tmp;
    for (mode_t mode : {0600, 0640, 0755, 0444}) {
        const std::string file = tmp.Dir() + "/kernel_params.par";
        WriteFileAtomic(file, "old");
        ASSERT_EQ(chmod(file.c_str(), mode), 0);
        WriteFileAtomic(file, "new");
        EXPECT_EQ(StatOf(file).st_mode & 07777, mode) << std::oct << mode;
        EXPECT_EQ(ReadFileBytes(file), std::string("new"));
        fs::remove(file);
    }
    // A new file gets the usual mode for new files.
    const mode_t mask = umask(022);
    umask(mask);
    WriteFileAtomic(tmp.Dir() + "/new.xml", "x");
    EXPECT_EQ(StatOf(tmp.Dir() + "/new.xml").st_mode & 0777, 0666 & ~mask);
}

TEST(AtomicWrite, OwnerAndGroupAreKeptWhenRunAsRoot) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another owner";
    cvtest::TTempFolder tmp;
    const std::string file = tmp.Dir() + "/kernel_setup.lum";
    WriteFileAtomic(file, "old");
    ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(file.c_str(), 0600), 0);
    WriteFileAtomic(file, "new");
    const struct stat st = StatOf(file);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST(AtomicWrite, TemporaryFilesOfWritersThatAreGoneAreRemoved) {
    cvtest::TTempFolder tmp;
    const std::string file = tmp.Dir() + "/product.xml";
    const std::string stale = "product.xml.tmp-" + std::to_string(GonePid()) + "-0";
    const std::string live = "product.xml.tmp-" + std::to_string(getppid()) + "-3";
    const std::string other = "other.xml.tmp-" + std::to_string(GonePid()) + "-0";
    for (const auto& name : {stale, live, other})
        WriteFileAtomic(tmp.Dir() + "/" + name, "half");
    WriteFileAtomic(file, "whole");
    std::vector<std::string> kept = {live, other, "product.xml"};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(Names(tmp.Dir()), kept)
        << "a running writer's file and another file's are left alone";
}

TEST(AtomicWrite, ASymbolicLinkStaysALinkAndItsFileIsWritten) {
    cvtest::TTempFolder tmp;
    fs::create_directories(tmp.Dir() + "/real");
    const std::string real = tmp.Dir() + "/real/kernel_params.par";
    WriteFileAtomic(real, "old");
    fs::create_symlink("real/kernel_params.par", tmp.Dir() + "/link.par");
    fs::create_symlink(tmp.Dir() + "/link.par", tmp.Dir() + "/link2.par");
    WriteFileAtomic(tmp.Dir() + "/link2.par", "new");
    EXPECT_TRUE(fs::is_symlink(tmp.Dir() + "/link2.par"));
    EXPECT_TRUE(fs::is_symlink(tmp.Dir() + "/link.par"));
    EXPECT_EQ(ReadFileBytes(real), std::string("new"));
    EXPECT_EQ(Names(tmp.Dir() + "/real"), std::vector<std::string>{"kernel_params.par"});

    // A dangling link gets its file.
    fs::create_symlink("real/created.xml", tmp.Dir() + "/dangling.xml");
    WriteFileAtomic(tmp.Dir() + "/dangling.xml", "made");
    EXPECT_TRUE(fs::is_symlink(tmp.Dir() + "/dangling.xml"));
    EXPECT_EQ(ReadFileBytes(tmp.Dir() + "/real/created.xml"), std::string("made"));
}

TEST(AtomicWrite, AFailedWriteKeepsTheOriginalAndLeavesNoTemporaryFile) {
    cvtest::TTempFolder tmp;
    const std::string file = tmp.Dir() + "/settings.xml";
    WriteFileAtomic(file, "old");
    fs::create_directory(tmp.Dir() + "/folder");
    EXPECT_THROW(WriteFileAtomic(tmp.Dir() + "/folder", "x"), Exception) << "a folder is no file";
    EXPECT_THROW(WriteFileAtomic(tmp.Dir() + "/missing/settings.xml", "x"), Exception);
    EXPECT_EQ(ReadFileBytes(file), std::string("old"));
    EXPECT_EQ(Names(tmp.Dir()), (std::vector<std::string>{"folder", "settings.xml"}));
}
