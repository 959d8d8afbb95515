// The reader thread against a real loopback server; run under ThreadSanitizer.
#include "notify/SocketDataSource.h"

#include "LoopbackServer.h"
#include "core/MainThread.h"
#include "platform/posix/PosixTcpClient.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <mutex>

using namespace cv;
using namespace std::chrono_literals;
using feedtest::FrameOf;
namespace feed = corvane::feed;

namespace {

std::string IsoLocal(TDateTime t) {
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(t, y, mo, d, h, mi, s, ms);
    int off = CurrentUtcOffsetMinutes();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", y, mo, d, h, mi,
                  s, ms, off < 0 ? '-' : '+', std::abs(off) / 60, std::abs(off) % 60);
    return buf;
}

std::string StartupText(TDateTime t) {
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(t, y, mo, d, h, mi, s, ms);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return buf;
}

TDateTime WholeSecond(TDateTime t) {
    return std::floor(t * 86400.0) / 86400.0;
}

feed::NotifyMessage Status(std::initializer_list<std::pair<std::string, std::string>> pairs) {
    feed::NotifyMessage m;
    for (const auto& [k, v] : pairs) {
        auto* u = m.add_status_updates();
        u->set_key(k);
        u->mutable_status_update()->set_value(v);
    }
    return m;
}

void AddRow(feed::NotifyMessage& m, const std::string& timestamp, const std::string& line) {
    auto* l = m.add_log_rows()->mutable_log_row();
    l->set_timestamp(timestamp);
    l->add_messages(line);
    l->set_severity(3);
    l->set_source("Test");
}

class SocketReader : public ::testing::Test {
protected:
    void SetUp() override { SetMainThread(); }
    void TearDown() override {
        ds.reset(); // stops the reader before the server goes
    }

    void Start(uint16_t port) {
        ds = std::make_unique<TSocketDataSource>(
            "", 100, std::make_shared<TPosixTcpClient>(),
            [this](const std::string& line) {
                std::lock_guard l(debugLock);
                debug.push_back(line);
            },
            port);
        ds->OnEvent = [this](TDataSourceEvent e, const std::string& host) {
            events.push_back(e);
            EXPECT_EQ(host, "localhost");
        };
        ds->OnStatusUpdate = [this](const std::string& k, const std::string& v) {
            pairs.emplace_back(k, v);
        };
        ds->OnSysInfoUpdate = [this](TSysInfo) { ++sysInfoEvents; };
    }

    template <class P> bool PumpUntil(P done, std::chrono::milliseconds timeout = 5s) {
        auto end = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            CheckSynchronize(10ms);
        }
        return true;
    }
    // The reader hands its connecting event over before it connects, so keep pumping.
    bool WaitForClient(int n) {
        return PumpUntil([&] { return server.Accepted() >= n; });
    }
    void PumpFor(std::chrono::milliseconds d) {
        auto end = std::chrono::steady_clock::now() + d;
        while (std::chrono::steady_clock::now() < end)
            CheckSynchronize(10ms);
    }

    std::vector<std::string> RowLines() const {
        std::vector<std::string> out;
        for (int i = 0; i < ds->GetRowCount(); ++i)
            out.push_back(ds->GetRow(i)->AllLinesCombined());
        return out;
    }
    bool HasDebug(const std::string& line) {
        std::lock_guard l(debugLock);
        return std::find(debug.begin(), debug.end(), line) != debug.end();
    }
    size_t PairCount(const std::string& key) const {
        return std::count_if(pairs.begin(), pairs.end(),
                             [&](const auto& p) { return p.first == key; });
    }

    feedtest::TLoopbackServer server;
    std::unique_ptr<TSocketDataSource> ds;
    std::vector<TDataSourceEvent> events;
    TStatusPairs pairs;
    int sysInfoEvents = 0;
    std::mutex debugLock;
    std::vector<std::string> debug;
};

const std::string Connected = "Vornix Log Service connected";
const std::string Disconnected = "Vornix Log Service disconnected";

} // namespace

TEST_F(SocketReader, LosingAndRegainingTheConnectionGivesOneRowAndEventEach) {
    Start(server.Port());
    ASSERT_TRUE(PumpUntil([&] { return events.size() == 2; }));
    EXPECT_EQ(events, (std::vector<TDataSourceEvent>{dse_Connecting, dse_Connected}));
    ASSERT_TRUE(WaitForClient(1));
    server.Send(FrameOf(Status({{"SYS.APL.1.MAIN.AS", "HOT"}})));
    ASSERT_TRUE(PumpUntil([&] { return ds->GetApplicationState(1).State == as_Hot; }));

    server.DropClient();
    ASSERT_TRUE(PumpUntil([&] { return events.size() == 5; }));
    ASSERT_TRUE(WaitForClient(2));
    server.Send(FrameOf(Status({{"AFTER", "1"}})));
    ASSERT_TRUE(PumpUntil([&] { return PairCount("AFTER") == 1; }));
    PumpFor(200ms);

    EXPECT_EQ(events,
              (std::vector<TDataSourceEvent>{dse_Connecting, dse_Connected, dse_Disconnected,
                                             dse_Connecting, dse_Connected}));
    EXPECT_EQ(RowLines(), (std::vector<std::string>{Connected, Disconnected, Connected}));
    for (int i = 0; i < 3; ++i) {
        const TRow* r = ds->GetRow(i);
        EXPECT_EQ(r->SequenceNumber(), 0);
        EXPECT_EQ(r->Severity(), sev_Info);
        EXPECT_EQ(r->Source(), "Vornix Notify");
        EXPECT_TRUE(r->HasCategory());
        EXPECT_EQ(r->Category(), "LOG");
        EXPECT_FALSE(r->HasApplication());
        EXPECT_FALSE(r->HasTimeDelta());
        EXPECT_GT(r->Timestamp(), 0.0);
    }
    // A new connection starts with no application states.
    EXPECT_TRUE(ds->ApplicationStates().ApplicationStates().empty());
    EXPECT_TRUE(HasDebug("Notify: Socket Connected"));
    EXPECT_TRUE(HasDebug("Notify: Socket Disconnected - Received 0 bytes"));
}

TEST_F(SocketReader, ABadMarkerReconnectsWithAFreshFramingState) {
    Start(server.Port());
    ASSERT_TRUE(WaitForClient(1));
    // A good frame, then the start of one broken by 'A': the good one is still handed over.
    server.Send(FrameOf(Status({{"BEFORE", "1"}})) + "~~A" + FrameOf(Status({{"LOST", "1"}})));
    ASSERT_TRUE(WaitForClient(2));
    server.Send(FrameOf(Status({{"AFTER", "1"}})));
    ASSERT_TRUE(PumpUntil([&] { return PairCount("AFTER") == 1; }));
    EXPECT_EQ(PairCount("BEFORE"), 1u);
    EXPECT_EQ(PairCount("LOST"), 0u);
    EXPECT_EQ(RowLines(), (std::vector<std::string>{Connected, Disconnected, Connected}));
    EXPECT_TRUE(HasDebug("Notify: Socket Disconnected - SockStream exception"));
}

TEST_F(SocketReader, BrokenStreamsAreDroppedAndReopened) {
    feed::NotifyMessage good = Status({{"K", "V"}});
    std::string payload = good.SerializeAsString();
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"huge declared length", std::string("~~~~\xff\xff\xff\x7f", 8) + "xxxx"},
        {"undecodable payload", FrameOf(std::string("\x0b\x01", 2))},
        {"bad end marker", FrameOf(payload).substr(0, 8 + payload.size()) + ">><>"},
    };
    Start(server.Port());
    int n = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WaitForClient(n));
        server.Send(c.bytes);
        ASSERT_TRUE(WaitForClient(++n));
    }
    server.Send(FrameOf(good));
    ASSERT_TRUE(PumpUntil([&] { return PairCount("K") == 1; }));
    EXPECT_EQ(std::count(events.begin(), events.end(), dse_Disconnected), 3);
}

TEST_F(SocketReader, AFrameByteByByteEqualsTheFrameWhole) {
    feed::NotifyMessage m;
    for (int i = 0; i < 20; ++i) {
        auto* u = m.add_status_updates();
        u->set_key("SYS.APL." + std::to_string(i) + ".APP.AS");
        u->mutable_status_update()->set_value(i % 2 ? "WARM" : "HOT");
    }
    Start(server.Port());
    ASSERT_TRUE(WaitForClient(1));
    server.Send(FrameOf(m));
    ASSERT_TRUE(PumpUntil([&] { return pairs.size() == 20; }));
    TStatusPairs whole = pairs;
    pairs.clear();
    server.Send(FrameOf(m), 1);
    ASSERT_TRUE(PumpUntil([&] { return pairs.size() == 20; }));
    EXPECT_EQ(pairs, whole);
    EXPECT_EQ(server.Accepted(), 1);
}

TEST_F(SocketReader, RowsNotAfterTheStartTimeAreDroppedAndTimeDeltasFollowTheStartup) {
    TDateTime before = Now();
    Start(server.Port());
    ASSERT_TRUE(WaitForClient(1));
    TDateTime after = Now();
    const TDateTime second = 1.0 / 86400.0;

    feed::NotifyMessage rows;
    AddRow(rows, IsoLocal(before - second), "old");
    AddRow(rows, IsoLocal(after + second), "new");
    AddRow(rows, "not a time", "unreadable");
    server.Send(FrameOf(rows));
    ASSERT_TRUE(PumpUntil([&] { return ds->GetRowCount() == 2; }));
    PumpFor(100ms);
    EXPECT_EQ(RowLines(), (std::vector<std::string>{Connected, "new"}));
    EXPECT_FALSE(ds->GetRow(1)->HasTimeDelta());
    EXPECT_EQ(ds->GetRow(1)->Severity(), sev_Warning);

    TDateTime t = WholeSecond(after) + 5 * second;
    server.Send(FrameOf(Status({{"SYS.INFO.STARTUP", StartupText(t - 90 * second)}})));
    ASSERT_TRUE(PumpUntil([&] { return sysInfoEvents == 1; }));
    feed::NotifyMessage late;
    AddRow(late, IsoLocal(t), "late");
    server.Send(FrameOf(late));
    ASSERT_TRUE(PumpUntil([&] { return ds->GetRowCount() == 3; }));
    EXPECT_TRUE(ds->GetRow(2)->HasTimeDelta());
    EXPECT_EQ(ds->GetRow(2)->TimeDelta(), "90");

    // A lost connection clears the start-up time but keeps its text.
    server.DropClient();
    ASSERT_TRUE(WaitForClient(2));
    ASSERT_TRUE(PumpUntil([&] { return ds->SysInfo().StartupDateTime == 0.0; }));
    EXPECT_FALSE(ds->SysInfo().StartupTime.empty());
}

TEST_F(SocketReader, NoListenerMeansOneConnectingEventAndNoRows) {
    uint16_t port;
    {
        feedtest::TLoopbackServer gone;
        port = gone.Port();
    }
    Start(port);
    PumpFor(400ms);
    EXPECT_EQ(events, std::vector<TDataSourceEvent>{dse_Connecting});
    EXPECT_EQ(ds->GetRowCount(), 0);
}

TEST_F(SocketReader, AFailingHandlerOnTheMainThreadDoesNotEndTheReader) {
    Start(server.Port());
    ds->OnAplStatesUpdate = [](const TApplicationStates&) { throw Exception("view failed"); };
    ds->AfterAddData = [](int32_t, int32_t) { throw Exception("view failed"); };
    ASSERT_TRUE(WaitForClient(1));
    server.Send(FrameOf(Status({{"SYS.APL.1.MAIN.AS", "HOT"}})));
    ASSERT_TRUE(PumpUntil([&] { return PairCount("SYS.APL.1.MAIN.AS") == 1; }));
    server.Send(FrameOf(Status({{"NEXT", "1"}})));
    ASSERT_TRUE(PumpUntil([&] { return PairCount("NEXT") == 1; }));
    EXPECT_EQ(server.Accepted(), 1);
    EXPECT_TRUE(HasDebug("Notify: Hand-over failed - view failed"));
}

TEST_F(SocketReader, DestructionFinishesWhileTheReaderWaitsInAHandOver) {
    Start(server.Port());
    ASSERT_TRUE(WaitForClient(1));
    server.Send(FrameOf(Status({{"K", "V"}})));
    std::this_thread::sleep_for(300ms); // nobody runs the hand-over meanwhile
    auto t0 = std::chrono::steady_clock::now();
    ds.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);
}

TEST_F(SocketReader, APeerThatClosesAtOnceIsRetriedAtAPacedRate) {
    server.SetCloseOnAccept(true);
    Start(server.Port());
    PumpFor(10s);
    const int accepted = server.Accepted();
    std::printf("reconnect: %d connections in 10 s to a peer that closes at once\n", accepted);
    // 50, 100, 200, ... 2000 ms between attempts: about ten in ten seconds.
    EXPECT_GE(accepted, 5);
    EXPECT_LE(accepted, 20);
    const std::vector<std::string> lines = RowLines();
    const auto connected = std::count(lines.begin(), lines.end(), Connected);
    const auto disconnected = std::count(lines.begin(), lines.end(), Disconnected);
    EXPECT_LE(std::abs(connected - accepted), 1);
    EXPECT_TRUE(disconnected == connected || disconnected == connected - 1)
        << connected << " connected, " << disconnected << " disconnected";
}

TEST_F(SocketReader, AConnectionThatLastedReconnectsAtOnce) {
    server.SetCloseOnAccept(true);
    Start(server.Port());
    // Five short connections: the next pause would be 1600 ms.
    ASSERT_TRUE(PumpUntil([&] { return server.Accepted() >= 5; }, 10s));
    server.SetCloseOnAccept(false);
    ASSERT_TRUE(PumpUntil([&] { return server.WaitForClient(server.Accepted(), 0ms); }, 10s));
    const int lived = server.Accepted();
    PumpFor(1200ms);
    server.DropClient();
    const auto lost = std::chrono::steady_clock::now();
    ASSERT_TRUE(PumpUntil([&] { return server.Accepted() > lived; }, 10s));
    EXPECT_LT(std::chrono::steady_clock::now() - lost, 1000ms);
}

TEST_F(SocketReader, DestructionDuringAReconnectPauseTakesMilliseconds) {
    server.SetCloseOnAccept(true);
    Start(server.Port());
    ASSERT_TRUE(PumpUntil([&] { return server.Accepted() >= 6; }, 10s));
    PumpFor(100ms); // the reader now waits 1600 ms before its next attempt
    auto t0 = std::chrono::steady_clock::now();
    ds.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 500ms);
}

TEST_F(SocketReader, ABatchLargerThanTheRowLimitKeepsOnlyItsNewestRows) {
    Start(server.Port());
    ASSERT_TRUE(WaitForClient(1));
    ASSERT_TRUE(PumpUntil([&] { return ds->GetRowCount() == 1; }));
    feed::NotifyMessage m;
    const std::string stamp = IsoLocal(Now() + 3600.0 / 86400.0);
    for (int i = 0; i < 250; ++i)
        AddRow(m, stamp, "r" + std::to_string(i));
    int added = 0;
    ds->AfterAddData = [&](int32_t from, int32_t to) { added += to - from + 1; };
    server.Send(FrameOf(m));
    ASSERT_TRUE(PumpUntil([&] { return added >= 100; }));
    PumpFor(100ms);
    std::vector<std::string> expected;
    for (int i = 150; i < 250; ++i)
        expected.push_back("r" + std::to_string(i));
    EXPECT_EQ(RowLines(), expected);
    EXPECT_EQ(added, 100);
}
