#pragma once
// TCvService: the program's only access to the "Corvane" service. Every operation opens its
// own handles and closes them before returning. A polling thread reads the state once a
// second and reports each change through OnServiceStatus on the main thread.
#include "core/Thread.h"
#include "platform/ServiceManager.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace cv {

using TServiceStatusUpdate = std::function<void()>;

// The outcome of a command that waits for the state it asks for.
struct TServiceCommandResult {
    bool Reached = false;
    std::string Reason; // why the state was not reached, one line; empty when it was
};

class TCvService : public TThread {
public:
    static constexpr const char* ServiceName = "Corvane";
    static constexpr int32_t StartTypeUnavailable = 5;
    static constexpr uint32_t ForceControlCode = 200;
    // Longest Force waits for a service that does not act on its forced shutdown.
    static constexpr int DefaultForceBoundMs = 20000;

    // The handler is installed before the first poll, which runs at once on the new thread.
    // State changes reach it on the main thread through the hand-over; start type changes
    // call it directly on the caller's thread.
    TCvService(std::shared_ptr<IServiceManager> manager, TServiceStatusUpdate onServiceStatus = {},
               int forceBoundMs = DefaultForceBoundMs, int pollIntervalMs = 1000);
    ~TCvService() override;

    void Start();
    void Stop();
    void Force();
    // Start and Stop that wait until the service runs (is stopped): a change of the opposite
    // direction still pending is let settle first, then the command is sent, and the state is
    // waited for by the wait hints, all within the Force bound. A service already in the
    // state counts as reached.
    TServiceCommandResult StartAndWait();
    TServiceCommandResult StopAndWait();

    bool ServiceRunning() const { return Status() == int32_t(SERVICE_RUNNING); }
    // The state seen by the last poll (8 before the first one, 0 when unreadable).
    int32_t Status() const { return PrevStatus.load(); }
    // Fresh query of the state, as text.
    void GetServiceStatusString(std::string& text);
    bool ServiceCanBeStarted() const;
    void GetServiceStartTypeString(std::string& text) const;
    static int32_t GetServiceStartTypeConstant(const std::string& serString);
    bool ChangeServiceStartType(int32_t serType);

    int32_t ServStartType() const { return FServStartType.load(); }
    static std::string StatusText(int32_t state);
    static std::string StartTypeText(int32_t startType);

    void SetOnServiceStatus(TServiceStatusUpdate handler);

protected:
    void Execute() override;

private:
    std::unique_ptr<IServiceHandle> OpenServiceHandle(uint32_t access);
    // Opens the service with `access` and runs `ask` on it; asked once more, on a new
    // connection, when the manager calls a handle invalid.
    bool AskService(uint32_t access, const std::function<bool(IServiceHandle&)>& ask);
    int32_t QueryStartType();
    int32_t QueryState();
    void SendStopControl(bool force);
    bool WaitForState(IServiceHandle& service, uint32_t wanted);
    bool WaitForState(IServiceHandle& service, uint32_t wanted,
                      std::chrono::steady_clock::time_point deadline, TServiceStatusInfo& status);
    bool WaitWhilePending(IServiceHandle& service, std::chrono::steady_clock::time_point deadline,
                          TServiceStatusInfo& status);
    bool QueryAgain(IServiceHandle& service, TServiceStatusInfo& status);
    TServiceCommandResult RunCommand(bool start);
    void RaiseOnServiceStatus();

    std::shared_ptr<IServiceManager> FManager;
    std::atomic<int32_t> FServStartType{StartTypeUnavailable};
    std::atomic<int32_t> PrevStatus{8};
    TServiceStatusUpdate FOnServiceStatus;
    int FForceBoundMs;
    int FPollIntervalMs;
    // Queued notifications check this before running, so none reaches a freed object.
    std::shared_ptr<std::atomic<bool>> FAlive;
};

} // namespace cv
