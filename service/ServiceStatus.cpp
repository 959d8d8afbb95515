#include "ServiceStatus.h"

#include "core/MainThread.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

namespace cv {

TCvService::TCvService(std::shared_ptr<IServiceManager> manager,
                       TServiceStatusUpdate onServiceStatus, int forceBoundMs, int pollIntervalMs)
    : FManager(std::move(manager)), FOnServiceStatus(std::move(onServiceStatus)),
      FForceBoundMs(forceBoundMs), FPollIntervalMs(pollIntervalMs),
      FAlive(std::make_shared<std::atomic<bool>>(true)) {
    QueryStartType();
    TThread::Start(); // last: the handler is already in place for the first poll
}

TCvService::~TCvService() {
    FAlive->store(false);
    Terminate();
    WaitFor();
}

void TCvService::SetOnServiceStatus(TServiceStatusUpdate handler) {
    FOnServiceStatus = std::move(handler);
}

std::string TCvService::StatusText(int32_t state) {
    static const char* texts[] = {"Unknown",          "Stopped",       "Start Pending",
                                  "Stop Pending",     "Running",       "Continue Pending",
                                  "Pause Pending",    "Paused"};
    return state >= 0 && state <= 7 ? texts[state] : "";
}

std::string TCvService::StartTypeText(int32_t startType) {
    switch (startType) {
    case 2:
        return "Automatic";
    case 3:
        return "Manual";
    case 4:
        return "Disabled";
    case StartTypeUnavailable:
        return "Unavailable";
    default:
        return "";
    }
}

std::unique_ptr<IServiceHandle> TCvService::OpenServiceHandle(uint32_t access) {
    auto manager = FManager->Open(SC_MANAGER_CONNECT);
    if (!manager)
        return {};
    return manager->OpenService(ServiceName, access); // manager handle closes here
}

bool TCvService::AskService(uint32_t access,
                            const std::function<bool(IServiceHandle&)>& ask) {
    // Wine's manager, asked from several threads at once, now and then answers
    // ERROR_INVALID_HANDLE for a handle or connection it has just given out; any other
    // failure is the answer.
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto service = OpenServiceHandle(access);
        if (service && ask(*service))
            return true;
        if (FManager->LastError() != ERROR_INVALID_HANDLE_CODE)
            return false;
    }
    return false;
}

int32_t TCvService::QueryStartType() {
    uint32_t startType = 0;
    const int32_t result =
        AskService(SERVICE_QUERY_CONFIG,
                   [&](IServiceHandle& service) { return service.QueryStartType(startType); })
            ? static_cast<int32_t>(startType)
            : StartTypeUnavailable;
    FServStartType.store(result);
    return result;
}

int32_t TCvService::QueryState() {
    TServiceStatusInfo status;
    if (!AskService(SERVICE_QUERY_STATUS,
                    [&](IServiceHandle& service) { return service.QueryStatus(status); }))
        return 0;
    return static_cast<int32_t>(status.CurrentState);
}

void TCvService::Start() {
    AskService(SERVICE_START | SERVICE_QUERY_STATUS,
               [](IServiceHandle& service) { return service.Start(); });
}

void TCvService::Stop() { SendStopControl(false); }

void TCvService::Force() { SendStopControl(true); }

void TCvService::SendStopControl(bool force) {
    auto service = OpenServiceHandle(SERVICE_ALL_ACCESS);
    if (!service)
        return;
    TServiceStatusInfo status;
    service->Control(force ? ForceControlCode : SERVICE_CONTROL_STOP, status);
    if (force)
        WaitForState(*service, SERVICE_STOPPED);
}

bool TCvService::WaitForState(IServiceHandle& service, uint32_t wanted) {
    TServiceStatusInfo status;
    if (!service.QueryStatus(status))
        return false;
    // A service that never acts on the control would keep the caller waiting forever; the
    // bound ends the wait as a failure.
    return WaitForState(service, wanted,
                        std::chrono::steady_clock::now() + std::chrono::milliseconds(FForceBoundMs),
                        status);
}

namespace {

// Sleeps a tenth of the service's wait hint (the hint is how long the next step may take at
// most), at least 10 ms (a zero hint would spin on the manager), at most a second, and never
// past the deadline. False when the deadline has come.
bool SleepByHint(const TServiceStatusInfo& status, std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    // Compared as time points: a deadline less than a millisecond away has not come yet, and
    // callers tell "timed out" from "could not query" by the deadline alone.
    const auto now = steady_clock::now();
    if (now >= deadline)
        return false;
    const long long left = ceil<milliseconds>(deadline - now).count();
    const long long step = std::clamp<long long>(status.WaitHint / 10, 10, 1000);
    std::this_thread::sleep_for(milliseconds(std::min<long long>(step, left)));
    return true;
}

bool IsPending(uint32_t state) {
    return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
}

std::string ErrorText(uint32_t code) {
    switch (code) {
    case ERROR_ACCESS_DENIED_CODE:
        return "access is denied (error 5)";
    case ERROR_INVALID_PARAMETER_CODE:
        return "the parameter is incorrect (error 87)";
    case ERROR_SERVICE_REQUEST_TIMEOUT_CODE:
        return "the service did not respond in time (error 1053)";
    case ERROR_SERVICE_ALREADY_RUNNING_CODE:
        return "the service is already running (error 1056)";
    case ERROR_SERVICE_DISABLED_CODE:
        return "the service is disabled (error 1058)";
    case ERROR_SERVICE_DOES_NOT_EXIST_CODE:
        return "the service does not exist (error 1060)";
    case ERROR_SERVICE_CANNOT_ACCEPT_CTRL_CODE:
        return "the service cannot accept the control now (error 1061)";
    case ERROR_SERVICE_NOT_ACTIVE_CODE:
        return "the service has not been started (error 1062)";
    default:
        return "error " + std::to_string(code);
    }
}

TServiceCommandResult Failed(std::string reason) { return {false, std::move(reason)}; }

} // namespace

bool TCvService::WaitForState(IServiceHandle& service, uint32_t wanted,
                              std::chrono::steady_clock::time_point deadline,
                              TServiceStatusInfo& status) {
    // Only the state and the deadline count: a check point that starts again belongs to the
    // next step of a change, which may still end in the wanted state.
    while (status.CurrentState != wanted) {
        if (!SleepByHint(status, deadline) || !QueryAgain(service, status))
            return false;
    }
    return true;
}

bool TCvService::QueryAgain(IServiceHandle& service, TServiceStatusInfo& status) {
    if (service.QueryStatus(status))
        return true;
    // A handle can go stale once the service's process has ended (Wine answers
    // ERROR_INVALID_HANDLE then); a fresh one still answers.
    auto fresh = OpenServiceHandle(SERVICE_QUERY_STATUS);
    return fresh && fresh->QueryStatus(status);
}

bool TCvService::WaitWhilePending(IServiceHandle& service,
                                  std::chrono::steady_clock::time_point deadline,
                                  TServiceStatusInfo& status) {
    while (IsPending(status.CurrentState)) {
        if (!SleepByHint(status, deadline) || !QueryAgain(service, status))
            return false;
    }
    return true;
}

TServiceCommandResult TCvService::StartAndWait() { return RunCommand(true); }

TServiceCommandResult TCvService::StopAndWait() { return RunCommand(false); }

TServiceCommandResult TCvService::RunCommand(bool start) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(FForceBoundMs);
    const uint32_t wanted = start ? SERVICE_RUNNING : SERVICE_STOPPED;
    const uint32_t towards = start ? SERVICE_START_PENDING : SERVICE_STOP_PENDING;
    const std::string bound = std::to_string((FForceBoundMs + 999) / 1000) + " s";

    std::unique_ptr<IServiceHandle> service;
    TServiceStatusInfo status;
    auto openAndQuery = [&]() -> std::optional<TServiceCommandResult> {
        auto manager = FManager->Open(SC_MANAGER_CONNECT);
        if (!manager)
            return Failed("the service manager cannot be opened: " +
                          ErrorText(FManager->LastError()));
        service = manager->OpenService(
            ServiceName, start ? (SERVICE_START | SERVICE_QUERY_STATUS) : SERVICE_ALL_ACCESS);
        if (!service)
            return Failed(std::string("the service \"") + ServiceName +
                          "\" cannot be opened: " + ErrorText(FManager->LastError()));
        if (!service->QueryStatus(status))
            return Failed("the service's state cannot be read: " +
                          ErrorText(FManager->LastError()));
        return std::nullopt;
    };
    auto failure = openAndQuery();
    // As in AskService: a handle or connection just given out may be called invalid once.
    if (failure && FManager->LastError() == ERROR_INVALID_HANDLE_CODE)
        failure = openAndQuery();
    if (failure)
        return *failure;

    auto unreadable = [&] {
        return Failed("the service's state cannot be read: " + ErrorText(FManager->LastError()));
    };
    // The manager refuses a command while the opposite change is still pending.
    if (IsPending(status.CurrentState) && status.CurrentState != towards &&
        !WaitWhilePending(*service, deadline, status)) {
        if (steady_clock::now() < deadline)
            return unreadable();
        return Failed("the service is still " + StatusText(int32_t(status.CurrentState)) +
                      " after " + bound);
    }
    if (status.CurrentState != wanted && status.CurrentState != towards) {
        auto send = [&] {
            return start ? service->Start() : service->Control(SERVICE_CONTROL_STOP, status);
        };
        bool sent = send();
        // A handle can go stale once the service's process has ended; a fresh one is asked once.
        if (!sent && FManager->LastError() == ERROR_INVALID_HANDLE_CODE) {
            if (auto fresh = OpenServiceHandle(start ? (SERVICE_START | SERVICE_QUERY_STATUS)
                                                     : SERVICE_ALL_ACCESS)) {
                service = std::move(fresh);
                sent = send();
            }
        }
        if (!sent) {
            const uint32_t error = FManager->LastError();
            // Another program may have made the same change meanwhile.
            if (!QueryAgain(*service, status) ||
                (status.CurrentState != wanted && status.CurrentState != towards))
                return Failed(std::string(start ? "the start was refused: " : "the stop was refused: ") +
                              ErrorText(error));
        }
        if (!QueryAgain(*service, status))
            return unreadable();
    }
    if (!WaitForState(*service, wanted, deadline, status)) {
        if (steady_clock::now() < deadline)
            return unreadable();
        return Failed("the service did not reach " + StatusText(int32_t(wanted)) + " within " + bound +
                      " (it is " + StatusText(int32_t(status.CurrentState)) + ")");
    }
    return {true, {}};
}

void TCvService::GetServiceStatusString(std::string& text) { text = StatusText(QueryState()); }

bool TCvService::ServiceCanBeStarted() const {
    auto t = FServStartType.load();
    return t == int32_t(SERVICE_AUTO_START) || t == int32_t(SERVICE_DEMAND_START);
}

void TCvService::GetServiceStartTypeString(std::string& text) const {
    text = StartTypeText(FServStartType.load());
}

int32_t TCvService::GetServiceStartTypeConstant(const std::string& serString) {
    if (serString == "Automatic")
        return SERVICE_AUTO_START;
    if (serString == "Disabled")
        return SERVICE_DISABLED;
    if (serString == "Manual")
        return SERVICE_DEMAND_START;
    return 0;
}

bool TCvService::ChangeServiceStartType(int32_t serType) {
    bool ok = false;
    if (serType >= int32_t(SERVICE_AUTO_START) && serType <= int32_t(SERVICE_DISABLED)) {
        ok = AskService(SERVICE_CHANGE_CONFIG, [&](IServiceHandle& service) {
            return service.ChangeStartType(static_cast<uint32_t>(serType));
        });
        if (ok)
            FServStartType.store(serType);
    }
    if (FOnServiceStatus)
        FOnServiceStatus();
    return ok;
}

void TCvService::RaiseOnServiceStatus() {
    Queue([this, alive = FAlive] {
        if (alive->load() && FOnServiceStatus)
            FOnServiceStatus();
    });
}

void TCvService::Execute() {
    while (!Terminated()) {
        int32_t state = QueryState();
        if (state != PrevStatus.load()) {
            PrevStatus.store(state);
            RaiseOnServiceStatus();
        }
        SleepUnlessTerminated(FPollIntervalMs);
    }
}

} // namespace cv
