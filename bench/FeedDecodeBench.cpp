// The feed's decoder (TNotifyMessage over TProtocolBufferDecoder) against libprotobuf's
// generated parser, into a fresh message object and into a reused one.
#include "FeedPayloads.h"
#include "notify.pb.h"
#include "notify/NotifyProto.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

const std::string& Payload(int which) {
    static const std::string payloads[] = {feedbench::StatusBurst(), feedbench::LogBurst(),
                                           feedbench::MixedFrame()};
    return payloads[which];
}
const char* const PayloadNames[] = {"status burst", "log burst", "mixed"};

void DecodeFeed(benchmark::State& state) {
    const std::string& p = Payload(static_cast<int>(state.range(0)));
    cv::TProtocolBufferDecoder d; // reused per frame, as the reader does
    for (auto _ : state) {
        d.LoadBytes(reinterpret_cast<const uint8_t*>(p.data()), p.size());
        cv::TNotifyMessage m(d, static_cast<int32_t>(p.size()));
        benchmark::DoNotOptimize(m.StatusUpdatesCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.size()));
}

void ProtobufFresh(benchmark::State& state) {
    const std::string& p = Payload(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        corvane::feed::NotifyMessage m;
        benchmark::DoNotOptimize(m.ParseFromArray(p.data(), static_cast<int>(p.size())));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.size()));
}

void ProtobufReused(benchmark::State& state) {
    const std::string& p = Payload(static_cast<int>(state.range(0)));
    corvane::feed::NotifyMessage m;
    for (auto _ : state)
        benchmark::DoNotOptimize(m.ParseFromArray(p.data(), static_cast<int>(p.size())));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * p.size()));
}

BENCHMARK(DecodeFeed)->DenseRange(0, 2);
BENCHMARK(ProtobufFresh)->DenseRange(0, 2);
BENCHMARK(ProtobufReused)->DenseRange(0, 2);

// Collects MB/s per benchmark and payload for the ratio table.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.error_occurred)
                continue;
            std::string name = r.benchmark_name();
            auto slash = name.find('/');
            int which = std::stoi(name.substr(slash + 1));
            double nsPerIter =
                r.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(r.time_unit);
            Rates[name.substr(0, slash)][which] =
                static_cast<double>(Payload(which).size()) / nsPerIter * 1e3;
        }
    }
    std::map<std::string, std::map<int, double>> Rates;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-13s %8s %12s %12s %12s %9s %9s\n", "payload", "bytes", "feed MB/s", "pb fresh",
                "pb reused", "x fresh", "x reused");
    for (int i = 0; i < 3; ++i) {
        double f = reporter.Rates["DecodeFeed"][i];
        double pf = reporter.Rates["ProtobufFresh"][i];
        double pr = reporter.Rates["ProtobufReused"][i];
        std::printf("%-13s %8zu %12.0f %12.0f %12.0f %9.2f %9.2f\n", PayloadNames[i],
                    Payload(i).size(), f, pf, pr, pf > 0 ? f / pf : 0, pr > 0 ? f / pr : 0);
    }
    benchmark::Shutdown();
    return 0;
}
