// Rendering and decoding of events, the level table and the listener's hand-over, on an event
// log whose every answer the test scripts.
#include "eventlog/WinEvtListenerCustom.h"

#include "core/Text.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstring>
#include <optional>
#include <vector>

using namespace cv;

namespace {

const std::string NS = "http://schemas.microsoft.com/win/2004/08/events/event";

std::string EventXml(std::optional<std::string> provider, std::optional<std::string> id,
                     std::optional<std::string> level) {
    std::string x = "<Event xmlns=\"" + NS + "\"><System>";
    if (provider)
        x += "<Provider Name=\"" + *provider + "\"/>";
    if (id)
        x += "<EventID Qualifiers=\"0\">" + *id + "</EventID>";
    if (level)
        x += "<Level>" + *level + "</Level>";
    return x + "<Channel>Application</Channel></System><EventData><Data>x</Data></EventData></Event>";
}

std::string CorvaneEvent(const std::string& id, const std::string& level) {
    return EventXml("Corvane", id, level);
}

class TScriptedRecord : public IEventRecord {
public:
    explicit TScriptedRecord(std::string xml) : Xml(std::move(xml)) {}
    uint32_t RenderXml(char16_t* buffer, uint32_t bufferBytes, uint32_t& bufferUsed) override {
        const std::u16string wide = Utf8ToUtf16(Xml);
        bufferUsed = static_cast<uint32_t>((wide.size() + 1) * 2);
        if (!buffer)
            return SizeResult;
        if (FillResult)
            return FillResult;
        if (bufferBytes < bufferUsed)
            return ERROR_INSUFFICIENT_BUFFER_CODE;
        std::memcpy(buffer, wide.data(), wide.size() * 2);
        buffer[wide.size()] = 0;
        return 0;
    }
    std::string Xml;
    uint32_t SizeResult = ERROR_INSUFFICIENT_BUFFER_CODE;
    uint32_t FillResult = 0;
};

class TScriptedLog : public IEventLog {
public:
    class TSubscription : public IEventSubscription {
    public:
        explicit TSubscription(TScriptedLog& log) : FLog(log) {}
        ~TSubscription() override { FLog.Callback = nullptr; }

    private:
        TScriptedLog& FLog;
    };

    std::unique_ptr<IEventSubscription> Subscribe(const std::string& channel,
                                                  const std::string& query, uint32_t flags,
                                                  TCallback callback) override {
        Channel = channel;
        Query = query;
        Flags = flags;
        if (SubscribeThrows)
            throw std::runtime_error("no event log service");
        if (SubscribeFails)
            return {};
        Callback = std::move(callback);
        return std::make_unique<TSubscription>(*this);
    }
    std::unique_ptr<IPublisherMetadata> OpenPublisherMetadata(const std::string& provider) override {
        for (const auto& p : Publishers)
            if (SameText(p, provider)) // as Windows compares provider names
                return std::make_unique<IPublisherMetadata>();
        return {};
    }
    uint32_t FormatMessageText(IPublisherMetadata&, IEventRecord&, char16_t* buffer,
                           uint32_t bufferChars, uint32_t& bufferUsed) override {
        const std::u16string wide = Utf8ToUtf16(Message);
        bufferUsed = static_cast<uint32_t>(wide.size() + 1);
        if (!buffer)
            return SizeResult;
        if (FillResult) {
            // Written as far as it resolved.
            bufferUsed = FillWritten;
            if (FillWritten > 0 && bufferChars >= wide.size() + 1) {
                std::memcpy(buffer, wide.data(), wide.size() * 2);
                buffer[wide.size()] = 0;
            }
            return FillResult;
        }
        std::memcpy(buffer, wide.data(), wide.size() * 2);
        buffer[wide.size()] = 0;
        return 0;
    }
    // Hands an event to the subscriber as the platform's thread would.
    void Deliver(IEventRecord* record, TEvtSubscribeAction action = esa_Deliver) {
        if (Callback)
            Callback(action, record, action == esa_Deliver ? 0 : 5);
    }

    std::vector<std::string> Publishers{"Corvane"};
    std::string Message = "Disk almost full";
    uint32_t SizeResult = ERROR_INSUFFICIENT_BUFFER_CODE;
    uint32_t FillResult = 0;
    uint32_t FillWritten = 0;
    bool SubscribeFails = false;
    bool SubscribeThrows = false;
    TCallback Callback;
    std::string Channel, Query;
    uint32_t Flags = 0;
};

struct TPosted {
    uint32_t EventId;
    std::string Text;
    uint8_t Severity;
};

class TRecordingWindow : public ILogEntryWindow {
public:
    void PostLogEntry(uint32_t eventId, std::unique_ptr<TSYSLogEntry> entry) override {
        Posted.push_back({eventId, entry->MessageText(), entry->Severity()});
    }
    std::vector<TPosted> Posted;
};

// The failure text an event raises, empty when it decodes.
std::string FailureOf(TScriptedLog& log, TScriptedRecord& record) {
    try {
        TWinEvent e(log, &record);
    } catch (const std::exception& ex) {
        return ex.what();
    }
    return {};
}

} // namespace

TEST(LogEntry, EventLevelsMapToTheWindowsSeverities) {
    const struct {
        uint32_t level;
        uint8_t severity;
    } cases[] = {{0, 4},   {1, 1},   {2, 1},   {3, 2},   {4, 4},          {5, 5},
                 {100, 100}, {101, 4}, {255, 4}, {256, 4}, {0xFFFFFFFFu, 4}};
    for (const auto& c : cases) {
        EXPECT_EQ(TSYSLogEntry::MapLevel(c.level), c.severity) << "level " << c.level;
        EXPECT_EQ(TSYSLogEntry("m", c.level).Severity(), c.severity) << "level " << c.level;
    }
    EXPECT_EQ(TSYSLogEntry("Disk almost full", 2).MessageText(), "Disk almost full");
}

TEST(WinEvent, DecodesTheSchemasElementsWhateverThePrefix) {
    TScriptedLog log;
    TScriptedRecord plain(CorvaneEvent("12001", "3"));
    TWinEvent e(log, &plain);
    EXPECT_EQ(e.Provider(), "Corvane");
    EXPECT_EQ(e.EventSource(), "Corvane");
    EXPECT_EQ(e.EventId(), 12001u);
    EXPECT_EQ(e.EventSeverity(), 3u);
    EXPECT_EQ(e.EventMessage(), "Disk almost full");

    TScriptedRecord prefixed("<e:Event xmlns:e=\"" + NS + "\"><e:System><e:Provider Name=\"Corvane\"/>"
                             "<e:EventID>\n 7 \n</e:EventID><e:Level>4</e:Level></e:System></e:Event>");
    TWinEvent p(log, &prefixed);
    EXPECT_EQ(p.EventId(), 7u) << "the element's text, blanks around it allowed";
    EXPECT_EQ(p.Provider(), "Corvane");

    TScriptedRecord noName(EventXml(std::nullopt, "1", "4"));
    EXPECT_EQ(TWinEvent(log, &noName).Provider(), "") << "no provider name: empty, no failure";

    TScriptedRecord largest(CorvaneEvent("4294967295", "255"));
    EXPECT_EQ(TWinEvent(log, &largest).EventId(), 4294967295u);

    TWinEvent none(log, nullptr);
    EXPECT_EQ(none.EventId(), 0u) << "no event: nothing rendered";
}

TEST(WinEvent, EventsWithoutTheExpectedElementsRaiseTheirTexts) {
    const std::string notUInt = "Unexpected data type received when reading element ";
    const struct {
        const char* what;
        std::string xml;
        std::string failure;
    } cases[] = {
        {"no System", "<Event xmlns=\"" + NS + "\"><Other/></Event>",
         "Could not find element System in element Event"},
        {"System of another namespace",
         "<Event xmlns=\"" + NS + "\"><System xmlns=\"urn:other\"><EventID>1</EventID></System></Event>",
         "Could not find element System in element Event"},
        {"no namespace at all", "<Event><System><EventID>1</EventID><Level>2</Level></System></Event>",
         "Could not find element System in element Event"},
        {"no EventID", EventXml("Corvane", std::nullopt, "2"),
         "Could not find element EventID in element System"},
        {"no Level", EventXml("Corvane", "1", std::nullopt),
         "Could not find element Level in element System"},
        {"EventID -1", CorvaneEvent("-1", "2"),
         notUInt + "EventID in element System. Expected Unsigned 32-bit Integer, got 64-bit Integer"},
        {"EventID 2^32", CorvaneEvent("4294967296", "2"),
         notUInt + "EventID in element System. Expected Unsigned 32-bit Integer, got 64-bit Integer"},
        {"EventID beyond 64 bits", CorvaneEvent("99999999999999999999", "2"),
         notUInt + "EventID in element System. Expected Unsigned Integer, got String"},
        {"Level as a word", CorvaneEvent("1", "high"),
         notUInt + "Level in element System. Expected Unsigned Integer, got String"},
        {"empty EventID", "<Event xmlns=\"" + NS + "\"><System><EventID/><Level>2</Level></System></Event>",
         notUInt + "EventID in element System. Expected Unsigned Integer, got Null"},
    };
    TScriptedLog log;
    for (const auto& c : cases) {
        TScriptedRecord record(c.xml);
        EXPECT_EQ(FailureOf(log, record), c.failure) << c.what;
    }
    TScriptedRecord broken("<Event xmlns=\"" + NS + "\"><System>");
    EXPECT_TRUE(StartsWith(FailureOf(log, broken), "Could not load event XML: ")) << FailureOf(log, broken);
}

TEST(WinEvent, RenderingFailuresRaiseTheirTexts) {
    const struct {
        uint32_t sizeResult, fillResult;
        const char* failure;
    } cases[] = {
        {0, 0, "Could not render event: Event rendered as empty."},
        {5, 0, "Could not render event: Expected ERROR_INSUFFICIENT_BUFFER, got 0x00000005"},
        {0xC0000005u, 0, "Could not render event: Expected ERROR_INSUFFICIENT_BUFFER, got 0xC0000005"},
        {ERROR_INSUFFICIENT_BUFFER_CODE, 87, "Could not render event: Error 0x00000057"},
    };
    TScriptedLog log;
    for (const auto& c : cases) {
        TScriptedRecord record(CorvaneEvent("1", "2"));
        record.SizeResult = c.sizeResult;
        record.FillResult = c.fillResult;
        EXPECT_EQ(FailureOf(log, record), c.failure);
    }
}

TEST(WinEvent, MessagesThatCannotBeFormattedLeaveTheMessageEmpty) {
    const struct {
        const char* what;
        bool registered;
        uint32_t sizeResult, fillResult, fillWritten;
        uint32_t result;
        const char* text;
    } cases[] = {
        {"no publisher", false, 122, 0, 0, 15002,
         "<unexpected error: could not open publisher metadata>"},
        {"empty message", true, 0, 0, 0, 15027,
         "<unexpected result formatting event message: message is length 0>"},
        {"no such message", true, 15027, 0, 0, 15027,
         "<unexpected error formatting event message[1]: 0x00003AB3>"},
        {"second call fails", true, 122, 5, 0, 5,
         "<unexpected error formatting event message[2]: 0x00000005>"},
        {"unresolved insert, nothing written", true, 122, 15029, 0, 15029,
         "<unexpected error formatting event message[2]: 0x00003AB5>"},
        {"unresolved insert with text", true, 122, 15029, 17, 0, "Disk almost full"},
    };
    for (const auto& c : cases) {
        TScriptedLog log;
        if (!c.registered)
            log.Publishers.clear();
        log.SizeResult = c.sizeResult;
        log.FillResult = c.fillResult;
        log.FillWritten = c.fillWritten;
        TScriptedRecord record(CorvaneEvent("12001", "2"));
        TWinEvent e(log, &record);
        std::string text;
        EXPECT_EQ(e.FormatEventMessage(text), c.result) << c.what;
        EXPECT_EQ(text, c.text) << c.what;
        EXPECT_EQ(e.EventMessage(), c.result == 0 ? "Disk almost full" : "") << c.what;
    }
}

TEST(WinEvent, ReadUIntElementNamesTheElementItLooksIn) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(("<Event xmlns=\"" + NS + "\"><EventData><Count>12</Count></EventData></Event>").c_str()));
    const pugi::xml_node data = doc.document_element().first_child();
    EXPECT_EQ(TWinEvent::ReadUIntElement(data, "Count"), 12u);
    try {
        TWinEvent::ReadUIntElement(data, "Missing");
        ADD_FAILURE() << "no failure";
    } catch (const EXmlDocError& e) {
        EXPECT_STREQ(e.what(), "Could not find element Missing in element EventData");
    }
}

TEST(Listener, PostsOnlyFormattedEventsOfTheSystemsProvider) {
    const struct {
        const char* what;
        std::string xml;
        bool registered;
        std::optional<TPosted> posted;
    } cases[] = {
        {"error", CorvaneEvent("12001", "2"), true, TPosted{12001, "Disk almost full", 1}},
        {"critical", CorvaneEvent("5", "1"), true, TPosted{5, "Disk almost full", 1}},
        {"warning", CorvaneEvent("7", "3"), true, TPosted{7, "Disk almost full", 2}},
        {"information", CorvaneEvent("8", "4"), true, TPosted{8, "Disk almost full", 4}},
        {"always logged", CorvaneEvent("9", "0"), true, TPosted{9, "Disk almost full", 4}},
        {"verbose: posted, the window drops it", CorvaneEvent("10", "5"), true,
         TPosted{10, "Disk almost full", 5}},
        {"another provider", EventXml("Vekta Licensing", "1", "2"), true, std::nullopt},
        {"the provider in other letter case", EventXml("corvane", "1", "2"), true, std::nullopt},
        {"the provider with a blank", EventXml("Corvane ", "1", "2"), true, std::nullopt},
        {"no provider name", EventXml(std::nullopt, "1", "2"), true, std::nullopt},
        {"no registered messages", CorvaneEvent("1", "2"), false, std::nullopt},
        {"EventID -1", CorvaneEvent("-1", "2"), true, std::nullopt},
        {"EventID 2^32", CorvaneEvent("4294967296", "2"), true, std::nullopt},
        {"no Level", EventXml("Corvane", "1", std::nullopt), true, std::nullopt},
        {"not XML", "Corvane", true, std::nullopt},
    };
    for (const auto& c : cases) {
        TScriptedLog log;
        if (!c.registered)
            log.Publishers.clear();
        TRecordingWindow window;
        TWinEvtListener listener(std::shared_ptr<IEventLog>(&log, [](IEventLog*) {}));
        listener.StartListening(&window);
        EXPECT_EQ(log.Channel, "Application");
        EXPECT_EQ(log.Query, "*");
        EXPECT_EQ(log.Flags, 1u) << "future events only";
        TScriptedRecord record(c.xml);
        log.Deliver(&record);
        ASSERT_EQ(window.Posted.size(), c.posted ? 1u : 0u) << c.what;
        if (c.posted) {
            EXPECT_EQ(window.Posted[0].EventId, c.posted->EventId) << c.what;
            EXPECT_EQ(window.Posted[0].Text, c.posted->Text) << c.what;
            EXPECT_EQ(window.Posted[0].Severity, c.posted->Severity) << c.what;
        }
    }
}

TEST(Listener, ErrorsInsteadOfEventsAndAnEmptyMessageAreDropped) {
    TScriptedLog log;
    TRecordingWindow window;
    TWinEvtListener listener(std::shared_ptr<IEventLog>(&log, [](IEventLog*) {}));
    listener.StartListening(&window);
    TScriptedRecord record(CorvaneEvent("1", "2"));
    log.Deliver(&record, esa_Error);
    log.Deliver(nullptr);
    log.Message.clear(); // formats to nothing
    log.Deliver(&record);
    EXPECT_TRUE(window.Posted.empty());
}

TEST(Listener, AFailedSubscriptionLeavesItSilentAndStoppingEndsTheDeliveries) {
    for (bool throws : {false, true}) {
        TScriptedLog log;
        log.SubscribeFails = !throws;
        log.SubscribeThrows = throws;
        TRecordingWindow window;
        TWinEvtListener listener(std::shared_ptr<IEventLog>(&log, [](IEventLog*) {}));
        EXPECT_NO_THROW(listener.StartListening(&window));
        EXPECT_FALSE(listener.Subscribed());
        EXPECT_FALSE(log.Callback);
    }
    TScriptedLog log;
    TRecordingWindow window;
    TWinEvtListener listener(std::shared_ptr<IEventLog>(&log, [](IEventLog*) {}));
    listener.StartListening(&window);
    EXPECT_TRUE(listener.Subscribed());
    EXPECT_EQ(listener.EventChannelName(), "Application");
    listener.StopListening();
    EXPECT_FALSE(listener.Subscribed());
    EXPECT_FALSE(log.Callback) << "the subscription is closed";
    // A delivery that was already on its way when the window was cleared frees its entry.
    TScriptedRecord record(CorvaneEvent("1", "2"));
    OnEventDelivered(esa_Deliver, static_cast<TWinEvtListenerCustom*>(&listener), &record, 0);
    EXPECT_TRUE(window.Posted.empty());
}
