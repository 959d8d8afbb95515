#include "WinEventLog.h"

#include "core/Text.h"

#include <pugixml.hpp>

#include <cstdio>
#include <cstring>
#include <vector>

namespace cv {

namespace {

// The published event schema's namespace: every event the platform renders is in it.
constexpr const char* EventNamespace = "http://schemas.microsoft.com/win/2004/08/events/event";

std::string Hex8(uint32_t code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", code);
    return buf;
}

const char* LocalName(const pugi::xml_node& n) {
    const char* name = n.name();
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}

// The namespace an element's prefix (or the default namespace) stands for where it stands.
std::string NamespaceOf(const pugi::xml_node& element) {
    const char* name = element.name();
    const char* colon = std::strchr(name, ':');
    const std::string attribute =
        colon ? "xmlns:" + std::string(name, static_cast<size_t>(colon - name)) : "xmlns";
    for (pugi::xml_node n = element; n && n.type() == pugi::node_element; n = n.parent())
        if (pugi::xml_attribute a = n.attribute(attribute.c_str()))
            return a.value();
    return {};
}

// The first child element with this local name in the event namespace.
pugi::xml_node EventChild(const pugi::xml_node& parent, const char* localName) {
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && std::strcmp(LocalName(c), localName) == 0 &&
            NamespaceOf(c) == EventNamespace)
            return c;
    return {};
}

} // namespace

// ---------------------------------------------------------------- TWinEventChannel

std::unique_ptr<IEventSubscription> TWinEventChannel::SubscribeLocalChannel(
    IEventLog& eventLog, const std::string& channelName, const std::string& xpathQuery,
    void* listenerReference, TListenerFunction listenerFunction, uint32_t subscribeFlags) {
    if (!listenerFunction)
        return {};
    return eventLog.Subscribe(channelName, xpathQuery, subscribeFlags,
                              [listenerReference, listenerFunction](TEvtSubscribeAction action,
                                                                    IEventRecord* event,
                                                                    uint32_t errorCode) {
                                  listenerFunction(action, listenerReference, event, errorCode);
                              });
}

void TWinEventChannel::Unsubscribe(std::unique_ptr<IEventSubscription>& h) { h.reset(); }

// ---------------------------------------------------------------- TWinEvent

TWinEvent::TWinEvent(IEventLog& eventLog, IEventRecord* eventHandle)
    : FEventLog(eventLog), FEventHandle(eventHandle) {
    if (FEventHandle) {
        RenderEventXml();
        ParseEventXml();
    }
}

TWinEvent::~TWinEvent() = default;

void TWinEvent::RenderEventXml() {
    uint32_t used = 0;
    uint32_t rc = FEventHandle->RenderXml(nullptr, 0, used);
    if (rc == 0)
        throw Exception("Could not render event: Event rendered as empty.");
    if (rc != ERROR_INSUFFICIENT_BUFFER_CODE)
        throw Exception("Could not render event: Expected ERROR_INSUFFICIENT_BUFFER, got 0x" +
                        Hex8(rc));
    std::vector<char16_t> buffer((used + 1) / 2 + 1, u'\0');
    rc = FEventHandle->RenderXml(buffer.data(), used, used);
    if (rc != 0)
        throw Exception("Could not render event: Error 0x" + Hex8(rc));
    size_t length = 0;
    while (length + 1 < buffer.size() && buffer[length] != u'\0')
        ++length;
    const std::string xml = Utf16ToUtf8(std::u16string_view(buffer.data(), length));
    auto doc = std::make_unique<pugi::xml_document>();
    const pugi::xml_parse_result parsed =
        doc->load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed)
        throw EXmlDocError(std::string("Could not load event XML: ") + parsed.description() +
                           " at offset " + IntToStr(parsed.offset));
    FEventData = std::move(doc);
}

void TWinEvent::ParseEventXml() {
    const pugi::xml_node root = FEventData->document_element();
    const pugi::xml_node system = EventChild(root, "System");
    if (!system)
        throw EXmlDocError(std::string("Could not find element System in element ") +
                           LocalName(root));
    const pugi::xml_attribute name = EventChild(system, "Provider").attribute("Name");
    FEventProvider = name ? name.value() : "";
    FEventId = ReadUIntElement(system, "EventID");
    FEventSeverity = ReadUIntElement(system, "Level");
    if (FormatEventMessage(FEventMessage) != 0)
        FEventMessage.clear();
}

uint32_t TWinEvent::ReadUIntElement(const pugi::xml_node& node, const std::string& name) {
    const pugi::xml_node element = EventChild(node, name.c_str());
    const std::string where = name + " in element " + LocalName(node);
    if (!element)
        throw EXmlDocError("Could not find element " + where);
    // The element's text, as a DOM reads it: every text piece directly inside it.
    bool hasText = false;
    std::string text;
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
            hasText = true;
            text += c.value();
        }
    int64_t value = 0;
    if (!hasText || !TryStrToInt64(Trim(text), value))
        throw EXmlDocError("Unexpected data type received when reading element " + where +
                           ". Expected Unsigned Integer, got " + (hasText ? "String" : "Null"));
    if ((static_cast<uint64_t>(value) >> 32) != 0)
        throw EXmlDocError("Unexpected data type received when reading element " + where +
                           ". Expected Unsigned 32-bit Integer, got 64-bit Integer");
    return static_cast<uint32_t>(value);
}

uint32_t TWinEvent::FormatEventMessage(std::string& text) {
    const std::unique_ptr<IPublisherMetadata> metadata =
        FEventLog.OpenPublisherMetadata(FEventProvider);
    if (!metadata) {
        text = "<unexpected error: could not open publisher metadata>";
        return 15002;
    }
    uint32_t used = 0;
    uint32_t rc = FEventLog.FormatMessageText(*metadata, *FEventHandle, nullptr, 0, used);
    if (rc == 0) {
        text = "<unexpected result formatting event message: message is length 0>";
        return 15027;
    }
    if (rc != ERROR_INSUFFICIENT_BUFFER_CODE) {
        text = "<unexpected error formatting event message[1]: 0x" + Hex8(rc) + ">";
        return rc;
    }
    std::vector<char16_t> buffer(static_cast<size_t>(used) + 1, u'\0');
    uint32_t written = 0;
    rc = FEventLog.FormatMessageText(*metadata, *FEventHandle, buffer.data(), used, written);
    if (rc != 0 && !(rc == ERROR_EVT_UNRESOLVED_VALUE_INSERT_CODE && written > 0)) {
        text = "<unexpected error formatting event message[2]: 0x" + Hex8(rc) + ">";
        return rc;
    }
    size_t length = 0;
    while (length < used && buffer[length] != u'\0')
        ++length;
    text = Utf16ToUtf8(std::u16string_view(buffer.data(), length));
    return 0;
}

} // namespace cv
