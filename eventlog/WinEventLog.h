#pragma once
// The event log's subscription calls (TWinEventChannel) and one event, rendered and decoded
// (TWinEvent). The event's XML follows the published event schema: the elements are read in
// its namespace, by their local names.
#include "core/Assert.h"
#include "platform/EventLog.h"

#include <cstdint>
#include <memory>
#include <string>

namespace pugi {
class xml_document;
class xml_node;
} // namespace pugi

namespace cv {

// The event's XML lacks an element or holds a value of the wrong kind.
class EXmlDocError : public Exception {
public:
    using Exception::Exception;
};

class TWinEventChannel {
public:
    using TListenerFunction = uint32_t (*)(TEvtSubscribeAction action, void* context,
                                           IEventRecord* event, uint32_t errorCode);
    // Subscribes on the local computer, the listener reference given back to the function with
    // each delivery. Null when the subscription cannot be made.
    static std::unique_ptr<IEventSubscription> SubscribeLocalChannel(
        IEventLog& eventLog, const std::string& channelName, const std::string& xpathQuery,
        void* listenerReference, TListenerFunction listenerFunction, uint32_t subscribeFlags);
    // Closes the subscription; no delivery runs once it returns.
    static void Unsubscribe(std::unique_ptr<IEventSubscription>& h);
};

class TWinEvent {
public:
    // Renders and decodes the event when there is one; raises when that fails. The event
    // belongs to the subscription that delivered it and is not closed here.
    TWinEvent(IEventLog& eventLog, IEventRecord* eventHandle);
    ~TWinEvent();
    TWinEvent(const TWinEvent&) = delete;
    TWinEvent& operator=(const TWinEvent&) = delete;

    const std::string& Provider() const { return FEventProvider; }
    const std::string& EventSource() const { return FEventProvider; }
    uint32_t EventId() const { return FEventId; }
    uint32_t EventSeverity() const { return FEventSeverity; }
    const std::string& EventMessage() const { return FEventMessage; }

    // The child element `name` of `node`, read as an unsigned 32-bit number.
    static uint32_t ReadUIntElement(const pugi::xml_node& node, const std::string& name);
    // 0 and the event's message, or an error code and the text describing the failure.
    uint32_t FormatEventMessage(std::string& text);

private:
    void RenderEventXml();
    void ParseEventXml();

    IEventLog& FEventLog;
    IEventRecord* FEventHandle;
    std::string FEventMessage;
    std::unique_ptr<pugi::xml_document> FEventData;
    std::string FEventProvider;
    uint32_t FEventId = 0;
    uint32_t FEventSeverity = 0;
};

} // namespace cv
