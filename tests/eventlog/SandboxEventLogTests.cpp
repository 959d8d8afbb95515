// The sandbox's event log under the listener: events written by other threads (and processes
// going through the same files) reach the window in order, none lost, none from before.
#include "eventlog/WinEvtListenerCustom.h"
#include "platform/sandbox/SandboxEventLog.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

using namespace cv;
using cvtest::TTempFolder;

namespace {

// The window as the listener sees it: entries arrive on the watcher's thread.
class TCollectingWindow : public ILogEntryWindow {
public:
    struct TEntry {
        uint32_t EventId;
        std::string Text;
        uint8_t Severity;
    };
    void PostLogEntry(uint32_t eventId, std::unique_ptr<TSYSLogEntry> entry) override {
        std::lock_guard<std::mutex> lock(FMutex);
        FEntries.push_back({eventId, entry->MessageText(), entry->Severity()});
        FChanged.notify_all();
    }
    // Waits for at least `count` entries with a generous bound.
    bool WaitFor(size_t count, std::chrono::seconds bound = std::chrono::seconds(30)) {
        std::unique_lock<std::mutex> lock(FMutex);
        return FChanged.wait_for(lock, bound, [&] { return FEntries.size() >= count; });
    }
    std::vector<TEntry> Entries() {
        std::lock_guard<std::mutex> lock(FMutex);
        return FEntries;
    }

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<TEntry> FEntries;
};

class SandboxEventLog : public ::testing::Test {
protected:
    void SetUp() override {
        TSandboxEventLog::RegisterPublisher(Dir(), "Corvane", {{0, 65535, "%1"}});
        FLog = std::make_shared<TSandboxEventLog>(Dir());
    }
    const std::string& Dir() const { return FFolder.Dir(); }
    uint64_t Write(const std::string& provider, int64_t level, int64_t id, const std::string& text) {
        return TSandboxEventLog::WriteEvent(Dir(), "Application", {provider, id, level, {text}});
    }

    TTempFolder FFolder;
    std::shared_ptr<TSandboxEventLog> FLog;
};

} // namespace

TEST_F(SandboxEventLog, OnlyEventsWrittenAfterTheSubscriptionAreDelivered) {
    Write("Corvane", 2, 12001, "written before");
    TCollectingWindow window;
    TWinEvtListener listener(FLog);
    listener.StartListening(&window);
    ASSERT_TRUE(listener.Subscribed());
    Write("Vekta Licensing", 2, 1, "another provider");
    Write("Corvane", 3, 12002, "first line\r\nsecond line");
    ASSERT_TRUE(window.WaitFor(1));
    const auto entries = window.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].EventId, 12002u);
    EXPECT_EQ(entries[0].Text, "first line\r\nsecond line") << "line ends survive the XML";
    EXPECT_EQ(entries[0].Severity, 2);
}

TEST_F(SandboxEventLog, ProvidersWithoutMessagesFailToFormatAndNamesIgnoreCase) {
    EXPECT_TRUE(FLog->OpenPublisherMetadata("Corvane"));
    EXPECT_TRUE(FLog->OpenPublisherMetadata("CORVANE")) << "provider names ignore letter case";
    EXPECT_FALSE(FLog->OpenPublisherMetadata("Unregistered"));
    EXPECT_FALSE(FLog->OpenPublisherMetadata("../Publishers/Corvane"));

    // Delivered and formatted, but only the exact provider name is posted.
    TCollectingWindow window;
    TWinEvtListener listener(FLog);
    listener.StartListening(&window);
    Write("corvane", 2, 1, "other letter case");
    Write("Unregistered", 2, 1, "no messages");
    TSandboxEventLog::AppendEventXml(Dir(), "Application", [](uint64_t) { return "<Event>"; });
    Write("Corvane", 4, 99, "marker");
    ASSERT_TRUE(window.WaitFor(1));
    const auto entries = window.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Text, "marker");
}

TEST(SandboxEventText, MessagesExpandTheirInserts) {
    const std::vector<TSandboxMessage> table = {
        {1000, 1000, "Disk %1 is %2%% full.%nCall %3."},
        {2000, 2999, "%1"},
        {3000, 3000, "Value %12 %x"},
    };
    auto event = [](int64_t id, std::vector<std::string> data) {
        return TSandboxEventLog::RenderEventXml({"Corvane", id, 2, std::move(data)}, 1,
                                                "Application");
    };
    const struct {
        std::string xml;
        uint32_t result;
        const char* text;
    } cases[] = {
        {event(1000, {"C:", "95", "the operator"}), 0, "Disk C: is 95% full.\r\nCall the operator."},
        {event(1000, {"C:"}), ERROR_EVT_UNRESOLVED_VALUE_INSERT_CODE, "Disk C: is %2% full.\r\nCall %3."},
        {event(2500, {"a <b> & \"c\""}), 0, "a <b> & \"c\""},
        {event(3000, {}), ERROR_EVT_UNRESOLVED_VALUE_INSERT_CODE, "Value %12 %x"},
        {event(999, {"x"}), ERROR_EVT_MESSAGE_NOT_FOUND_CODE, ""},
        {"<Event", ERROR_INVALID_DATA_CODE, ""},
    };
    for (const auto& c : cases) {
        std::string text;
        EXPECT_EQ(TSandboxEventLog::FormatEventText(c.xml, table, text), c.result) << c.xml;
        EXPECT_EQ(text, c.text) << c.xml;
    }
}

TEST_F(SandboxEventLog, ABurstFromSeveralWritersArrivesInOrderNoneLost) {
    TCollectingWindow window;
    TWinEvtListener listener(FLog);
    listener.StartListening(&window);
    constexpr int Writers = 4, PerWriter = 250;
    std::vector<std::thread> writers;
    for (int w = 0; w < Writers; ++w)
        writers.emplace_back([&, w] {
            for (int i = 0; i < PerWriter; ++i)
                Write("Corvane", 4, w * 1000 + i, std::to_string(w) + ":" + std::to_string(i));
        });
    for (auto& t : writers)
        t.join();
    ASSERT_TRUE(window.WaitFor(Writers * PerWriter));
    const auto entries = window.Entries();
    ASSERT_EQ(entries.size(), size_t(Writers * PerWriter));
    // Each writer's events in the order it wrote them, and every event once.
    std::vector<int> next(Writers, 0);
    for (const auto& e : entries) {
        const int w = static_cast<int>(e.EventId / 1000), i = static_cast<int>(e.EventId % 1000);
        ASSERT_LT(w, Writers);
        EXPECT_EQ(i, next[size_t(w)]) << "writer " << w;
        next[size_t(w)] = i + 1;
    }
    EXPECT_EQ(TSandboxEventLog::LastRecordId(Dir(), "Application"), uint64_t(Writers * PerWriter));
}

TEST_F(SandboxEventLog, StoppingWhileEventsKeepArrivingEndsCleanly) {
    for (int round = 0; round < 5; ++round) {
        TCollectingWindow window;
        std::atomic<bool> writing{true};
        std::atomic<int> written{0};
        std::thread writer([&] {
            while (writing.load()) {
                Write("Corvane", 2, 12000 + written.load(), "keeps coming");
                ++written;
            }
        });
        {
            TWinEvtListener listener(FLog);
            listener.StartListening(&window);
            ASSERT_TRUE(window.WaitFor(3));
            listener.StopListening();
            const size_t atStop = window.Entries().size();
            // The writer goes on; nothing reaches the window any more.
            const int target = written.load() + 20;
            while (written.load() < target)
                std::this_thread::yield();
            EXPECT_EQ(window.Entries().size(), atStop) << "round " << round;
            EXPECT_FALSE(listener.Subscribed());
        } // freed while the writer still writes
        writing = false;
        writer.join();
        const auto entries = window.Entries();
        for (size_t i = 1; i < entries.size(); ++i)
            EXPECT_EQ(entries[i].EventId, entries[i - 1].EventId + 1) << "in order, none skipped";
    }
}

TEST_F(SandboxEventLog, ADamagedSequenceFollowsTheFilesAndUnemulatedRequestsAreRefused) {
    // A writer from an older sandbox, or a hand-edited file: the next number follows the files.
    std::filesystem::create_directories(Dir() + "/eventlog/Application");
    std::ofstream(Dir() + "/eventlog/Application/00000000000000000041.xml") << "<Event/>";
    std::ofstream(Dir() + "/eventlog/Application/.sequence") << "garbage";
    EXPECT_EQ(Write("Corvane", 4, 1, "after the damage"), 42u);
    EXPECT_EQ(TSandboxEventLog::LastRecordId(Dir(), "Application"), 42u);
    EXPECT_FALSE(FLog->Subscribe("Application", "*[System/Level=2]", 1, [](auto, auto, auto) {}))
        << "queries other than \"*\" are not emulated";
    EXPECT_FALSE(FLog->Subscribe("../x", "*", 1, [](auto, auto, auto) {}));
}
