#include "notify/ProtocolBuffers.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

using namespace cv;

namespace {

using Bytes = std::vector<uint8_t>;

// Runs `read` and returns the failure's message, or "" when it did not fail.
std::string FailureOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

bool IsAssertion(const std::string& message, const std::string& text) {
    return std::regex_match(
        message,
        std::regex(std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
                   R"( \(ProtocolBuffers, line \d+\))"));
}

struct ReadCase {
    const char* name;
    Bytes bytes;
    std::function<int64_t(TProtocolBufferDecoder&)> read;
    int64_t value;       // expected result when no failure
    const char* failure; // assertion text, or null
    int32_t position;    // position afterwards
};

const std::vector<ReadCase>& ReadCases() {
    static const std::vector<ReadCase> cases = {
        {"tag at end is 0", {}, [](auto& d) { return d.ReadTag(); }, 0, nullptr, 0},
        {"varint32 150",
         {0x96, 0x01},
         [](auto& d) { return d.ReadRawVarint32(); },
         150,
         nullptr,
         2},
        {"varint64 150",
         {0x96, 0x01},
         [](auto& d) { return int64_t(d.ReadRawVarint64()); },
         150,
         nullptr,
         2},
        {"ten-byte -1 as int32",
         {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01},
         [](auto& d) { return d.ReadInt32(); },
         -1,
         nullptr,
         10},
        {"ten-byte -1 as int64",
         {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01},
         [](auto& d) { return d.ReadInt64(); },
         -1,
         nullptr,
         10},
        {"ten-byte -256 as int32",
         {0x80, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01},
         [](auto& d) { return d.ReadInt32(); },
         -256,
         nullptr,
         10},
        {"eleven-byte varint32",
         {},
         [](auto& d) {
             Bytes b(11, 0xFF);
             b[10] = 1;
             d.LoadBytes(b);
             return d.ReadRawVarint32();
         },
         0,
         "TProtocolBufferDecoderException: invalid Varint",
         10},
        {"eleven-byte varint64",
         {},
         [](auto& d) {
             Bytes b(11, 0x80);
             b[10] = 0;
             d.LoadBytes(b);
             return int64_t(d.ReadRawVarint64());
         },
         0,
         "TProtocolBufferDecoderException: invalid Varint",
         10},
        {"varint running into the end",
         {0x80, 0x80},
         [](auto& d) { return d.ReadRawVarint32(); },
         0,
         "TProtocolBufferDecoderException: EOF",
         2},
        {"byte at end",
         {},
         [](auto& d) { return d.ReadRawByte(); },
         0,
         "TProtocolBufferDecoderException: EOF",
         0},
        {"int32 at end",
         {},
         [](auto& d) { return d.ReadInt32(); },
         0,
         "TProtocolBufferDecoderException: EOF",
         0},
        {"sint32 of 1", {0x01}, [](auto& d) { return d.ReadSInt32(); }, -1, nullptr, 1},
        {"sint32 of 2", {0x02}, [](auto& d) { return d.ReadSInt32(); }, 1, nullptr, 1},
        {"sint32 of 3", {0x03}, [](auto& d) { return d.ReadSInt32(); }, -2, nullptr, 1},
        {"sint64 of 3", {0x03}, [](auto& d) { return d.ReadSInt64(); }, -2, nullptr, 1},
        {"fixed32 little-endian",
         {0x78, 0x56, 0x34, 0x12},
         [](auto& d) { return d.ReadFixed32(); },
         0x12345678,
         nullptr,
         4},
        {"sfixed32 -2",
         {0xFE, 0xFF, 0xFF, 0xFF},
         [](auto& d) { return d.ReadSFixed32(); },
         -2,
         nullptr,
         4},
        {"fixed64 little-endian",
         {1, 2, 3, 4, 5, 6, 7, 8},
         [](auto& d) { return int64_t(d.ReadFixed64()); },
         0x0807060504030201,
         nullptr,
         8},
        {"fixed32 short leaves position",
         {1, 2, 3},
         [](auto& d) { return d.ReadFixed32(); },
         0,
         "TProtocolBufferDecoderException: EOF",
         0},
        {"fixed64 short leaves position",
         {1, 2, 3, 4, 5, 6, 7},
         [](auto& d) { return int64_t(d.ReadFixed64()); },
         0,
         "TProtocolBufferDecoderException: EOF",
         0},
        {"boolean", {0x02}, [](auto& d) { return d.ReadBoolean(); }, 1, nullptr, 1},
        {"skip negative size",
         {},
         [](auto& d) {
             d.SkipBytes(-1);
             return 0;
         },
         0,
         "TProtocolBufferDecoderException: negative size",
         0},
        {"skip beyond end",
         {1, 2},
         [](auto& d) {
             d.SkipBytes(3);
             return 0;
         },
         0,
         "TProtocolBufferDecoderException: EOF",
         0},
        {"skip varint field",
         {0xFF, 0xFF, 0x01, 0x07},
         [](auto& d) {
             d.SkipField(0x08);
             return d.ReadRawByte();
         },
         7,
         nullptr,
         4},
        {"skip fixed64 field",
         {1, 2, 3, 4, 5, 6, 7, 8, 9},
         [](auto& d) {
             d.SkipField(0x09);
             return d.ReadRawByte();
         },
         9,
         nullptr,
         9},
        {"skip length-delimited field",
         {0x02, 'a', 'b', 9},
         [](auto& d) {
             d.SkipField(0x0A);
             return d.ReadRawByte();
         },
         9,
         nullptr,
         4},
        {"skip fixed32 field",
         {1, 2, 3, 4, 9},
         [](auto& d) {
             d.SkipField(0x0D);
             return d.ReadRawByte();
         },
         9,
         nullptr,
         5},
        {"skip length past the end",
         {0x05, 'a'},
         [](auto& d) {
             d.SkipField(0x0A);
             return 0;
         },
         0,
         "TProtocolBufferDecoderException: EOF",
         1},
        {"skip negative length",
         {0xFF, 0xFF, 0xFF, 0xFF, 0x0F},
         [](auto& d) {
             d.SkipField(0x0A);
             return 0;
         },
         0,
         "TProtocolBufferDecoderException: negative size",
         5},
    };
    return cases;
}

} // namespace

TEST(ProtocolBufferDecoder, ReadsFollowTheWireEncoding) {
    for (const auto& c : ReadCases()) {
        SCOPED_TRACE(c.name);
        TProtocolBufferDecoder d;
        d.LoadBytes(c.bytes);
        int64_t value = 0;
        std::string failure = FailureOf([&] { value = c.read(d); });
        if (c.failure) {
            EXPECT_TRUE(IsAssertion(failure, c.failure)) << failure;
        } else {
            EXPECT_EQ(failure, "");
            EXPECT_EQ(value, c.value);
        }
        EXPECT_EQ(d.GetPosition(), c.position);
    }
}

TEST(ProtocolBufferDecoder, GroupAndUndefinedWireTypesFailWithThePlainText) {
    for (uint32_t wire : {3u, 4u, 6u, 7u}) {
        TProtocolBufferDecoder d;
        d.LoadBytes(Bytes{1, 2, 3});
        EXPECT_EQ(FailureOf([&] { d.SkipField((5u << 3) | wire); }),
                  "InvalidProtocolBufferException.invalidWireType");
    }
}

TEST(ProtocolBufferDecoder, Strings) {
    TProtocolBufferDecoder d;
    d.LoadBytes(Bytes{0x00, 0x03, 'a', 'b', 'c', 0x02, 0xC3, 0xA9});
    EXPECT_EQ(d.ReadString(), "");
    EXPECT_EQ(d.GetPosition(), 1);
    EXPECT_EQ(d.ReadString(), "abc");
    EXPECT_EQ(d.ReadString(), "\xC3\xA9"); // UTF-8 stays UTF-8
    EXPECT_EQ(d.ReadTag(), 0u);

    // A negative length reads as empty and consumes only the length.
    d.LoadBytes(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 'x'});
    EXPECT_EQ(d.ReadString(), "");
    EXPECT_EQ(d.GetPosition(), 5);

    // A length past the end fails after the length, with nothing of the text consumed.
    d.LoadBytes(Bytes{0x03, 'a', 'b'});
    EXPECT_TRUE(
        IsAssertion(FailureOf([&] { d.ReadString(); }), "TProtocolBufferDecoderException: EOF"));
    EXPECT_EQ(d.GetPosition(), 1);
}

TEST(ProtocolBufferDecoder, FloatsAndDoubles) {
    TProtocolBufferDecoder d;
    d.LoadBytes(Bytes{0x00, 0x00, 0xC0, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0xC0});
    EXPECT_EQ(d.ReadFloat(), 1.5f);
    EXPECT_EQ(d.ReadDouble(), -2.5);
}

TEST(ProtocolBufferDecoder, LoadBytesCopiesAndRestarts) {
    TProtocolBufferDecoder d;
    d.LoadBytes(Bytes{});
    EXPECT_EQ(d.GetLength(), 0);
    EXPECT_EQ(d.ReadTag(), 0u);

    Bytes b{0x80};
    d.LoadBytes(b);
    EXPECT_FALSE(FailureOf([&] { d.ReadRawVarint32(); }).empty());
    b[0] = 0x05; // the decoder holds its own copy
    d.LoadBytes(Bytes{0x2A});
    EXPECT_EQ(d.GetPosition(), 0);
    EXPECT_EQ(d.ReadInt32(), 42);
}

TEST(ProtocolBufferDecoder, TagParts) {
    EXPECT_EQ(GetTagWireType(0x322), 2u);
    EXPECT_EQ(GetTagFieldNumber(0x322), 100u);
    EXPECT_EQ(GetTagFieldNumber(0xFFFFFFFFu), 0x1FFFFFFFu); // logical shift
}
