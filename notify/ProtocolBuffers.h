#pragma once
// Pull decoder for the protocol-buffer wire encoding. The message classes read their
// fields through it; it knows nothing about message types. Reads work in place on the
// decoder's own copy of the block, so the only allocations are the strings returned.
#include "core/Assert.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cv {

// The invalid wire type is raised as a plain failure with the text alone; the other decoder
// failures are assertion failures. Both derive from cv::Exception, so one catch takes all.
class EInvalidProtocolBuffer : public Exception {
public:
    using Exception::Exception;
};

inline uint32_t GetTagWireType(uint32_t tag) {
    return tag & 7u;
}
inline uint32_t GetTagFieldNumber(uint32_t tag) {
    return tag >> 3;
}

class TProtocolBufferDecoder {
public:
    TProtocolBufferDecoder() = default;

    void LoadBytes(const uint8_t* data, size_t size);
    void LoadBytes(const std::vector<uint8_t>& data) { LoadBytes(data.data(), data.size()); }
    int32_t GetPosition() const { return FPosition; }
    void SetPosition(int32_t pos) { FPosition = pos; }
    int32_t GetLength() const { return FLength; }

    uint32_t ReadTag() {
        if (FPosition >= FLength)
            return 0;
        return ReadRawVarint32();
    }
    int32_t ReadInt32() { return static_cast<int32_t>(ReadRawVarint32()); }
    uint32_t ReadUInt32() { return ReadRawVarint32(); }
    int32_t ReadEnum() { return static_cast<int32_t>(ReadRawVarint32()); }
    int64_t ReadInt64() { return static_cast<int64_t>(ReadRawVarint64()); }
    int32_t ReadSInt32() {
        uint32_t n = ReadRawVarint32();
        return static_cast<int32_t>((n >> 1) ^ (~(n & 1) + 1));
    }
    int64_t ReadSInt64() {
        uint64_t n = ReadRawVarint64();
        return static_cast<int64_t>((n >> 1) ^ (~(n & 1) + 1));
    }
    uint32_t ReadFixed32() { return ReadRawLittleEndian32(); }
    int32_t ReadSFixed32() { return static_cast<int32_t>(ReadRawLittleEndian32()); }
    uint64_t ReadFixed64() { return ReadRawLittleEndian64(); }
    int64_t ReadSFixed64() { return static_cast<int64_t>(ReadRawLittleEndian64()); }
    float ReadFloat();
    double ReadDouble();
    bool ReadBoolean() { return ReadRawVarint32() != 0; }
    // UTF-8 on the wire and UTF-8 in the program: the bytes are kept as sent.
    std::string ReadString();
    void ReadString(std::string& out);
    bool SkipField(uint32_t tag);

    uint32_t ReadRawVarint32() {
        // One-byte varints are by far the most common (tags, short lengths).
        if (FPosition < FLength) {
            uint8_t b = FBuffer[static_cast<size_t>(FPosition)];
            if (b < 0x80) {
                ++FPosition;
                return b;
            }
        }
        return ReadRawVarint32Slow();
    }
    uint64_t ReadRawVarint64();
    uint32_t ReadRawLittleEndian32();
    uint64_t ReadRawLittleEndian64();
    uint8_t ReadRawByte() {
        CV_ASSERT(FPosition < FLength, "TProtocolBufferDecoderException: EOF");
        return FBuffer[static_cast<size_t>(FPosition++)];
    }
    void ReadBytes(void* data, int32_t size);
    void SkipBytes(int32_t size);

private:
    uint32_t ReadRawVarint32Slow();

    std::vector<uint8_t> FBuffer;
    int32_t FPosition = 0;
    int32_t FLength = 0;
};

} // namespace cv
