#include "LogProto.h"

namespace cv {

const char* SeverityText(TSeverity severity) {
    switch (severity) {
    case sev_Fatal:
        return "FATAL";
    case sev_Error:
        return "ERROR";
    case sev_Warning:
        return "WARNING";
    case sev_Info:
        return "INFO";
    case sev_Debug:
        return "DEBUG";
    case sev_Notification:
        return "NOTIFICATION";
    case sev_Test:
        return "TEST";
    }
    return "";
}

TStatusUpdate::TStatusUpdate(TProtocolBufferDecoder& buffer, int32_t length) {
    const int64_t end = static_cast<int64_t>(buffer.GetPosition()) + length;
    while (buffer.GetPosition() < end) {
        uint32_t tag = buffer.ReadTag();
        if (GetTagFieldNumber(tag) == 1) {
            CV_ASSERT(GetTagWireType(tag) == 2, "Assertion failure");
            buffer.ReadString(FValue);
        } else {
            buffer.SkipField(tag);
        }
    }
}

TLogRow::TLogRow(TProtocolBufferDecoder& buffer, int32_t length) {
    const int64_t end = static_cast<int64_t>(buffer.GetPosition()) + length;
    while (buffer.GetPosition() < end) {
        uint32_t tag = buffer.ReadTag();
        uint32_t wire = GetTagWireType(tag);
        switch (GetTagFieldNumber(tag)) {
        case 1:
            CV_ASSERT(wire == 2, "Assertion failure");
            buffer.ReadString(FTimestamp);
            break;
        case 2:
            CV_ASSERT(wire == 2, "Assertion failure");
            buffer.ReadString(FMessages.emplace_back());
            break;
        case 3:
            CV_ASSERT(wire == 0, "Assertion failure");
            FSeverity = TSeverity(static_cast<uint8_t>(buffer.ReadEnum()));
            break;
        case 4:
            CV_ASSERT(wire == 2, "Assertion failure");
            buffer.ReadString(FSource);
            break;
        case 5:
            CV_ASSERT(wire == 2, "Assertion failure");
            buffer.ReadString(FCategory);
            FHasCategory = true;
            break;
        case 100:
            CV_ASSERT(wire == 0, "Assertion failure");
            FSysApplicationNumber = buffer.ReadInt32();
            FHasSysApplicationNumber = true;
            break;
        default:
            buffer.SkipField(tag);
        }
    }
}

} // namespace cv
