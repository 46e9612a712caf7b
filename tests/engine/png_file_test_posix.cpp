// The PNG container: files described by PngFile, written and read back through
// libpng, against the size pngFileSize predicted.

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/file_handle.h"
#include "engine/png_file.h"
#include "tests/common/image_file_builders.h"
#include "tests/engine/engine_test_support.h"

namespace {

// Hands the held stream to the chunk in two pieces, as a compressor would.
bool produceInTwoPieces(void* context, ChunkSink sink, void* sinkContext)
{
    const auto* stream = static_cast<const std::vector<uint8_t>*>(context);
    const uint32_t half = static_cast<uint32_t>(stream->size() / 2);
    return sink(stream->data(), half, sinkContext) &&
           sink(stream->data() + half, static_cast<uint32_t>(stream->size()) - half, sinkContext);
}

}   // namespace

TEST(PngFile, PredictedSizeIsTheWrittenFileThatLibpngDecodes)
{
    // Every pixel's value v = (x + 2y) % levels, stored in each channel.
    std::vector<uint8_t> kept = {0, 0, 0, 3, 't', 'E', 'X', 't', 'a', 0, 'b'};
    appendBE32(kept, uint32_t(crc32(0, &kept[4], 7)));
    const struct {
        int32_t layout;
        uint8_t depth, colourType, channels;   // IHDR's depth and colour type for layout
        uint32_t levels;
        std::vector<uint8_t> plte, trns;
        bool keepChunk, streamed;
        uint8_t expected[4][4];   // decoded RGBA of v = 0 to 3
    } cases[] = {
        {LAYOUT_GREY, 1, 0, 1, 2, {}, {}, false, false, {{0, 0, 0, 255}, {255, 255, 255, 255}}},
        {LAYOUT_PALETTE, 2, 3, 1, 4, {9, 8, 7, 1, 2, 3, 50, 60, 70, 200, 100, 0}, {0, 128}, true, true,
         {{9, 8, 7, 0}, {1, 2, 3, 128}, {50, 60, 70, 255}, {200, 100, 0, 255}}},
        {LAYOUT_RGB_KEY, 8, 2, 3, 3, {}, {0, 1, 0, 1, 0, 1}, false, true,
         {{0, 0, 0, 255}, {1, 1, 1, 0}, {2, 2, 2, 255}}},
        {LAYOUT_RGBA, 8, 6, 4, 4, {}, {}, true, false, {{0, 0, 0, 0}, {1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}}},
    };
    TempDir dir;
    const uint32_t width = 13, height = 5;
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.colourType));
        const uint32_t stride = 1 + (width * c.channels * c.depth + 7) / 8;
        std::vector<uint8_t> rows(stride * height, 0);
        RgbaImage expected{width, height, std::vector<uint8_t>(width * height * 4)};
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t v = (x + 2 * y) % c.levels;
                for (uint32_t s = 0; s < c.channels; ++s) {
                    const uint32_t bit = (x * c.channels + s) * c.depth;
                    rows[y * stride + 1 + bit / 8] |= uint8_t(v << (8 - c.depth - bit % 8));
                }
                std::copy(c.expected[v], c.expected[v] + 4, &expected.pixels[(y * width + x) * 4]);
            }
        std::vector<uint8_t> stream(compressBound(rows.size()));
        uLongf streamBytes = stream.size();
        ASSERT_EQ(compress2(stream.data(), &streamBytes, rows.data(), rows.size(), 9), Z_OK);
        stream.resize(streamBytes);

        PngFile file;
        file.width = width;
        file.height = height;
        file.format.layout = c.layout;
        file.format.depth = c.depth;
        file.format.palette = c.plte.data();
        file.format.paletteBytes = uint32_t(c.plte.size());
        file.format.transparency = c.trns.data();
        file.format.transparencyBytes = uint32_t(c.trns.size());
        file.keptChunks = c.keepChunk ? kept.data() : nullptr;
        file.keptChunksBytes = c.keepChunk ? uint32_t(kept.size()) : 0;
        file.idatBytes = uint32_t(stream.size());
        if (c.streamed) {
            file.idatSource = produceInTwoPieces;
            file.idatContext = &stream;
        } else {
            file.idat = stream.data();
        }
        const std::string path = dir.file("out.png");
        FileHandle out;
        ASSERT_TRUE(out.createWrite(path.c_str()));
        ASSERT_TRUE(writePngFile(out, file));
        out.close();
        const std::vector<uint8_t> bytes = readFileBytes(path);
        EXPECT_EQ(bytes.size(), pngFileSize(file));
        std::vector<PngChunk> chunks;
        ASSERT_TRUE(parsePngChunks(bytes, chunks));
        std::vector<std::string> types = {"IHDR"};
        for (const char* type : {c.keepChunk ? "tEXt" : "", c.plte.empty() ? "" : "PLTE",
                                 c.trns.empty() ? "" : "tRNS", "IDAT", "IEND"})
            if (*type)
                types.push_back(type);
        EXPECT_EQ(chunkTypes(chunks), types);
        ASSERT_EQ(chunks[0].data.size(), 13u);
        EXPECT_EQ(chunks[0].data[8], c.depth);
        EXPECT_EQ(chunks[0].data[9], c.colourType);
        for (const PngChunk& chunk : chunks)
            EXPECT_TRUE(chunk.crcMatches) << chunk.type;
        RgbaImage decoded;
        ASSERT_TRUE(decodePngBytesWithLibpng(bytes, decoded));
        EXPECT_TRUE(sameRgba(expected, decoded));

        // A source that produces another length than described is refused.
        if (c.streamed) {
            file.idatBytes += 1;
            FileHandle again;
            ASSERT_TRUE(again.createWrite(path.c_str()));
            EXPECT_FALSE(writePngFile(again, file));
        }
    }
}
