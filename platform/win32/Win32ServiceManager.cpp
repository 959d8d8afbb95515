#include "Win32ServiceManager.h"

#include "ScopedHandle.h"
#include "Win32Text.h"

#include <vector>

// windows.h maps OpenService to OpenServiceW; the port's method has the plain name.
#undef OpenService

namespace cv {
namespace {

thread_local uint32_t tLastError = 0;

// Must run before anything else can overwrite the thread's last error.
bool Failed() {
    tLastError = ::GetLastError();
    return false;
}

void ToInfo(const SERVICE_STATUS& s, TServiceStatusInfo& info) {
    info.CurrentState = s.dwCurrentState;
    info.CheckPoint = s.dwCheckPoint;
    info.WaitHint = s.dwWaitHint;
}

class TService : public IServiceHandle {
public:
    explicit TService(SC_HANDLE h) : FHandle(h) {}

    bool Start() override {
        if (!::StartServiceW(FHandle.Get(), 0, nullptr))
            return Failed();
        return true;
    }

    bool Control(uint32_t code, TServiceStatusInfo& status) override {
        SERVICE_STATUS s{};
        if (!::ControlService(FHandle.Get(), code, &s))
            return Failed();
        ToInfo(s, status);
        return true;
    }

    bool QueryStatus(TServiceStatusInfo& status) override {
        SERVICE_STATUS s{};
        if (!::QueryServiceStatus(FHandle.Get(), &s))
            return Failed();
        ToInfo(s, status);
        return true;
    }

    bool QueryProcessId(uint32_t& processId) override {
        processId = 0;
        SERVICE_STATUS_PROCESS s{};
        DWORD needed = 0;
        if (!::QueryServiceStatusEx(FHandle.Get(), SC_STATUS_PROCESS_INFO,
                                    reinterpret_cast<BYTE*>(&s), sizeof s, &needed))
            return Failed();
        processId = s.dwCurrentState == SERVICE_STOPPED ? 0 : s.dwProcessId;
        return true;
    }

    bool QueryStartType(uint32_t& startType) override {
        DWORD needed = 0;
        // The size query fails by design with ERROR_INSUFFICIENT_BUFFER.
        if (!::QueryServiceConfigW(FHandle.Get(), nullptr, 0, &needed) &&
            ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return Failed();
        if (needed < sizeof(QUERY_SERVICE_CONFIGW))
            needed = sizeof(QUERY_SERVICE_CONFIGW);
        // Kept as QUERY_SERVICE_CONFIGW elements so the structure is suitably aligned.
        std::vector<QUERY_SERVICE_CONFIGW> buffer((needed + sizeof(QUERY_SERVICE_CONFIGW) - 1) /
                                                  sizeof(QUERY_SERVICE_CONFIGW));
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(QUERY_SERVICE_CONFIGW));
        if (!::QueryServiceConfigW(FHandle.Get(), buffer.data(), size, &needed))
            return Failed();
        startType = buffer[0].dwStartType;
        return true;
    }

    bool ChangeStartType(uint32_t startType) override {
        if (!::ChangeServiceConfigW(FHandle.Get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE,
                                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
            return Failed();
        return true;
    }

private:
    win32::TServiceHandle FHandle;
};

class TManager : public IServiceManagerHandle {
public:
    explicit TManager(SC_HANDLE h) : FHandle(h) {}

    std::unique_ptr<IServiceHandle> OpenService(const std::string& name, uint32_t access) override {
        SC_HANDLE h = ::OpenServiceW(FHandle.Get(), win32::Widen(name).c_str(), access);
        if (!h) {
            Failed();
            return {};
        }
        return std::make_unique<TService>(h);
    }

private:
    win32::TServiceHandle FHandle;
};

} // namespace

std::unique_ptr<IServiceManagerHandle> TWin32ServiceManager::Open(uint32_t access) {
    SC_HANDLE h = ::OpenSCManagerW(nullptr, nullptr, access);
    if (!h) {
        Failed();
        return {};
    }
    return std::make_unique<TManager>(h);
}

uint32_t TWin32ServiceManager::LastError() const {
    return tLastError;
}

} // namespace cv
