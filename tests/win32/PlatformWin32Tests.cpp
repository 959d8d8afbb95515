#include "platform/FileSystem.h"
#include "platform/Platform.h"
#include "platform/win32/ScopedHandle.h"
#include "platform/win32/Win32InstanceBlock.h"
#include "platform/win32/Win32MessageFilter.h"
#include "platform/win32/Win32ProcessTable.h"
#include "platform/win32/Win32SystemInfo.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32/Win32WindowActivator.h"

#include "core/Assert.h"
#include "core/Text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <regex>
#include <thread>
#include <vector>

#include "Win32TestSupport.h"

using namespace cv;

namespace {

using cvtest::UniqueName;

std::string ExeName() {
    std::string s = win32::Narrow(cvtest::OwnModulePath());
    return s.substr(s.find_last_of("\\/") + 1);
}

// A fresh folder under the temporary folder, removed with everything in it.
class TTempFolder {
public:
    TTempFolder() {
        wchar_t base[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, base);
        FPath = win32::Narrow(base) + UniqueName("fs");
        EXPECT_TRUE(CreateDir(FPath));
    }
    ~TTempFolder() { RemoveTree(FPath); }
    const std::string& Path() const { return FPath; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAW data{};
        HANDLE h = ::FindFirstFileW(win32::Widen(FPath + "\\*").c_str(), &data);
        if (h == INVALID_HANDLE_VALUE)
            return names;
        do {
            std::string n = win32::Narrow(data.cFileName);
            if (n != "." && n != "..")
                names.push_back(n);
        } while (::FindNextFileW(h, &data));
        ::FindClose(h);
        return names;
    }

private:
    static void RemoveTree(const std::string& dir) {
        WIN32_FIND_DATAW data{};
        HANDLE h = ::FindFirstFileW(win32::Widen(dir + "\\*").c_str(), &data);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::string n = win32::Narrow(data.cFileName);
                if (n == "." || n == "..")
                    continue;
                std::string full = dir + "\\" + n;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(full);
                else
                    ::DeleteFileW(win32::Widen(full).c_str());
            } while (::FindNextFileW(h, &data));
            ::FindClose(h);
        }
        ::RemoveDirectoryW(win32::Widen(dir).c_str());
    }
    std::string FPath;
};

// ---- instance block ----

TEST(Win32InstanceBlock, SecondCreateSeesTheFirstBlockAndItsBytes) {
    TWin32InstanceBlock blocks;
    const std::string name = UniqueName("block");
    bool existed = true;
    auto first = blocks.Create(name, 8, existed);
    ASSERT_TRUE(first);
    EXPECT_FALSE(existed);
    auto view = first->Map();
    ASSERT_TRUE(view);
    const int32_t values[2] = {0x12345678, 3};
    std::memcpy(view->Data(), values, sizeof(values));

    auto second = blocks.Create(name, 8, existed);
    ASSERT_TRUE(second);
    EXPECT_TRUE(existed);
    EXPECT_EQ(blocks.LastError(), ERROR_ALREADY_EXISTS_CODE);
    auto opened = blocks.Open(name);
    ASSERT_TRUE(opened);
    for (IBlockHandle* h : {second.get(), opened.get()}) {
        auto other = h->Map();
        ASSERT_TRUE(other);
        EXPECT_EQ(std::memcmp(other->Data(), values, sizeof(values)), 0);
    }
}

TEST(Win32InstanceBlock, VanishesWhenTheLastHandleCloses) {
    TWin32InstanceBlock blocks;
    const std::string name = UniqueName("block");
    bool existed = true;
    {
        auto block = blocks.Create(name, 8, existed);
        ASSERT_TRUE(block);
        auto view = block->Map();
        ASSERT_TRUE(view);
        static_cast<int32_t*>(view->Data())[1] = 1;
    }
    EXPECT_FALSE(blocks.Open(name));
    EXPECT_EQ(blocks.LastError(), uint32_t(ERROR_FILE_NOT_FOUND));
    auto again = blocks.Create(name, 8, existed);
    ASSERT_TRUE(again);
    EXPECT_FALSE(existed);
    auto view = again->Map();
    ASSERT_TRUE(view);
    EXPECT_EQ(static_cast<int32_t*>(view->Data())[1], 0); // a new, zeroed block
}

TEST(Win32InstanceBlock, OpenOfMissingBlockFailsWithTheSystemsCode) {
    TWin32InstanceBlock blocks;
    EXPECT_FALSE(blocks.Open(UniqueName("missing")));
    const uint32_t code = blocks.LastError();
    EXPECT_EQ(code, uint32_t(ERROR_FILE_NOT_FOUND));
    const std::string text = blocks.ErrorText(code);
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
}

TEST(Win32InstanceBlock, GuardKeepsASecondHolderWaitingUntilReleased) {
    TWin32InstanceBlock blocks;
    const std::string name = UniqueName("guard");
    auto guard = blocks.Guard(name);
    ASSERT_TRUE(guard);
    std::atomic<bool> entered{false};
    std::thread other([&] {
        TWin32InstanceBlock mine;
        auto g = mine.Guard(name);
        entered.store(g != nullptr);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(entered.load());
    guard.reset();
    other.join();
    EXPECT_TRUE(entered.load());
}

TEST(Win32InstanceBlock, GuardAbandonedByADeadHolderIsTaken) {
    TWin32InstanceBlock blocks;
    const std::string name = UniqueName("guard");
    // A holder that ends without releasing, as a crashed instance would.
    std::thread holder([&] {
        HANDLE m = ::CreateMutexW(nullptr, FALSE, win32::Widen(name + "_guard").c_str());
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(::WaitForSingleObject(m, INFINITE), WAIT_OBJECT_0);
        ::CloseHandle(m);
    });
    holder.join();
    auto start = std::chrono::steady_clock::now();
    auto guard = blocks.Guard(name);
    EXPECT_TRUE(guard);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// ---- system info ----

TEST(Win32SystemInfo, DescribesThisComputerAndProcess) {
    TWin32SystemInfo info;
    const std::string full = info.ComputerName();
    const std::string shortName = info.ShortComputerName();
    ASSERT_FALSE(full.empty());
    ASSERT_FALSE(shortName.empty());
    EXPECT_TRUE(StartsWithText(full, shortName)) << full << " / " << shortName;
    EXPECT_TRUE(DirectoryExists(info.WindowsFolder())) << info.WindowsFolder();
    EXPECT_TRUE(DirectoryExists(info.RoamingAppData())) << info.RoamingAppData();
    EXPECT_FALSE(info.IsWow64()); // a 64-bit build
    EXPECT_TRUE(info.IsNtPlatform());
    EXPECT_EQ(info.CurrentProcessId(), ::GetCurrentProcessId());
    info.DebugOutput("Vornix platform test line \xC3\xA4");
}

TEST(Win32SystemInfo, UtcOffsetMatchesLocalMinusSystemTime) {
    TWin32SystemInfo info;
    SYSTEMTIME utc{}, local{};
    ::GetSystemTime(&utc);
    ::GetLocalTime(&local);
    FILETIME fu{}, fl{};
    ::SystemTimeToFileTime(&utc, &fu);
    ::SystemTimeToFileTime(&local, &fl);
    auto ticks = [](FILETIME f) {
        return static_cast<int64_t>((uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime);
    };
    const double minutes = double(ticks(fl) - ticks(fu)) / 600000000.0;
    EXPECT_NEAR(info.UtcOffsetMinutes(), minutes, 1.0);
}

// ---- file system ----

TEST(Win32FileSystem, AtomicWriteCreatesAndReplacesLeavingNoTemporaryFile) {
    TTempFolder dir;
    const std::string path = dir.Path() + "\\settings.xml";
    const std::string first("first\r\n\0binary\xFF", 15);
    WriteFileAtomic(path, first);
    EXPECT_EQ(ReadFileBytes(path), first);
    WriteFileAtomic(path, "second");
    EXPECT_EQ(ReadFileBytes(path), std::string("second"));
    WriteFileAtomic(path, "");
    EXPECT_EQ(ReadFileBytes(path), std::string());
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"settings.xml"});
}

TEST(Win32FileSystem, AtomicWriteReplacesTheFileAndRemovesStaleTemporaries) {
    TTempFolder dir;
    const std::string path = dir.Path() + "\\kernel_params.par";
    WriteFileAtomic(path, "old");
    // One left by a writer that no longer runs (no process has that id), one of this process
    // (another thread may be writing it).
    const std::string stale = "kernel_params.par.~4294967280_0.tmp";
    const std::string own = "kernel_params.par.~" + std::to_string(::GetCurrentProcessId()) + "_99.tmp";
    for (const auto& name : {stale, own}) {
        win32::TFileHandle f(::CreateFileW(win32::Widen(dir.Path() + "\\" + name).c_str(),
                                           GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(f);
    }
    WriteFileAtomic(path, "new");
    EXPECT_EQ(ReadFileBytes(path), std::string("new"));
    std::vector<std::string> names = dir.Names();
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = {"kernel_params.par", own};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

// ReplaceFileW keeps what belongs to the file rather than to its content: its creation time,
// its security descriptor. Wine keeps what it keeps; the test says what it lacks.
TEST(Win32FileSystem, AtomicWriteKeepsTheReplacedFilesIdentity) {
    TTempFolder dir;
    const std::string path = dir.Path() + "\\settings.xml";
    WriteFileAtomic(path, "old");
    FILETIME old{};
    old.dwHighDateTime = 0x01C00000; // some day in 2001
    {
        win32::TFileHandle f(::CreateFileW(win32::Widen(path).c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(f);
        ASSERT_TRUE(::SetFileTime(f.Get(), &old, nullptr, nullptr));
    }
    WriteFileAtomic(path, "new");
    EXPECT_EQ(ReadFileBytes(path), std::string("new"));
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(::GetFileAttributesExW(win32::Widen(path).c_str(), GetFileExInfoStandard, &data));
    if (data.ftCreationTime.dwHighDateTime != old.dwHighDateTime)
        GTEST_SKIP() << "this ReplaceFileW does not carry the creation time over (Wine's does not)";
    EXPECT_EQ(data.ftCreationTime.dwLowDateTime, old.dwLowDateTime);
}

TEST(Win32FileSystem, ReadOrRaiseGivesTheBytesOrNamesThePathAndTheReason) {
    TTempFolder dir;
    const std::string path = dir.Path() + "\\kernel_setup.lum";
    const std::string bytes("#SET A = 1\r\n\0\xB0", 14);
    WriteFileAtomic(path, bytes);
    EXPECT_EQ(ReadFileOrRaise(path), bytes);
    const std::string missing = dir.Path() + "\\none.lum";
    try {
        ReadFileOrRaise(missing);
        ADD_FAILURE() << "read a missing file";
    } catch (const Exception& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(missing), std::string::npos) << message;
        EXPECT_GT(message.size(), missing.size() + 20) << "the system's reason follows: " << message;
    }
}

TEST(Win32FileSystem, AtomicWriteIntoMissingFolderRaisesAndLeavesNothing) {
    TTempFolder dir;
    EXPECT_THROW(WriteFileAtomic(dir.Path() + "\\missing\\file.txt", "x"), Exception);
    EXPECT_TRUE(dir.Names().empty());
}

TEST(Win32FileSystem, AtomicWriteOverAFolderRaisesAndKeepsTheFolder) {
    TTempFolder dir;
    const std::string sub = dir.Path() + "\\sub";
    ASSERT_TRUE(CreateDir(sub));
    EXPECT_THROW(WriteFileAtomic(sub, "x"), Exception);
    EXPECT_TRUE(DirectoryExists(sub));
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"sub"});
}

TEST(Win32FileSystem, FoldersFilesMovesAndNonAsciiNames) {
    TTempFolder dir;
    const std::string nested = dir.Path() + "\\a\\b\xC3\xA9\\c\\";
    EXPECT_TRUE(ForceDirectories(nested));
    EXPECT_TRUE(DirectoryExists(nested));
    EXPECT_TRUE(ForceDirectories(nested)); // already there
    EXPECT_FALSE(FileExists(nested));
    EXPECT_FALSE(ForceDirectories(""));

    const std::string file = nested + "f\xE2\x82\xAC.txt";
    WriteFileAtomic(file, "euro");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(DirectoryExists(file));
    const std::string moved = nested + "moved.txt";
    EXPECT_TRUE(MoveFileTo(file, moved));
    EXPECT_FALSE(FileExists(file));
    WriteFileAtomic(file, "again");
    EXPECT_FALSE(MoveFileTo(file, moved)); // never over an existing file
    EXPECT_EQ(ReadFileBytes(moved), std::string("euro"));
    EXPECT_TRUE(DeleteFileAt(file));
    EXPECT_FALSE(DeleteFileAt(file));
    EXPECT_FALSE(ReadFileBytes(file).has_value());
    EXPECT_EQ(NativePath("C:\\a\\b"), "C:\\a\\b");
}

// ---- processes ----

TEST(Win32ProcessTable, EnablingTheDebugPrivilegeIsHarmless) {
    TWin32ProcessTable table;
    table.EnableDebugPrivilege();
    table.EnableDebugPrivilege(); // already enabled
    EXPECT_EQ(table.CurrentProcessId(), ::GetCurrentProcessId());
}

TEST(Win32ProcessTable, SnapshotAndHandleDescribeThisProcess) {
    TWin32ProcessTable table;
    std::vector<TSnapshotEntry> entries;
    ASSERT_TRUE(table.Snapshot(entries));
    const TSnapshotEntry* self = nullptr;
    for (const auto& e : entries)
        if (e.ProcessID == ::GetCurrentProcessId())
            self = &e;
    ASSERT_NE(self, nullptr);
    EXPECT_TRUE(SameText(self->ExeFile, ExeName())) << self->ExeFile;
    EXPECT_GE(self->ThreadCount, 1u);

    auto process = table.Open(::GetCurrentProcessId(), PROCESS_QUERY_AND_READ);
    ASSERT_TRUE(process);
    EXPECT_TRUE(EndsWith(LowerCase(process->ImagePath()), LowerCase("\\" + ExeName())))
        << process->ImagePath();
    std::string user, domain;
    EXPECT_TRUE(process->Account(user, domain));
    EXPECT_FALSE(user.empty());
    uint64_t created = 0;
    ASSERT_TRUE(process->CreationTime(created));
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const uint64_t nowTicks = (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    EXPECT_LE(created, nowTicks);
    EXPECT_LT(nowTicks - created, uint64_t(3600) * 10000000); // started within the hour
}

TEST(Win32ProcessTable, OpenOfAMissingProcessFails) {
    TWin32ProcessTable table;
    EXPECT_FALSE(table.Open(0xFFFFFFF0u, PROCESS_QUERY_AND_READ));
    EXPECT_NE(table.LastError(), 0u);
}

TEST(Win32ProcessTable, TerminateEndsAChildProcess) {
    wchar_t self[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self, n);
    dir = dir.substr(0, dir.find_last_of(L"\\/") + 1);
    std::wstring command = L"\"" + dir + L"corvane_test_service.exe\" idle";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &si, &pi));
    win32::THandle process(pi.hProcess), thread(pi.hThread);

    TWin32ProcessTable table;
    auto handle = table.Open(pi.dwProcessId, PROCESS_ALL_ACCESS_RIGHTS);
    ASSERT_TRUE(handle);
    EXPECT_TRUE(handle->Terminate(7));
    ASSERT_EQ(::WaitForSingleObject(process.Get(), 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    EXPECT_EQ(code, 7u);
}

TEST(Win32ProcessTable, FileVersionOfASystemFileAndOfAFileWithoutOne) {
    TWin32ProcessTable table;
    wchar_t system[MAX_PATH] = {};
    UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
    const std::string kernel = win32::Narrow(std::wstring_view(system, n)) + "\\kernel32.dll";
    const std::string version = table.FileVersion(kernel);
    EXPECT_TRUE(std::regex_match(version, std::regex(R"(\d+\.\d+\.\d+\.\d+)"))) << version;
    wchar_t self[MAX_PATH] = {};
    DWORD m = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(table.FileVersion(win32::Narrow(std::wstring_view(self, m))), "");
    EXPECT_EQ(table.FileVersion("C:\\no\\such\\file.dll"), "");
}

// ---- windows ----

// A plain top-level window; null when the session has no display.
HWND MakeWindow() {
    return ::CreateWindowExW(0, L"STATIC", L"Vornix test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                             nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

TEST(Win32WindowActivator, RestoresAMinimisedWindowThroughIts32BitHandle) {
    HWND window = MakeWindow();
    if (!window)
        GTEST_SKIP() << "no window station with a display";
    TWin32WindowActivator activator;
    const uint32_t published = activator.Register(reinterpret_cast<uintptr_t>(window), {});
    ::ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(::IsIconic(window));
    activator.RestoreAndRaise(published);
    EXPECT_FALSE(::IsIconic(window));
    ::DestroyWindow(window);
}

TEST(Win32MessageFilter, UsesTheExtendedEntryPointOnCurrentSystems) {
    HWND window = MakeWindow();
    const UINT taskbarMessage = ::RegisterWindowMessageW(L"TaskbarButtonCreated");
    EXPECT_EQ(AllowElevatedMessages(reinterpret_cast<uintptr_t>(window), taskbarMessage),
              TMessageFilterCall::mfc_FilterEx);
    if (window)
        ::DestroyWindow(window);
}

// ---- bundle ----

TEST(Win32Platform, BundleHasEverySlotAndNoSandbox) {
    TPlatform p = CreatePlatform();
    EXPECT_TRUE(p.Services && p.Registry && p.Processes && p.Instances && p.Windows && p.Mutexes &&
                p.Shell && p.Certificates && p.EventLog && p.System && p.Tcp && p.Taskbar);
    EXPECT_EQ(SandboxFolder(), "");
}

} // namespace
