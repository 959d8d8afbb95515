#include "CvProcessList.h"

#include "core/Text.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace cv {

EOSError::EOSError(uint32_t code)
    : Exception("System Error. Code: " + std::to_string(code) + "."), FCode(code) {}

// ---- TProcesses

void TProcesses::Clear() {
    KernelProcesses = 0;
    ScadaProcesses = 0;
    FList.clear();
}

void TProcesses::Delete(int index) {
    if (index < 0 || index >= Count())
        throw Exception("Index out of bounds");
    FList.erase(FList.begin() + index);
}

TCvProcessRec TProcesses::GetProcessRec(int index) const {
    if (index < 0 || index >= Count())
        throw Exception("Index out of bounds");
    return FList[static_cast<size_t>(index)];
}

void TProcesses::Sort() {
    std::stable_sort(FList.begin(), FList.end(),
                     [](const TCvProcessRec& a, const TCvProcessRec& b) {
                         return a.StartFiletime < b.StartFiletime;
                     });
}

int TProcesses::TerminateAllProcesses(const std::function<bool(uint32_t)>& terminate) const {
    int ended = 0;
    for (const auto& rec : FList)
        if (terminate(rec.ProcessID))
            ++ended;
    return ended;
}

// ---- TCvProcessList

TCvProcessList::TCvProcessList(std::shared_ptr<IProcessTable> table, std::string installFolder)
    : FTable(std::move(table)), FInstallFolder(std::move(installFolder)) {}

void TCvProcessList::SetOnTimerChange(TTimerChange handler) {
    FOnTimerChange = std::move(handler);
    if (FOnTimerChange)
        FOnTimerChange(FTimerInterval);
}

void TCvProcessList::SetTimerInterval(int intervalMs) {
    FTimerInterval = intervalMs;
    if (FOnTimerChange)
        FOnTimerChange(intervalMs);
}

void TCvProcessList::SetActive(TActiveType activeType) {
    isActive = activeType;
    if (activeType == notActive) {
        SetTimerInterval(0);
        return;
    }
    Refresh();
    SetTimerInterval(activeType == fullActive ? FullInterval : CountInterval);
}

void TCvProcessList::TimerTick() {
    // A tick already on its way when the timer was stopped changes nothing.
    if (FTimerInterval > 0)
        Refresh();
}

namespace {
// The install folder and the product folder text are written with "\"; so is every
// executable path compared with them ("/" on POSIX).
std::string Backslashed(const std::string& path) {
    return ReplaceAll(path, "/", "\\");
}
} // namespace

bool TCvProcessList::IsSystemPath(const std::string& imagePath) const {
    if (imagePath.empty())
        return false;
    const std::string path = Backslashed(imagePath);
    const std::string folder = Backslashed(FInstallFolder);
    if (!folder.empty() && StartsWithText(path, folder))
        return true;
    return path.find(ProductFolderText) != std::string::npos;
}

bool TCvProcessList::IsKernelAccount(const std::string& userName) {
    return SameText(userName, KernelAccount);
}

std::string TCvProcessList::GetProcessFileName(IProcessHandle& process, uint32_t) {
    return process.ImagePath();
}

bool TCvProcessList::GetProcessUserAndDomain(IProcessHandle& process, std::string& UserName,
                                             std::string& Domain) {
    // An empty name or domain still counts; the list then files the process under
    // "Processes".
    std::string user, domain;
    if (!process.Account(user, domain))
        return false;
    UserName = user;
    Domain = domain;
    return true;
}

TDateTime FileTimeToLocalDateTime(uint64_t fileTime) {
    if (fileTime == 0)
        return 0;
    constexpr int64_t UnixEpochAsFileTime = 116444736000000000ll;
    // System time carries milliseconds; the rest of the 100 ns units is dropped.
    const int64_t ms = (static_cast<int64_t>(fileTime) - UnixEpochAsFileTime) / 10000;
    return UnixToLocalDateTime(static_cast<double>(ms) / 1000.0);
}

TDateTime TCvProcessList::GetProcessStartDateTime(IProcessHandle& process,
                                                  uint64_t& creationFileTime) {
    if (!process.CreationTime(creationFileTime))
        throw EOSError(FTable->LastError());
    return FileTimeToLocalDateTime(creationFileTime);
}

void TCvProcessList::Collect(TActiveType mode) {
    FProcesses.Clear();
    std::vector<TSnapshotEntry> snapshot;
    if (!FTable->Snapshot(snapshot))
        snapshot.clear(); // no snapshot: no processes, both counts 0
    const bool full = mode == fullActive;
    for (const auto& entry : snapshot) {
        auto process = FTable->Open(entry.ProcessID, PROCESS_QUERY_AND_READ);
        if (!process)
            continue;
        const std::string path = GetProcessFileName(*process, entry.ProcessID);
        if (path.empty() || !IsSystemPath(path))
            continue;
        std::string user, domain;
        if (!GetProcessUserAndDomain(*process, user, domain))
            continue;
        if (IsKernelAccount(user))
            ++FProcesses.KernelProcesses;
        else
            ++FProcesses.ScadaProcesses;
        if (!full)
            continue;
        TCvProcessRec rec;
        rec.UserName = user;
        rec.Domain = domain;
        rec.Name = entry.ExeFile;
        rec.Version = FTable->FileVersion(path);
        rec.StartDateTime = GetProcessStartDateTime(*process, rec.StartFiletime);
        rec.ProcessID = entry.ProcessID;
        rec.ThreadCount = entry.ThreadCount;
        FProcesses.Add(std::move(rec));
    }
    if (full)
        FProcesses.Sort();
}

void TCvProcessList::Refresh() {
    Collect(isActive);
    ++FRefreshCount;
    if (FOnProcessCountsUpdate)
        FOnProcessCountsUpdate();
}

bool TCvProcessList::EndProcess(uint32_t dwProcessID, TEnded& ended) {
    if (dwProcessID == FTable->CurrentProcessId())
        return false;
    auto process = FTable->Open(dwProcessID, PROCESS_ALL_ACCESS_RIGHTS);
    if (!process || !process->Terminate(0))
        return false;
    ended.push_back(std::move(process));
    return true;
}

void TCvProcessList::WaitForEnded(TEnded& ended) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(TerminateWaitMs);
    for (auto& process : ended) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        process->WaitForExit(static_cast<int>(std::max<int64_t>(0, left)));
    }
}

bool TCvProcessList::TerminateProcess(uint32_t dwProcessID) {
    TEnded ended;
    const bool result = EndProcess(dwProcessID, ended);
    WaitForEnded(ended);
    return result;
}

int TCvProcessList::TerminateAllProcesses() {
    TEnded ended;
    const int result = FProcesses.TerminateAllProcesses(
        [&](uint32_t pid) { return EndProcess(pid, ended); });
    WaitForEnded(ended);
    return result;
}

int TCvProcessList::TerminateAllSystemProcesses() {
    int ended = 0;
    try {
        Collect(fullActive);
        ended = TerminateAllProcesses();
    } catch (...) {
        // Outside the process panel the records must not outlive this call.
        if (isActive != fullActive)
            FProcesses.Clear();
        throw;
    }
    Refresh();
    return ended;
}

// ---- the process panel's list

const std::array<TProcessListColumn, 5> ProcessListColumns = {{
    {"Name", 0.30},
    {"PID", 0.10},
    {"Started", 0.27},
    {"Threads", 0.13},
    {"Version", 0.16},
}};

int ProcessListColumnWidth(size_t column, int viewWidth) {
    CV_ASSERT(column < ProcessListColumns.size(), "column out of range");
    return static_cast<int>(std::lround(viewWidth * ProcessListColumns[column].WidthFraction));
}

std::string DefaultStartedText(TDateTime dt) {
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(dt, y, mo, d, h, mi, s, ms);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return text;
}

std::vector<TProcessListGroup>
BuildProcessListGroups(const std::vector<TCvProcessRec>& records,
                       const std::function<std::string(TDateTime)>& startedText) {
    std::vector<TProcessListGroup> groups;
    for (const auto& rec : records) {
        const std::string header = !rec.Domain.empty() && !rec.UserName.empty()
                                       ? rec.Domain + "\\" + rec.UserName
                                       : std::string("Processes");
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const TProcessListGroup& g) { return g.Header == header; });
        if (group == groups.end()) {
            groups.push_back({header, {}});
            group = groups.end() - 1;
        }
        TProcessListItem item;
        item.Caption = rec.Name;
        item.SubItems = {std::to_string(rec.ProcessID),
                         startedText ? startedText(rec.StartDateTime)
                                     : DefaultStartedText(rec.StartDateTime),
                         std::to_string(rec.ThreadCount), rec.Version};
        item.ProcessID = rec.ProcessID;
        group->Items.push_back(std::move(item));
    }
    return groups;
}

} // namespace cv
