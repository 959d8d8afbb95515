#include "NotifyProto.h"

namespace cv {

TNotifyLogRow::TNotifyLogRow(TProtocolBufferDecoder& buffer, int32_t length) {
    const int64_t end = static_cast<int64_t>(buffer.GetPosition()) + length;
    while (buffer.GetPosition() < end) {
        uint32_t tag = buffer.ReadTag();
        uint32_t wire = GetTagWireType(tag);
        switch (GetTagFieldNumber(tag)) {
        case 1:
            CV_ASSERT(wire == 0, "Assertion failure");
            FSequenceNumber = buffer.ReadInt64();
            break;
        case 2:
            CV_ASSERT(wire == 2, "Assertion failure");
            buffer.ReadString(FSenderIP);
            break;
        case 3: {
            CV_ASSERT(wire == 2, "Assertion failure");
            int32_t len = buffer.ReadInt32();
            // A second row replaces the first.
            FLogRow.emplace(buffer, len);
            break;
        }
        default:
            buffer.SkipField(tag);
        }
    }
}

TNotifyStatusUpdate::TNotifyStatusUpdate(TProtocolBufferDecoder& buffer, int32_t length) {
    const int64_t end = static_cast<int64_t>(buffer.GetPosition()) + length;
    while (buffer.GetPosition() < end) {
        uint32_t tag = buffer.ReadTag();
        uint32_t wire = GetTagWireType(tag);
        switch (GetTagFieldNumber(tag)) {
        case 1:
            CV_ASSERT(wire == 2, "Assertion failure");
            buffer.ReadString(FKey);
            break;
        case 2: {
            CV_ASSERT(wire == 2, "Assertion failure");
            int32_t len = buffer.ReadInt32();
            FStatusUpdate.emplace(buffer, len);
            break;
        }
        default:
            buffer.SkipField(tag);
        }
    }
}

void TNotifyMessage::Decode(TProtocolBufferDecoder& buffer, int32_t length) {
    FLogRows.clear();
    FStatusUpdates.clear();
    const int64_t end = static_cast<int64_t>(buffer.GetPosition()) + length;
    while (buffer.GetPosition() < end) {
        uint32_t tag = buffer.ReadTag();
        uint32_t wire = GetTagWireType(tag);
        switch (GetTagFieldNumber(tag)) {
        case 1: {
            CV_ASSERT(wire == 2, "Assertion failure");
            int32_t len = buffer.ReadInt32();
            FLogRows.emplace_back(buffer, len);
            break;
        }
        case 2: {
            CV_ASSERT(wire == 2, "Assertion failure");
            int32_t len = buffer.ReadInt32();
            FStatusUpdates.emplace_back(buffer, len);
            break;
        }
        default:
            buffer.SkipField(tag);
        }
    }
}

} // namespace cv
