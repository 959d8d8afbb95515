#pragma once
// Event log subscription. Stands for EvtSubscribe (future events of a channel, callback),
// EvtRender (event XML), EvtOpenPublisherMetadata + EvtFormatMessage and EvtClose. Deliveries
// arrive on a platform thread.
#include <functional>
#include <memory>
#include <string>

namespace cv {

class IEventSubscription {
public:
    virtual ~IEventSubscription() = default; // EvtClose; no delivery runs after it returns
};

class IEventLog {
public:
    virtual ~IEventLog() = default;
    // `deliver` receives the rendered event XML and the formatted message text.
    using TDeliver = std::function<void(const std::string& xml, const std::string& message)>;
    virtual std::unique_ptr<IEventSubscription> Subscribe(const std::string& channel,
                                                          const std::string& query,
                                                          TDeliver deliver) = 0;
};

} // namespace cv
