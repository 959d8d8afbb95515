#pragma once
// The payload messages of the log service's feed: one log row, one status value.
// Each decodes itself in its constructor and afterwards only holds data.
#include "ProtocolBuffers.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cv {

// Codes are not consecutive; a value off the list is kept as sent (in 8 bits).
enum TSeverity : uint8_t {
    sev_Fatal = 1,
    sev_Error = 2,
    sev_Warning = 3,
    sev_Info = 4,
    sev_Debug = 5,
    sev_Notification = 6,
    sev_Test = 100,
};

// "FATAL", "ERROR", ...; empty for a code off the list.
const char* SeverityText(TSeverity severity);

class TStatusUpdate {
public:
    TStatusUpdate() = default;
    TStatusUpdate(TProtocolBufferDecoder& buffer, int32_t length);

    const std::string& Value() const { return FValue; }
    std::string& Value() { return FValue; }

private:
    std::string FValue;
};

class TLogRow {
public:
    TLogRow() = default;
    TLogRow(TProtocolBufferDecoder& buffer, int32_t length);

    void AddMessage(std::string m) { FMessages.push_back(std::move(m)); }
    int MessagesCount() const { return static_cast<int>(FMessages.size()); }
    const std::string& GetMessages(int index) const {
        return FMessages.at(static_cast<size_t>(index));
    }
    const std::vector<std::string>& Messages() const { return FMessages; }
    std::vector<std::string>& Messages() { return FMessages; }

    const std::string& Timestamp() const { return FTimestamp; }
    TSeverity Severity() const { return FSeverity; }
    const std::string& Source() const { return FSource; }
    std::string& Source() { return FSource; }
    bool HasCategory() const { return FHasCategory; }
    const std::string& Category() const { return FCategory; }
    std::string& Category() { return FCategory; }
    bool HasUsername() const { return FHasUsername; }
    bool HasSysApplicationNumber() const { return FHasSysApplicationNumber; }
    int32_t SysApplicationNumber() const { return FSysApplicationNumber; }
    bool HasTimeDelta() const { return FHasTimeDelta; }
    const std::string& TimeDelta() const { return FTimeDelta; }

private:
    std::string FTimestamp;
    std::vector<std::string> FMessages;
    TSeverity FSeverity = TSeverity(0);
    std::string FSource;
    bool FHasCategory = false;
    std::string FCategory;
    bool FHasUsername = false;
    bool FHasSysApplicationNumber = false;
    int32_t FSysApplicationNumber = 0;
    bool FHasTimeDelta = false;
    std::string FTimeDelta;
};

} // namespace cv
