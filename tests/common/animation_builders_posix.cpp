#include "tests/common/animation_builders.h"

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tests/common/image_file_builders.h"

namespace {

int appendGifBytes(GifFileType* gif, const GifByteType* data, int count)
{
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + count);
    return count;
}

// A giflib colour map of palette padded to a power of two, or null when empty.
ColorMapObject* colourMap(const std::vector<uint32_t>& palette)
{
    if (palette.empty())
        return nullptr;
    size_t size = 2;
    while (size < palette.size())
        size *= 2;
    std::vector<GifColorType> colours(size, GifColorType{0, 0, 0});
    for (size_t i = 0; i < palette.size(); ++i)
        colours[i] = {GifByteType(palette[i] >> 16), GifByteType(palette[i] >> 8), GifByteType(palette[i])};
    return GifMakeMapObject(int(size), colours.data());
}

// The rows of an image in the order the file stores them.
std::vector<uint32_t> gifRowOrder(uint32_t height, bool interlaced)
{
    std::vector<uint32_t> rows;
    const uint32_t starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass)
        for (uint32_t y = interlaced ? starts[pass] : 0; y < height; y += interlaced ? steps[pass] : 1)
            rows.push_back(y);
    return rows;
}

bool writeGif(GifFileType* gif, const GifRecipe& recipe, uint32_t screenWidth, uint32_t screenHeight)
{
    EGifSetGifVersion(gif, true);
    ColorMapObject* global = colourMap(recipe.globalPalette);
    bool ok = EGifPutScreenDesc(gif, int(screenWidth), int(screenHeight), 8, recipe.background, global) == GIF_OK;
    GifFreeMapObject(global);
    if (ok && recipe.loops >= 0) {
        const uint8_t count[3] = {1, uint8_t(recipe.loops), uint8_t(recipe.loops >> 8)};
        ok = EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
             EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK &&
             EGifPutExtensionBlock(gif, 3, count) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
    }
    for (const GifFrameRecipe& frame : recipe.frames) {
        if (!ok || frame.indices.size() != size_t(frame.width) * frame.height)
            return false;
        if (frame.control) {
            GraphicsControlBlock control{frame.disposal, false, frame.delay, frame.transparent};
            GifByteType extension[4];
            EGifGCBToExtension(&control, extension);
            ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
        }
        ColorMapObject* local = colourMap(frame.localPalette);
        // giflib 5.2.1 drops the previous image's copy of its local table
        // without freeing it: freed here, before the next image takes its place.
        if (gif->Image.ColorMap) {
            GifFreeMapObject(gif->Image.ColorMap);
            gif->Image.ColorMap = nullptr;
        }
        ok = ok && EGifPutImageDesc(gif, int(frame.x), int(frame.y), int(frame.width), int(frame.height),
                                    frame.interlaced, local) == GIF_OK;
        GifFreeMapObject(local);
        std::vector<GifPixelType> row(frame.width);   // giflib masks the line it is given
        for (uint32_t y : gifRowOrder(frame.height, frame.interlaced)) {
            std::copy_n(frame.indices.begin() + size_t(y) * frame.width, frame.width, row.begin());
            ok = ok && EGifPutLine(gif, row.data(), int(frame.width)) == GIF_OK;
        }
    }
    return ok;
}

// libpng's output in memory.
void appendPngBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

// The data of every IDAT chunk of a PNG written by libpng, one entry per chunk.
std::vector<std::vector<uint8_t>> idatChunks(const std::vector<uint8_t>& png)
{
    std::vector<std::vector<uint8_t>> chunks;
    for (size_t position = 8; position + 12 <= png.size();) {
        const uint8_t* p = &png[position];
        const uint32_t length = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        if (std::memcmp(p + 4, "IDAT", 4) == 0)
            chunks.emplace_back(p + 8, p + 8 + length);
        position += size_t(length) + 12;
    }
    return chunks;
}

struct PngLayout {
    int colourType = PNG_COLOR_TYPE_RGBA;
    int interlace = PNG_INTERLACE_NONE;
    std::vector<png_color> palette;
    std::vector<png_byte> alphas;
    std::vector<uint32_t> entries;   // the palette as 0xRRGGBBAA
};

// The samples of rgba in layout's colour type, one byte each.
std::vector<png_byte> samplesOf(const PngLayout& layout, const std::vector<uint32_t>& rgba, int channels)
{
    std::vector<png_byte> samples(rgba.size() * channels);
    for (size_t i = 0; i < rgba.size(); ++i) {
        if (channels == 1) {
            const auto entry = std::find(layout.entries.begin(), layout.entries.end(), rgba[i]);
            samples[i] = png_byte(entry - layout.entries.begin());
        } else {
            for (int c = 0; c < channels; ++c)
                samples[i * channels + c] = png_byte(rgba[i] >> (24 - 8 * c));
        }
    }
    return samples;
}

// libpng's writing of rows into out; false when it fails. Nothing with a
// destructor lives here: libpng leaves by longjmp.
bool writeWithLibpng(const PngLayout& layout, uint32_t width, uint32_t height, png_bytepp rows,
                     std::vector<uint8_t>& out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_set_write_fn(png, &out, appendPngBytes, flushNothing);
    png_set_IHDR(png, info, width, height, 8, layout.colourType, layout.interlace, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (layout.colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, layout.palette.data(), int(layout.palette.size()));
        if (!layout.alphas.empty())
            png_set_tRNS(png, info, layout.alphas.data(), int(layout.alphas.size()), nullptr);
    }
    png_write_info(png, info);
    png_set_interlace_handling(png);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// One picture written by libpng with layout; empty when libpng refuses it.
std::vector<uint8_t> encodeWithLibpng(const PngLayout& layout, uint32_t width, uint32_t height,
                                      const std::vector<uint32_t>& rgba)
{
    const int channels = layout.colourType == PNG_COLOR_TYPE_PALETTE ? 1
                         : layout.colourType == PNG_COLOR_TYPE_RGB   ? 3
                                                                     : 4;
    std::vector<png_byte> pixels = samplesOf(layout, rgba, channels);
    pixels.resize(size_t(width) * height * channels);
    std::vector<png_bytep> rows(height);
    for (uint32_t y = 0; y < height; ++y)
        rows[y] = &pixels[size_t(y) * width * channels];
    std::vector<uint8_t> out;
    if (!writeWithLibpng(layout, width, height, rows.data(), out))
        return {};
    return out;
}

// The palette of every colour of the animation, alpha below 255 first (a short tRNS).
bool paletteOf(const ApngRecipe& recipe, PngLayout& layout)
{
    std::vector<uint32_t> colours = recipe.defaultImage;
    for (const ApngFrameRecipe& frame : recipe.frames)
        colours.insert(colours.end(), frame.rgba.begin(), frame.rgba.end());
    std::sort(colours.begin(), colours.end(), [](uint32_t a, uint32_t b) {
        return std::make_pair((a & 0xFF) == 0xFF, a) < std::make_pair((b & 0xFF) == 0xFF, b);
    });
    colours.erase(std::unique(colours.begin(), colours.end()), colours.end());
    if (colours.size() > 256)
        return false;
    layout.entries = colours;
    for (uint32_t colour : colours) {
        layout.palette.push_back({png_byte(colour >> 24), png_byte(colour >> 16), png_byte(colour >> 8)});
        if ((colour & 0xFF) != 0xFF)
            layout.alphas.push_back(png_byte(colour));
    }
    return true;
}

std::vector<uint8_t> frameControl(uint32_t& sequence, const ApngFrameRecipe& frame)
{
    std::vector<uint8_t> data;
    for (uint32_t value : {sequence++, frame.width, frame.height, frame.x, frame.y})
        appendBE32(data, value);
    data.insert(data.end(), {uint8_t(frame.delayNum >> 8), uint8_t(frame.delayNum), uint8_t(frame.delayDen >> 8),
                             uint8_t(frame.delayDen), frame.dispose, frame.blend});
    return data;
}

}  // namespace

std::vector<uint8_t> gifBytes(const GifRecipe& recipe)
{
    // A screen holding every frame: giflib may refuse an image beyond it;
    // the screen's size is then set to the one asked for.
    uint32_t screenWidth = recipe.width, screenHeight = recipe.height;
    for (const GifFrameRecipe& frame : recipe.frames) {
        screenWidth = std::max(screenWidth, frame.x + frame.width);
        screenHeight = std::max(screenHeight, frame.y + frame.height);
    }
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendGifBytes, &error);
    if (!gif)
        return {};
    const bool written = writeGif(gif, recipe, screenWidth, screenHeight);
    if (EGifCloseFile(gif, &error) != GIF_OK || !written || out.size() < 13)
        return {};
    out[6] = uint8_t(recipe.width);
    out[7] = uint8_t(recipe.width >> 8);
    out[8] = uint8_t(recipe.height);
    out[9] = uint8_t(recipe.height >> 8);
    return out;
}

std::vector<uint8_t> apngBytes(const ApngRecipe& recipe)
{
    PngLayout layout;
    layout.colourType = recipe.colour == ApngColour::Palette ? PNG_COLOR_TYPE_PALETTE
                        : recipe.colour == ApngColour::Rgb   ? PNG_COLOR_TYPE_RGB
                                                           : PNG_COLOR_TYPE_RGBA;
    layout.interlace = recipe.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
    if (recipe.frames.empty() || (recipe.colour == ApngColour::Palette && !paletteOf(recipe, layout)))
        return {};
    std::vector<uint8_t> out = {137, 'P', 'N', 'G', 13, 10, 26, 10};
    std::vector<uint8_t> header;
    appendBE32(header, recipe.width);
    appendBE32(header, recipe.height);
    header.insert(header.end(), {8, uint8_t(layout.colourType), 0, 0, uint8_t(layout.interlace)});
    appendPngChunk(out, "IHDR", header);
    std::vector<uint8_t> control;
    appendBE32(control, uint32_t(recipe.frames.size()));
    appendBE32(control, recipe.plays);
    appendPngChunk(out, "acTL", control);
    if (recipe.colour == ApngColour::Palette) {
        std::vector<uint8_t> palette;
        for (const png_color& entry : layout.palette)
            palette.insert(palette.end(), {entry.red, entry.green, entry.blue});
        appendPngChunk(out, "PLTE", palette);
        if (!layout.alphas.empty())
            appendPngChunk(out, "tRNS", std::vector<uint8_t>(layout.alphas.begin(), layout.alphas.end()));
    }
    uint32_t sequence = 0;
    if (recipe.hiddenDefault) {
        const auto chunks = idatChunks(encodeWithLibpng(layout, recipe.width, recipe.height, recipe.defaultImage));
        if (chunks.empty())
            return {};
        for (const auto& chunk : chunks)
            appendPngChunk(out, "IDAT", chunk);
    }
    for (size_t i = 0; i < recipe.frames.size(); ++i) {
        const ApngFrameRecipe& frame = recipe.frames[i];
        if (frame.rgba.size() != size_t(frame.width) * frame.height)
            return {};
        const auto chunks = idatChunks(encodeWithLibpng(layout, frame.width, frame.height, frame.rgba));
        if (chunks.empty())
            return {};
        appendPngChunk(out, "fcTL", frameControl(sequence, frame));
        for (const auto& chunk : chunks) {
            if (i == 0 && !recipe.hiddenDefault) {
                appendPngChunk(out, "IDAT", chunk);
                continue;
            }
            std::vector<uint8_t> data;
            appendBE32(data, sequence++);
            data.insert(data.end(), chunk.begin(), chunk.end());
            appendPngChunk(out, "fdAT", data);
        }
    }
    appendPngChunk(out, "IEND", {});
    return out;
}
