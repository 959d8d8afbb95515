#pragma once
// The event log, as the listener uses it. Stands for EvtSubscribe (future events of a channel,
// delivered to a callback), EvtRender (EvtRenderEventXml), EvtOpenPublisherMetadata,
// EvtFormatMessage (EvtFormatMessageEvent) and EvtClose. Rendering and formatting keep the
// Windows protocol (ask for the size, then fill a buffer; error codes as Windows reports them)
// because the listener's error handling is written against it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace cv {

constexpr uint32_t ERROR_INSUFFICIENT_BUFFER_CODE = 122;
constexpr uint32_t ERROR_INVALID_DATA_CODE = 13;
constexpr uint32_t ERROR_EVT_PUBLISHER_METADATA_NOT_FOUND_CODE = 15002;
constexpr uint32_t ERROR_EVT_MESSAGE_NOT_FOUND_CODE = 15027;
constexpr uint32_t ERROR_EVT_UNRESOLVED_VALUE_INSERT_CODE = 15029;

// EvtSubscribeToFutureEvents.
constexpr uint32_t EVT_SUBSCRIBE_TO_FUTURE_EVENTS = 1;

enum TEvtSubscribeAction : uint8_t { esa_Error = 0, esa_Deliver = 1 };

// One delivered event. It belongs to the platform and is valid only while the delivery runs.
class IEventRecord {
public:
    virtual ~IEventRecord() = default;
    // The event as UTF-16 XML into `buffer` (`bufferBytes` bytes; null and 0 ask the size).
    // Returns 0, or an error code; `bufferUsed` is the size in bytes the text needs, its
    // terminating zero included (set with ERROR_INSUFFICIENT_BUFFER too).
    virtual uint32_t RenderXml(char16_t* buffer, uint32_t bufferBytes, uint32_t& bufferUsed) = 0;
};

// A provider's registered messages; closing it is EvtClose.
class IPublisherMetadata {
public:
    virtual ~IPublisherMetadata() = default;
};

class IEventSubscription {
public:
    virtual ~IEventSubscription() = default; // EvtClose; no delivery runs after it returns
};

class IEventLog {
public:
    virtual ~IEventLog() = default;
    // Runs on a platform thread, one call at a time. With esa_Error, `event` is null and
    // `errorCode` says what went wrong; with esa_Deliver, `event` is the delivered event.
    using TCallback =
        std::function<void(TEvtSubscribeAction action, IEventRecord* event, uint32_t errorCode)>;
    // Null when the subscription cannot be made (no such channel, no event log service).
    virtual std::unique_ptr<IEventSubscription> Subscribe(const std::string& channel,
                                                          const std::string& query,
                                                          uint32_t flags, TCallback callback) = 0;
    // Null when the provider has no registered metadata (provider names ignore letter case).
    virtual std::unique_ptr<IPublisherMetadata> OpenPublisherMetadata(const std::string& provider) = 0;
    // The event's message in the provider's messages, as UTF-16 into `buffer` (`bufferChars`
    // characters; null and 0 ask the size). Returns 0 or an error code; `bufferUsed` counts
    // characters with the terminating zero. ERROR_EVT_UNRESOLVED_VALUE_INSERT comes with the
    // text written as far as it resolved.
    virtual uint32_t FormatMessageText(IPublisherMetadata& metadata, IEventRecord& event,
                                   char16_t* buffer, uint32_t bufferChars,
                                   uint32_t& bufferUsed) = 0;
};

} // namespace cv
