#pragma once
// The envelopes of the feed: a notify message carries log rows and status updates.
// A message decodes completely or not at all: a failing constructor unwinds everything
// it built.
#include "LogProto.h"

#include <optional>
#include <vector>

namespace cv {

class TNotifyLogRow {
public:
    TNotifyLogRow(TProtocolBufferDecoder& buffer, int32_t length);

    int64_t SequenceNumber() const { return FSequenceNumber; }
    const std::string& SenderIP() const { return FSenderIP; }
    // Null when the envelope came without its row.
    const TLogRow* LogRow() const { return FLogRow ? &*FLogRow : nullptr; }
    TLogRow* LogRow() { return FLogRow ? &*FLogRow : nullptr; }

private:
    int64_t FSequenceNumber = 0;
    std::string FSenderIP;
    // Held inline: one allocation fewer per row than a separate object.
    std::optional<TLogRow> FLogRow;
};

class TNotifyStatusUpdate {
public:
    TNotifyStatusUpdate(TProtocolBufferDecoder& buffer, int32_t length);

    const std::string& Key() const { return FKey; }
    std::string& Key() { return FKey; }
    // Null when the envelope came without its value.
    const TStatusUpdate* StatusUpdate() const { return FStatusUpdate ? &*FStatusUpdate : nullptr; }
    TStatusUpdate* StatusUpdate() { return FStatusUpdate ? &*FStatusUpdate : nullptr; }

private:
    std::string FKey;
    std::optional<TStatusUpdate> FStatusUpdate;
};

class TNotifyMessage {
public:
    TNotifyMessage() = default;
    TNotifyMessage(TProtocolBufferDecoder& buffer, int32_t length) { Decode(buffer, length); }

    // Decodes anew into this object, reusing its storage (the reader decodes every frame
    // into one message). After a failure the content is undefined until the next Decode.
    void Decode(TProtocolBufferDecoder& buffer, int32_t length);

    int LogRowsCount() const { return static_cast<int>(FLogRows.size()); }
    const TNotifyLogRow& GetLogRows(int index) const {
        return FLogRows.at(static_cast<size_t>(index));
    }
    TNotifyLogRow& GetLogRows(int index) { return FLogRows.at(static_cast<size_t>(index)); }
    int StatusUpdatesCount() const { return static_cast<int>(FStatusUpdates.size()); }
    const TNotifyStatusUpdate& GetStatusUpdates(int index) const {
        return FStatusUpdates.at(static_cast<size_t>(index));
    }
    TNotifyStatusUpdate& GetStatusUpdates(int index) {
        return FStatusUpdates.at(static_cast<size_t>(index));
    }

private:
    std::vector<TNotifyLogRow> FLogRows;
    std::vector<TNotifyStatusUpdate> FStatusUpdates;
};

} // namespace cv
