#include "notify/SocketDataSource.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace cv;

namespace {

// The local date-time of a UTC moment, at the offset in force now.
TDateTime LocalOf(int y, int mo, int d, int h, int mi, int s, int ms) {
    return EncodeDateTime(y, mo, d, h, mi, s, ms) + CurrentUtcOffsetMinutes() / 1440.0;
}

bool SameInstant(TDateTime a, TDateTime b) {
    return std::fabs(a - b) * MSecsPerDay < 0.5;
}

} // namespace

TEST(ParseTimestamp, AcceptedForms) {
    struct Case {
        const char* text;
        TDateTime expected;
    } cases[] = {
        {"2024-03-01T08:15:30Z", LocalOf(2024, 3, 1, 8, 15, 30, 0)},
        {"2024-03-01T08:15:30.250Z", LocalOf(2024, 3, 1, 8, 15, 30, 250)},
        {"2024-03-01T09:15:30.250+01:00", LocalOf(2024, 3, 1, 8, 15, 30, 250)},
        {"2024-03-01T03:45:30.250-04:30", LocalOf(2024, 3, 1, 8, 15, 30, 250)},
        {"2024-03-01T08:15:30+00:00", LocalOf(2024, 3, 1, 8, 15, 30, 0)},
        {"2024-03-01T08:15:30.5Z", LocalOf(2024, 3, 1, 8, 15, 30, 5)}, // read as a count of ms
        {"2024-03-01T08:15:30Zjunk", LocalOf(2024, 3, 1, 8, 15, 30, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string_view t = c.text;
        EXPECT_TRUE(SameInstant(ParseTimestamp(t, 1, static_cast<int>(t.size())), c.expected));
    }
}

TEST(ParseTimestamp, RejectedFormsGiveZero) {
    for (const char* text : {
             "2024-03-01T08:15:30.2500Z", // four fraction digits
             "2024-03-01T08:15:30+0100",  // zone without colon
             "2024-03-01 08:15:30Z",      // space instead of T
             "2024-03-01T08:15:30",       // no zone
             "2024-03-01T08:15:30.250",   // fraction without zone
             "2024-13-01T08:15:30Z",      // month
             "2024-03-01T24:15:30Z",      // hour
             "2024-03-01T08:15:30+25:00", // zone hours
             "2024-03-01T08:15:30+01:00x",
             "2024-03-01T08:1x:30Z",
             "0000-03-01T08:15:30Z",
             "2024-03-01T08:15:30.Z",
             "2024-02-30T08:15:30Z", // passes the range checks but is no real date
             "2024-03-01T08:15:60Z", // a leap second
             "",
             "Z",
         }) {
        SCOPED_TRACE(text);
        std::string_view t = text;
        EXPECT_EQ(ParseTimestamp(t, 1, static_cast<int>(t.size())), 0.0);
    }
}

TEST(ParseTimestamp, ReadsTheGivenSpanOnly) {
    std::string t = "xx2024-03-01T08:15:30Zyy";
    EXPECT_TRUE(SameInstant(ParseTimestamp(t, 3, 20), LocalOf(2024, 3, 1, 8, 15, 30, 0)));
    EXPECT_EQ(ParseTimestamp(t, 3, 19), 0.0);
    std::string zone = "2024-03-01T09:15:30+01:00";
    EXPECT_TRUE(SameInstant(ParseTimestamp(zone, 1, 1000), LocalOf(2024, 3, 1, 8, 15, 30, 0)));
    EXPECT_EQ(ParseTimestamp(zone, 1, 24), 0.0); // the zone cut short
}

TEST(ParseDigits, Table) {
    struct Case {
        const char* text;
        int start, count, expected;
    } cases[] = {
        {"2024", 1, 4, 2024}, {"  42 ", 1, 5, 42}, {"x12y", 2, 2, 12},         {"12", 2, 5, 2},
        {"1 2", 1, 3, -1},    {"", 1, 2, -1},      {"   ", 1, 3, -1},          {"-5", 1, 2, -1},
        {"12", 3, 1, -1},     {"12", 1, 0, -1},    {"99999999999", 1, 11, -1}, {"007", 1, 3, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseDigits(c.text, c.start, c.count, -1), c.expected);
    }
}
