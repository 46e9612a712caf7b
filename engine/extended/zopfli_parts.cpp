#include "engine/extended/zopfli_parts.h"

#include <zlib.h>
extern "C" {   // the header declares C functions without saying so
#include <zopfli/blocksplitter.h>
}
#include <zopfli/deflate.h>
#include <zopfli/zopfli.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

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

uint32_t zopfliPartCount(uint64_t size, uint32_t partBytes)
{
    return static_cast<uint32_t>(std::clamp<uint64_t>(size / std::max<uint32_t>(partBytes, 1), 1, kMaxZopfliParts));
}

uint32_t zopfliPartStart(uint32_t size, uint32_t parts, uint32_t index)
{
    return static_cast<uint32_t>(uint64_t(size) * index / parts);
}

namespace {

// True when deflate (raw, no framing) inflates to exactly data. Inflates
// through a small window, so the check holds no copy of data's size.
bool inflatesTo(const std::vector<uint8_t>& deflate, const uint8_t* data, uint32_t size)
{
    z_stream z = {};
    if (inflateInit2(&z, -15) != Z_OK)
        return false;
    uint8_t window[64 * 1024];
    z.next_in = const_cast<Bytef*>(deflate.data());
    z.avail_in = static_cast<uInt>(deflate.size());
    uint64_t compared = 0;
    int result = Z_OK;
    bool same = true;
    while (same && result == Z_OK) {
        z.next_out = window;
        z.avail_out = sizeof window;
        result = inflate(&z, Z_NO_FLUSH);
        const uint64_t produced = sizeof window - z.avail_out;
        same = (result == Z_OK || result == Z_STREAM_END) && compared + produced <= size &&
               std::equal(window, window + produced, data + compared);
        compared += produced;
        if (result == Z_OK && produced == 0 && z.avail_in == 0)
            same = false;   // the stream ends early
    }
    same = same && result == Z_STREAM_END && compared == size && z.avail_in == 0;
    inflateEnd(&z);
    return same;
}

// The parts one after another into one buffer, each continuing at the bit
// where the one before ended: zopfli's own way of joining calls.
bool zopfliDeflateInSequence(const ZopfliOptions& options, const uint8_t* data, uint32_t size,
                             const std::vector<uint32_t>& starts, std::vector<uint8_t>& deflate)
{
    PartStream stream;
    for (size_t i = 0; i < starts.size(); ++i) {
        const bool last = i + 1 == starts.size();
        ZopfliDeflatePart(&options, 2, last, data, starts[i], last ? size : starts[i + 1], &stream.lastBits,
                          &stream.bytes, &stream.size);
    }
    if (!stream.bytes || stream.size == 0 || stream.size > kMaxBlockBytes)
        return false;
    deflate.assign(stream.bytes, stream.bytes + stream.size);
    return true;
}

// The raw deflate stream of data in the parts beginning at starts.
bool zopfliDeflateAt(const uint8_t* data, uint32_t size, int32_t iterations, const std::vector<uint32_t>& starts,
                     WorkerPool* pool, std::vector<uint8_t>& deflate)
{
    deflate.clear();
    const size_t parts = starts.size();
    if (parts == 0 || starts.front() != 0)
        return false;
    for (size_t i = 1; i < parts; ++i)
        if (starts[i] <= starts[i - 1] || starts[i] >= size)
            return false;
    try {
        ZopfliOptions options;
        ZopfliInitOptions(&options);
        options.numiterations = iterations < 1 ? 1 : iterations;
        std::vector<PartStream> streams(parts);
        {
            // Declared after the streams: its end waits for the parts still encoding into them.
            TaskGroup group(parts > 1 ? pool : nullptr);
            for (size_t i = 0; i < parts; ++i) {
                PartStream* stream = &streams[i];
                const uint32_t begin = starts[i];
                const uint32_t end = i + 1 == parts ? size : starts[i + 1];
                const bool last = i + 1 == parts;
                group.submit([&options, data, begin, end, last, stream] {
                    ZopfliDeflatePart(&options, 2, last, data, begin, end, &stream->lastBits, &stream->bytes,
                                      &stream->size);
                });
            }
            uint64_t bits = 0;
            for (PartStream& part : streams) {
                group.wait();
                if (!part.bytes || part.size == 0 || bits + part.bitCount() > uint64_t(kMaxBlockBytes) * 8)
                    return false;
                appendBits(deflate, bits, part);
                std::free(std::exchange(part.bytes, nullptr));   // joined: not needed again
            }
        }
        // A part encoded from bit 0 is valid at any bit offset unless it holds
        // a stored block, whose padding to a byte boundary depends on the
        // offset. zopfli stores incompressible stretches so: the joined stream
        // is checked, and such data is encoded again with each part
        // continuing at its true offset.
        if (parts > 1 && !inflatesTo(deflate, data, size))
            return zopfliDeflateInSequence(options, data, size, starts, deflate) && inflatesTo(deflate, data, size);
    } catch (const std::bad_alloc&) {
        deflate.clear();
        return false;
    }
    return true;
}

std::vector<uint32_t> equalStarts(uint32_t size, uint32_t parts)
{
    // Every part holds at least one byte (an empty buffer is one empty part).
    parts = std::clamp<uint32_t>(parts, 1, std::min<uint32_t>(kMaxZopfliParts, std::max<uint32_t>(size, 1)));
    std::vector<uint32_t> starts(parts);
    for (uint32_t i = 0; i < parts; ++i)
        starts[i] = zopfliPartStart(size, parts, i);
    return starts;
}

bool zlibWrap(const uint8_t* data, uint32_t size, const std::vector<uint8_t>& deflate, std::vector<uint8_t>& out)
{
    if (deflate.size() > kMaxBlockBytes - 6)
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

}   // namespace

bool zopfliDeflateParts(const uint8_t* data, uint32_t size, int32_t iterations, uint32_t parts,
                        WorkerPool* pool, std::vector<uint8_t>& deflate)
{
    try {
        return zopfliDeflateAt(data, size, iterations, equalStarts(size, parts), pool, deflate);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool zopfliBlockStarts(const uint8_t* data, uint32_t size, uint32_t minPartBytes, std::vector<uint32_t>& starts)
{
    try {
        starts.assign(1, 0);
        if (size < 2 * uint64_t(minPartBytes))
            return true;
        ZopfliOptions options;
        ZopfliInitOptions(&options);
        size_t* points = nullptr;
        size_t count = 0;
        ZopfliBlockSplit(&options, data, 0, size, options.blocksplittingmax, &points, &count);
        const std::unique_ptr<size_t, decltype(&std::free)> owned(points, &std::free);   // malloc'ed by zopfli
        for (size_t i = 0; i < count && starts.size() < kMaxZopfliParts; ++i)
            if (points[i] >= uint64_t(starts.back()) + minPartBytes && points[i] + uint64_t(minPartBytes) <= size)
                starts.push_back(static_cast<uint32_t>(points[i]));
        if (starts.size() == 1 && size >= 2 * uint64_t(kZopfliPartBytes))
            starts = equalStarts(size, zopfliPartCount(size));   // even statistics: any cut costs alike
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool zopfliEncodeAt(const uint8_t* data, uint32_t size, int32_t iterations, const std::vector<uint32_t>& starts,
                    WorkerPool* pool, std::vector<uint8_t>& out)
{
    std::vector<uint8_t> deflate;
    return zopfliDeflateAt(data, size, iterations, starts, pool, deflate) && zlibWrap(data, size, deflate, out);
}

bool zopfliEncodeParts(const uint8_t* data, uint32_t size, int32_t iterations, uint32_t parts,
                       WorkerPool* pool, std::vector<uint8_t>& out)
{
    std::vector<uint8_t> deflate;
    return zopfliDeflateParts(data, size, iterations, parts, pool, deflate) && zlibWrap(data, size, deflate, out);
}
