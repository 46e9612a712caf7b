#include "engine/deflate_stream.h"

#include <zlib.h>

#include "core/size_limits.h"

bool deflateThrough(const uint8_t* data, uint32_t size, int32_t windowBits, int32_t memLevel,
                    uint8_t* scratch, uint32_t scratchBytes, DeflateSink sink, void* context,
                    uint32_t& total)
{
    z_stream stream = {};
    if (deflateInit2(&stream, 9, Z_DEFLATED, windowBits, memLevel, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = size;
    stream.next_out = scratch;
    stream.avail_out = scratchBytes;
    uint64_t length = 0;
    bool ok = true;
    int flush = Z_NO_FLUSH;
    for (;;) {
        if (stream.avail_in == 0)
            flush = Z_FINISH;
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
            if (length > kMaxBlockBytes || (sink && !sink(scratch, used, context))) {
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

uint32_t measureDeflate(const uint8_t* data, uint32_t size, int32_t windowBits, int32_t memLevel)
{
    uint8_t scratch[kDeflateScratchBytes];
    uint32_t total = 0;
    if (!deflateThrough(data, size, windowBits, memLevel, scratch, kDeflateScratchBytes, nullptr,
                        nullptr, total))
        return 0;
    return total;
}
