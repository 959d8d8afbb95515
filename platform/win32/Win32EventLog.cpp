#include "Win32EventLog.h"

#include "Win32Text.h"

#include <windows.h>

#include <objbase.h>
#include <winevt.h>

#include <map>
#include <mutex>

namespace cv {

namespace {

// One subscription's side that its callbacks reach. The callbacks find it by number, never by
// address: a callback the service still runs after the close finds nothing and returns.
struct TSubscriptionState {
    std::mutex Mutex; // held by a running callback; the close takes it to wait for that
    bool Closed = false;
    IEventLog::TCallback Callback;
};

std::mutex gStatesMutex;
std::map<uintptr_t, std::shared_ptr<TSubscriptionState>> gStates;
uintptr_t gNextState = 1;

std::shared_ptr<TSubscriptionState> FindState(uintptr_t id) {
    std::lock_guard<std::mutex> lock(gStatesMutex);
    auto it = gStates.find(id);
    return it == gStates.end() ? nullptr : it->second;
}

class TWin32EventRecord : public IEventRecord {
public:
    explicit TWin32EventRecord(EVT_HANDLE h) : Handle(h) {}
    uint32_t RenderXml(char16_t* buffer, uint32_t bufferBytes, uint32_t& bufferUsed) override {
        DWORD used = 0, properties = 0;
        const BOOL ok = ::EvtRender(nullptr, Handle, EvtRenderEventXml, bufferBytes, buffer, &used,
                                    &properties);
        bufferUsed = used;
        return ok ? 0 : ::GetLastError();
    }
    EVT_HANDLE Handle; // the service's; it closes it when the callback returns
};

class TWin32PublisherMetadata : public IPublisherMetadata {
public:
    explicit TWin32PublisherMetadata(EVT_HANDLE h) : Handle(h) {}
    ~TWin32PublisherMetadata() override { ::EvtClose(Handle); }
    EVT_HANDLE Handle;
};

class TWin32Subscription : public IEventSubscription {
public:
    TWin32Subscription(uintptr_t id, EVT_HANDLE h, std::shared_ptr<TSubscriptionState> state)
        : FId(id), FHandle(h), FState(std::move(state)) {}
    ~TWin32Subscription() override {
        {
            // A callback in progress ends first; later ones see the close and return.
            std::lock_guard<std::mutex> lock(FState->Mutex);
            FState->Closed = true;
        }
        {
            std::lock_guard<std::mutex> lock(gStatesMutex);
            gStates.erase(FId);
        }
        ::EvtClose(FHandle);
    }

private:
    uintptr_t FId;
    EVT_HANDLE FHandle;
    std::shared_ptr<TSubscriptionState> FState;
};

DWORD WINAPI OnSubscriptionCallback(EVT_SUBSCRIBE_NOTIFY_ACTION action, PVOID context,
                                    EVT_HANDLE event) {
    // The service's threads come and go; each initialises COM for itself once.
    thread_local const bool comReady =
        SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    (void)comReady;
    const std::shared_ptr<TSubscriptionState> state =
        FindState(reinterpret_cast<uintptr_t>(context));
    if (!state)
        return 0;
    std::lock_guard<std::mutex> lock(state->Mutex);
    if (state->Closed)
        return 0;
    try {
        if (action == EvtSubscribeActionDeliver) {
            TWin32EventRecord record(event);
            state->Callback(esa_Deliver, &record, 0);
        } else {
            // With an error the "event" is the error code.
            state->Callback(esa_Error, nullptr,
                            static_cast<uint32_t>(reinterpret_cast<uintptr_t>(event)));
        }
    } catch (...) {
        // Nothing may escape into the service's thread.
    }
    return 0;
}

} // namespace

std::unique_ptr<IEventSubscription> TWin32EventLog::Subscribe(const std::string& channel,
                                                              const std::string& query,
                                                              uint32_t flags, TCallback callback) {
    if (!callback)
        return {};
    auto state = std::make_shared<TSubscriptionState>();
    state->Callback = std::move(callback);
    uintptr_t id = 0;
    {
        std::lock_guard<std::mutex> lock(gStatesMutex);
        id = gNextState++;
        gStates[id] = state;
    }
    const EVT_HANDLE h =
        ::EvtSubscribe(nullptr, nullptr, win32::Widen(channel).c_str(), win32::Widen(query).c_str(),
                       nullptr, reinterpret_cast<PVOID>(id), OnSubscriptionCallback, flags);
    if (!h) {
        std::lock_guard<std::mutex> lock(gStatesMutex);
        gStates.erase(id);
        return {};
    }
    return std::make_unique<TWin32Subscription>(id, h, std::move(state));
}

std::unique_ptr<IPublisherMetadata> TWin32EventLog::OpenPublisherMetadata(const std::string& provider) {
    const EVT_HANDLE h =
        ::EvtOpenPublisherMetadata(nullptr, win32::Widen(provider).c_str(), nullptr, 0, 0);
    if (!h)
        return {};
    return std::make_unique<TWin32PublisherMetadata>(h);
}

uint32_t TWin32EventLog::FormatMessageText(IPublisherMetadata& metadata, IEventRecord& event,
                                       char16_t* buffer, uint32_t bufferChars,
                                       uint32_t& bufferUsed) {
    bufferUsed = 0;
    auto* m = dynamic_cast<TWin32PublisherMetadata*>(&metadata);
    auto* e = dynamic_cast<TWin32EventRecord*>(&event);
    if (!m || !e)
        return ERROR_INVALID_HANDLE;
    DWORD used = 0;
    const BOOL ok = ::EvtFormatMessage(m->Handle, e->Handle, 0, 0, nullptr, EvtFormatMessageEvent,
                                       bufferChars, reinterpret_cast<LPWSTR>(buffer), &used);
    bufferUsed = used;
    return ok ? 0 : ::GetLastError();
}

} // namespace cv
