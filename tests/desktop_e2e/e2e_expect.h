#pragma once
// What the desktop program must show and write, worked out in the test
// process: the engine run directly on the same pixels, with the log and the
// info rows formatted here from the documented formats (not with the
// program's own formatting code), and the test pictures the runs start from.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/dib_image.h"
#include "services/conversion.h"

// OptFlag of the program when no settings file says otherwise.
constexpr uint16_t kDefaultOptFlag = 0x0100;

// The outcome of one direct engine run.
struct EngineRun : ConversionResult {
    int ok = 0;
    std::string log;            // the output dialog's log, result block included on success
    std::vector<uint8_t> file;  // the written file when an output path was given
};

// Runs the optimizer as the output dialog does (every engine option bit of
// optFlag, the extended search at extendedLevel, no size to beat) on image,
// keeping keptChunks. With outputPath it writes there and reads the file back
// into `file`.
EngineRun runEngine(const DibImage& image, int32_t transparentColour, uint16_t optFlag,
                    const std::string& outputPath = "", const AppendBuffer* keptChunks = nullptr,
                    int32_t extendedLevel = 0);

// The main window's row texts.
std::string byteSizeText(uint32_t bytes);                        // "%uByte (%.2fKB)"
std::string sizeChangeText(int32_t inputSize, uint32_t output);  // "+%dByte" / "%dByte" / "----"
std::string encodingText(const EngineRun& run);                   // "%dBIT %s zw %d zm %d"
std::string imageSizeText(int32_t width, int32_t height);        // "%d x %d"

// Test pictures: words 0xAARRGGBB, rows from the top.
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A few colours in blocks and stripes: a palette image.
Picture patternPicture(int32_t width, int32_t height, uint32_t seed);
// Smooth gradients with noise: many colours, slow to compress at level 9.
Picture busyPicture(int32_t width, int32_t height, uint32_t seed);
// Colours with varying alpha.
Picture alphaPicture(int32_t width, int32_t height, uint32_t seed);

// The picture as a DibImage (hasAlpha as given).
bool toDib(const Picture& picture, bool hasAlpha, DibImage& image);
// runEngine with the default settings on picture's pixels, no transparent
// colour, nothing written; ok false when the picture cannot be converted.
EngineRun runEngineOnPicture(const Picture& picture, bool hasAlpha);
// Writes the picture as a 24-bit BMP (alpha dropped).
bool writeBmp24(const std::string& path, const Picture& picture);
// Writes the picture as an 8-bit RGB PNG with filter 0 everywhere and a plain
// zlib stream, optionally with a tRNS chunk naming transparentRgb.
bool writePlainPng(const std::string& path, const Picture& picture, int64_t transparentRgb = -1);

// Whether the image file at path loads (with the program's reader) and has
// exactly the picture's colours (alpha not compared).
::testing::AssertionResult holdsPicture(const std::string& path, const Picture& picture);

bool fileExists(const std::string& path);
uint32_t fileSize(const std::string& path);
