// The single-instance test across real processes on the POSIX backends.
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using TTempDir = cvtest::TTempFolder;

struct TProbe {
    FILE* out = nullptr;
    explicit TProbe(const std::string& cmd) { out = popen(cmd.c_str(), "r"); }
    ~TProbe() {
        if (out)
            pclose(out);
    }
    std::string Line() {
        char buf[64] = {};
        if (!out || !fgets(buf, sizeof buf, out))
            return {};
        std::string s = buf;
        if (!s.empty() && s.back() == '\n')
            s.pop_back();
        return s;
    }
};

std::string ProbeCommand(const std::string& folder, const std::string& exe, double seconds,
                         const char* extra = "") {
    return std::string(INSTANCE_PROBE_PATH) + " '" + folder + "' '" + exe + "' " +
           std::to_string(seconds) + " " + extra + " 2>/dev/null";
}

} // namespace

TEST(InstanceProcesses, TwoStartingTogetherNeverBothCountAsFirst) {
    TTempDir dir;
    for (int round = 0; round < 15; ++round) {
        SCOPED_TRACE(round);
        TProbe a(ProbeCommand(dir.Dir(), "/opt/vornix/Control", 0.3));
        TProbe b(ProbeCommand(dir.Dir(), "/opt/vornix/Control", 0.3));
        std::string ra = a.Line(), rb = b.Line();
        EXPECT_TRUE((ra == "first" && rb == "duplicate") || (ra == "duplicate" && rb == "first"))
            << ra << " / " << rb;
    }
}

TEST(InstanceProcesses, ASecondStartRaisesTheFirstWindowAndLeavingFreesTheName) {
    TTempDir dir;
    {
        TProbe first(ProbeCommand(dir.Dir(), "/opt/vornix/Control", 10));
        ASSERT_EQ(first.Line(), "first");
        TProbe second(ProbeCommand(dir.Dir(), "/opt/vornix/Control", 0));
        EXPECT_EQ(second.Line(), "duplicate");
        EXPECT_EQ(first.Line(), "raised");
    }
    TProbe next(ProbeCommand(dir.Dir(), "/opt/vornix/Control", 0));
    EXPECT_EQ(next.Line(), "first") << "after the first instance closed";
}

TEST(InstanceProcesses, ACrashedInstanceDoesNotKeepLaterStartsOut) {
    TTempDir dir;
    {
        TProbe crashing(ProbeCommand(dir.Dir(), "/opt/vornix/Control", 0, "crash"));
        ASSERT_EQ(crashing.Line(), "first");
    }
    TProbe next(ProbeCommand(dir.Dir(), "/opt/vornix/Control", 0));
    EXPECT_EQ(next.Line(), "first");
}
