#include "core/Assert.h"
#include "core/DateTime.h"
#include "core/MainThread.h"
#include "core/Text.h"
#include "core/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

using namespace cv;

TEST(Assertion, MessageNamesTextUnitAndLine) {
    try {
        CV_ASSERT(1 + 1 == 3, "Assertion failure");
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        std::string expected =
            "Assertion failure (CoreTests, line " + std::to_string(__LINE__ - 4) + ")";
        EXPECT_EQ(e.what(), expected);
    }
    EXPECT_EQ(AssertionMessage("EOF", "C:\\src\\Notify\\ProtocolBuffers.pas", 7),
              "EOF (ProtocolBuffers, line 7)");
}

TEST(DateTime, DayCountsFollowTheConvention) {
    struct {
        int y, m, d, h, n, s, ms;
        double expected;
    } cases[] = {
        {1899, 12, 30, 0, 0, 0, 0, 0.0},   {1900, 1, 1, 0, 0, 0, 0, 2.0},
        {2024, 3, 1, 12, 0, 0, 0, 45352.5}, {1899, 12, 29, 6, 0, 0, 0, -1.25},
        {2000, 2, 29, 0, 0, 0, 0, 36585.0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.expected);
        double dt = EncodeDateTime(c.y, c.m, c.d, c.h, c.n, c.s, c.ms);
        EXPECT_NEAR(dt, c.expected, 1e-9);
        int y, m, d, h, n, s, ms;
        DecodeDateTime(dt, y, m, d, h, n, s, ms);
        EXPECT_EQ(std::make_tuple(y, m, d, h, n, s, ms),
                  std::make_tuple(c.y, c.m, c.d, c.h, c.n, c.s, c.ms));
    }
}

TEST(DateTime, FieldsThatNameNoRealMomentAreRejected) {
    TDateTime out;
    EXPECT_FALSE(TryEncodeDateTime(2024, 2, 30, 0, 0, 0, 0, out));
    EXPECT_FALSE(TryEncodeDateTime(2023, 2, 29, 0, 0, 0, 0, out));
    EXPECT_FALSE(TryEncodeDateTime(2024, 3, 1, 8, 15, 60, 0, out));
    EXPECT_FALSE(TryEncodeDateTime(0, 1, 1, 0, 0, 0, 0, out));
    EXPECT_THROW(EncodeDateTime(2024, 13, 1, 0, 0, 0, 0), EConvertError);
    EXPECT_EQ(SecondsBetween(EncodeDateTime(2024, 3, 1, 8, 0, 0, 0),
                             EncodeDateTime(2024, 3, 1, 8, 1, 30, 0)),
              90);
}

TEST(Text, TrimCaseAndNumbers) {
    EXPECT_EQ(Trim(" \t\r\nabc \x01"), "abc");
    EXPECT_EQ(UpperCase("Main.äs"), "MAIN.äS");
    EXPECT_TRUE(SameText("Corvane", "CORVANE"));
    EXPECT_EQ(ReplaceAllText("C:\\Prog\\X\\a.exe", "\\", ""), "C:ProgXa.exe");
    EXPECT_EQ(SplitAny("a\r\nb", "\r\n"), (std::vector<std::string>{"a", "", "b"}));
    int32_t v = 0;
    EXPECT_TRUE(TryStrToInt("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    for (const char* bad : {"", "+", "2147483648", " 1", "1 ", "0x10", "12a"})
        EXPECT_FALSE(TryStrToInt(bad, v)) << bad;
}

TEST(Text, AnsiRoundTripAndReplacement) {
    const std::string utf8 = "caf\xC3\xA9 \xE2\x82\xAC 5";
    EXPECT_EQ(Utf8ToAnsi(utf8), "caf\xE9 \x80 5");
    EXPECT_EQ(AnsiToUtf8("caf\xE9 \x80 5"), utf8);
    EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD"), "?");
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("x\xF0\x9F\x98\x80y")), "x\xF0\x9F\x98\x80y");
}

TEST(HandOver, SynchronizeRunsOnMainThreadAndCarriesExceptions) {
    SetMainThread();
    std::atomic<int> stage{0};
    std::thread::id ranOn;
    std::thread worker([&] {
        Synchronize([&] { ranOn = std::this_thread::get_id(); });
        stage = 1;
        try {
            Synchronize([] { throw Exception("boom"); });
        } catch (const Exception& e) {
            if (std::string(e.what()) == "boom")
                stage = 2;
        }
    });
    while (stage.load() < 2)
        CheckSynchronize(std::chrono::milliseconds(10));
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(HandOver, QueuedCallsRunInOrderWhenPumped) {
    SetMainThread();
    std::vector<int> order;
    std::thread worker([&] {
        for (int i = 0; i < 5; ++i)
            Queue([&order, i] { order.push_back(i); });
    });
    worker.join();
    EXPECT_TRUE(order.empty());
    EXPECT_TRUE(CheckSynchronize());
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_FALSE(CheckSynchronize());
}

namespace {
class TBlockingWorker : public TThread {
public:
    TBlockingWorker() { Start(); }
    ~TBlockingWorker() override {
        Terminate();
        WaitForWhileSynchronizing();
    }
    std::atomic<int> Calls{0};

protected:
    void Execute() override {
        while (!Terminated()) {
            Synchronize([this] { ++Calls; });
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
};
} // namespace

TEST(HandOver, DestroyingAWorkerBlockedInSynchronizeDoesNotDeadlock) {
    SetMainThread();
    auto w = std::make_unique<TBlockingWorker>();
    while (w->Calls.load() < 3)
        CheckSynchronize(std::chrono::milliseconds(10));
    w.reset(); // the worker sits in Synchronize; destruction must still finish
    SUCCEED();
}
