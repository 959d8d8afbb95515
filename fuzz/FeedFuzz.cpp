// Arbitrary byte streams through the frame state machine and the notify message decoder, as
// the reader thread drives them: reads of up to 1000 bytes, a fresh framing state after every
// failure (the reader reconnects), every decoded row's timestamp parsed.
#include "notify/NotifyProto.h"
#include "notify/SocketDataSource.h"

#include <cstddef>
#include <cstdint>

namespace {

void Consume(cv::TNotifyMessage& m) {
    for (int i = 0; i < m.LogRowsCount(); ++i) {
        if (const cv::TLogRow* l = m.GetLogRows(i).LogRow()) {
            const std::string& ts = l->Timestamp();
            volatile double t = cv::ParseTimestamp(ts, 1, static_cast<int>(ts.size()));
            (void)t;
        }
    }
    for (int i = 0; i < m.StatusUpdatesCount(); ++i) {
        volatile int d = cv::ParseDigits(m.GetStatusUpdates(i).Key(), 1, 4, -1);
        (void)d;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static cv::TFrameReader frames;
    static cv::TProtocolBufferDecoder decoder;
    frames.Initialize();

    // The whole input as one payload, so the decoder is reached without framing too.
    try {
        decoder.LoadBytes(data, size);
        cv::TNotifyMessage m(decoder, static_cast<int32_t>(size));
        Consume(m);
    } catch (const cv::Exception&) {
    }

    // The first byte picks the read size, so frames are cut at varying places.
    if (size == 0)
        return 0;
    size_t piece = data[0] % 16 == 0 ? 1000 : data[0] % 16;
    ++data;
    --size;
    while (size > 0) {
        size_t n = piece < size ? piece : size;
        try {
            frames.Process(data, n, [](const std::vector<uint8_t>& payload) {
                decoder.LoadBytes(payload);
                cv::TNotifyMessage m(decoder, static_cast<int32_t>(payload.size()));
                Consume(m);
            });
        } catch (const cv::Exception&) {
            // The reader drops the connection: the rest of this read is lost.
            frames.Initialize();
        }
        data += n;
        size -= n;
    }
    return 0;
}
