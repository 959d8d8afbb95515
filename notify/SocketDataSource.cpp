#include "SocketDataSource.h"

#include "core/MainThread.h"
#include "core/Text.h"
#include "platform/SystemInfo.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace cv {

// ---------------------------------------------------------------------------------------
// Text functions

int ParseDigits(std::string_view text, int start, int count, int defaultValue) {
    if (start < 1)
        start = 1;
    if (count <= 0 || static_cast<size_t>(start) > text.size())
        return defaultValue;
    std::string_view s = text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count));
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    int64_t value = 0;
    size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        value = value * 10 + (s[i] - '0');
        if (value > INT32_MAX)
            return defaultValue; // no caller has a use for a number this long
        ++i;
        ++digits;
    }
    while (i < s.size() && s[i] == ' ')
        ++i;
    if (digits == 0 || i != s.size())
        return defaultValue;
    return static_cast<int>(value);
}

TDateTime ParseTimestamp(std::string_view text, int index, int count) {
    if (index < 1)
        index = 1;
    if (count <= 0 || static_cast<size_t>(index) > text.size())
        return 0;
    std::string_view s = text.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count));
    const int len = static_cast<int>(s.size());
    if (len < 20)
        return 0;
    if (s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' || s[16] != ':')
        return 0;
    // ParseDigits counts from 1: offset k is position k + 1.
    int year = ParseDigits(s, 1, 4, -1);
    int month = ParseDigits(s, 6, 2, -1);
    int day = ParseDigits(s, 9, 2, -1);
    int hour = ParseDigits(s, 12, 2, -1);
    int minute = ParseDigits(s, 15, 2, -1);
    int second = ParseDigits(s, 18, 2, -1);
    if (year <= 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60)
        return 0;
    char c = s[19];
    if (c != '+' && c != '-' && c != '.' && c != 'Z')
        return 0;
    int designator = 19;
    int msec = 0;
    if (c == '.') {
        designator = -1;
        for (int i = 21; i < len; ++i) {
            if (s[i] == '+' || s[i] == '-' || s[i] == 'Z') {
                designator = i;
                break;
            }
        }
        if (designator < 0)
            return 0;
        msec = ParseDigits(s, 21, designator - 20, -1);
        if (msec < 0 || msec > 999)
            return 0;
    }
    int zoneMinutes = 0;
    if (s[designator] != 'Z') {
        if (len - (designator + 1) != 5 || s[designator + 3] != ':')
            return 0;
        int zh = ParseDigits(s, designator + 2, 2, -1);
        int zm = ParseDigits(s, designator + 4 + 1, 2, -1);
        if (zh < 0 || zh > 24 || zm < 0 || zm > 59)
            return 0;
        zoneMinutes = zh * 60 + zm;
        if (s[designator] == '-')
            zoneMinutes = -zoneMinutes;
    }
    // A stamp that passes the checks but names no real moment (30 February, a leap second)
    // counts as unreadable: its row is dropped rather than the whole connection.
    TDateTime dt;
    if (!TryEncodeDateTime(year, month, day, hour, minute, second, msec, dt))
        return 0;
    return dt + static_cast<double>(CurrentUtcOffsetMinutes() - zoneMinutes) / (24.0 * 60.0);
}

// ---------------------------------------------------------------------------------------
// Framing

void TFrameReader::Initialize() {
    FBytesLeft_Begin = 4;
    FBytesLeft_Length = 0;
    FBytesLeft_Message = 0;
    FBytesLeft_End = 0;
    FMessageIndex = 0;
    std::memset(FLengthBytes, 0, sizeof FLengthBytes);
    // Keeps the capacity for the next frame, unless a huge frame left it large.
    if (FMessageBytes.capacity() > 1024 * 1024)
        std::vector<uint8_t>().swap(FMessageBytes);
    else
        FMessageBytes.clear();
}

size_t TFrameReader::Feed(const uint8_t* data, size_t size, bool& frameComplete) {
    frameComplete = false;
    size_t i = 0;
    while (i < size) {
        uint8_t b = data[i];
        if (FBytesLeft_Begin > 0) {
            CV_ASSERT(b == 0x7E, "Assertion failure");
            ++i;
            if (--FBytesLeft_Begin == 0)
                FBytesLeft_Length = 4;
        } else if (FBytesLeft_Length > 0) {
            FLengthBytes[FMessageIndex] = b;
            ++i;
            if (--FBytesLeft_Length == 0) {
                int32_t n = static_cast<int32_t>(static_cast<uint32_t>(FLengthBytes[0]) |
                                                 static_cast<uint32_t>(FLengthBytes[1]) << 8 |
                                                 static_cast<uint32_t>(FLengthBytes[2]) << 16 |
                                                 static_cast<uint32_t>(FLengthBytes[3]) << 24);
                CV_ASSERT(n <= MaxPayloadLength, "Frame length out of range");
                FBytesLeft_Message = n;
                FMessageIndex = 0;
                if (n <= 0) {
                    FBytesLeft_Message = 0;
                    FBytesLeft_End = 4;
                } else {
                    // Grown as the bytes arrive, so a declared length costs nothing until
                    // the peer actually sends that much.
                    FMessageBytes.reserve(std::min<size_t>(static_cast<size_t>(n), 64 * 1024));
                }
            } else {
                ++FMessageIndex;
            }
        } else if (FBytesLeft_Message > 0) {
            // The payload part takes a whole run at once; the state is the same as byte by byte.
            size_t take = std::min<size_t>(size - i, static_cast<size_t>(FBytesLeft_Message));
            FMessageBytes.insert(FMessageBytes.end(), data + i, data + i + take);
            i += take;
            FBytesLeft_Message -= static_cast<int32_t>(take);
            if (FBytesLeft_Message == 0) {
                FBytesLeft_End = 4;
                FMessageIndex = 0;
            } else {
                FMessageIndex += static_cast<int32_t>(take);
            }
        } else if (FBytesLeft_End > 0) {
            CV_ASSERT(b == 0x3E, "Assertion failure");
            ++i;
            if (--FBytesLeft_End == 0) {
                frameComplete = true;
                return i;
            }
        } else {
            // Only reachable after a completed frame that was not reset.
            Initialize();
        }
    }
    return i;
}

// ---------------------------------------------------------------------------------------
// Reader thread

TSocketReader::TSocketReader(TSocketDataSource* ds, std::string host,
                             std::shared_ptr<ITcpClient> tcp, TDebugOutput debugOutput,
                             uint16_t port)
    : FTcp(std::move(tcp)), FPort(port), FDS(ds), FHost(std::move(host)),
      FDebugOutput(std::move(debugOutput)), FStartTime(Now()),
      FRowLimit(static_cast<size_t>(std::max<int32_t>(1, ds->DataLimit()))) {
    Initialize();
    Start();
}

TSocketReader::~TSocketReader() {
    Terminate();
    // A reader blocked in a hand-over needs the main thread to run it before it can see
    // the request to end.
    WaitForWhileSynchronizing();
    if (FSocket)
        FSocket->Close();
}

void TSocketReader::OnConnectHandler() {
    Debug("Notify: Socket Connected");
}

void TSocketReader::OnDisconnectHandler() {
    if (FDatasourceState == dse_Connected) {
        SocketInError = true;
        Debug("Notify: Socket Disconnected");
    } else if (FDatasourceState == dse_Disconnected) {
        FDS->FSysInfo.StartupDateTime.Store(0);
    }
}

void TSocketReader::OnErrorHandler() {
    SocketInError = true;
    Debug("Notify: Socket Error");
}

void TSocketReader::CloseSocket(bool notify) {
    if (!FSocket)
        return;
    FSocket->Close();
    FSocket.reset();
    if (notify)
        OnDisconnectHandler();
}

void TSocketReader::Execute() {
    FDatasourceState = dse_Disconnected;
    while (!Terminated()) {
        if (SocketInError) {
            const bool wasOpen = FSocket != nullptr;
            CloseSocket(true);
            // Closing a connection we gave up on does not mark it failed again.
            SocketInError = false;
            if (wasOpen)
                ConnectionEnded();
        }
        if (!FSocket && FPauseBeforeConnect > 0) {
            SleepUnlessTerminated(FPauseBeforeConnect);
            FPauseBeforeConnect = 0;
            if (Terminated())
                break;
        }
        if (!FSocket) {
            SetDatasourceState(dse_Connecting);
            Initialize();
            try {
                FSocket = FTcp->Connect(FHost, FPort);
            } catch (const std::exception&) {
                FSocket.reset();
            }
            if (FSocket) {
                FConnectedAt = std::chrono::steady_clock::now();
                OnConnectHandler();
            } else {
                SleepUnlessTerminated(50);
                SocketInError = true;
            }
        }
        if (SocketInError)
            continue;
        SetDatasourceState(dse_Connected);
        try {
            ReadAvailable();
        } catch (const std::exception& e) {
            if (dynamic_cast<const std::system_error*>(&e))
                OnErrorHandler();
            SocketInError = true;
            Debug("Notify: Socket Disconnected - SockStream exception");
            SetDatasourceState(dse_Disconnected);
        }
        if (!Terminated())
            DeliverNewData();
    }
    CloseSocket(false);
}

void TSocketReader::ConnectionEnded() {
    using namespace std::chrono;
    const auto lived = steady_clock::now() - FConnectedAt;
    if (lived >= milliseconds(ShortConnectionMs))
        FReconnectPauseMs = 0; // a connection that lived reconnects at once
    else if (FReconnectPauseMs == 0)
        FReconnectPauseMs = FirstReconnectPauseMs;
    else
        FReconnectPauseMs = std::min(FReconnectPauseMs * 2, MaxReconnectPauseMs);
    FPauseBeforeConnect = FReconnectPauseMs;
}

void TSocketReader::ReadAvailable() {
    if (!FSocket->WaitReadable(100) || Terminated())
        return;
    size_t n = FSocket->Read(FReadBuffer, sizeof FReadBuffer, 500);
    if (n == 0) {
        SocketInError = true;
        Debug("Notify: Socket Disconnected - Received 0 bytes");
        SetDatasourceState(dse_Disconnected);
        return;
    }
    ProcessBytes(FReadBuffer, n);
    size_t total = n;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(MaxCycleMs);
    // Reading on while the socket has more at once, but only up to the cycle's bounds.
    while (n == sizeof FReadBuffer && total < MaxCycleBytes && !Terminated()) {
        n = FSocket->ReadNow(FReadBuffer, sizeof FReadBuffer);
        ProcessBytes(FReadBuffer, n);
        total += n;
        if (std::chrono::steady_clock::now() >= until)
            break;
    }
}

void TSocketReader::ProcessBytes(const uint8_t* data, size_t size) {
    FFrames.Process(data, size,
                    [this](const std::vector<uint8_t>& payload) { DecodeMessage(payload); });
}

void TSocketReader::DecodeMessage(const std::vector<uint8_t>& payload) {
    FProtoBufDecoder.LoadBytes(payload);
    FMessage.Decode(FProtoBufDecoder, static_cast<int32_t>(payload.size()));
    for (int i = 0; i < FMessage.LogRowsCount(); ++i)
        AddLogRow(FMessage.GetLogRows(i));
    for (int i = 0; i < FMessage.StatusUpdatesCount(); ++i)
        AddStatusUpdate(FMessage.GetStatusUpdates(i));
}

void TSocketReader::AddStatusUpdate(TNotifyStatusUpdate& u) {
    TStatusUpdate* value = u.StatusUpdate();
    if (!value)
        return; // an envelope without its value carries nothing to apply
    FNewStatusUpdates.emplace_back(std::move(u.Key()), std::move(value->Value()));
}

void TSocketReader::AddLogRow(TNotifyLogRow& r) {
    TLogRow* l = r.LogRow();
    if (!l)
        return; // an envelope without its row
    const std::string& ts = l->Timestamp();
    TDateTime t = ParseTimestamp(ts, 1, static_cast<int>(ts.size()));
    if (!(t > FStartTime))
        return;
    TRowContents c;
    c.SequenceNumber = r.SequenceNumber();
    c.Timestamp = t;
    c.Message = std::move(l->Messages());
    c.Severity = l->Severity();
    c.Source = std::move(l->Source());
    c.HasCategory = l->HasCategory();
    c.Category = std::move(l->Category());
    c.HasApplication = l->HasSysApplicationNumber();
    c.Application = l->SysApplicationNumber();
    if (l->HasTimeDelta()) {
        c.HasTimeDelta = true;
        c.TimeDelta = l->TimeDelta();
    } else {
        TDateTime startup = FDS->FSysInfo.StartupDateTime.Load();
        if (startup > 0) {
            c.HasTimeDelta = true;
            c.TimeDelta = IntToStr(SecondsBetween(startup, t));
        }
    }
    QueueRow(std::make_unique<TRow>(std::move(c)));
}

void TSocketReader::QueueRow(std::unique_ptr<TRow> row) {
    FNewRows.push_back(std::move(row));
    // The data source keeps no more than its limit of the newest rows, so older pending rows
    // would only be trimmed after the hand-over; they go here, a block at a time.
    if (FNewRows.size() >= 2 * FRowLimit)
        FNewRows.erase(FNewRows.begin(), FNewRows.end() - static_cast<std::ptrdiff_t>(FRowLimit));
}

void TSocketReader::AddConnectionRow(bool connected) {
    TRowContents c;
    c.Timestamp = Now();
    c.Message.push_back(connected ? "Vornix Log Service connected"
                                  : "Vornix Log Service disconnected");
    c.Severity = sev_Info;
    c.Source = "Vornix Notify";
    c.HasCategory = true;
    c.Category = "LOG";
    QueueRow(std::make_unique<TRow>(std::move(c)));
}

void TSocketReader::SetDatasourceState(TDataSourceEvent state) {
    if (state == FDatasourceState)
        return;
    FDatasourceState = state;
    if (state == dse_Connected) {
        AddConnectionRow(true);
        FClearStatesPending = true;
    } else if (state == dse_Disconnected) {
        AddConnectionRow(false);
        FStartTime = Now();
    }
    DeliverNewData();
    RaiseDataSourceEvent(state, FHost);
}

void TSocketReader::DeliverNewData() {
    if (FNewRows.empty() && FNewStatusUpdates.empty() && !FClearStatesPending)
        return;
    if (FNewRows.size() > FRowLimit)
        FNewRows.erase(FNewRows.begin(), FNewRows.end() - static_cast<std::ptrdiff_t>(FRowLimit));
    try {
        Synchronize([this] { HandOverNewData(); });
        // Emptied here rather than on the main thread: what they still hold (the pairs, the
        // rows the data source deleted) is freed where it was made.
        if (FStatusUpdatesHandedOver)
            FNewStatusUpdates.clear();
        if (FRowsHandedOver)
            FNewRows.clear();
        FStatusUpdatesHandedOver = FRowsHandedOver = false;
    } catch (const std::exception& e) {
        // A hand-over discarded at shutdown must not end the reader either.
        Debug(std::string("Notify: Hand-over failed - ") + e.what());
    }
}

void TSocketReader::HandOverNewData() {
    if (Terminated())
        return;
    // Failures of the owner's handlers are contained here, on the main thread, step by step:
    // a failing view must neither end the reader nor cost the other steps.
    auto contained = [this](const auto& step) {
        try {
            step();
        } catch (const std::exception& e) {
            Debug(std::string("Notify: Hand-over failed - ") + e.what());
        }
    };
    if (FClearStatesPending) {
        FClearStatesPending = false;
        FDS->ClearApplicationStates();
    }
    // The pending lists are handed over in place and emptied after, so their storage
    // serves the next cycle too.
    if (!FNewStatusUpdates.empty()) {
        contained([&] { FDS->ProcessStatusUpdates(FNewStatusUpdates); });
        FStatusUpdatesHandedOver = true;
    }
    if (!FNewRows.empty()) {
        contained([&] { FDS->AppendRows(FNewRows); });
        FRowsHandedOver = true;
    }
}

void TSocketReader::RaiseDataSourceEvent(TDataSourceEvent state, const std::string& message) {
    FEventType = state;
    FEventMessage = message;
    try {
        Synchronize([this] { DeliverDataSourceEvent(); });
    } catch (const std::exception& e) {
        Debug(std::string("Notify: Hand-over failed - ") + e.what());
    }
}

void TSocketReader::DeliverDataSourceEvent() {
    // While the owner is tearing down, its handlers may already be gone.
    if (Terminated())
        return;
    try {
        FDS->Event(FEventType, FEventMessage);
    } catch (const std::exception& e) {
        Debug(std::string("Notify: Hand-over failed - ") + e.what());
    }
}

// ---------------------------------------------------------------------------------------
// Data source

TSocketDataSource::TSocketDataSource(const std::string& machine, int32_t dataLimit,
                                     std::shared_ptr<ITcpClient> tcp, TDebugOutput debugOutput,
                                     uint16_t port)
    : TDataSource(machine.empty() ? dst_Local : dst_Remote, machine),
      FHost(machine.empty() ? "localhost" : machine), FDataLimit(dataLimit),
      FApplicationStates(std::make_unique<TApplicationStates>()),
      FDebugOutput(std::move(debugOutput)) {
    // Last, so the reader's thread never meets a half-built data source.
    FReader = std::make_unique<TSocketReader>(this, FHost, std::move(tcp), FDebugOutput, port);
}

TSocketDataSource::TSocketDataSource(const std::string& machine, int32_t dataLimit,
                                     std::shared_ptr<ITcpClient> tcp,
                                     std::shared_ptr<ISystemInfo> system, uint16_t port)
    : TSocketDataSource(
          machine, dataLimit, std::move(tcp),
          system ? TDebugOutput([system](const std::string& line) { system->DebugOutput(line); })
                 : TDebugOutput(),
          port) {}

TSocketDataSource::~TSocketDataSource() {
    if (FReader)
        FReader->Terminate();
    FReader.reset();
}

const TRow* TSocketDataSource::GetRow(int32_t index) const {
    if (index < 0 || index >= GetRowCount())
        return nullptr;
    return FRows[static_cast<size_t>(index)].get();
}

void TSocketDataSource::Event(TDataSourceEvent eventType, const std::string& eventMessage) {
    if (OnEvent)
        OnEvent(eventType, eventMessage);
}

TApplicationStateInfo TSocketDataSource::GetApplicationState(int32_t aplNumber) const {
    const auto& m = FApplicationStates->ApplicationStates();
    auto it = m.find(aplNumber);
    return it == m.end() ? TApplicationStateInfo{} : it->second;
}

void TSocketDataSource::Clear() {
    FRows.clear();
    ClearSearchState();
}

void TSocketDataSource::ProcessStatusUpdates(TStatusPairs& pairs) {
    bool aplChanged = false;
    bool sysInfoChanged = false;
    for (const auto& [key, value] : pairs) {
        // One bad pair (or a handler that raises on it) must not cost the rest of the batch.
        try {
            if (OnStatusUpdate)
                OnStatusUpdate(key, value);
            if (key.size() >= 9 && key.compare(0, 8, "SYS.APL.") == 0) {
                if (ParseAplStatus(std::string_view(key).substr(8), value))
                    aplChanged = true;
            }
            if (key.size() >= 10 && key.compare(0, 9, "SYS.INFO.") == 0) {
                if (ParseSysInfo(std::string_view(key).substr(9), Trim(value)))
                    sysInfoChanged = true;
            }
        } catch (const std::exception& e) {
            if (FDebugOutput)
                FDebugOutput("Notify: Status update rejected - " + key + ": " + e.what());
        }
    }
    if (aplChanged && OnAplStatesUpdate)
        OnAplStatesUpdate(*FApplicationStates);
    if (sysInfoChanged && OnSysInfoUpdate)
        OnSysInfoUpdate(FSysInfo);
}

bool TSocketDataSource::ParseAplStatus(std::string_view rest, const std::string& value) {
    size_t p = rest.find('.');
    if (p == std::string_view::npos || p == 0)
        return false;
    std::string_view number = rest.substr(0, p);
    std::string_view remainder = rest.substr(p + 1);
    size_t q = remainder.find('.');
    if (q == std::string_view::npos || q == 0)
        return false;
    if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    int32_t n;
    // A number beyond 32 bits names no application: the pair is not accepted.
    if (!TryStrToInt(number, n))
        return false;
    std::string name = UpperCase(remainder.substr(0, q));
    std::string attribute = UpperCase(remainder.substr(q + 1));
    std::string v = UpperCase(value);
    if (attribute == "AN") {
        FApplicationStates->SetAN(n, value);
        return true;
    }
    if (attribute == "AS") {
        static const char* const states[] = {"COLD", "WARM", "HOT"};
        for (int i = 0; i < 3; ++i) {
            if (v == states[i]) {
                FApplicationStates->SetAN(n, name);
                FApplicationStates->SetAS(n, TApplicationState(i));
                return true;
            }
        }
        return false;
    }
    if (attribute == "SP") {
        static const char* const phases[] = {"NONE",         "TO_WARM_SEND",   "WARM_SEND",
                                             "TO_HOT_SEND",  "HOT_SEND",       "TO_WARM_RECEIVE",
                                             "WARM_RECEIVE", "TO_HOT_RECEIVE", "HOT_RECEIVE"};
        for (int i = 0; i < 9; ++i) {
            if (v == phases[i]) {
                FApplicationStates->SetAN(n, name);
                FApplicationStates->SetSP(n, TShadowingPhase(i));
                return true;
            }
        }
        return false;
    }
    return true;
}

bool TSocketDataSource::ParseSysInfo(std::string_view keyText, const std::string& value) {
    if (keyText == "PACKAGE")
        FSysInfo.Package = value;
    else if (keyText == "CUSTOMER")
        FSysInfo.Customer = value;
    else if (keyText == "SITE")
        FSysInfo.Site = value;
    else if (keyText == "SYSTEMID")
        FSysInfo.SystemID = value;
    else if (keyText == "KEY")
        FSysInfo.Key = value;
    else if (keyText == "BASESYSTEM")
        FSysInfo.BaseSystem = value;
    else if (keyText == "CERTIFICATE")
        FSysInfo.CertificateSerial = value;
    else if (keyText == "STARTUP") {
        FSysInfo.StartupTime = value;
        TDateTime dt = 0;
        if (!value.empty()) {
            // Fixed positions; the separators are not examined. A value that names no real
            // moment keeps its text and leaves no start-up time.
            if (!TryEncodeDateTime(ParseDigits(value, 1, 4, -1), ParseDigits(value, 6, 2, -1),
                                   ParseDigits(value, 9, 2, -1), ParseDigits(value, 12, 2, -1),
                                   ParseDigits(value, 15, 2, -1), ParseDigits(value, 18, 2, -1), 0,
                                   dt))
                dt = 0;
        }
        FSysInfo.StartupDateTime.Store(dt);
    } else
        return false;
    return true;
}

void TSocketDataSource::AppendRows(TRows& rows) {
    const int64_t count = static_cast<int64_t>(FRows.size());
    const int64_t n = static_cast<int64_t>(rows.size());
    TRows dropped;
    if (count + n > FDataLimit) {
        int64_t del = std::min<int64_t>(FDataLimit / 10 + (count + n - FDataLimit), count);
        if (BeforeDeleteData)
            BeforeDeleteData();
        dropped.assign(std::make_move_iterator(FRows.begin()),
                       std::make_move_iterator(FRows.begin() + del));
        FRows.erase(FRows.begin(), FRows.begin() + del);
        if (AfterDeleteData)
            AfterDeleteData(static_cast<int32_t>(del));
    }
    if (BeforeAddData)
        BeforeAddData();
    const int32_t from = static_cast<int32_t>(FRows.size());
    for (auto& r : rows)
        FRows.push_back(std::move(r));
    // The caller gets the deleted rows back to free: the reader frees them on its own thread,
    // where the allocator's thread cache serves the next rows it makes.
    rows.swap(dropped);
    if (AfterAddData)
        AfterAddData(from, from + static_cast<int32_t>(n) - 1);
}

} // namespace cv
