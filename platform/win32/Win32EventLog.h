#pragma once
#include "platform/EventLog.h"

namespace cv {

// EvtSubscribe with a callback on the event log service's threads (COM initialised on each
// for a single-threaded apartment), EvtRender, EvtOpenPublisherMetadata, EvtFormatMessage and
// EvtClose, linked from wevtapi.dll.
class TWin32EventLog : public IEventLog {
public:
    std::unique_ptr<IEventSubscription> Subscribe(const std::string& channel,
                                                  const std::string& query, uint32_t flags,
                                                  TCallback callback) override;
    std::unique_ptr<IPublisherMetadata> OpenPublisherMetadata(const std::string& provider) override;
    uint32_t FormatMessageText(IPublisherMetadata& metadata, IEventRecord& event, char16_t* buffer,
                           uint32_t bufferChars, uint32_t& bufferUsed) override;
};

} // namespace cv
