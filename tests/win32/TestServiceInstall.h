#pragma once
// Installs the test service as "Corvane" in the local service manager for one test and
// removes it afterwards, ending it first if it still runs.
#include <windows.h>

#include <string>

namespace cv::test {

// The test service's executable, beside the running test program.
std::wstring TestServicePath();

// Removes any "Corvane" service left behind (stopping it first). True when none remains.
bool RemoveCorvaneService();

class TInstalledTestService {
public:
    explicit TInstalledTestService(bool hung = false, DWORD startType = SERVICE_DEMAND_START);
    ~TInstalledTestService();
    TInstalledTestService(const TInstalledTestService&) = delete;
    TInstalledTestService& operator=(const TInstalledTestService&) = delete;

    bool Installed() const { return FInstalled; }
    DWORD Error() const { return FError; }
    // Current state straight from the manager; 0 when it cannot be read.
    static DWORD State();
    // Polls the manager until the state is `wanted` or `timeoutMs` passed.
    static bool WaitForState(DWORD wanted, int timeoutMs);

private:
    bool FInstalled = false;
    DWORD FError = 0;
};

} // namespace cv::test
