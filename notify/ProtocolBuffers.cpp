#include "ProtocolBuffers.h"

#include <cstring>
#include <limits>

namespace cv {

void TProtocolBufferDecoder::LoadBytes(const uint8_t* data, size_t size) {
    // Positions are 32-bit; the framing bounds payloads far below that.
    CV_ASSERT(size <= static_cast<size_t>(std::numeric_limits<int32_t>::max()),
              "TProtocolBufferDecoderException: block too large");
    FBuffer.assign(data, data + size);
    FLength = static_cast<int32_t>(size);
    FPosition = 0;
}

uint32_t TProtocolBufferDecoder::ReadRawVarint32Slow() {
    uint32_t result = 0;
    int shift = 0;
    uint8_t b;
    do {
        CV_ASSERT(shift < 64, "TProtocolBufferDecoderException: invalid Varint");
        b = ReadRawByte();
        if (shift < 32)
            result |= static_cast<uint32_t>(b & 0x7F) << shift;
        shift += 7;
    } while (b & 0x80);
    return result;
}

uint64_t TProtocolBufferDecoder::ReadRawVarint64() {
    uint64_t result = 0;
    int shift = 0;
    uint8_t b;
    do {
        CV_ASSERT(shift < 64, "TProtocolBufferDecoderException: invalid Varint");
        b = ReadRawByte();
        result |= static_cast<uint64_t>(b & 0x7F) << shift;
        shift += 7;
    } while (b & 0x80);
    return result;
}

void TProtocolBufferDecoder::ReadBytes(void* data, int32_t size) {
    CV_ASSERT(size >= 0, "TProtocolBufferDecoderException: negative size");
    CV_ASSERT(static_cast<int64_t>(FPosition) + size <= FLength,
              "TProtocolBufferDecoderException: EOF");
    if (size > 0)
        std::memcpy(data, FBuffer.data() + FPosition, static_cast<size_t>(size));
    FPosition += size;
}

void TProtocolBufferDecoder::SkipBytes(int32_t size) {
    CV_ASSERT(size >= 0, "TProtocolBufferDecoderException: negative size");
    CV_ASSERT(static_cast<int64_t>(FPosition) + size <= FLength,
              "TProtocolBufferDecoderException: EOF");
    FPosition += size;
}

uint32_t TProtocolBufferDecoder::ReadRawLittleEndian32() {
    uint8_t b[4];
    ReadBytes(b, 4);
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

uint64_t TProtocolBufferDecoder::ReadRawLittleEndian64() {
    uint8_t b[8];
    ReadBytes(b, 8);
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | b[i];
    return v;
}

float TProtocolBufferDecoder::ReadFloat() {
    uint32_t bits = ReadRawLittleEndian32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

double TProtocolBufferDecoder::ReadDouble() {
    uint64_t bits = ReadRawLittleEndian64();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

void TProtocolBufferDecoder::ReadString(std::string& out) {
    int32_t size = static_cast<int32_t>(ReadRawVarint32());
    if (size <= 0) {
        out.clear();
        return;
    }
    CV_ASSERT(static_cast<int64_t>(FPosition) + size <= FLength,
              "TProtocolBufferDecoderException: EOF");
    out.assign(reinterpret_cast<const char*>(FBuffer.data() + FPosition),
               static_cast<size_t>(size));
    FPosition += size;
}

std::string TProtocolBufferDecoder::ReadString() {
    std::string s;
    ReadString(s);
    return s;
}

bool TProtocolBufferDecoder::SkipField(uint32_t tag) {
    switch (GetTagWireType(tag)) {
    case 0:
        ReadRawVarint32();
        break;
    case 1:
        SkipBytes(8);
        break;
    case 2:
        SkipBytes(static_cast<int32_t>(ReadRawVarint32()));
        break;
    case 5:
        SkipBytes(4);
        break;
    default:
        throw EInvalidProtocolBuffer("InvalidProtocolBufferException.invalidWireType");
    }
    return true;
}

} // namespace cv
