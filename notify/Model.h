#pragma once
// The status model's types: application states, system information, rows, and the base
// of data sources with its events.
#include "LogProto.h"
#include "core/DateTime.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace cv {

enum TApplicationState : uint8_t { as_Cold = 0, as_Warm = 1, as_Hot = 2 };

enum TShadowingPhase : uint8_t {
    sp_None = 0,
    sp_To_Warm_Send = 1,
    sp_Warm_Send = 2,
    sp_To_Hot_Send = 3,
    sp_Hot_Send = 4,
    sp_To_Warm_Receive = 5,
    sp_Warm_Receive = 6,
    sp_To_Hot_Receive = 7,
    sp_Hot_Receive = 8,
};

enum TDataSourceType : uint8_t { dst_File = 0, dst_Local = 1, dst_Remote = 2 };

enum TDataSourceEvent : uint8_t {
    dse_Connecting = 0,
    dse_Connected = 1,
    dse_Disconnected = 2,
    dse_MissedMessages = 3,
    dse_GenericError = 4,
    dse_HeadersRead = 5,
};

struct TApplicationStateInfo {
    std::string Name;
    TApplicationState State = as_Cold;
    TShadowingPhase ShadowingPhase = sp_None;

    bool operator==(const TApplicationStateInfo&) const = default;
};

class TApplicationStates {
public:
    using TMap = std::map<int32_t, TApplicationStateInfo>;

    TApplicationStates() = default;
    TApplicationStates(const TApplicationStates& other) = default;
    TApplicationStates& operator=(const TApplicationStates& other) = default;

    // Ordered by application number, which is the order the tree lists them in.
    const TMap& ApplicationStates() const { return FApplicationState; }
    void Clear() { FApplicationState.clear(); }
    void SetAN(int32_t number, const std::string& aplAN) { FApplicationState[number].Name = aplAN; }
    void SetAS(int32_t number, TApplicationState aplAS) { FApplicationState[number].State = aplAS; }
    void SetSP(int32_t number, TShadowingPhase aplSP) {
        FApplicationState[number].ShadowingPhase = aplSP;
    }

private:
    TMap FApplicationState;
};

// A date-time that two threads touch: the reader reads and clears it while the main thread
// sets it. Copyable so the record holding it can still travel by value.
class TAtomicDateTime {
public:
    TAtomicDateTime(TDateTime v = 0) : FValue(v) {}
    TAtomicDateTime(const TAtomicDateTime& other) : FValue(other.Load()) {}
    TAtomicDateTime& operator=(const TAtomicDateTime& other) {
        Store(other.Load());
        return *this;
    }
    TAtomicDateTime& operator=(TDateTime v) {
        Store(v);
        return *this;
    }
    operator TDateTime() const { return Load(); }
    TDateTime Load() const { return FValue.load(std::memory_order_acquire); }
    void Store(TDateTime v) { FValue.store(v, std::memory_order_release); }

private:
    std::atomic<TDateTime> FValue;
};

struct TSysInfo {
    std::string Package;
    std::string Customer;
    std::string Site;
    std::string SystemID;
    std::string Key;
    std::string BaseSystem;
    std::string StartupTime;
    TAtomicDateTime StartupDateTime; // 0 while no start-up time is set
    std::string CertificateSerial;
};

struct TRowContents {
    int64_t SequenceNumber = 0;
    TDateTime Timestamp = 0;
    std::vector<std::string> Message;
    TSeverity Severity = TSeverity(0);
    std::string Source;
    bool HasCategory = false;
    std::string Category;
    bool HasApplication = false;
    int32_t Application = 0;
    bool HasTimeDelta = false;
    std::string TimeDelta;
};

class TRow {
public:
    explicit TRow(TRowContents contents) : FC(std::move(contents)) {}

    const TRowContents& Contents() const { return FC; }
    int64_t SequenceNumber() const { return FC.SequenceNumber; }
    TDateTime Timestamp() const { return FC.Timestamp; }
    const std::vector<std::string>& Message() const { return FC.Message; }
    TSeverity Severity() const { return FC.Severity; }
    const std::string& Source() const { return FC.Source; }
    bool HasCategory() const { return FC.HasCategory; }
    const std::string& Category() const { return FC.Category; }
    bool HasApplication() const { return FC.HasApplication; }
    int32_t Application() const { return FC.Application; }
    bool HasTimeDelta() const { return FC.HasTimeDelta; }
    const std::string& TimeDelta() const { return FC.TimeDelta; }
    // First line, then " - " and each further line.
    std::string AllLinesCombined() const;

private:
    TRowContents FC;
};

using TDataSourceEventHandler =
    std::function<void(TDataSourceEvent eventType, const std::string& data)>;
using TStatusUpdateHandler = std::function<void(const std::string& key, const std::string& value)>;
using TSysInfoUpdateHandler = std::function<void(TSysInfo sysInfo)>;
using TAplStatesUpdateHandler = std::function<void(const TApplicationStates& aplStates)>;
using TNotifyHandler = std::function<void()>;
using TAfterDeleteDataHandler = std::function<void(int32_t toIndex)>;
using TAfterAddDataHandler = std::function<void(int32_t fromIndex, int32_t toIndex)>;

class TDataSource {
public:
    TDataSource(TDataSourceType type, std::string name);
    virtual ~TDataSource() = default;
    TDataSource(const TDataSource&) = delete;
    TDataSource& operator=(const TDataSource&) = delete;

    virtual int32_t GetRowCount() const = 0;
    // Null when the index is out of range.
    virtual const TRow* GetRow(int32_t index) const = 0;

    TDataSourceType DataSourceType() const { return FDataSourceType; }
    const std::string& Name() const { return FName; }
    int32_t RowCount() const { return GetRowCount(); }

    // Each handler is optional and called only when set.
    TDataSourceEventHandler OnEvent;
    TStatusUpdateHandler OnStatusUpdate;
    TSysInfoUpdateHandler OnSysInfoUpdate;
    TAplStatesUpdateHandler OnAplStatesUpdate;
    TNotifyHandler BeforeDeleteData;
    TAfterDeleteDataHandler AfterDeleteData;
    TNotifyHandler BeforeAddData;
    TAfterAddDataHandler AfterAddData;

protected:
    void ClearSearchState();

    std::string FName;
    TDataSourceType FDataSourceType;
    // Row tagging of a log viewer; kept so a viewer can be built on the same base.
    bool FTaggedCountInitialized = false;
    int32_t FTaggedCount = 0;
    std::string FFindString;
    bool FForceRetagging = false;
};

} // namespace cv
