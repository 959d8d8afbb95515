#include "ServiceStatus.h"

#include "core/MainThread.h"

#include <algorithm>
#include <chrono>
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

int32_t TCvService::QueryStartType() {
    int32_t result = StartTypeUnavailable;
    if (auto service = OpenServiceHandle(SERVICE_QUERY_CONFIG)) {
        uint32_t startType = 0;
        if (service->QueryStartType(startType))
            result = static_cast<int32_t>(startType);
    }
    FServStartType.store(result);
    return result;
}

int32_t TCvService::QueryState() {
    auto service = OpenServiceHandle(SERVICE_QUERY_STATUS);
    if (!service)
        return 0;
    TServiceStatusInfo status;
    if (!service->QueryStatus(status))
        return 0;
    return static_cast<int32_t>(status.CurrentState);
}

void TCvService::Start() {
    if (auto service = OpenServiceHandle(SERVICE_START | SERVICE_QUERY_STATUS))
        service->Start();
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
    using namespace std::chrono;
    TServiceStatusInfo status;
    if (!service.QueryStatus(status))
        return false;
    // A service that never acts on the control would keep the caller waiting forever; the
    // bound ends the wait as a failure.
    const auto deadline = steady_clock::now() + milliseconds(FForceBoundMs);
    while (status.CurrentState != wanted) {
        const uint32_t checkPoint = status.CheckPoint;
        auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            return false;
        // A zero wait hint would spin on the manager; sleep at least 10 ms.
        auto hint = std::clamp<long long>(status.WaitHint, 10, left);
        std::this_thread::sleep_for(milliseconds(hint));
        if (!service.QueryStatus(status))
            break;
        if (status.CheckPoint < checkPoint)
            return false;
    }
    return status.CurrentState == wanted;
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
        if (auto service = OpenServiceHandle(SERVICE_CHANGE_CONFIG)) {
            ok = service->ChangeStartType(static_cast<uint32_t>(serType));
            if (ok)
                FServStartType.store(serType);
        }
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
