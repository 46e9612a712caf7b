// The zopfli and libdeflate builds this target links (Debian's packages
// natively, the libraries of scripts/build-windows-deps.sh on Windows): both
// encoders are called and zlib must inflate each stream back to the input.

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdlib>
#include <vector>

#include <libdeflate.h>
#include <zopfli.h>

namespace {

using Bytes = std::vector<uint8_t>;

// Rows of a smooth gradient with some noise: compressible, but not trivially.
Bytes sampleData()
{
    Bytes data;
    uint32_t seed = 12345;
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 256; ++x) {
            seed = seed * 1103515245u + 12345u;
            data.push_back(uint8_t(x + y * 3 + ((seed >> 16) & 7)));
        }
    return data;
}

Bytes inflateZlib(const Bytes& stream, size_t expectedSize)
{
    Bytes out(expectedSize + 1);
    uLongf outSize = uLongf(out.size());
    if (uncompress(out.data(), &outSize, stream.data(), uLong(stream.size())) != Z_OK)
        return Bytes();
    out.resize(outSize);
    return out;
}

Bytes compressWithZopfli(const Bytes& data)
{
    ZopfliOptions options;
    ZopfliInitOptions(&options);
    options.numiterations = 5;
    unsigned char* out = nullptr;
    size_t outSize = 0;
    ZopfliCompress(&options, ZOPFLI_FORMAT_ZLIB, data.data(), data.size(), &out, &outSize);
    Bytes stream(out, out + outSize);
    std::free(out);
    return stream;
}

Bytes compressWithLibdeflate(const Bytes& data)
{
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(12);
    if (!compressor)
        return Bytes();
    Bytes stream(libdeflate_zlib_compress_bound(compressor, data.size()));
    stream.resize(libdeflate_zlib_compress(compressor, data.data(), data.size(), stream.data(), stream.size()));
    libdeflate_free_compressor(compressor);
    return stream;
}

struct Encoder {
    const char* name;
    Bytes (*compress)(const Bytes&);
};

const Encoder kEncoders[] = {
    {"zopfli", compressWithZopfli},
    {"libdeflate", compressWithLibdeflate},
};

}  // namespace

TEST(DeflateLibraries, EachEncoderRoundTripsThroughZlib)
{
    const Bytes data = sampleData();
    for (const Encoder& encoder : kEncoders) {
        const Bytes stream = encoder.compress(data);
        ASSERT_FALSE(stream.empty()) << encoder.name;
        EXPECT_LT(stream.size(), data.size()) << encoder.name;
        EXPECT_EQ(inflateZlib(stream, data.size()), data) << encoder.name;
    }
}
