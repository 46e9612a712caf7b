#pragma once
// Helpers of the console tests: small generated input files and in-process runs
// of the converter with its report captured.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/common/test_support.h"

// A picture of width x height with `colours` distinct opaque colours laid out in
// horizontal bands over a gradient-free background (colours >= 1).
RgbaImage makeBandedImage(uint32_t width, uint32_t height, uint32_t colours);
// A smooth opaque gradient: many colours, so it stays 24-bit.
RgbaImage makeGradientImage(uint32_t width, uint32_t height);

// Writes a 24-bit bottom-up BMP of the picture (alpha dropped).
bool writeBmp24(const std::string& path, const RgbaImage& image);
// Writes an 8-bit RGBA PNG whose image data is compressed at zlib `level`
// (0: stored, so any optimizer output is smaller).
bool writeRgbaPng(const std::string& path, const RgbaImage& image, int level);

// The picture as the system's loader gives it, RGBA from the top. False when
// the loader refuses the file.
bool loadAsRgba(const std::string& path, RgbaImage& out, int32_t* transparentColour = nullptr);

// Every regular file below root, by path relative to root ('/' separated).
using Tree = std::map<std::string, std::vector<uint8_t>>;
Tree readTree(const std::string& root);

struct ConsoleRun {
    int status = -1;
    std::string text;   // everything the run printed on standard output
    std::string err;    // and on standard error
};

// Runs the whole console program in-process on a command line (program name
// first); argc is what the runtime would report (only "< 2" matters).
ConsoleRun runConsoleLine(const std::string& commandLine, int argc = 3);
// Builds the command line from separate arguments the way the program does.
ConsoleRun runConsoleArgs(const std::vector<std::string>& arguments);

// The lines of text, without their line ends.
std::vector<std::string> linesOf(const std::string& text);

// The two name lines that open every report after the options were read.
std::string nameLines(const std::string& input, const std::string& output);

// Number of '.' characters between the name lines and the blank line after the
// dots; -1 when the report does not have that shape.
int countDots(const std::string& report, const std::string& input, const std::string& output);

// Fields of a result block; false when the report has none.
struct ReportedResult {
    unsigned inSize = 0;
    unsigned outSize = 0;
    int change = 0;
    int bitDepth = 0;
    int filter = 0;
    int windowBits = 0;
    int memLevel = 0;
};
bool parseResultBlock(const std::string& report, ReportedResult& result);

bool fileExistsAt(const std::string& path);

// Decodes a written PNG with an independent decoder where there is one
// (libpng on POSIX); the Windows build falls back to the system's own loader.
bool decodeOutputPng(const std::string& path, RgbaImage& out);
