#include "tests/common/image_file_builders.h"

#include <zlib.h>

void appendLE16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void appendLE32(std::vector<uint8_t>& out, uint32_t value)
{
    appendLE16(out, value & 0xFFFF);
    appendLE16(out, value >> 16);
}

void appendBE32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

void appendPngChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    appendBE32(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    appendBE32(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

std::vector<uint8_t> encodeBmp24(const RgbaImage& picture)
{
    const uint32_t stride = (picture.width * 3 + 3) & ~3u;
    const uint32_t pixelBytes = stride * picture.height;
    std::vector<uint8_t> out = {'B', 'M'};
    appendLE32(out, 54 + pixelBytes);   // bfSize
    appendLE32(out, 0);                 // reserved
    appendLE32(out, 54);                // bfOffBits
    appendLE32(out, 40);                // biSize
    appendLE32(out, picture.width);
    appendLE32(out, picture.height);    // positive: bottom-up
    appendLE16(out, 1);                 // planes
    appendLE16(out, 24);                // bit count
    appendLE32(out, 0);                 // BI_RGB
    appendLE32(out, pixelBytes);
    appendLE32(out, 2835);              // 72 dpi
    appendLE32(out, 2835);
    appendLE32(out, 0);                 // colours used
    appendLE32(out, 0);                 // colours important
    for (uint32_t row = 0; row < picture.height; ++row) {
        const uint32_t y = picture.height - 1 - row;
        for (uint32_t x = 0; x < picture.width; ++x) {
            const uint8_t* p = picture.at(x, y);
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
        }
        for (uint32_t pad = picture.width * 3; pad < stride; ++pad)
            out.push_back(0);
    }
    return out;
}

std::vector<uint8_t> encodePng(const RgbaImage& picture, bool withAlpha, int zlibLevel)
{
    const uint32_t channels = withAlpha ? 4 : 3;
    std::vector<uint8_t> raw;
    for (uint32_t y = 0; y < picture.height; ++y) {
        raw.push_back(0);
        for (uint32_t x = 0; x < picture.width; ++x)
            raw.insert(raw.end(), picture.at(x, y), picture.at(x, y) + channels);
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), zlibLevel) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> header;
    appendBE32(header, picture.width);
    appendBE32(header, picture.height);
    header.insert(header.end(), {8, uint8_t(withAlpha ? 6 : 2), 0, 0, 0});
    appendPngChunk(out, "IHDR", header);
    appendPngChunk(out, "IDAT", packed);
    appendPngChunk(out, "IEND", {});
    return out;
}

std::vector<uint8_t> encodePng16(const Rgba16Image& picture, uint8_t colourType, const uint16_t* key)
{
    // The channels of each colour type among red, green, blue, alpha.
    std::vector<int> channels = {0};
    if (colourType == 2)
        channels = {0, 1, 2};
    else if (colourType == 4)
        channels = {0, 3};
    else if (colourType == 6)
        channels = {0, 1, 2, 3};
    std::vector<uint8_t> raw;
    for (uint32_t y = 0; y < picture.height; ++y) {
        raw.push_back(0);
        for (uint32_t x = 0; x < picture.width; ++x)
            for (int c : channels) {
                const uint16_t sample = picture.samples[(size_t(y) * picture.width + x) * 4 + size_t(c)];
                raw.push_back(uint8_t(sample >> 8));
                raw.push_back(uint8_t(sample));
            }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 6) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> header;
    appendBE32(header, picture.width);
    appendBE32(header, picture.height);
    header.insert(header.end(), {16, colourType, 0, 0, 0});
    appendPngChunk(out, "IHDR", header);
    if (key) {
        std::vector<uint8_t> trns;
        for (int c = 0; c < (colourType == 2 ? 3 : 1); ++c)
            trns.insert(trns.end(), {uint8_t(key[c] >> 8), uint8_t(key[c])});
        appendPngChunk(out, "tRNS", trns);
    }
    appendPngChunk(out, "IDAT", packed);
    appendPngChunk(out, "IEND", {});
    return out;
}

std::vector<uint8_t> encodeAnimatedPng(const RgbaImage& picture, int frames)
{
    // Every frame the whole picture, its data a stored (level 0) zlib stream.
    const std::vector<uint8_t> still = encodePng(picture, false, 0);
    std::vector<uint8_t> header(still.begin() + 16, still.begin() + 29);   // IHDR's 13 data bytes
    std::vector<uint8_t> rows;
    for (uint32_t y = 0; y < picture.height; ++y) {
        rows.push_back(0);
        for (uint32_t x = 0; x < picture.width; ++x)
            rows.insert(rows.end(), picture.at(x, y), picture.at(x, y) + 3);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()), 0);
    packed.resize(packedSize);

    std::vector<uint8_t> out(still.begin(), still.begin() + 8);
    appendPngChunk(out, "IHDR", header);
    std::vector<uint8_t> control;
    appendBE32(control, static_cast<uint32_t>(frames));
    appendBE32(control, 0);   // plays forever
    appendPngChunk(out, "acTL", control);
    uint32_t sequence = 0;
    for (int frame = 0; frame < frames; ++frame) {
        std::vector<uint8_t> fcTL;
        appendBE32(fcTL, sequence++);
        appendBE32(fcTL, picture.width);
        appendBE32(fcTL, picture.height);
        appendBE32(fcTL, 0);
        appendBE32(fcTL, 0);
        fcTL.insert(fcTL.end(), {0, 10, 0, 100, 0, 0});   // 10/100 s, no disposal, source blend
        appendPngChunk(out, "fcTL", fcTL);
        if (frame == 0) {
            appendPngChunk(out, "IDAT", packed);
        } else {
            std::vector<uint8_t> fdAT;
            appendBE32(fdAT, sequence++);
            fdAT.insert(fdAT.end(), packed.begin(), packed.end());
            appendPngChunk(out, "fdAT", fdAT);
        }
    }
    appendPngChunk(out, "IEND", {});
    return out;
}
