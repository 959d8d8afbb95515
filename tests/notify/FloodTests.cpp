// A log service that sends valid frames as fast as the socket takes them, for half a minute:
// the reader's memory stays bounded, the states shown follow the stream, and no single
// hand-over holds the main thread long. Not built with sanitizers (their own memory use
// would drown the figure).
#include "notify/SocketDataSource.h"

#include "LoopbackServer.h"
#include "core/MainThread.h"
#include "platform/posix/PosixTcpClient.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>

using namespace cv;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using feedtest::FrameOf;
namespace feed = corvane::feed;

namespace {

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

std::string FutureStamp() {
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(Now() + 1.0, y, mo, d, h, mi, s, ms); // a day ahead: never before the start
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.000Z", y, mo, d, h, mi, s);
    return buf;
}

// About a megabyte of frames: application states cycling cold and warm (never hot for
// application 1), system information and rows of every kind.
std::string FloodBlock() {
    const std::string stamp = FutureStamp();
    std::string frames;
    int n = 0;
    while (frames.size() < 1024 * 1024) {
        feed::NotifyMessage m;
        for (int i = 0; i < 50; ++i, ++n) {
            auto* u = m.add_status_updates();
            const int apl = 1 + n % 12;
            u->set_key("SYS.APL." + std::to_string(apl) + ".APP" + std::to_string(apl) + ".AS");
            u->mutable_status_update()->set_value(n % 2 ? "WARM" : "COLD");
        }
        auto* info = m.add_status_updates();
        info->set_key("SYS.INFO.PACKAGE");
        info->mutable_status_update()->set_value("Flood " + std::to_string(n));
        for (int i = 0; i < 20; ++i) {
            auto* l = m.add_log_rows()->mutable_log_row();
            l->set_timestamp(stamp);
            l->add_messages("flood row " + std::to_string(n + i) + " with some text to carry");
            l->set_severity(1 + i % 5);
            l->set_source("Flood");
            l->set_category("LOG");
        }
        frames += FrameOf(m);
    }
    return frames;
}

} // namespace

TEST(Flood, MemoryStaysBoundedAndTheLastStateSentIsShown) {
    SetMainThread();
    feedtest::TLoopbackServer server;
    auto ds = std::make_unique<TSocketDataSource>("", 100, std::make_shared<TPosixTcpClient>(),
                                                  TDebugOutput{}, server.Port());
    int64_t pairs = 0;
    size_t shownStates = 0;
    ds->OnStatusUpdate = [&](const std::string&, const std::string&) { ++pairs; };
    // As the window does: the tree is rebuilt from the states once per batch.
    ds->OnAplStatesUpdate = [&](const TApplicationStates& s) {
        std::vector<std::string> names;
        for (const auto& [number, info] : s.ApplicationStates())
            names.push_back(info.Name);
        shownStates = names.size();
    };

    const auto connectBy = Clock::now() + 5s;
    while (server.Accepted() < 1 && Clock::now() < connectBy)
        CheckSynchronize(10ms);
    ASSERT_TRUE(server.WaitForClient(1));

    const std::string block = FloodBlock();
    std::atomic<bool> flooding{true};
    std::atomic<int64_t> sentBytes{0};
    const auto floodEnd = Clock::now() + 30s;
    std::thread sender([&] {
        while (Clock::now() < floodEnd && server.Send(block))
            sentBytes += static_cast<int64_t>(block.size());
        feed::NotifyMessage last;
        for (auto [k, v] : {std::pair{"SYS.APL.1.APP1.AS", "HOT"}, {"SYS.APL.42.FINAL.AS", "WARM"}}) {
            auto* u = last.add_status_updates();
            u->set_key(k);
            u->mutable_status_update()->set_value(v);
        }
        server.Send(FrameOf(last));
        flooding = false;
    });

    const auto start = Clock::now();
    long baselineKb = -1, peakKb = 0;
    double longestHandOverMs = 0;
    auto nextSample = start;
    while (flooding) {
        const double cpu0 = ThreadCpuMs();
        if (CheckSynchronize(10ms))
            longestHandOverMs = std::max(longestHandOverMs, ThreadCpuMs() - cpu0);
        const auto now = Clock::now();
        if (now >= nextSample) {
            nextSample = now + 100ms;
            const long kb = ResidentKb();
            if (baselineKb < 0 && now - start >= 2s)
                baselineKb = kb;
            if (baselineKb >= 0)
                peakKb = std::max(peakKb, kb);
        }
    }
    const auto floodOver = Clock::now();
    sender.join();
    bool shown = false;
    while (!shown && Clock::now() - floodOver < 1s) {
        CheckSynchronize(10ms);
        shown = ds->GetApplicationState(42).Name == "FINAL" && ds->GetApplicationState(1).State == as_Hot;
    }
    const double secs = std::chrono::duration<double>(floodOver - start).count();
    std::printf("flood: %.1f MB sent in %.1f s (%.1f MB/s), %lld status pairs handed over; "
                "resident %ld KB after 2 s, peak %ld KB; longest hand-over %.1f ms CPU\n",
                sentBytes / 1e6, secs, sentBytes / 1e6 / secs, static_cast<long long>(pairs),
                baselineKb, peakKb, longestHandOverMs);
    EXPECT_TRUE(shown) << "the last state sent was not shown within a second";
    EXPECT_GT(shownStates, 0u);
    ASSERT_GT(baselineKb, 0);
    EXPECT_LE(peakKb - baselineKb, 50 * 1024);
    EXPECT_LE(longestHandOverMs, 50.0);
    EXPECT_GT(pairs, 100000); // the stream really reached the main thread meanwhile
    ds.reset();
}
