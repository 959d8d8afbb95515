#pragma once
// The live status feed: the reader thread that keeps a connection to the log service, cuts
// its stream into frames and decodes them, and the data source that keeps rows, application
// states and system information on the main thread.
#include "Model.h"
#include "NotifyProto.h"
#include "core/Thread.h"
#include "platform/TcpClient.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cv {

class ISystemInfo;

using TDebugOutput = std::function<void(const std::string& line)>;
using TStatusPair = std::pair<std::string, std::string>;
using TStatusPairs = std::vector<TStatusPair>;
using TRows = std::vector<std::unique_ptr<TRow>>;

constexpr uint16_t LogServicePort = 21850;

// Characters `Start` (from 1) for `Count`, cut at the end of the text, as an unsigned decimal
// number with optional surrounding spaces; `Default` when there is no such number.
int ParseDigits(std::string_view text, int start, int count, int defaultValue);
// ISO 8601 with a zone (2024-03-01T08:15:30.250+01:00) to local time at the offset in force
// now; 0 when the text does not have that form or names no real date and time.
TDateTime ParseTimestamp(std::string_view text, int index, int count);

// The frame state machine: "~~~~", a signed 32-bit little-endian payload length, the
// payload, ">>>>". Socket-free so it can be driven by tests and the fuzzer.
class TFrameReader {
public:
    // A length on the wire beyond this is a broken stream, not a frame to allocate for.
    static constexpr int32_t MaxPayloadLength = 16 * 1024 * 1024;

    TFrameReader() { Initialize(); }

    void Initialize();
    // Takes bytes until the last byte of a frame (then `frameComplete` is set and the
    // payload, possibly empty, is in Payload() until the next Initialize) or the input is
    // used up. Returns the bytes taken. Raises on a bad marker or a length out of range.
    size_t Feed(const uint8_t* data, size_t size, bool& frameComplete);
    // One byte through the machine, as Feed does it.
    bool ProcessByte(uint8_t b) {
        bool complete = false;
        Feed(&b, 1, complete);
        return complete;
    }
    const std::vector<uint8_t>& Payload() const { return FMessageBytes; }

    // Runs `onPayload(payload)` for every non-empty payload completed in the input, in
    // order, and resets the framing after each frame.
    template <class F> void Process(const uint8_t* data, size_t size, F&& onPayload) {
        while (size > 0) {
            bool complete = false;
            size_t used = Feed(data, size, complete);
            data += used;
            size -= used;
            if (complete) {
                if (!FMessageBytes.empty())
                    onPayload(FMessageBytes);
                Initialize();
            }
        }
    }

private:
    int32_t FBytesLeft_Begin = 0;
    int32_t FBytesLeft_Length = 0;
    int32_t FBytesLeft_Message = 0;
    int32_t FBytesLeft_End = 0;
    int32_t FMessageIndex = 0;
    uint8_t FLengthBytes[4] = {};
    std::vector<uint8_t> FMessageBytes;
};

class TSocketDataSource;

class TSocketReader : public TThread {
public:
    // A cycle stops reading after this much, or this long, and hands over what it has: a
    // peer that keeps the socket readable would otherwise keep everything decoded from the
    // main thread, and memory would grow without bound.
    static constexpr size_t MaxCycleBytes = 256 * 1024;
    static constexpr int MaxCycleMs = 100;
    // A connection lost sooner than this after it was made counts as refused by a peer that
    // accepts and closes; the next attempt waits, doubling from the first pause to the last.
    static constexpr int ShortConnectionMs = 1000;
    static constexpr int FirstReconnectPauseMs = 50;
    static constexpr int MaxReconnectPauseMs = 2000;

    TSocketReader(TSocketDataSource* ds, std::string host, std::shared_ptr<ITcpClient> tcp,
                  TDebugOutput debugOutput, uint16_t port);
    ~TSocketReader() override;

    // Resets the framing for the next frame.
    void Initialize() { FFrames.Initialize(); }

protected:
    void Execute() override;

private:
    void OnConnectHandler();
    void OnDisconnectHandler();
    void OnErrorHandler();
    void CloseSocket(bool notify);
    void ConnectionEnded();
    void ReadAvailable();
    void QueueRow(std::unique_ptr<TRow> row);
    void ProcessBytes(const uint8_t* data, size_t size);
    void DecodeMessage(const std::vector<uint8_t>& payload);
    void AddLogRow(TNotifyLogRow& r);
    void AddStatusUpdate(TNotifyStatusUpdate& u);
    void AddConnectionRow(bool connected);
    void SetDatasourceState(TDataSourceEvent state);
    void DeliverNewData();
    void HandOverNewData();
    void RaiseDataSourceEvent(TDataSourceEvent state, const std::string& message);
    void DeliverDataSourceEvent();
    void Debug(const std::string& line) {
        if (FDebugOutput)
            FDebugOutput(line);
    }

    std::shared_ptr<ITcpClient> FTcp;
    std::unique_ptr<ITcpConnection> FSocket;
    uint16_t FPort;
    TSocketDataSource* FDS;
    std::string FHost;
    TDebugOutput FDebugOutput;
    TDataSourceEvent FEventType = dse_Disconnected;
    std::string FEventMessage;
    TRows FNewRows;
    TStatusPairs FNewStatusUpdates;
    bool FClearStatesPending = false;
    bool FStatusUpdatesHandedOver = false;
    bool FRowsHandedOver = false;
    TFrameReader FFrames;
    TProtocolBufferDecoder FProtoBufDecoder;
    TNotifyMessage FMessage; // decoded into for every frame, keeping its storage
    TDataSourceEvent FDatasourceState = dse_Disconnected;
    TDateTime FStartTime;
    bool SocketInError = false;
    size_t FRowLimit;
    std::chrono::steady_clock::time_point FConnectedAt;
    int FReconnectPauseMs = 0;  // the pause level, kept while connections stay short
    int FPauseBeforeConnect = 0; // owed before the next attempt
    uint8_t FReadBuffer[1000];
};

class TSocketDataSource : public TDataSource {
public:
    // An empty machine means the local computer ("localhost"). The reader starts connecting
    // at once.
    TSocketDataSource(const std::string& machine, int32_t dataLimit,
                      std::shared_ptr<ITcpClient> tcp, TDebugOutput debugOutput,
                      uint16_t port = LogServicePort);
    TSocketDataSource(const std::string& machine, int32_t dataLimit,
                      std::shared_ptr<ITcpClient> tcp, std::shared_ptr<ISystemInfo> system,
                      uint16_t port = LogServicePort);
    ~TSocketDataSource() override;

    int32_t GetRowCount() const override { return static_cast<int32_t>(FRows.size()); }
    const TRow* GetRow(int32_t index) const override;

    void Event(TDataSourceEvent eventType, const std::string& eventMessage);
    // An entry with an empty name, cold, no shadowing, when the number is unknown.
    TApplicationStateInfo GetApplicationState(int32_t aplNumber) const;
    const TApplicationStates& ApplicationStates() const { return *FApplicationStates; }
    const TSysInfo& SysInfo() const { return FSysInfo; }
    void Clear();
    const std::string& Host() const { return FHost; }
    int32_t DataLimit() const { return FDataLimit; }

    // Main thread, from the reader's hand-over (public for the model's tests).
    void ProcessStatusUpdates(TStatusPairs& pairs);
    // Takes the rows; `rows` comes back holding the rows the limit deleted, for the caller
    // to free.
    void AppendRows(TRows& rows);
    void ClearApplicationStates() { FApplicationStates->Clear(); }

private:
    friend class TSocketReader;

    bool ParseAplStatus(std::string_view rest, const std::string& value);
    bool ParseSysInfo(std::string_view keyText, const std::string& value);

    TRows FRows;
    std::unique_ptr<TSocketReader> FReader;
    std::string FHost;
    int32_t FDataLimit;
    TSysInfo FSysInfo;
    std::unique_ptr<TApplicationStates> FApplicationStates;
    TDebugOutput FDebugOutput;
};

} // namespace cv
