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
#include <cstdlib>
#include <fstream>

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

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// A log service that never pauses: the mixed stream sent again and again for a while
// (VORNIX_FLOOD_SECONDS, 10 by default) while the main thread runs the hand-overs. The
// resident memory is sampled every 100 ms; what counts is its growth after the first second.
double GFloodMBps = 0, GFloodPairsPerSec = 0;
long GFloodStartKb = 0, GFloodPeakKb = 0;

void Flood(benchmark::State& state) {
    const char* env = std::getenv("VORNIX_FLOOD_SECONDS");
    const double seconds = env ? std::atof(env) : 10.0;
    cv::SetMainThread();
    for (auto _ : state) {
        feedtest::TLoopbackServer server;
        int64_t updates = 0;
        cv::TSocketDataSource ds("", 100, std::make_shared<cv::TPosixTcpClient>(),
                                 cv::TDebugOutput{}, server.Port());
        ds.OnStatusUpdate = [&](const std::string&, const std::string&) { ++updates; };
        while (server.Accepted() < 1)
            cv::CheckSynchronize(std::chrono::milliseconds(1));
        std::atomic<bool> flooding{true};
        std::atomic<int64_t> sent{0};
        const auto t0 = Clock::now();
        const auto end = t0 + std::chrono::duration<double>(seconds);
        std::thread sender([&] {
            while (Clock::now() < end && server.Send(Stream()))
                sent += static_cast<int64_t>(Stream().size());
            flooding = false;
        });
        long startKb = -1, peakKb = 0;
        auto nextSample = t0;
        while (flooding) {
            cv::CheckSynchronize(std::chrono::milliseconds(10));
            const auto now = Clock::now();
            if (now >= nextSample) {
                nextSample = now + std::chrono::milliseconds(100);
                const long kb = ResidentKb();
                if (startKb < 0 && now - t0 >= std::chrono::seconds(1))
                    startKb = kb;
                peakKb = std::max(peakKb, kb);
            }
        }
        const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
        sender.join();
        state.SetIterationTime(secs);
        GFloodMBps = double(sent) / secs / 1e6;
        GFloodPairsPerSec = double(updates) / secs;
        GFloodStartKb = startKb;
        GFloodPeakKb = peakKb;
        state.counters["MB/s"] = benchmark::Counter(GFloodMBps);
        state.counters["peak RSS MB"] = benchmark::Counter(peakKb / 1024.0);
    }
}

BENCHMARK(WholeFeed)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BarePollRecv)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(Flood)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

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
    if (GFloodMBps > 0)
        std::printf("flood %.1f MB/s, %.0f updates/s; resident memory %.1f MB after 1 s, peak "
                    "%.1f MB\n",
                    GFloodMBps, GFloodPairsPerSec, GFloodStartKb / 1024.0, GFloodPeakKb / 1024.0);
    benchmark::Shutdown();
    return 0;
}
