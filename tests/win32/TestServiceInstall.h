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

// Wine's service manager now and then never completes the deletion of an earlier test's
// service (error 1072 for good); that is the manager's state, not a fault of the code under
// test, so the test says so and skips. Any other failure to install fails the test.
#define CV_REQUIRE_TEST_SERVICE(installed)                                                       \
    do {                                                                                         \
        if (!(installed).Installed() && (installed).Error() == ERROR_SERVICE_MARKED_FOR_DELETE)  \
            GTEST_SKIP() << "the service manager still holds a deleted \"Corvane\" (error 1072)"; \
        ASSERT_TRUE((installed).Installed()) << (installed).Error();                              \
    } while (0)
