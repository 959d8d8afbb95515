// Payloads encoded by libprotobuf from the feed's .proto, decoded by the program's classes.
#include "notify/NotifyProto.h"

#include "feed_test.pb.h"
#include "notify.pb.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace cv;
namespace feed = corvane::feed;

namespace {

TNotifyMessage Decode(TProtocolBufferDecoder& d, const std::string& payload) {
    d.LoadBytes(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
    return TNotifyMessage(d, static_cast<int32_t>(payload.size()));
}

template <class M> std::string Bytes(const M& m) {
    return m.SerializeAsString();
}

std::string ExtrasBytes() {
    corvane::feedtest::Extras e;
    e.set_varint_field(0xFFFFFFFFFFFFull);
    e.set_fixed64_field(1);
    e.set_bytes_field(std::string(300, 'x'));
    e.set_fixed32_field(2);
    return Bytes(e);
}

std::string FailureOf(const std::string& payload) {
    TProtocolBufferDecoder d;
    try {
        Decode(d, payload);
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(NotifyMessage, DecodesEveryFieldAsEncoded) {
    feed::NotifyMessage m;
    auto* r = m.add_log_rows();
    r->set_sequence_number(1234567890123);
    r->set_sender_ip("10.0.0.7");
    auto* l = r->mutable_log_row();
    l->set_timestamp("2024-03-01T08:15:30.250+01:00");
    l->add_messages("first line");
    l->add_messages("");
    l->add_messages("third \xE2\x82\xAC");
    l->set_severity(1);
    l->set_source("Kernel");
    l->set_category("SYS");
    l->set_sys_application_number(-5);
    auto* r2 = m.add_log_rows();
    r2->mutable_log_row()->set_severity(260); // held in 8 bits
    for (int i = 0; i < 3; ++i) {
        auto* u = m.add_status_updates();
        u->set_key("SYS.APL." + std::to_string(i) + ".MAIN.AS");
        u->mutable_status_update()->set_value(i ? "HOT" : "");
    }

    TProtocolBufferDecoder d;
    TNotifyMessage n = Decode(d, Bytes(m));
    ASSERT_EQ(n.LogRowsCount(), 2);
    const TNotifyLogRow& a = n.GetLogRows(0);
    EXPECT_EQ(a.SequenceNumber(), 1234567890123);
    EXPECT_EQ(a.SenderIP(), "10.0.0.7");
    ASSERT_NE(a.LogRow(), nullptr);
    const TLogRow& row = *a.LogRow();
    EXPECT_EQ(row.Timestamp(), "2024-03-01T08:15:30.250+01:00");
    EXPECT_EQ(row.Messages(), (std::vector<std::string>{"first line", "", "third \xE2\x82\xAC"}));
    EXPECT_EQ(row.Severity(), sev_Fatal);
    EXPECT_EQ(row.Source(), "Kernel");
    EXPECT_TRUE(row.HasCategory());
    EXPECT_EQ(row.Category(), "SYS");
    EXPECT_TRUE(row.HasSysApplicationNumber());
    EXPECT_EQ(row.SysApplicationNumber(), -5);
    EXPECT_FALSE(row.HasUsername());
    EXPECT_FALSE(row.HasTimeDelta());
    EXPECT_EQ(row.TimeDelta(), "");

    const TLogRow& second = *n.GetLogRows(1).LogRow();
    EXPECT_EQ(second.Severity(), TSeverity(4));
    EXPECT_EQ(second.MessagesCount(), 0);
    EXPECT_FALSE(second.HasCategory());
    EXPECT_FALSE(second.HasSysApplicationNumber());
    EXPECT_EQ(n.GetLogRows(1).SequenceNumber(), 0);

    ASSERT_EQ(n.StatusUpdatesCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(n.GetStatusUpdates(i).Key(), "SYS.APL." + std::to_string(i) + ".MAIN.AS");
        ASSERT_NE(n.GetStatusUpdates(i).StatusUpdate(), nullptr);
        EXPECT_EQ(n.GetStatusUpdates(i).StatusUpdate()->Value(), i ? "HOT" : "");
    }
    EXPECT_EQ(d.GetPosition(), d.GetLength());
}

TEST(NotifyMessage, EmptyBodyReadsNothing) {
    TProtocolBufferDecoder d;
    d.LoadBytes(std::vector<uint8_t>{0x08});
    TNotifyMessage n(d, 0);
    EXPECT_EQ(n.LogRowsCount(), 0);
    EXPECT_EQ(n.StatusUpdatesCount(), 0);
    EXPECT_EQ(d.GetPosition(), 0);
}

// Concatenated encodings merge, so unknown fields land between repeated fields at every level.
TEST(NotifyMessage, UnknownFieldsOfEveryWireTypeAreSkippedWherever) {
    const std::string extras = ExtrasBytes();
    std::string logRow;
    for (const char* line : {"a", "b", "c"}) {
        feed::LogRow l;
        l.add_messages(line);
        logRow += Bytes(l) + extras;
    }
    feed::LogRow tail;
    tail.set_source("S");
    logRow += Bytes(tail);

    feed::NotifyMessage m;
    std::string envelope;
    {
        feed::NotifyLogRow r;
        r.set_sequence_number(7);
        envelope = extras + Bytes(r) + extras;
    }
    // Length-delimited embedding by hand: field 3 of the envelope, wire type 2.
    auto embed = [](int field, const std::string& body) {
        std::string out(1, static_cast<char>(field << 3 | 2));
        size_t n = body.size();
        do {
            uint8_t b = n & 0x7F;
            n >>= 7;
            out += static_cast<char>(n ? b | 0x80 : b);
        } while (n);
        return out + body;
    };
    envelope += embed(3, logRow) + extras;

    feed::NotifyStatusUpdate u;
    u.set_key("K");
    u.mutable_status_update()->set_value("V");
    std::string payload = extras + embed(1, envelope) + extras + Bytes([&] {
                              feed::NotifyMessage x;
                              *x.add_status_updates() = u;
                              return x;
                          }()) +
                          extras + embed(1, envelope) + extras;

    TProtocolBufferDecoder d;
    TNotifyMessage n = Decode(d, payload);
    ASSERT_EQ(n.LogRowsCount(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(n.GetLogRows(i).SequenceNumber(), 7);
        ASSERT_NE(n.GetLogRows(i).LogRow(), nullptr);
        EXPECT_EQ(n.GetLogRows(i).LogRow()->Messages(), (std::vector<std::string>{"a", "b", "c"}));
        EXPECT_EQ(n.GetLogRows(i).LogRow()->Source(), "S");
    }
    ASSERT_EQ(n.StatusUpdatesCount(), 1);
    EXPECT_EQ(n.GetStatusUpdates(0).Key(), "K");
    EXPECT_EQ(n.GetStatusUpdates(0).StatusUpdate()->Value(), "V");

    // libprotobuf reads the same payload the same way.
    feed::NotifyMessage check;
    ASSERT_TRUE(check.ParseFromString(payload));
    EXPECT_EQ(check.log_rows(1).log_row().messages_size(), 3);
}

TEST(NotifyMessage, LaterSingularFieldsAndEmbeddedMessagesReplaceEarlierOnes) {
    feed::NotifyLogRow first;
    first.set_sequence_number(1);
    first.mutable_log_row()->add_messages("old");
    first.mutable_log_row()->set_category("C");
    feed::NotifyLogRow second;
    second.set_sequence_number(2);
    second.mutable_log_row()->set_source("new");
    std::string body = Bytes(first) + Bytes(second);
    TProtocolBufferDecoder d;
    d.LoadBytes(reinterpret_cast<const uint8_t*>(body.data()), body.size());
    TNotifyLogRow r(d, static_cast<int32_t>(body.size()));
    EXPECT_EQ(r.SequenceNumber(), 2);
    ASSERT_NE(r.LogRow(), nullptr);
    EXPECT_EQ(r.LogRow()->Source(), "new");
    EXPECT_EQ(r.LogRow()->MessagesCount(), 0); // the whole row was replaced, not merged
    EXPECT_FALSE(r.LogRow()->HasCategory());
}

TEST(NotifyMessage, EnvelopesWithoutTheirPayloadDecodeEmpty) {
    feed::NotifyMessage m;
    m.add_log_rows()->set_sequence_number(3);
    m.add_status_updates()->set_key("K");
    TProtocolBufferDecoder d;
    TNotifyMessage n = Decode(d, Bytes(m));
    EXPECT_EQ(n.GetLogRows(0).LogRow(), nullptr);
    EXPECT_EQ(n.GetStatusUpdates(0).StatusUpdate(), nullptr);
}

TEST(NotifyMessage, MalformedPayloadsFailAsAWhole) {
    feed::NotifyMessage good;
    good.add_log_rows()->mutable_log_row()->add_messages(std::string(50, 'm'));
    good.add_status_updates()->set_key("K");
    const std::string g = Bytes(good);

    corvane::feedtest::LogRowWrongWire wrong;
    wrong.set_sys_application_number("5");
    feed::NotifyLogRow wrongEnvelope;
    wrongEnvelope.mutable_log_row()->ParseFromString(Bytes(wrong)); // keeps it as unknown bytes
    feed::NotifyMessage wrongMessage;
    *wrongMessage.add_log_rows() = wrongEnvelope;

    struct Case {
        const char* name;
        std::string payload;
        const char* prefix;
    } cases[] = {
        {"embedded row reaches past the end", g.substr(0, g.size() - 10),
         "TProtocolBufferDecoderException: EOF (ProtocolBuffers, line "},
        {"field 100 as text", Bytes(wrongMessage), "Assertion failure (LogProto, line "},
        {"status updates as a number", std::string("\x10\x05", 2),
         "Assertion failure (NotifyProto, line "},
        {"group wire type", std::string("\x1B", 1),
         "InvalidProtocolBufferException.invalidWireType"},
        {"varint cut short", std::string("\x18\x80", 2),
         "TProtocolBufferDecoderException: EOF (ProtocolBuffers, line "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FailureOf(c.payload).rfind(c.prefix, 0), 0u) << FailureOf(c.payload);
    }
}
