#include "notify/SocketDataSource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace cv;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Frame(const Bytes& payload, int32_t declared) {
    Bytes f{'~', '~', '~', '~'};
    for (int i = 0; i < 4; ++i)
        f.push_back(static_cast<uint8_t>(static_cast<uint32_t>(declared) >> (8 * i)));
    f.insert(f.end(), payload.begin(), payload.end());
    f.insert(f.end(), {'>', '>', '>', '>'});
    return f;
}
Bytes Frame(const Bytes& payload) {
    return Frame(payload, static_cast<int32_t>(payload.size()));
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Feeds `stream` in pieces of `piece` bytes and collects the payloads.
std::vector<Bytes> Payloads(TFrameReader& r, const Bytes& stream, size_t piece) {
    std::vector<Bytes> out;
    for (size_t i = 0; i < stream.size(); i += piece) {
        size_t n = std::min(piece, stream.size() - i);
        r.Process(stream.data() + i, n, [&](const Bytes& p) { out.push_back(p); });
    }
    return out;
}

std::string FailureOf(TFrameReader& r, const Bytes& stream) {
    try {
        Payloads(r, stream, stream.size());
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(FrameReader, PiecesOfAnySizeGiveTheSamePayloadsInOrder) {
    const Bytes a{1, 2, 3, 4, 5};
    const Bytes b(2500, 0xAB);
    const Bytes stream = Frame(a) + Frame(b) + Frame({}) + Frame({9});
    for (size_t piece : {size_t(1), size_t(3), size_t(7), size_t(1000), stream.size()}) {
        SCOPED_TRACE(piece);
        TFrameReader r;
        auto got = Payloads(r, stream, piece);
        ASSERT_EQ(got.size(), 3u);
        EXPECT_EQ(got[0], a);
        EXPECT_EQ(got[1], b);
        EXPECT_EQ(got[2], Bytes{9});
    }
}

TEST(FrameReader, EmptyAndNegativeLengthFramesCarryNoPayloadAndKeepTheStreamInStep) {
    // 7E 7E 7E 7E 00 00 00 00 3E 3E 3E 3E is a whole frame with nothing to decode.
    TFrameReader r;
    EXPECT_TRUE(Payloads(r, Frame({}), 1).empty());
    EXPECT_TRUE(Payloads(r, Frame({}, -5), 1).empty());
    EXPECT_EQ(Payloads(r, Frame({7}), 1), std::vector<Bytes>{Bytes{7}});
}

TEST(FrameReader, BrokenStreamsFail) {
    struct Case {
        const char* name;
        Bytes stream;
        const char* prefix;
    } cases[] = {
        {"first byte not a marker", Bytes{0x41} + Frame({1}),
         "Assertion failure (SocketDataSource, line "},
        {"short begin marker", Bytes{'~', '~', '~', 'x'},
         "Assertion failure (SocketDataSource, line "},
        {"bad end marker", Bytes{'~', '~', '~', '~', 1, 0, 0, 0, 5, '>', '>', '<'},
         "Assertion failure (SocketDataSource, line "},
        {"length beyond the bound", Frame({}, TFrameReader::MaxPayloadLength + 1),
         "Frame length out of range"},
        {"huge length", Frame({}, 0x7FFFFFFF), "Frame length out of range"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFrameReader r;
        EXPECT_EQ(FailureOf(r, c.stream).rfind(c.prefix, 0), 0u);
    }
}

TEST(FrameReader, InitializeStartsAFreshFrame) {
    TFrameReader r;
    Bytes half = Frame({1, 2, 3});
    half.resize(9);
    EXPECT_TRUE(Payloads(r, half, half.size()).empty());
    r.Initialize();
    EXPECT_EQ(Payloads(r, Frame({4}), 2), std::vector<Bytes>{Bytes{4}});
}

TEST(FrameReader, ADeclaredLengthIsNotAllocatedBeforeTheBytesArrive) {
    TFrameReader r;
    Bytes head = Frame({}, TFrameReader::MaxPayloadLength);
    head.resize(8);
    Payloads(r, head + Bytes{1}, 9);
    EXPECT_LE(r.Payload().capacity(), size_t(64 * 1024));
}
