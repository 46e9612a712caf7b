#pragma once
// Helpers shared by the test suites.

#include <cstdint>
#include <string>
#include <vector>

#include "core/dib_image.h"

// A folder under the system's temporary folder, removed with its contents on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + separator + name.
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

std::vector<uint8_t> readFileBytes(const std::string& path);
bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Names of the regular files in folder whose names end with suffix, sorted.
std::vector<std::string> listFiles(const std::string& folder, const std::string& suffix);
// Number of entries (files and folders) directly in folder.
size_t countEntries(const std::string& folder);

std::string corpusPath(const std::string& relative);

// 8-bit RGBA pixels, rows from the top, 4 bytes per pixel red, green, blue, alpha.
struct RgbaImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;

    const uint8_t* at(uint32_t x, uint32_t y) const { return &pixels[(size_t(y) * width + x) * 4]; }
};

// The picture of a DibImage as RGBA rows from the top.
RgbaImage rgbaFromDib(const DibImage& image);
// Fills image (created at the right size) from RGBA rows; sets hasAlpha as given.
bool dibFromRgba(const RgbaImage& rgba, DibImage& image, bool hasAlpha);

// Decodes a PNG with libpng to 8-bit RGBA: palettes expanded, tRNS applied as
// alpha, grey turned into RGB. False when libpng refuses the file. Native builds only.
bool decodePngWithLibpng(const std::string& path, RgbaImage& out);
// The same for a PNG held in memory.
bool decodePngBytesWithLibpng(const std::vector<uint8_t>& bytes, RgbaImage& out);
// 16-bit RGBA samples, rows from the top, 4 values per pixel: red, green,
// blue, alpha.
struct Rgba16Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint16_t> samples;
};
// Decodes a PNG in memory with libpng to 16-bit RGBA: palettes expanded,
// samples of fewer bits scaled up (8-bit v to v * 257), tRNS applied as alpha
// 0 or 65535, grey turned into RGB, missing alpha 65535. False when libpng
// refuses the file. Native builds only.
bool decodePngBytesWithLibpng16(const std::vector<uint8_t>& bytes, Rgba16Image& out);
// Whether every stored sample of a PNG in memory has equal high and low bytes,
// as libpng decodes it without any transformation (true at depths up to 8).
// False when libpng refuses the file.
bool decodePngSamplesWithLibpng(const std::vector<uint8_t>& bytes, bool& eightBitValues);
