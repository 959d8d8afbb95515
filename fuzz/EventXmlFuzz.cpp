// Arbitrary text as a delivered event's XML: decoding either succeeds, with the severity the
// level table gives, or fails with one of the listener's own failure texts. The sandbox's
// message expansion reads the same text.
#include "core/Text.h"
#include "eventlog/WinEvtListenerCustom.h"
#include "platform/sandbox/SandboxEventLog.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class TFuzzRecord : public cv::IEventRecord {
public:
    explicit TFuzzRecord(std::u16string xml) : FXml(std::move(xml)) {}
    uint32_t RenderXml(char16_t* buffer, uint32_t bufferBytes, uint32_t& bufferUsed) override {
        bufferUsed = static_cast<uint32_t>((FXml.size() + 1) * 2);
        if (!buffer || bufferBytes < bufferUsed)
            return cv::ERROR_INSUFFICIENT_BUFFER_CODE;
        std::memcpy(buffer, FXml.data(), FXml.size() * 2);
        buffer[FXml.size()] = 0;
        return 0;
    }

private:
    std::u16string FXml;
};

// Formats with the sandbox's expansion of "Value %1 of %2%n" over the event's own inserts.
class TFuzzLog : public cv::IEventLog {
public:
    explicit TFuzzLog(std::string xml) : FXml(std::move(xml)) {}
    std::unique_ptr<cv::IEventSubscription> Subscribe(const std::string&, const std::string&,
                                                      uint32_t, TCallback) override {
        return {};
    }
    std::unique_ptr<cv::IPublisherMetadata> OpenPublisherMetadata(const std::string& provider) override {
        if (provider.empty())
            return {};
        return std::make_unique<cv::IPublisherMetadata>();
    }
    uint32_t FormatMessageText(cv::IPublisherMetadata&, cv::IEventRecord&, char16_t* buffer,
                               uint32_t bufferChars, uint32_t& bufferUsed) override {
        std::string text;
        const uint32_t rc = cv::TSandboxEventLog::FormatEventText(
            FXml, {{0, 0xFFFFFFFFLL, "Value %1 of %2%n"}}, text);
        if (rc != 0 && rc != cv::ERROR_EVT_UNRESOLVED_VALUE_INSERT_CODE)
            return rc;
        const std::u16string wide = cv::Utf8ToUtf16(text);
        bufferUsed = static_cast<uint32_t>(wide.size() + 1);
        if (!buffer || bufferChars < bufferUsed)
            return cv::ERROR_INSUFFICIENT_BUFFER_CODE;
        std::memcpy(buffer, wide.data(), wide.size() * 2);
        buffer[wide.size()] = 0;
        return rc;
    }

private:
    std::string FXml;
};

bool OneOfTheFailureTexts(const std::string& m) {
    for (const char* prefix : {"Could not find element ",
                               "Unexpected data type received when reading element ",
                               "Could not load event XML: "})
        if (m.rfind(prefix, 0) == 0)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string xml(reinterpret_cast<const char*>(data), size);
    TFuzzLog log(xml);
    TFuzzRecord record(cv::Utf8ToUtf16(xml));
    try {
        cv::TWinEvent event(log, &record);
        const uint8_t severity = cv::TSYSLogEntry::MapLevel(event.EventSeverity());
        const uint32_t level = event.EventSeverity();
        const uint32_t expected = level == 2 || level == 3 ? level - 1 : level;
        if (severity != (expected >= 1 && expected <= 100 ? expected : 4))
            std::abort();
    } catch (const cv::EXmlDocError& e) {
        if (!OneOfTheFailureTexts(e.what()))
            std::abort();
    } catch (...) {
        std::abort(); // rendering cannot fail here, so nothing else may be raised
    }
    return 0;
}
