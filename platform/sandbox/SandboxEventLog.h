#pragma once
// The sandbox's event log. A channel is the folder <sandbox>/eventlog/<channel>: every event is
// one file of rendered event XML named by its record number (20 digits, ".xml"), and the file
// ".sequence" holds the number of the last event written. A writer takes an exclusive flock on
// ".sequence", writes the event beside, renames it into place and only then advances the
// number, so a reader that goes by the number never sees half an event nor one out of order,
// whichever process wrote it. A subscription's watcher thread (inotify on the folder) delivers
// each event after the number it found when it subscribed, in order, one at a time; events
// written before are not delivered. The newest 10000 events are kept.
//
// Publishers' messages are one file per provider, <sandbox>/eventlog/Publishers/<provider>.xml
// (provider names ignore letter case, as on Windows):
//   <Publisher><Message Id="1000">Text with %1 inserts</Message>
//              <Message Ids="12000-12999">%1</Message></Publisher>
// A provider without such a file has no metadata, so its events fail to format as on Windows.
#include "platform/EventLog.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cv {

struct TSandboxEvent {
    std::string Provider;
    int64_t EventId = 0;
    int64_t Level = 4;
    std::vector<std::string> Data; // the message's inserts, %1 first
};

struct TSandboxMessage {
    int64_t FirstId = 0;
    int64_t LastId = 0;
    std::string Template;
};

class TSandboxEventLog : public IEventLog {
public:
    static constexpr uint64_t KeptEvents = 10000;
    static constexpr size_t MaxFileBytes = 1 << 20; // larger event or publisher files are refused

    explicit TSandboxEventLog(std::string sandbox);

    std::unique_ptr<IEventSubscription> Subscribe(const std::string& channel,
                                                  const std::string& query, uint32_t flags,
                                                  TCallback callback) override;
    std::unique_ptr<IPublisherMetadata> OpenPublisherMetadata(const std::string& provider) override;
    uint32_t FormatMessageText(IPublisherMetadata& metadata, IEventRecord& event, char16_t* buffer,
                           uint32_t bufferChars, uint32_t& bufferUsed) override;

    // Writers, as a program reporting an event would. Both return the event's record number
    // and raise cv::Exception when the event cannot be written.
    static uint64_t WriteEvent(const std::string& sandbox, const std::string& channel,
                               const TSandboxEvent& event);
    // Writes the text `render` makes for the record number as it stands (hostile events).
    static uint64_t AppendEventXml(const std::string& sandbox, const std::string& channel,
                                   const std::function<std::string(uint64_t recordId)>& render);
    // The event as the platform renders it.
    static std::string RenderEventXml(const TSandboxEvent& event, uint64_t recordId,
                                      const std::string& channel);
    // Registers (replaces) a provider's messages, as an installer would.
    static void RegisterPublisher(const std::string& sandbox, const std::string& provider,
                                  const std::vector<TSandboxMessage>& messages);
    // The record number of the last event written to the channel, 0 when none.
    static uint64_t LastRecordId(const std::string& sandbox, const std::string& channel);

    // Formats an event's XML with a provider's messages: 0, or the error code Windows gives
    // (the text then holds what resolved). Exposed for the fuzz target.
    static uint32_t FormatEventText(const std::string& eventXml,
                                    const std::vector<TSandboxMessage>& messages,
                                    std::string& text);
    // Reads a publisher file's messages; false when it is not one.
    static bool ParsePublisher(const std::string& xml, std::vector<TSandboxMessage>& messages);

private:
    std::string FSandbox;
};

} // namespace cv
