#pragma once
// Service control. Stands for OpenSCManagerW, OpenServiceW, StartServiceW, ControlService,
// QueryServiceStatus, QueryServiceStatusEx, QueryServiceConfigW, ChangeServiceConfigW and
// CloseServiceHandle.
// Handles close when their objects go. Failures return false and set LastError() to the
// Windows error code (ERROR_ACCESS_DENIED, ERROR_SERVICE_DOES_NOT_EXIST, ...).
#include <cstdint>
#include <memory>
#include <string>

namespace cv {

// Access rights and codes with their Windows values.
constexpr uint32_t SC_MANAGER_CONNECT = 0x0001;
constexpr uint32_t SC_MANAGER_ALL_ACCESS = 0xF003F;
constexpr uint32_t SERVICE_QUERY_CONFIG = 0x0001;
constexpr uint32_t SERVICE_CHANGE_CONFIG = 0x0002;
constexpr uint32_t SERVICE_QUERY_STATUS = 0x0004;
constexpr uint32_t SERVICE_START = 0x0010;
constexpr uint32_t SERVICE_STOP = 0x0020;
constexpr uint32_t SERVICE_USER_DEFINED_CONTROL = 0x0100;
constexpr uint32_t SERVICE_ALL_ACCESS = 0xF01FF;

constexpr uint32_t SERVICE_CONTROL_STOP = 1;

constexpr uint32_t SERVICE_STOPPED = 1;
constexpr uint32_t SERVICE_START_PENDING = 2;
constexpr uint32_t SERVICE_STOP_PENDING = 3;
constexpr uint32_t SERVICE_RUNNING = 4;
constexpr uint32_t SERVICE_CONTINUE_PENDING = 5;
constexpr uint32_t SERVICE_PAUSE_PENDING = 6;
constexpr uint32_t SERVICE_PAUSED = 7;

constexpr uint32_t SERVICE_BOOT_START = 0;
constexpr uint32_t SERVICE_SYSTEM_START = 1;
constexpr uint32_t SERVICE_AUTO_START = 2;
constexpr uint32_t SERVICE_DEMAND_START = 3;
constexpr uint32_t SERVICE_DISABLED = 4;

constexpr uint32_t ERROR_ACCESS_DENIED_CODE = 5;
constexpr uint32_t ERROR_INVALID_HANDLE_CODE = 6;
constexpr uint32_t ERROR_INVALID_PARAMETER_CODE = 87;
constexpr uint32_t ERROR_SERVICE_REQUEST_TIMEOUT_CODE = 1053;
constexpr uint32_t ERROR_SERVICE_ALREADY_RUNNING_CODE = 1056;
constexpr uint32_t ERROR_SERVICE_DISABLED_CODE = 1058;
constexpr uint32_t ERROR_SERVICE_DOES_NOT_EXIST_CODE = 1060;
constexpr uint32_t ERROR_SERVICE_CANNOT_ACCEPT_CTRL_CODE = 1061;
constexpr uint32_t ERROR_SERVICE_NOT_ACTIVE_CODE = 1062;

struct TServiceStatusInfo {
    uint32_t CurrentState = 0;
    uint32_t CheckPoint = 0;
    uint32_t WaitHint = 0;
};

class IServiceHandle {
public:
    virtual ~IServiceHandle() = default;
    virtual bool Start() = 0;                                                // StartServiceW, no arguments
    virtual bool Control(uint32_t code, TServiceStatusInfo& status) = 0;    // ControlService
    virtual bool QueryStatus(TServiceStatusInfo& status) = 0;               // QueryServiceStatus
    virtual bool QueryStartType(uint32_t& startType) = 0;                   // QueryServiceConfigW (size, then data)
    virtual bool ChangeStartType(uint32_t startType) = 0;                   // ChangeServiceConfigW, all else unchanged
    // QueryServiceStatusEx (SC_STATUS_PROCESS_INFO): the id of the process the service runs
    // in, 0 while it is stopped. Needs SERVICE_QUERY_STATUS. A backend without it says false.
    virtual bool QueryProcessId(uint32_t& processId) {
        processId = 0;
        return false;
    }
};

class IServiceManagerHandle {
public:
    virtual ~IServiceManagerHandle() = default;
    virtual std::unique_ptr<IServiceHandle> OpenService(const std::string& name,
                                                        uint32_t access) = 0;
};

class IServiceManager {
public:
    virtual ~IServiceManager() = default;
    // The local computer's manager, default database.
    virtual std::unique_ptr<IServiceManagerHandle> Open(uint32_t access) = 0;
    // Error code of the calling thread's last failed call.
    virtual uint32_t LastError() const = 0;
};

} // namespace cv
