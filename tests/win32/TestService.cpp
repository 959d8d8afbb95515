// A small Windows service for the tests: it starts, stops on SERVICE_CONTROL_STOP (through a
// few STOP_PENDING checkpoints) and at once on control code 200, its forced shutdown.
// Arguments of its binary path:
//   hung  ignores both the stop control and code 200 (code 201 still ends it, for clean-up)
//   idle  not a service: sleeps a minute, for tests that need a process to end
#include <windows.h>

#include <cstring>

namespace {

constexpr DWORD kForceControl = 200;
constexpr DWORD kReleaseControl = 201;

SERVICE_STATUS_HANDLE gStatusHandle = nullptr;
SERVICE_STATUS gStatus{};
HANDLE gStopEvent = nullptr;
bool gHung = false;
volatile LONG gForced = 0;

void Report(DWORD state, DWORD waitHint) {
    gStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    gStatus.dwCurrentState = state;
    gStatus.dwWin32ExitCode = NO_ERROR;
    gStatus.dwWaitHint = waitHint;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    gStatus.dwCheckPoint = pending ? gStatus.dwCheckPoint + 1 : 0;
    gStatus.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    ::SetServiceStatus(gStatusHandle, &gStatus);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        if (gHung)
            return NO_ERROR;
        Report(SERVICE_STOP_PENDING, 1000);
        ::SetEvent(gStopEvent);
        return NO_ERROR;
    case kForceControl:
        if (gHung)
            return NO_ERROR;
        ::InterlockedExchange(&gForced, 1);
        ::SetEvent(gStopEvent);
        return NO_ERROR;
    case kReleaseControl:
        ::InterlockedExchange(&gForced, 1);
        ::SetEvent(gStopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
    gStatusHandle = ::RegisterServiceCtrlHandlerExW(L"Corvane", Handler, nullptr);
    if (!gStatusHandle)
        return;
    gStopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Report(SERVICE_START_PENDING, 3000);
    ::Sleep(300); // long enough for a poll to see the pending state now and then
    Report(SERVICE_RUNNING, 0);
    ::WaitForSingleObject(gStopEvent, INFINITE);
    if (!::InterlockedCompareExchange(&gForced, 0, 0)) {
        for (int i = 0; i < 3; ++i) { // an orderly stop takes a moment
            ::Sleep(150);
            Report(SERVICE_STOP_PENDING, 1000);
        }
    }
    Report(SERVICE_STOPPED, 0);
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "hung") == 0)
            gHung = true;
        if (std::strcmp(argv[i], "idle") == 0) {
            ::Sleep(60000);
            return 0;
        }
    }
    wchar_t name[] = L"Corvane";
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
