#include "shell/MessageHistory.h"

#include <gtest/gtest.h>

using namespace cv;

TEST(MessageHistory, KeepsTheNewestThousandNewestFirst) {
    TMessageHistory h;
    const TDateTime t = EncodeDateTime(2024, 5, 1, 12, 0, 3, 0);
    for (int i = 1; i <= 1000; ++i)
        EXPECT_FALSE(h.Add(4, "message " + std::to_string(i), i, t));
    EXPECT_EQ(h.Count(), 1000u);
    EXPECT_TRUE(h.Add(1, "message 1001", 1001, t)) << "the oldest makes room";
    EXPECT_EQ(h.Count(), 1000u);
    EXPECT_EQ(h.At(0).Text, "message 1001");
    EXPECT_EQ(h.At(0).Kind, 1);
    EXPECT_EQ(h.At(999).Text, "message 2");
    h.Clear();
    EXPECT_EQ(h.Count(), 0u);
}

TEST(MessageHistory, CopiesSelectedRowsNewestFirstWithTheWholeText) {
    TMessageHistory h;
    h.Add(1, "Feed: the historian stopped", 0, EncodeDateTime(2024, 5, 1, 9, 5, 7, 0));
    h.Add(2, "Disk almost full\r\nFree space on E:", 12004, EncodeDateTime(2024, 5, 1, 10, 0, 0, 999));
    h.Add(4, "Started", 1000, EncodeDateTime(2024, 5, 1, 11, 30, 0, 0));
    EXPECT_EQ(h.CopyText({2, 1, 2, 7}),
              "2024-05-01 10:00:00\tWarning\t12004\tDisk almost full\r\nFree space on E:\r\n"
              "2024-05-01 09:05:07\tError\t\tFeed: the historian stopped")
        << "in the list's order, repeats and rows past the end ignored, no event number left empty";
    EXPECT_EQ(h.CopyText({}), "");
    const struct {
        uint8_t kind;
        const char* text;
    } kinds[] = {{1, "Error"}, {2, "Warning"}, {3, "Information"}, {4, "Information"}};
    for (const auto& k : kinds)
        EXPECT_EQ(TMessageHistory::SeverityText(k.kind), k.text);
}

TEST(MessageHistory, AnOverlongTextIsCutAtACharacterBoundary) {
    TMessageHistory h;
    // Two-byte characters, so the limit falls inside one.
    std::string text;
    while (text.size() <= TMessageHistory::MaxTextBytes + 10)
        text += "\xC3\xA9";
    text = "x" + text;
    h.Add(4, text, 0, 0);
    const std::string& kept = h.At(0).Text;
    ASSERT_LE(kept.size(), TMessageHistory::MaxTextBytes + 3);
    EXPECT_EQ(kept.substr(kept.size() - 3), "\xE2\x80\xA6");
    const std::string body = kept.substr(0, kept.size() - 3);
    EXPECT_EQ(body.size() % 2, 1u) << "no half character before the mark";
    EXPECT_EQ(text.compare(0, body.size(), body), 0);
}
