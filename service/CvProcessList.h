#pragma once
// The system's running processes: those whose executable lies in the install folder (or in a
// "Vekta\Corvane Pro\" folder), counted as kernel processes (account "Corvane") or client
// processes (any other account), and, while the process panel shows, listed with their
// details. The timer is the window's: the list says which interval it wants through
// OnTimerChange, and the window's timer calls TimerTick.
#include "core/Assert.h"
#include "core/DateTime.h"
#include "platform/ProcessTable.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cv {

// An operating-system call failed where the caller cannot go on; carries the error code.
class EOSError : public Exception {
public:
    explicit EOSError(uint32_t code);
    uint32_t ErrorCode() const { return FCode; }

private:
    uint32_t FCode;
};

struct TCvProcessRec {
    std::string Name;    // executable file name from the snapshot, no folder
    std::string Version; // "%d.%d.%d.%d", empty when the file has none
    std::string UserName;
    std::string Domain;
    TDateTime StartDateTime = 0; // local time
    uint64_t StartFiletime = 0;  // FILETIME, UTC
    uint32_t ProcessID = 0;
    uint32_t ThreadCount = 0;
};

class TProcesses {
public:
    int32_t KernelProcesses = 0;
    int32_t ScadaProcesses = 0; // client processes

    void Clear();
    int Count() const { return static_cast<int>(FList.size()); }
    void Add(TCvProcessRec rec) { FList.push_back(std::move(rec)); }
    // Both raise "Index out of bounds" for an index outside 0 .. Count - 1.
    void Delete(int index);
    TCvProcessRec GetProcessRec(int index) const;
    // By StartFiletime, earliest first; processes started at the same moment keep their order.
    void Sort();
    // Ends every listed process in list order through `terminate`; returns how many ended.
    int TerminateAllProcesses(const std::function<bool(uint32_t)>& terminate) const;

    const std::vector<TCvProcessRec>& Records() const { return FList; }

private:
    std::vector<TCvProcessRec> FList;
};

enum TActiveType : uint8_t {
    notActive = 0,   // no automatic refresh
    countActive = 1, // counts only, every 5000 ms
    fullActive = 2,  // counts and records, every 1000 ms
};

using TProcessCountsUpdate = std::function<void()>;
// The refresh interval the list wants from its timer, in ms; 0 stops the timer.
using TTimerChange = std::function<void(int intervalMs)>;

class TCvProcessList {
public:
    static constexpr int CountInterval = 5000;
    static constexpr int FullInterval = 1000;
    static constexpr const char* KernelAccount = "Corvane";
    static constexpr const char* ProductFolderText = "Vekta\\Corvane Pro\\";
    // Ending a process is asynchronous. The ending calls give the processes they ended this
    // long, all together, to be gone before they return, so a refresh right after counts only
    // what is really left; one that has not ended by then is still counted.
    static constexpr int TerminateWaitMs = 2000;

    // installFolder: the install folder of the product registry; empty matches no path.
    TCvProcessList(std::shared_ptr<IProcessTable> table, std::string installFolder);
    // The timer belongs to the window and goes with it; the hook is not called here.
    ~TCvProcessList() = default;
    TCvProcessList(const TCvProcessList&) = delete;
    TCvProcessList& operator=(const TCvProcessList&) = delete;

    // notActive stops the timer; the other modes refresh at once, then ask for 5000 or
    // 1000 ms.
    void SetActive(TActiveType activeType);
    TActiveType Active() const { return isActive; }
    // The interval currently wanted (0: timer disabled).
    int TimerInterval() const { return FTimerInterval; }
    // The timer's tick: a Refresh while the timer is enabled.
    void TimerTick();

    // Rebuilds the counts (and, in fullActive, the records) from a fresh snapshot, then
    // raises OnProcessCountsUpdate. A creation time that cannot be read during a full
    // refresh raises EOSError and reports nothing.
    void Refresh();

    // Never the own process; false when it cannot be opened or ended. Waits for it to be
    // gone (at most TerminateWaitMs).
    bool TerminateProcess(uint32_t dwProcessID);
    // Ends the processes of the current records, in list order, then waits for them to be
    // gone (at most TerminateWaitMs in all); returns how many were ended.
    int TerminateAllProcesses();
    // What Force Stop and "Kill All Processes" use: collects the full records afresh whatever
    // the mode, ends them all, then refreshes in the current mode (records kept only in
    // fullActive) and reports the counts. Returns how many ended.
    int TerminateAllSystemProcesses();

    // The per-process queries of Refresh.
    std::string GetProcessFileName(IProcessHandle& process, uint32_t dwProcessID);
    bool GetProcessUserAndDomain(IProcessHandle& process, std::string& UserName,
                                 std::string& Domain);
    // Raises EOSError when the creation time cannot be read. A creation time of 0 gives 0.
    TDateTime GetProcessStartDateTime(IProcessHandle& process, uint64_t& creationFileTime);

    bool IsSystemPath(const std::string& imagePath) const;
    static bool IsKernelAccount(const std::string& userName);

    const TProcesses& Processes() const { return FProcesses; }
    // Refreshes made so far (each raised OnProcessCountsUpdate).
    uint64_t RefreshCount() const { return FRefreshCount; }
    const std::string& InstallFolder() const { return FInstallFolder; }

    void SetOnProcessCountsUpdate(TProcessCountsUpdate handler) {
        FOnProcessCountsUpdate = std::move(handler);
    }
    // Reports the interval wanted now and after every change.
    void SetOnTimerChange(TTimerChange handler);

private:
    using TEnded = std::vector<std::unique_ptr<IProcessHandle>>;
    bool EndProcess(uint32_t dwProcessID, TEnded& ended);
    void WaitForEnded(TEnded& ended);
    void Collect(TActiveType mode);
    void SetTimerInterval(int intervalMs);

    std::shared_ptr<IProcessTable> FTable;
    std::string FInstallFolder;
    TProcesses FProcesses;
    int FTimerInterval = 0;
    uint64_t FRefreshCount = 0;
    TActiveType isActive = notActive;
    TProcessCountsUpdate FOnProcessCountsUpdate;
    TTimerChange FOnTimerChange;
};

// FILETIME (100 ns since 1601, UTC) to a local date-time, to the millisecond; 0 gives 0.
TDateTime FileTimeToLocalDateTime(uint64_t fileTime);

// The process panel's list, Qt-free: groups in the order of their earliest process, each with
// its items in record order.
struct TProcessListItem {
    std::string Caption;               // Name
    std::vector<std::string> SubItems; // PID, Started, Threads, Version
    uint32_t ProcessID = 0;
};

struct TProcessListGroup {
    std::string Header; // "Domain\UserName", or "Processes" when either is empty
    std::vector<TProcessListItem> Items;
};

struct TProcessListColumn {
    const char* Caption;
    double WidthFraction; // of the view's width; every column is right-aligned
};

extern const std::array<TProcessListColumn, 5> ProcessListColumns;

// The column's width for a view of that width, rounded.
int ProcessListColumnWidth(size_t column, int viewWidth);

// "yyyy-mm-dd hh:nn:ss"; the window passes the user's locale format instead.
std::string DefaultStartedText(TDateTime dt);

std::vector<TProcessListGroup> BuildProcessListGroups(
    const std::vector<TCvProcessRec>& records,
    const std::function<std::string(TDateTime)>& startedText = DefaultStartedText);

} // namespace cv
