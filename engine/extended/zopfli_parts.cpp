#include "engine/extended/zopfli_parts.h"

#include <zlib.h>
#include <zopfli/deflate.h>
#include <zopfli/zopfli.h>

#include <algorithm>
#include <cstdlib>
#include <new>

#include "core/size_limits.h"
#include "engine/worker_pool.h"

namespace {

// One part's blocks as zopfli wrote them: whole bytes, the last holding
// lastBits bits (all 8 when lastBits is 0), unused high bits zero.
struct PartStream {
    unsigned char* bytes = nullptr;   // malloc'ed by zopfli
    size_t size = 0;
    unsigned char lastBits = 0;

    ~PartStream() { std::free(bytes); }
    uint64_t bitCount() const { return uint64_t(size) * 8 - (lastBits == 0 ? 0 : 8 - lastBits); }
};

// Appends a part's bits to the stream ending with `bits` bits.
void appendBits(std::vector<uint8_t>& out, uint64_t& bits, const PartStream& part)
{
    const unsigned shift = static_cast<unsigned>(bits % 8);
    if (shift == 0) {
        out.insert(out.end(), part.bytes, part.bytes + part.size);
    } else {
        for (size_t i = 0; i < part.size; ++i) {
            out.back() |= static_cast<uint8_t>(part.bytes[i] << shift);
            out.push_back(static_cast<uint8_t>(part.bytes[i] >> (8 - shift)));
        }
    }
    bits += part.bitCount();
    out.resize(static_cast<size_t>((bits + 7) / 8));   // drops a byte the shift left empty
}

}   // namespace

uint32_t zopfliPartCount(uint64_t size)
{
    return static_cast<uint32_t>(std::clamp<uint64_t>(size / kZopfliPartBytes, 1, kMaxZopfliParts));
}

uint32_t zopfliPartStart(uint32_t size, uint32_t parts, uint32_t index)
{
    return static_cast<uint32_t>(uint64_t(size) * index / parts);
}

bool zopfliDeflateParts(const uint8_t* data, uint32_t size, int32_t iterations, uint32_t parts,
                        WorkerPool* pool, std::vector<uint8_t>& deflate)
{
    // Every part holds at least one byte (an empty buffer is one empty part).
    parts = std::clamp<uint32_t>(parts, 1, std::min<uint32_t>(kMaxZopfliParts, std::max<uint32_t>(size, 1)));
    deflate.clear();
    try {
        ZopfliOptions options;
        ZopfliInitOptions(&options);
        options.numiterations = iterations < 1 ? 1 : iterations;
        std::vector<PartStream> streams(parts);
        // Declared after the streams: its end waits for the parts still encoding into them.
        TaskGroup group(parts > 1 ? pool : nullptr);
        for (uint32_t i = 0; i < parts; ++i) {
            PartStream* stream = &streams[i];
            group.submit([&options, data, size, parts, i, stream] {
                ZopfliDeflatePart(&options, 2, i + 1 == parts, data, zopfliPartStart(size, parts, i),
                                  zopfliPartStart(size, parts, i + 1), &stream->lastBits, &stream->bytes,
                                  &stream->size);
            });
        }
        uint64_t bits = 0;
        for (const PartStream& part : streams) {
            group.wait();
            if (!part.bytes || part.size == 0 || bits + part.bitCount() > uint64_t(kMaxBlockBytes) * 8)
                return false;
            appendBits(deflate, bits, part);
        }
    } catch (const std::bad_alloc&) {
        deflate.clear();
        return false;
    }
    return true;
}

bool zopfliEncodeParts(const uint8_t* data, uint32_t size, int32_t iterations, uint32_t parts,
                       WorkerPool* pool, std::vector<uint8_t>& out)
{
    std::vector<uint8_t> deflate;
    if (!zopfliDeflateParts(data, size, iterations, parts, pool, deflate) ||
        deflate.size() > kMaxBlockBytes - 6)
        return false;
    const uLong adler = adler32(adler32(0, nullptr, 0), data, static_cast<uInt>(size));
    try {
        out.clear();
        out.reserve(deflate.size() + 6);
        out.push_back(0x78);   // deflate, 32 KiB window
        out.push_back(0xDA);   // maximum compression; header check bits
        out.insert(out.end(), deflate.begin(), deflate.end());
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<uint8_t>(adler >> shift));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
