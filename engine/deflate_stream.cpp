#include "engine/deflate_stream.h"

#include <zlib.h>

#include "core/size_limits.h"

bool deflateFrom(DeflateSource source, void* sourceContext, int32_t windowBits, int32_t memLevel,
                 uint8_t* scratch, uint32_t scratchBytes, DeflateSink sink, void* sinkContext,
                 uint32_t& total)
{
    z_stream stream = {};
    if (deflateInit2(&stream, 9, Z_DEFLATED, windowBits, memLevel, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    stream.next_out = scratch;
    stream.avail_out = scratchBytes;
    uint64_t length = 0;
    bool ok = true;
    int flush = Z_NO_FLUSH;
    for (;;) {
        if (stream.avail_in == 0 && flush == Z_NO_FLUSH) {
            const uint8_t* piece = nullptr;
            uint32_t count = 0;
            if (!source(sourceContext, piece, count)) {
                ok = false;
                break;
            }
            if (count == 0) {
                flush = Z_FINISH;
            } else {
                stream.next_in = const_cast<Bytef*>(piece);
                stream.avail_in = count;
            }
        }
        const int result = deflate(&stream, flush);
        if (result != Z_OK && result != Z_STREAM_END) {
            ok = false;
            break;
        }
        // A full buffer is passed on at once, so a stream that ends exactly at
        // a buffer boundary leaves nothing (and no empty piece) for the end.
        const uint32_t used = scratchBytes - stream.avail_out;
        if (stream.avail_out == 0 || (result == Z_STREAM_END && used > 0)) {
            length += used;
            if (length > kMaxBlockBytes || (sink && !sink(scratch, used, sinkContext))) {
                ok = false;
                break;
            }
            stream.next_out = scratch;
            stream.avail_out = scratchBytes;
        }
        if (result == Z_STREAM_END)
            break;
    }
    deflateEnd(&stream);
    if (ok)
        total = static_cast<uint32_t>(length);
    return ok;
}

namespace {

struct WholeInput {
    const uint8_t* data;
    uint32_t size;
};

bool nextWholePiece(void* context, const uint8_t*& piece, uint32_t& count)
{
    auto* input = static_cast<WholeInput*>(context);
    piece = input->data;
    count = input->size;
    input->size = 0;   // the one piece; the next call ends the input
    return true;
}

// True for the zlib releases whose level-9 compressor sameLengthParams
// describes: 1.2.9 up to 1.3.x, plain release numbers only (a suffix marks a
// different implementation behind the same interface).
bool zlibMatchesModel()
{
#if ZLIB_VERNUM < 0x1290
    return false;
#else
    static const bool matches = [] {
        const char* version = zlibVersion();
        int parts[3] = {0, 0, 0};
        int part = 0;
        for (const char* c = version; *c; ++c) {
            if (*c == '.') {
                if (++part > 2)
                    return false;
            } else if (*c >= '0' && *c <= '9') {
                parts[part] = parts[part] * 10 + (*c - '0');
            } else {
                return false;
            }
        }
        return parts[0] == 1 && ((parts[1] == 2 && parts[2] >= 9) || parts[1] == 3);
    }();
    return matches;
#endif
}

// The fewest hash-chain positions level 9 visits per match search (its chain
// limit 4096, quartered once a good match is found).
constexpr uint32_t kShortestChainBudget = 1024;

// Distance limit of zlib's matches for window bits w.
uint32_t maxMatchDistance(int32_t windowBits)
{
    return (1u << windowBits) - 262;
}

}   // namespace

bool deflateThrough(const uint8_t* data, uint32_t size, int32_t windowBits, int32_t memLevel,
                    uint8_t* scratch, uint32_t scratchBytes, DeflateSink sink, void* context,
                    uint32_t& total)
{
    WholeInput input = {data, size};
    return deflateFrom(nextWholePiece, &input, windowBits, memLevel, scratch, scratchBytes, sink,
                       context, total);
}

uint32_t measureDeflate(const uint8_t* data, uint32_t size, int32_t windowBits, int32_t memLevel)
{
    uint8_t scratch[kDeflateScratchBytes];
    uint32_t total = 0;
    if (!deflateThrough(data, size, windowBits, memLevel, scratch, kDeflateScratchBytes, nullptr,
                        nullptr, total))
        return 0;
    return total;
}

void sameLengthParams(uint32_t length, int32_t& windowBits, int32_t& memLevel)
{
    if (!zlibMatchesModel() || windowBits < 8 || windowBits > 15 || memLevel < 4 ||
        memLevel > 9)
        return;
    if (windowBits == 8)
        windowBits = 9;
    if (length > maxMatchDistance(windowBits))
        return;   // a match may reach the distance limit: window and memory level both matter
    windowBits = 15;
    const uint64_t symbolBuffer = uint64_t(1) << (memLevel + 6);
    if (length < kShortestChainBudget && uint64_t(length) + 2 <= symbolBuffer)
        memLevel = 9;
}
