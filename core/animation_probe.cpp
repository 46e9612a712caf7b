#include "core/animation_probe.h"

#include <cstring>

#include "core/byte_input.h"
#include "core/png_bytes.h"

namespace {

constexpr uint8_t kGifImage = 0x2C;
constexpr uint8_t kGifExtension = 0x21;
constexpr uint32_t kGifHeaderBytes = 6;
constexpr uint32_t kGifScreenBytes = 7;
constexpr uint32_t kGifImageDescriptorBytes = 9;
constexpr uint8_t kGifColourTableFlag = 0x80;

bool walkPng(ByteInput& input)
{
    uint8_t signature[kPngSignatureBytes];
    if (input.read(signature, kPngSignatureBytes) != kPngSignatureBytes ||
        std::memcmp(signature, kPngSignature, kPngSignatureBytes) != 0)
        return false;
    for (;;) {
        uint32_t length = 0;
        uint8_t type[4];
        if (input.readUInt32BE(length) != 4 || length > kMaxPngChunkLength || input.read(type, 4) != 4)
            return false;
        if (std::memcmp(type, "acTL", 4) == 0)
            return true;
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0)
            return false;
        if (!input.skip(length) || !input.skip(4))
            return false;
    }
}

// Bytes of the colour table that a packed field announces (0 without one).
uint32_t gifColourTableBytes(uint8_t packed)
{
    return (packed & kGifColourTableFlag) ? 3u << ((packed & 7) + 1) : 0;
}

// Moves past a chain of data sub-blocks and its terminator; false at the end of the input.
bool skipGifSubBlocks(ByteInput& input)
{
    for (;;) {
        uint8_t size = 0;
        if (input.read(&size, 1) != 1)
            return false;
        if (size == 0)
            return true;
        if (!input.skip(size))
            return false;
    }
}

bool walkGif(ByteInput& input)
{
    uint8_t head[kGifHeaderBytes + kGifScreenBytes];
    if (input.read(head, sizeof head) != sizeof head || std::memcmp(head, "GIF", 3) != 0 ||
        !input.skip(gifColourTableBytes(head[kGifHeaderBytes + 4])))
        return false;
    int images = 0;
    for (;;) {
        uint8_t introducer = 0;
        if (input.read(&introducer, 1) != 1)
            return false;
        if (introducer == kGifImage) {
            if (++images > 1)
                return true;
            uint8_t descriptor[kGifImageDescriptorBytes];
            if (input.read(descriptor, sizeof descriptor) != sizeof descriptor ||
                !input.skip(gifColourTableBytes(descriptor[8]) + 1))   // the table, then the LZW code size
                return false;
        } else if (introducer != kGifExtension || !input.skip(1)) {   // the trailer, or damage
            return false;
        }
        if (!skipGifSubBlocks(input))
            return false;
    }
}

}  // namespace

Animation probeAnimationFile(const char* path)
{
    ByteInput input;
    if (!input.openFile(path))
        return Animation::None;
    if (walkPng(input))
        return Animation::AnimatedPng;
    if (!input.openFile(path))
        return Animation::None;
    return walkGif(input) ? Animation::AnimatedGif : Animation::None;
}

Animation probeAnimationMemory(const uint8_t* data, uint32_t size)
{
    ByteInput input;
    input.openMemory(data, size);
    if (walkPng(input))
        return Animation::AnimatedPng;
    input.openMemory(data, size);
    return walkGif(input) ? Animation::AnimatedGif : Animation::None;
}
