#include "TestServiceInstall.h"

#include "platform/win32/ScopedHandle.h"

namespace cv::test {
namespace {

constexpr DWORD kReleaseControl = 201;
const wchar_t* const kName = L"Corvane";
// Once a deletion has not completed within the bounds below, later installs in this process
// would wait as long again for nothing.
bool gDeletionStuck = false;

std::wstring Folder() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L"\\/") + 1);
}

// Ends a service that ignores its controls: its own release code, then its process.
void EndService(SC_HANDLE service) {
    SERVICE_STATUS status{};
    if (::QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_STOPPED)
        return;
    ::ControlService(service, SERVICE_CONTROL_STOP, &status);
    ::ControlService(service, kReleaseControl, &status);
    if (TInstalledTestService::WaitForState(SERVICE_STOPPED, 5000))
        return;
    SERVICE_STATUS_PROCESS process{};
    DWORD needed = 0;
    if (::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&process),
                               sizeof(process), &needed) &&
        process.dwProcessId != 0) {
        win32::THandle h(::OpenProcess(PROCESS_TERMINATE, FALSE, process.dwProcessId));
        if (h)
            ::TerminateProcess(h.Get(), 1);
    }
    TInstalledTestService::WaitForState(SERVICE_STOPPED, 5000);
}

} // namespace

std::wstring TestServicePath() {
    return Folder() + L"corvane_test_service.exe";
}

bool RemoveCorvaneService() {
    win32::TServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!scm)
        return false;
    {
        win32::TServiceHandle service(::OpenServiceW(scm.Get(), kName, SERVICE_ALL_ACCESS));
        if (!service)
            return ::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
        EndService(service.Get());
        ::DeleteService(service.Get());
    }
    // Deletion completes when the last handle closes and the service's process has gone,
    // which on a loaded machine can take several seconds; wait until the name is free.
    for (int i = 0; i < 600; ++i) {
        win32::TServiceHandle probe(::OpenServiceW(scm.Get(), kName, SERVICE_QUERY_STATUS));
        if (!probe && ::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST)
            return true;
        probe.Reset();
        ::Sleep(50);
    }
    return false;
}

TInstalledTestService::TInstalledTestService(bool hung, DWORD startType) {
    if (gDeletionStuck) {
        FError = ERROR_SERVICE_MARKED_FOR_DELETE;
        return;
    }
    RemoveCorvaneService();
    win32::TServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!scm) {
        FError = ::GetLastError();
        return;
    }
    std::wstring command = L"\"" + TestServicePath() + L"\"";
    if (hung)
        command += L" hung";
    // An earlier test's service may still be on its way out (marked for deletion).
    for (int attempt = 0; attempt < 300; ++attempt) {
        win32::TServiceHandle service(::CreateServiceW(
            scm.Get(), kName, kName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, startType,
            SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        if (service) {
            FInstalled = true;
            FError = 0;
            return;
        }
        FError = ::GetLastError();
        if (FError != ERROR_SERVICE_MARKED_FOR_DELETE && FError != ERROR_SERVICE_EXISTS)
            return;
        ::Sleep(100);
    }
    gDeletionStuck = FError == ERROR_SERVICE_MARKED_FOR_DELETE;
}

TInstalledTestService::~TInstalledTestService() {
    if (FInstalled)
        RemoveCorvaneService();
}

DWORD TInstalledTestService::State() {
    win32::TServiceHandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!scm)
        return 0;
    win32::TServiceHandle service(::OpenServiceW(scm.Get(), kName, SERVICE_QUERY_STATUS));
    SERVICE_STATUS status{};
    if (!service || !::QueryServiceStatus(service.Get(), &status))
        return 0;
    return status.dwCurrentState;
}

bool TInstalledTestService::WaitForState(DWORD wanted, int timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    do {
        if (State() == wanted)
            return true;
        ::Sleep(50);
    } while (::GetTickCount64() < end);
    return State() == wanted;
}

} // namespace cv::test
