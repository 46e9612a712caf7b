#pragma once
// The bytes every PNG file shares, for its readers and its writer: the
// signature and the big-endian 32-bit numbers of chunk lengths, CRCs and IHDR.

#include <cstdint>

constexpr uint32_t kPngSignatureBytes = 8;
// The largest chunk length the format allows; a longer one ends a chunk walk.
constexpr uint32_t kMaxPngChunkLength = 0x7FFFFFFFu;
constexpr uint8_t kPngSignature[kPngSignatureBytes] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

inline uint32_t readBE32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

inline void putBE32(uint8_t* out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}
