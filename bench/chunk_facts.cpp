#include "bench/chunk_facts.h"

#include <png.h>

#include <algorithm>

namespace {

void ignoreWarning(png_structp, png_const_charp) {}

void readBytes(png_structp png, png_bytep out, png_size_t count)
{
    auto* source = static_cast<std::pair<const uint8_t*, size_t>*>(png_get_io_ptr(png));
    if (count > source->second)
        png_error(png, "short");
    std::copy(source->first, source->first + count, out);
    source->first += count;
    source->second -= count;
}

uint32_t scaled(uint32_t value, int depth)
{
    return depth == 16 ? value : value * (65535u / ((1u << depth) - 1u));
}

}  // namespace

bool readChunkFacts(const std::vector<uint8_t>& file, ChunkFacts& facts)
{
    facts.clear();
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, ignoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return false;
    }
    std::pair<const uint8_t*, size_t> source(file.data(), file.size());
    png_set_read_fn(png, &source, readBytes);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, nullptr, 0);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    const int depth = png_get_bit_depth(png, info);
    png_textp texts = nullptr;
    const int textCount = png_get_text(png, info, &texts, nullptr);
    for (int i = 0; i < textCount; ++i)
        facts["text"] += std::string(texts[i].key) + "=" + std::string(texts[i].text, texts[i].text_length) + ";";
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &x, &y, &unit))
        facts["pHYs"] = std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(unit);
    png_timep time = nullptr;
    if (png_get_tIME(png, info, &time))
        facts["tIME"] = std::to_string(time->year) + "-" + std::to_string(time->month) + "-" +
                        std::to_string(time->second);
    png_uint_32 exifBytes = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(png, info, &exifBytes, &exif))
        facts["eXIf"] = std::string(reinterpret_cast<char*>(exif), exifBytes);
    png_fixed_point gamma = 0;
    if (png_get_gAMA_fixed(png, info, &gamma))
        facts["gAMA"] = std::to_string(gamma);
    png_colorp palette = nullptr;
    int entries = 0;
    png_get_PLTE(png, info, &palette, &entries);
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    png_get_tRNS(png, info, &alphas, &alphaCount, nullptr);
    png_color_16p background = nullptr;
    if (png_get_bKGD(png, info, &background)) {
        const bool indexed = png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE;
        const bool grey = !(png_get_color_type(png, info) & PNG_COLOR_MASK_COLOR);
        const png_color entry = indexed && background->index < entries ? palette[background->index] : png_color{};
        const uint32_t red = indexed ? entry.red * 257u : scaled(grey ? background->gray : background->red, depth);
        const uint32_t green = indexed ? entry.green * 257u : grey ? red : scaled(background->green, depth);
        const uint32_t blue = indexed ? entry.blue * 257u : grey ? red : scaled(background->blue, depth);
        facts["bKGD"] = std::to_string(red) + "," + std::to_string(green) + "," + std::to_string(blue);
    }
    png_uint_16p histogram = nullptr;
    if (png_get_hIST(png, info, &histogram)) {
        std::map<uint32_t, uint32_t> byColour;
        for (int i = 0; i < entries; ++i) {
            const uint32_t alpha = i < alphaCount ? alphas[i] : 255;
            byColour[alpha == 0 ? 0 : uint32_t(palette[i].red) << 24 | palette[i].green << 16 | palette[i].blue << 8 |
                                          alpha] += histogram[i];
        }
        for (const auto& [colour, count] : byColour)
            if (count)
                facts["hIST"] += std::to_string(colour) + ":" + std::to_string(count) + ";";
    }
    png_charp profileName = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileBytes = 0;
    if (png_get_iCCP(png, info, &profileName, &compression, &profile, &profileBytes))
        facts["iCCP"] = std::string(profileName) + ":" + std::string(reinterpret_cast<char*>(profile), profileBytes);
    png_color_8p bits = nullptr;
    if (png_get_sBIT(png, info, &bits))
        facts["sBIT"] = "present";
    png_unknown_chunkp unknown = nullptr;
    const int unknownCount = png_get_unknown_chunks(png, info, &unknown);
    for (int i = 0; i < unknownCount; ++i) {
        const std::string name(reinterpret_cast<char*>(unknown[i].name), 4);
        if (name != "acTL" && name != "fcTL" && name != "fdAT")
            facts[name] = std::string(reinterpret_cast<char*>(unknown[i].data), unknown[i].size);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}


std::string chunkFactKey(const std::string& name)
{
    return name == "tEXt" || name == "zTXt" || name == "iTXt" ? "text" : name;
}
