#include "WinEvtListenerCustom.h"

#include <mutex>

namespace cv {

namespace {
// The unit's critical section: deliveries run one at a time inside it, and the window is set
// and cleared inside it, so a delivery never sees a window that is being taken away.
std::mutex gDeliverySection;
} // namespace

uint8_t TSYSLogEntry::MapLevel(uint32_t eventLevel) {
    const uint32_t severity = eventLevel == 2 || eventLevel == 3 ? eventLevel - 1 : eventLevel;
    return severity >= 1 && severity <= 100 ? static_cast<uint8_t>(severity) : 4;
}

TWinEvtListener::TWinEvtListener(std::shared_ptr<IEventLog> eventLog)
    : FEventLog(std::move(eventLog)) {
    FEventChannelName = "Application";
}

TWinEvtListener::~TWinEvtListener() { StopListening(); }

void TWinEvtListener::StartListening(ILogEntryWindow* formHandle) {
    TWinEventChannel::Unsubscribe(FSubscriptionHandle); // a second start replaces the first
    {
        std::lock_guard<std::mutex> lock(gDeliverySection);
        FFormHandle = formHandle;
    }
    try {
        FSubscriptionHandle = TWinEventChannel::SubscribeLocalChannel(
            *FEventLog, FEventChannelName, "*", static_cast<TWinEvtListenerCustom*>(this),
            OnEventDelivered, EVT_SUBSCRIBE_TO_FUTURE_EVENTS);
    } catch (...) {
        FSubscriptionHandle.reset(); // silent, as a failed subscription is
    }
}

void TWinEvtListener::StopListening() {
    {
        // Waits for a delivery in progress, which posts to the window that still exists.
        std::lock_guard<std::mutex> lock(gDeliverySection);
        FFormHandle = nullptr;
    }
    // Outside the section: closing waits for a delivery that may be about to enter it.
    TWinEventChannel::Unsubscribe(FSubscriptionHandle);
}

void TWinEvtListener::EvtCallback(TEvtSubscribeAction action, IEventRecord* event, uint32_t) {
    if (action != esa_Deliver || !event)
        return; // the subscription reported an error instead of an event
    TWinEvent e(*FEventLog, event);
    if (e.Provider() != SystemProvider || e.EventMessage().empty())
        return;
    auto entry = std::make_unique<TSYSLogEntry>(e.EventMessage(), e.EventSeverity());
    if (FFormHandle)
        FFormHandle->PostLogEntry(e.EventId(), std::move(entry));
    // Without a window (stopped meanwhile) the entry is freed here.
}

uint32_t OnEventDelivered(TEvtSubscribeAction action, void* context, IEventRecord* event,
                          uint32_t errorCode) {
    std::lock_guard<std::mutex> lock(gDeliverySection);
    try {
        if (auto* listener =
                dynamic_cast<TWinEvtListener*>(static_cast<TWinEvtListenerCustom*>(context)))
            listener->EvtCallback(action, event, errorCode);
    } catch (...) {
        // The event is dropped: nothing is shown for an event that cannot be read.
    }
    return 0;
}

} // namespace cv
