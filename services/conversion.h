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
//   the output path, times included);
// - an output name the program derived (OUTPUT_DERIVED_NAME) never replaces
//   another existing file, nor one that another input of the run derives too
//   (OUTPUT_SHARED_NAME), unless OUTPUT_REPLACE_EXISTING allows it;
// - an animated PNG is never cut to its default image: unless the request
//   carries its animation (ConvertRequest::animation), it is treated as a
//   PNG that cannot be made smaller (copied unchanged, or left alone in
//   place), without a search;
// - a file converted in place that has other names (hard links) is left
//   alone, since a new file would take only this name, unless
//   OUTPUT_REPLACE_EXISTING allows the split;
// - replacing keeps the replaced file's identity and writes through symbolic
//   links (replacing_file.h).
//
// Stateless functions; each call uses only what it is given, so calls for
// different files may run on different threads at once (one optimizer per
// thread).

#include <cstdint>

#include "core/animation_probe.h"
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
// With OPT_EXTENDED_SEARCH and a wideSamples buffer, a 16-bit PNG whose
// samples do not all fit 8 bits loads too, its exact samples kept there
// (image_loader.h); otherwise the buffer is left empty.
bool loadConversionInput(const char* path, uint16_t options, DibImage& image, int32_t& transparentColour,
                         AppendBuffer& colourChunks, ByteBuffer* wideSamples = nullptr);

// loadConversionInput for a file's content in memory (size bytes at data), as
// loadImageMemory reads it.
bool loadConversionMemory(const uint8_t* data, uint32_t size, uint16_t options, DibImage& image,
                          int32_t& transparentColour, AppendBuffer& colourChunks,
                          ByteBuffer* wideSamples = nullptr);

// Sets the image fields of request from image (which must outlive the
// conversion) and its transparent colour (0x00RRGGBB or -1), its options to
// options & kConvertOptionBits, and the chunks the output keeps to
// keptChunks (may be null; it must outlive the conversion too). The progress
// and control fields, extendedLevel, extendedIterations and sizeToBeat are
// left as they are. samples16 is set to the wideSamples a load kept (may be
// null or empty; then null) with OPT_EXTENDED_SEARCH, else null; the buffer
// must outlive the conversion.
void fillConvertRequest(ConvertRequest& request, const DibImage& image, int32_t transparentColour,
                        uint16_t options, const AppendBuffer* keptChunks = nullptr,
                        const ByteBuffer* wideSamples = nullptr);

// The result fields of request after a successful convert.
ConversionResult conversionResultOf(const ConvertRequest& request);

// Whether windowBits, memLevel, filter and bitDepth name the default search's
// winner: false (all 0) after a level of the extended search that does not
// run the default search, and for a file left as it was without a search.
inline bool hasDefaultEncoding(const ConvertRequest& request)
{
    return request.bitDepth != 0;
}
inline bool hasDefaultEncoding(const ConversionResult& result)
{
    return result.bitDepth != 0;
}

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
    OutputExists, // the derived output name is another existing file: nothing written
    SharedOutput, // another input of the run derives the same output name: nothing written
};

// Rule bits of convertToFile.
constexpr uint16_t OUTPUT_KEEP_TIME_STAMPS = 0x1;
// A test run: the whole search runs and the result fields are filled, but no
// file is written, copied or touched; the outcome is the one a real run would
// have (Converted, Copied or NoOutput; never CopyFailed).
constexpr uint16_t OUTPUT_TEST_RUN = 0x2;
// The program chose the output name (the input's name with ".png", a folder
// run's mirrored name): an existing file there that is not the input stays.
constexpr uint16_t OUTPUT_DERIVED_NAME = 0x4;
// With OUTPUT_DERIVED_NAME: another input of the same run derives this name.
constexpr uint16_t OUTPUT_SHARED_NAME = 0x8;
// Lifts the two refusals above and the rule that keeps a hard-linked file.
constexpr uint16_t OUTPUT_REPLACE_EXISTING = 0x10;

// What a conversion adds to its outcome (CONVERSION_NOTE_* bits).
// An animated PNG: copied or left unchanged, never cut to one frame.
constexpr uint16_t CONVERSION_NOTE_ANIMATED_PNG = 0x1;
// An animated GIF: the PNG holds its first frame only; the GIF is untouched.
constexpr uint16_t CONVERSION_NOTE_FIRST_FRAME = 0x2;
// A hard-linked file converted in place: left unchanged.
constexpr uint16_t CONVERSION_NOTE_HARD_LINKS = 0x4;
// Notes of a file that was left as it is without a search: the result
// fields then describe the input (fileSize) and nothing else.
constexpr uint16_t kConversionNotesWithoutSearch = CONVERSION_NOTE_ANIMATED_PNG | CONVERSION_NOTE_HARD_LINKS;

// The input of convertToFile: the file the image was loaded from, its size,
// and where the PNG goes. With no input path (an image that is no file's
// content as it stands) the PNG is written whatever its size, nothing is
// copied and no time stamps are kept.
struct OutputTarget {
    const char* inputPath = nullptr;
    uint32_t inputSize = 0;           // bytes of the input file
    const char* outputPath = nullptr;
    uint16_t rules = 0;               // OUTPUT_* bits
    // Whether the input holds an animation, when the caller read its bytes
    // already (animationKnown); otherwise convertToFile reads the file to tell.
    Animation animation = Animation::None;
    bool animationKnown = false;
};

// Converts request's image (filled in, progress and cancel fields set by the
// caller) into target.outputPath under the rules above; with no output path
// it only searches, and a file that would not be written is NoOutput. request.sizeToBeat is
// set here; the result fields are valid when the outcome is Converted,
// Copied or NoOutput. notes, when given, receives the CONVERSION_NOTE_* bits.
OutputOutcome convertToFile(PngOptimizer& optimizer, ConvertRequest& request, const OutputTarget& target,
                            uint16_t* notes = nullptr);

// The conversion with no file at all: request's image (loaded from the
// inputSize bytes at input) becomes a PNG in png, which is released first.
// The size to beat is the input's own size when its content is a PNG (there
// is no name to go by), else none. Converted: png holds the new PNG. Copied:
// the PNG input could not be made strictly smaller and png holds its bytes
// unchanged, so the output is always a valid image. Failed: png is empty.
// An animated PNG input is Copied without a search. request's result fields
// are valid as for convertToFile; notes as there. Touches no file.
OutputOutcome convertToMemory(PngOptimizer& optimizer, ConvertRequest& request, const uint8_t* input,
                              uint32_t inputSize, AppendBuffer& png, uint16_t* notes = nullptr);
