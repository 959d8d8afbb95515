// The event log calls on this Windows. Wine does not implement EvtSubscribe (it fails) nor
// EvtOpenPublisherMetadata (a stub that ends the program): there the subscription fails and
// the listener stays silent, which is the path a failed subscription takes on Windows too.
#include "platform/win32/Win32EventLog.h"
#include "platform/win32/Win32Text.h"

#include <gtest/gtest.h>

#include <atomic>

#ifdef CV_WITH_EVENTLOG
#include "eventlog/WinEvtListenerCustom.h"
#endif

#include "Win32TestSupport.h"

using namespace cv;

namespace {

bool RunningUnderWine() {
    return win32::LookupProc<const char* (*)()>(L"ntdll.dll", "wine_get_version") != nullptr;
}

} // namespace

TEST(EventLogWin32, TheApplicationChannelSubscribesOnWindowsAndFailsUnderWine) {
    TWin32EventLog log;
    std::atomic<int> calls{0};
    auto subscription = log.Subscribe("Application", "*", EVT_SUBSCRIBE_TO_FUTURE_EVENTS,
                                      [&](TEvtSubscribeAction, IEventRecord*, uint32_t) { ++calls; });
    if (RunningUnderWine()) {
        EXPECT_FALSE(subscription) << "Wine now implements EvtSubscribe: extend these tests";
        EXPECT_EQ(calls.load(), 0);
    } else {
        EXPECT_TRUE(subscription);
    }
    subscription.reset(); // closes; no callback runs after this
    const int afterClose = calls.load();
    EXPECT_EQ(calls.load(), afterClose);
    EXPECT_FALSE(log.Subscribe("VornixTest No Such Channel", "*", EVT_SUBSCRIBE_TO_FUTURE_EVENTS,
                               [](TEvtSubscribeAction, IEventRecord*, uint32_t) {}));
}

TEST(EventLogWin32, AProviderWithoutRegisteredMessagesHasNoMetadata) {
    if (RunningUnderWine())
        GTEST_SKIP() << "Wine's EvtOpenPublisherMetadata is a stub that ends the program; without "
                        "a subscription the listener never reaches it there";
    TWin32EventLog log;
    EXPECT_FALSE(log.OpenPublisherMetadata(cvtest::UniqueName("Provider")));
}

#ifdef CV_WITH_EVENTLOG
namespace {
class TCountingWindow : public ILogEntryWindow {
public:
    void PostLogEntry(uint32_t, std::unique_ptr<TSYSLogEntry>) override { ++Posted; }
    std::atomic<int> Posted{0};
};
} // namespace

TEST(EventLogWin32, TheListenerStartsAndStopsOnTheRealEventLog) {
    TCountingWindow window;
    TWinEvtListener listener(std::make_shared<TWin32EventLog>());
    EXPECT_NO_THROW(listener.StartListening(&window));
    EXPECT_EQ(listener.Subscribed(), !RunningUnderWine());
    listener.StopListening();
    EXPECT_FALSE(listener.Subscribed());
    EXPECT_EQ(window.Posted.load(), 0) << "no Corvane provider is registered here";
}
#endif
