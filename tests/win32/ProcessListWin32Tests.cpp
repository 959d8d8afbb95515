// The notification tool's mutex and the process list on the Windows backend.
#include "platform/win32/ScopedHandle.h"
#include "platform/win32/Win32NamedMutex.h"
#include "platform/win32/Win32ProcessTable.h"
#include "platform/win32/Win32Text.h"
#include "service/CvProcessList.h"
#include "service/NotifyMutex.h"

#include "core/Text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <thread>

#include "Win32TestSupport.h"

using namespace cv;

namespace {

using cvtest::UniqueName;

std::wstring OwnFolder() {
    const std::wstring self = cvtest::OwnModulePath();
    return self.substr(0, self.find_last_of(L"\\/") + 1);
}

} // namespace

TEST(Win32NamedMutex, SeenWhileHeldAndNotAfterRelease) {
    TWin32NamedMutex mutexes;
    const std::string name = UniqueName("mutex");
    EXPECT_FALSE(mutexes.Exists(name));
    auto held = mutexes.Hold(name);
    ASSERT_TRUE(held);
    EXPECT_TRUE(mutexes.Exists(name));
    auto second = mutexes.Hold(name);
    ASSERT_TRUE(second) << "creating an existing mutex opens it";
    held.reset();
    EXPECT_TRUE(mutexes.Exists(name));
    second.reset();
    EXPECT_FALSE(mutexes.Exists(name));
}

TEST(Win32NamedMutex, NotifyMutexIsTheToolsSessionMutex) {
    auto mutexes = std::make_shared<TWin32NamedMutex>();
    TNotifyMutex notify(mutexes);
    // The tool itself would hold it; nothing here runs it.
    win32::THandle tool(::CreateMutexW(nullptr, TRUE, L"Notify_LocalHost"));
    ASSERT_TRUE(tool.Valid());
    EXPECT_TRUE(notify.NotifyMutexExists());
    ::ReleaseMutex(tool.Get());
    tool.Reset();
    EXPECT_FALSE(notify.NotifyMutexExists());
}

// A client program copied into an install folder of its own is found, listed and ended.
TEST(Win32ProcessList, FindsListsAndEndsAProgramOfTheInstallFolder) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring install = std::wstring(temp) + win32::Widen(UniqueName("install")) + L"\\";
    ASSERT_TRUE(::CreateDirectoryW(install.c_str(), nullptr));
    const std::wstring exe = install + L"cvclient.exe";
    ASSERT_TRUE(
        ::CopyFileW((OwnFolder() + L"corvane_test_service.exe").c_str(), exe.c_str(), TRUE));

    std::wstring command = L"\"" + exe + L"\" idle";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &si, &pi));
    win32::THandle process(pi.hProcess), thread(pi.hThread);

    // The folder's case differs from the program's path: the comparison ignores it.
    TCvProcessList list(std::make_shared<TWin32ProcessTable>(), UpperCase(win32::Narrow(install)));
    list.SetActive(fullActive);
    ASSERT_EQ(list.Processes().Count(), 1);
    const TCvProcessRec rec = list.Processes().GetProcessRec(0);
    EXPECT_EQ(rec.ProcessID, pi.dwProcessId);
    EXPECT_EQ(rec.Name, "cvclient.exe");
    EXPECT_FALSE(rec.UserName.empty());
    EXPECT_GT(rec.StartDateTime, 0.0);
    EXPECT_EQ(list.Processes().ScadaProcesses, 1);
    EXPECT_EQ(list.Processes().KernelProcesses, 0);
    EXPECT_THROW(list.Processes().GetProcessRec(1), Exception);

    list.SetActive(countActive);
    EXPECT_EQ(list.TerminateAllSystemProcesses(), 1);
    // Gone when the call returns: the refresh it ends with no longer counts it.
    EXPECT_EQ(::WaitForSingleObject(process.Get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(list.Processes().ScadaProcesses, 0);
    DWORD code = 99;
    ::GetExitCodeProcess(process.Get(), &code);
    EXPECT_EQ(code, 0u);

    process.Reset();
    thread.Reset();
    for (int i = 0; i < 50 && !::DeleteFileW(exe.c_str()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::RemoveDirectoryW(install.c_str());
}

TEST(Win32ProcessTable, WaitingForExitEndsWhenTheProcessIsGoneOrAtTheBound) {
    std::wstring command = L"\"" + OwnFolder() + L"corvane_test_service.exe\" idle";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &si, &pi));
    win32::THandle process(pi.hProcess), thread(pi.hThread);
    TWin32ProcessTable table;
    auto handle = table.Open(pi.dwProcessId, PROCESS_ALL_ACCESS_RIGHTS);
    ASSERT_TRUE(handle);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(handle->WaitForExit(150)) << "still running";
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(140));
    ASSERT_TRUE(handle->Terminate(0));
    EXPECT_TRUE(handle->WaitForExit(5000));
    EXPECT_EQ(::WaitForSingleObject(process.Get(), 0), WAIT_OBJECT_0);
}
