#pragma once
// The listener that subscribes to the "Application" channel and hands every new event of the
// system's provider to the window, as a log entry with its message and mapped severity.
#include "WinEventLog.h"

#include <cstdint>
#include <memory>
#include <string>

namespace cv {

// The record handed to the window: the message and the window's severity for the event level.
class TSYSLogEntry {
public:
    TSYSLogEntry(std::string eventMessage, uint32_t eventLevel)
        : FMessageText(std::move(eventMessage)), FSeverity(MapLevel(eventLevel)) {}
    // Levels 2 and 3 are lowered by one; a result from 1 to 100 stays, anything else is 4.
    static uint8_t MapLevel(uint32_t eventLevel);

    const std::string& MessageText() const { return FMessageText; }
    uint8_t Severity() const { return FSeverity; }

private:
    std::string FMessageText;
    uint8_t FSeverity;
};

// The window that receives the entries.
class ILogEntryWindow {
public:
    virtual ~ILogEntryWindow() = default;
    // Queues the entry in the window's message queue and returns at once, on the delivering
    // thread. The entry is the window's from here on, also when the window goes before it
    // handles the message (its queue frees what it holds).
    virtual void PostLogEntry(uint32_t eventId, std::unique_ptr<TSYSLogEntry> entry) = 0;
};

class TWinEvtListenerCustom {
public:
    TWinEvtListenerCustom() = default;
    TWinEvtListenerCustom(const TWinEvtListenerCustom&) = delete;
    TWinEvtListenerCustom& operator=(const TWinEvtListenerCustom&) = delete;
    virtual ~TWinEvtListenerCustom() = default;

    const std::string& EventChannelName() const { return FEventChannelName; }
    virtual void StartListening(ILogEntryWindow* formHandle) = 0;
    virtual void StopListening() = 0;

protected:
    std::string FEventChannelName;
    // Read by deliveries, so set and cleared only inside the unit's critical section.
    ILogEntryWindow* FFormHandle = nullptr;
};

class TWinEvtListener : public TWinEvtListenerCustom {
public:
    static constexpr const char* SystemProvider = "Corvane";

    explicit TWinEvtListener(std::shared_ptr<IEventLog> eventLog);
    ~TWinEvtListener() override; // stops listening

    // Subscribes to future events of the channel; a failed subscription leaves it silent.
    void StartListening(ILogEntryWindow* formHandle) override;
    // Once it returns, no delivery reaches the window: one in progress has posted its entry
    // (the window still exists), and any later one frees its entry itself.
    void StopListening() override;
    // One delivery: the event's entry is posted when it comes from the system's provider and
    // has a message. Raises on events that cannot be read.
    void EvtCallback(TEvtSubscribeAction action, IEventRecord* event, uint32_t errorCode);

    bool Subscribed() const { return FSubscriptionHandle != nullptr; }

private:
    std::shared_ptr<IEventLog> FEventLog;
    std::unique_ptr<IEventSubscription> FSubscriptionHandle;
};

// The function given to the subscription: deliveries one at a time, in the unit's critical
// section; an event that fails on the way is dropped. Returns 0.
uint32_t OnEventDelivered(TEvtSubscribeAction action, void* context, IEventRecord* event,
                          uint32_t errorCode);

} // namespace cv
