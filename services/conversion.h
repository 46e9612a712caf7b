#pragma once
// One image conversion as every front end runs it: the request made from a
// loaded image and the option bits, the result read back, and the rules that
// protect the user's files when the result goes to a file.
//
// The rules of convertToFile, in order:
// - size to beat: an input whose name ends in ".png" (any case) is replaced
//   only by a strictly smaller file; every other input is always converted;
// - a result that is not smaller is copied unchanged to the output path,
//   unless that path names the input itself (same text without regard to
//   case, or the same existing file under another name): then nothing is
//   written;
// - a copy keeps its source's last-write time, as the platform copy does;
// - with OUTPUT_KEEP_TIME_STAMPS the input's creation, access and write
//   times go to a converted or copied output (a failure keeps whatever was at
//   the output path, times included).
//
// Stateless functions; each call uses only what it is given, so calls for
// different files may run on different threads at once (one optimizer per
// thread).

#include <cstdint>

#include "engine/png_optimizer.h"

class DibImage;
class TextString;

// The result of a successful conversion, as the engine reported it.
struct ConversionResult {
    int32_t windowBits = 0;
    int32_t memLevel = 0;
    int32_t filter = 0;
    int32_t dataSize = 0;     // IDAT payload bytes
    int32_t bitDepth = 0;     // 1, 2, 4, 8, 24 or 32
    uint32_t fileSize = 0;    // bytes of the PNG file
};

// Loads path for a conversion with options: with OPT_EXTENDED_SEARCH also the
// PNG inputs only the extended search reads, and the PNG's colour chunks
// (sRGB, gAMA, cHRM, iCCP) into colourChunks; otherwise exactly as
// loadImageFile, colourChunks left empty. False when it is no readable image.
bool loadConversionInput(const char* path, uint16_t options, DibImage& image, int32_t& transparentColour,
                         AppendBuffer& colourChunks);

// loadConversionInput for a file's content in memory (size bytes at data), as
// loadImageMemory reads it.
bool loadConversionMemory(const uint8_t* data, uint32_t size, uint16_t options, DibImage& image,
                          int32_t& transparentColour, AppendBuffer& colourChunks);

// Sets the image fields of request from image (which must outlive the
// conversion) and its transparent colour (0x00RRGGBB or -1), its options to
// options & kConvertOptionBits, and the chunks the output keeps to
// keptChunks (may be null; it must outlive the conversion too). The progress
// and control fields, extendedIterations and sizeToBeat are left as they are.
void fillConvertRequest(ConvertRequest& request, const DibImage& image, int32_t transparentColour,
                        uint16_t options, const AppendBuffer* keptChunks = nullptr);

// The result fields of request after a successful convert.
ConversionResult conversionResultOf(const ConvertRequest& request);

// Display name of a filter choice 0..5; "?" for anything else.
const char* filterDisplayName(int32_t filter);
// out = "<depth>BIT <filter> zw <w> zm <m>": the main window's format row and
// the folder results' format column.
void formatEncodingSummary(TextString& out, const ConversionResult& result);

// How a conversion to a file ended.
enum class OutputOutcome {
    Failed,       // the conversion failed or was cancelled; nothing was written
    CopyFailed,   // not smaller, and the copy to the output path failed; the target is unchanged
    Converted,    // a new PNG was written
    Copied,       // not smaller: the input was copied unchanged
    NoOutput,     // not smaller and the output path is the input: nothing written
};

// Rule bits of convertToFile.
constexpr uint16_t OUTPUT_KEEP_TIME_STAMPS = 0x1;
// A test run: the whole search runs and the result fields are filled, but no
// file is written, copied or touched; the outcome is the one a real run would
// have (Converted, Copied or NoOutput; never CopyFailed).
constexpr uint16_t OUTPUT_TEST_RUN = 0x2;

// The input of convertToFile: the file the image was loaded from, its size,
// and where the PNG goes. With no input path (an image that is no file's
// content as it stands) the PNG is written whatever its size, nothing is
// copied and no time stamps are kept.
struct OutputTarget {
    const char* inputPath = nullptr;
    uint32_t inputSize = 0;           // bytes of the input file
    const char* outputPath = nullptr;
    uint16_t rules = 0;               // OUTPUT_* bits
};

// Converts request's image (filled in, progress and cancel fields set by the
// caller) into target.outputPath under the rules above. request.sizeToBeat is
// set here; the result fields are valid when the outcome is Converted,
// Copied or NoOutput.
OutputOutcome convertToFile(PngOptimizer& optimizer, ConvertRequest& request, const OutputTarget& target);

// The conversion with no file at all: request's image (loaded from the
// inputSize bytes at input) becomes a PNG in png, which is released first.
// The size to beat is the input's own size when its content is a PNG (there
// is no name to go by), else none. Converted: png holds the new PNG. Copied:
// the PNG input could not be made strictly smaller and png holds its bytes
// unchanged, so the output is always a valid image. Failed: png is empty.
// request's result fields are valid as for convertToFile. Touches no file.
OutputOutcome convertToMemory(PngOptimizer& optimizer, ConvertRequest& request, const uint8_t* input,
                              uint32_t inputSize, AppendBuffer& png);
