// The whole feed over loopback: a sender pushes mixed frames as fast as it can; the reader
// frames, decodes and hands over to this (main) thread, which runs the model. In the same
// run a bare poll + recv of 1000 bytes loop reads the same stream: the ceiling for a reader
// that reads at most 1000 bytes a call.
#include "FeedPayloads.h"
#include "LoopbackServer.h"
#include "core/MainThread.h"
#include "notify/SocketDataSource.h"
#include "platform/posix/PosixTcpClient.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int FramesPerRun = 4000;
constexpr int UpdatesPerFrame = 50;
constexpr int RowsPerFrame = 20;

const std::string& Stream() {
    static const std::string s = [] {
        std::string frame = feedtest::FrameOf(feedbench::MixedFrame());
        std::string all;
        all.reserve(frame.size() * 100);
        for (int i = 0; i < 100; ++i)
            all += frame;
        return all;
    }();
    return s;
}

// Sends FramesPerRun frames once a client is connected.
void Push(feedtest::TLoopbackServer& server) {
    while (server.Accepted() < 1)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (int i = 0; i < FramesPerRun / 100; ++i)
        server.Send(Stream());
}

// Seconds per run, averaged over the iterations, for the summary line.
double GFeedSeconds = 0, GCeilingSeconds = 0;
int GFeedRuns = 0, GCeilingRuns = 0;

void WholeFeed(benchmark::State& state) {
    cv::SetMainThread();
    for (auto _ : state) {
        feedtest::TLoopbackServer server;
        int64_t updates = 0, rows = 0;
        cv::TSocketDataSource ds("", 100, std::make_shared<cv::TPosixTcpClient>(),
                                 cv::TDebugOutput{}, server.Port());
        ds.OnStatusUpdate = [&](const std::string&, const std::string&) { ++updates; };
        ds.AfterAddData = [&](int32_t a, int32_t b) { rows += b - a + 1; };
        while (server.Accepted() < 1)
            cv::CheckSynchronize(std::chrono::milliseconds(1));
        rows = 0; // the connection row
        auto t0 = Clock::now();
        std::thread sender([&] { Push(server); });
        while (updates < int64_t(FramesPerRun) * UpdatesPerFrame)
            cv::CheckSynchronize(std::chrono::milliseconds(10));
        double secs = std::chrono::duration<double>(Clock::now() - t0).count();
        sender.join();
        state.SetIterationTime(secs);
        GFeedSeconds += secs;
        ++GFeedRuns;
        state.counters["updates/s"] = benchmark::Counter(double(updates) / secs);
        state.counters["rows/s"] = benchmark::Counter(double(rows) / secs);
        state.counters["MB/s"] =
            benchmark::Counter(double(Stream().size()) * (FramesPerRun / 100) / secs / 1e6);
    }
}

void BarePollRecv(benchmark::State& state) {
    for (auto _ : state) {
        feedtest::TLoopbackServer server;
        auto c = cv::TPosixTcpClient().Connect("localhost", server.Port());
        if (!c) {
            state.SkipWithError("no connection");
            return;
        }
        const size_t total = Stream().size() * (FramesPerRun / 100);
        size_t got = 0;
        uint8_t buf[1000];
        auto t0 = Clock::now();
        std::thread sender([&] { Push(server); });
        while (got < total) {
            if (c->WaitReadable(100))
                got += c->Read(buf, sizeof buf, 500);
        }
        double secs = std::chrono::duration<double>(Clock::now() - t0).count();
        sender.join();
        state.SetIterationTime(secs);
        GCeilingSeconds += secs;
        ++GCeilingRuns;
        state.counters["MB/s"] = benchmark::Counter(double(total) / secs / 1e6);
    }
}

BENCHMARK(WholeFeed)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BarePollRecv)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    double bytes = double(Stream().size()) * (FramesPerRun / 100);
    std::printf("\nstream %.1f MB in %d frames (%d updates, %d rows each)\n", bytes / 1e6,
                FramesPerRun, UpdatesPerFrame, RowsPerFrame);
    if (GFeedRuns > 0 && GCeilingRuns > 0) {
        GFeedSeconds /= GFeedRuns;
        GCeilingSeconds /= GCeilingRuns;
        std::printf("feed %.0f updates/s, %.0f rows/s, %.1f MB/s; ceiling %.1f MB/s; ratio %.2f "
                    "(means of the runs)\n",
                    FramesPerRun * UpdatesPerFrame / GFeedSeconds,
                    FramesPerRun * RowsPerFrame / GFeedSeconds, bytes / GFeedSeconds / 1e6,
                    bytes / GCeilingSeconds / 1e6, GCeilingSeconds / GFeedSeconds);
    }
    benchmark::Shutdown();
    return 0;
}
