#include "tests/common/keep_option_cases.h"

#include <set>

#include "core/png_bytes.h"
#include "tests/common/image_file_builders.h"
#include "tests/common/test_support.h"

const std::vector<KeepOptionCase> kKeepOptionCases = {
    {"", false, true, {}},
    {"", true, true, {}},
    {"text", false, true, {"tEXt"}},
    {"TEXT,pHYs", true, true, {"tEXt", "pHYs"}},
    {"colour time", false, true, {"gAMA", "tIME"}},
    {"all", true, true, {"gAMA", "tEXt", "pHYs", "tIME"}},
    {"text,IHDR", false, false, {}},
    {"words", false, false, {}},
};

std::vector<uint8_t> keepOptionInput()
{
    RgbaImage picture;
    picture.width = 20;
    picture.height = 12;
    uint32_t noise = 7;
    for (uint32_t i = 0; i < picture.width * picture.height; ++i) {
        noise = noise * 1103515245u + 12345u;
        const bool visible = i % 3 != 0;
        picture.pixels.insert(picture.pixels.end(), {uint8_t(visible ? i / 20 * 20 : noise >> 24),
                                                     uint8_t(visible ? 90 : noise >> 16), 60, uint8_t(visible ? 255 : 0)});
    }
    const std::vector<uint8_t> plain = encodePng(picture, true, 0);
    std::vector<uint8_t> out(plain.begin(), plain.begin() + kPngSignatureBytes + 25);   // signature and IHDR
    appendPngChunk(out, "gAMA", {0, 0, 0xB1, 0x8F});
    appendPngChunk(out, "tEXt", {'k', 0, 'v'});
    appendPngChunk(out, "pHYs", {0, 0, 0x0E, 0xC4, 0, 0, 0x0E, 0xC4, 1});
    const size_t end = plain.size() - 12;   // IEND
    out.insert(out.end(), plain.begin() + kPngSignatureBytes + 25, plain.begin() + long(end));
    appendPngChunk(out, "tIME", {0x07, 0xE8, 1, 2, 3, 4, 5});
    out.insert(out.end(), plain.begin() + long(end), plain.end());
    return out;
}

std::vector<std::string> ancillaryChunkNames(const std::vector<uint8_t>& png)
{
    std::vector<std::string> names;
    for (size_t at = kPngSignatureBytes; at + 12 <= png.size(); at += 12 + readBE32(png.data() + at)) {
        const std::string name(reinterpret_cast<const char*>(png.data() + at + 4), 4);
        if ((name[0] & 0x20) && name != "tRNS")
            names.push_back(name);
    }
    return names;
}

bool invisibleColoursMerged(const std::vector<uint8_t>& png)
{
    RgbaImage picture;
    if (!decodePngBytesWithLibpng(png, picture))
        return false;
    std::set<uint32_t> colours;
    for (size_t i = 0; i < picture.pixels.size(); i += 4)
        if (picture.pixels[i + 3] == 0)
            colours.insert(uint32_t(picture.pixels[i]) << 16 | picture.pixels[i + 1] << 8 | picture.pixels[i + 2]);
    return colours.size() == 1;
}
