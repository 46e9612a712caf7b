// zopfli and libdeflate for the extended search (every build links both; see
// engine/CMakeLists.txt).

#include <libdeflate.h>
#include <zopfli/zopfli.h>

#include <cstdlib>
#include <new>

#include "core/size_limits.h"
#include "engine/extended/extended_encoders.h"

bool zopfliEncode(const uint8_t* data, uint32_t size, int32_t iterations, std::vector<uint8_t>& out)
{
    ZopfliOptions options;
    ZopfliInitOptions(&options);
    options.numiterations = iterations < 1 ? 1 : iterations;
    unsigned char* compressed = nullptr;   // zopfli allocates with malloc; released here
    size_t compressedSize = 0;
    ZopfliCompress(&options, ZOPFLI_FORMAT_ZLIB, data, size, &compressed, &compressedSize);
    bool ok = compressed != nullptr && compressedSize > 0 && compressedSize <= kMaxBlockBytes;
    if (ok) {
        try {
            out.assign(compressed, compressed + compressedSize);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    std::free(compressed);
    return ok;
}

bool libdeflateEncode(const uint8_t* data, uint32_t size, std::vector<uint8_t>& out, int level)
{
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    if (!compressor)
        return false;
    bool ok = false;
    try {
        out.resize(libdeflate_zlib_compress_bound(compressor, size));
        const size_t written = libdeflate_zlib_compress(compressor, data, size, out.data(), out.size());
        ok = written > 0 && written <= kMaxBlockBytes;
        out.resize(written);
        out.shrink_to_fit();   // the bound is about the input's size; callers keep streams
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    libdeflate_free_compressor(compressor);
    return ok;
}
