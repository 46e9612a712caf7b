#pragma once
// The engine's interface: the conversion request with its result fields, the
// option bits, the progress callback, and the optimizer object.
//
// A caller fills every in field of a ConvertRequest, calls PngOptimizer::convert
// and reads the out fields only after it returned 1. convert makes every
// progress callback and polls the cancel flag on the calling thread, in the
// order of the sequential search; the compressions behind the trials may run
// on worker threads that convert starts and ends before it returns (see
// setTrialMeasure). The only datum another thread may touch meanwhile is the
// 16-bit flag behind cancelFlag (set non-zero to stop; every load and store
// through loadSharedFlag/storeSharedFlag of core/shared_flag.h, no lock).

#include <cstdint>
#include <memory>
#include <vector>

#include "core/byte_buffer.h"

struct Animation8;
struct KeptChunkSet;

// The option bits of ConvertRequest::options (OPT_*). No other bit reaches the optimizer.
constexpr uint16_t OPT_NO_FILTER_COMPARE = 0x1;   // every row unfiltered, no filter trials
constexpr uint16_t OPT_NO_DEFLATE_COMPARE = 0x2;  // window bits 15, memory level 8, measured once
constexpr uint16_t OPT_NO_8BIT_COMPARE = 0x4;     // a 1/2/4-bit palette image is not also tried at 8 bits
constexpr uint16_t OPT_EXTENDED_SEARCH = 0x8;     // after the search above, the extended stages (extended_search.h)
// The colour of a pixel whose alpha is 0 may change to whatever compresses
// best (clean_alpha.h): not bit-exact for invisible pixels. Every pixel with
// alpha above 0 stays exact.
constexpr uint16_t OPT_CLEAN_ALPHA = 0x10;
// Every OPT_* bit: the front ends keep their own bits outside it.
constexpr uint16_t kConvertOptionBits =
    OPT_NO_FILTER_COMPARE | OPT_NO_DEFLATE_COMPARE | OPT_NO_8BIT_COMPARE | OPT_EXTENDED_SEARCH | OPT_CLEAN_ALPHA;

// Filter choices (ConvertRequest::filter).
enum FilterChoice : int32_t {
    FILTER_NONE = 0,
    FILTER_SUB = 1,
    FILTER_UP = 2,
    FILTER_AVERAGE = 3,
    FILTER_PAETH = 4,
    FILTER_MIN_SUM = 5,
};
constexpr int kFilterChoiceCount = 6;

// The progress callback (ConvertRequest::callback): (bit depth, window bits, memory level, filter, size,
// userData). -1 marks an argument that does not apply. Events:
//   bit depth starts      (depth, -1, -1, -1, -1)
//   filter trial starts   (-1, -1, -1, f, -1)     done: (-1, -1, -1, f, size)
//   parameter trial starts (-1, w, m, -1, -1)     done: (-1, w, m, -1, size)
// With OPT_EXTENDED_SEARCH, after those:
//   extended step starts  (-1, -1, -1, -1, -1)    one per group of candidates measured
using ProgressCallback = void (*)(int32_t bitDepth, int32_t windowBits, int32_t memLevel,
                                  int32_t filter, int32_t size, void* userData);

struct ConvertRequest {
    // in
    const uint8_t* pixels = nullptr;   // DibImage bits: bottom row first, BGRA, width * 4 bytes per row
    int32_t width = 0;
    int32_t height = 0;
    int32_t transparentColour = -1;    // 0x00RRGGBB, or -1 for none
    int16_t hasAlpha = 0;              // non-zero: output is 32-bit RGBA
    uint16_t options = 0;              // OPT_* bits
    // in, read only with OPT_EXTENDED_SEARCH
    int32_t extendedLevel = 0;         // ExtendedLevel; 0 = kDefaultExtendedLevel
    int32_t extendedIterations = 0;    // zopfli iterations at levels that run zopfli; 0 = chosen by the data size
    const uint8_t* keptChunks = nullptr;   // whole chunks (length, type, data, CRC) in file order,
    uint32_t keptChunksSize = 0;           // written after IHDR and counted in fileSize
    // Chunks kept from a PNG input (core/kept_chunks.h), or null; not owned,
    // valid for the call. When set, its chunks are written in every mode,
    // animations included (keptChunks is then not read), placed and
    // rewritten for the file's format as png_file.h says, and counted in
    // every size the searches compare.
    const KeptChunkSet* keptChunkSet = nullptr;
    // The picture's exact samples when they do not all fit 8 bits, else null;
    // not owned, valid for the call. width * height pixels, top row first,
    // each red, green, blue and alpha of 16 bits, most significant byte first
    // (8 bytes a pixel). Their alpha counts when hasAlpha is set or
    // transparentColour is not -1 (a key's pixels then carry alpha 0); else
    // every pixel is opaque. pixels still holds the picture (the samples' high
    // bytes), but only these samples are written: the default search does
    // not run, and the extended search stores them at 16 bits.
    const uint8_t* samples16 = nullptr;
    // An animation to write as an animated PNG (engine/animation/animated_png_encoder.h)
    // instead of the picture, or null. Not owned, valid for the call. pixels,
    // width, height, transparentColour, hasAlpha, keptChunks and samples16 are
    // not read; each frame's rows get the search of the options (the default
    // search, and with OPT_EXTENDED_SEARCH the extended search's on the rows
    // at the level asked for, the smaller kept). Out: fileSize, dataSize (every
    // frame's data), bitDepth (bits per pixel of the layout), the extended
    // layout fields (layout, depth, palette order; the rest 0) and frames.
    const Animation8* animation = nullptr;
    // out: the result of a successful convert
    int32_t windowBits = 0;
    int32_t memLevel = 0;
    int32_t filter = 0;
    int32_t dataSize = 0;              // IDAT payload bytes
    int32_t bitDepth = 0;              // 1, 2, 4, 8, 24 or 32
    uint32_t fileSize = 0;             // exact size of the file written (or that would be)
    // in: progress and control
    ProgressCallback callback = nullptr;
    void* userData = nullptr;
    volatile int16_t* cancelFlag = nullptr;   // must stay valid for the call; core/shared_flag.h
    uint32_t sizeToBeat = 0xFFFFFFFFu;        // write only when fileSize < sizeToBeat
    // out
    int16_t notWritten = 0;            // 1: an output path was given but the file did not beat sizeToBeat
    // out, set only with OPT_EXTENDED_SEARCH. windowBits to bitDepth above keep
    // describing the default search's winner, and are all 0 when the level did
    // not run the default search (EXTENDED_LEVEL_FAST on a larger picture); dataSize and
    // fileSize describe the file written. extendedLayout is LAYOUT_DEFAULT
    // when that winner was kept (then the other fields below are 0).
    int32_t extendedLayout = 0;        // ExtendedLayout
    int32_t extendedDepth = 0;         // bits per sample (palette index, grey) of the layout; 8 otherwise
    int32_t paletteOrder = 0;          // PaletteOrder
    int32_t filterStrategy = 0;        // FilterStrategy
    int32_t encoder = 0;               // DeflateEncoder
    int32_t encoderIterations = 0;     // zopfli's iterations when encoder is ENCODER_ZOPFLI, else 0
    int32_t encoderParts = 0;          // the parts zopfli's stream was encoded in side by side, else 0
    uint32_t frames = 0;               // frames of the animated PNG written, else 0
    // out: the LAYOUT_CHUNK_* bits of keptChunkSet's chunks that the file's
    // format cannot express, left out of it (core/kept_chunks.h).
    uint16_t droppedLayoutChunks = 0;
};

// How much the extended search may spend (ConvertRequest::extendedLevel).
// Level 3 runs the default search first and keeps its file unless it finds a
// smaller one; levels 1 and 2 do so only for pictures of at most
// kSmallPictureDefaultSearchPixels, and otherwise run their own stages alone.
enum ExtendedLevel : int32_t {
    EXTENDED_LEVEL_FAST = 1,       // no zopfli: libdeflate 12 and zlib 9 on the best screened candidate
    EXTENDED_LEVEL_BALANCED = 2,   // zopfli on the best candidate that libdeflate 12 ranks
    EXTENDED_LEVEL_MAX = 3,        // the default search, then zopfli on more candidates with more iterations
};
constexpr int32_t kMinExtendedLevel = EXTENDED_LEVEL_FAST;
constexpr int32_t kMaxExtendedLevel = EXTENDED_LEVEL_MAX;
constexpr int32_t kDefaultExtendedLevel = EXTENDED_LEVEL_BALANCED;
// Up to this many pixels the default search takes milliseconds: levels 1 and 2 run it too.
constexpr uint64_t kSmallPictureDefaultSearchPixels = 16384;
// The level a request asks for: kDefaultExtendedLevel for 0 or a value out of range.
int32_t requestedExtendedLevel(const ConvertRequest& request);
// Whether a conversion with request's options runs the default search on a
// picture of `pixels` pixels: always without OPT_EXTENDED_SEARCH, else as its
// level says.
bool runsDefaultSearch(const ConvertRequest& request, uint64_t pixels);

// What the extended search chose (ConvertRequest::extendedLayout and after).
enum ExtendedLayout : int32_t {
    LAYOUT_DEFAULT = 0,      // the default search's file
    LAYOUT_PALETTE = 1,      // palette, tRNS of per-entry alpha when any entry is not opaque
    LAYOUT_GREY = 2,
    LAYOUT_GREY_KEY = 3,     // grey with a tRNS key for the transparent pixels
    LAYOUT_GREY_ALPHA = 4,
    LAYOUT_RGB = 5,
    LAYOUT_RGB_KEY = 6,      // RGB with a tRNS key for the transparent pixels
    LAYOUT_RGBA = 7,
};
constexpr int kExtendedLayoutCount = 8;
enum PaletteOrder : int32_t {
    ORDER_NONE = 0,          // no palette
    ORDER_INPUT = 1,         // first appearance, top row first
    ORDER_POPULARITY = 2,    // entries with alpha below 255 first, then by pixel count
    ORDER_LUMINANCE = 3,
    ORDER_NEIGHBOUR = 4,     // colours that touch in the picture next to each other
    // Chains that weigh every entry's contacts by their distance (palette_orders.h):
    ORDER_WEIGHTED_CHAIN = 5,    // each step the colour and end of the highest weighted contacts
    ORDER_CONNECTED_CHAIN = 6,   // each step the colour most in contact with the chain
    ORDER_MERGED_CHAIN = 7,      // chains joined pairwise, the most touching first
    ORDER_REFINED = 8,           // ORDER_CONNECTED_CHAIN with entries swapped for predictable filter differences
};
constexpr int kPaletteOrderCount = 9;
// The six FilterChoice values, then three choices made row by row.
enum FilterStrategy : int32_t {
    FILTER_ENTROPY = 6,      // each row the type whose filtered bytes have the lowest entropy
    FILTER_COMPRESSED = 7,   // each row the type that adds the fewest compressed bytes
    FILTER_LIBDEFLATE = 8,   // the same, the bytes counted by libdeflate after a 32 KiB history
};
constexpr int kFilterStrategyCount = 9;
// zlib at level 9 with each of its strategies, then the optimal-parsing encoders.
enum DeflateEncoder : int32_t {
    ENCODER_ZLIB = 0,
    ENCODER_ZLIB_FILTERED = 1,
    ENCODER_ZLIB_HUFFMAN = 2,
    ENCODER_ZLIB_RLE = 3,
    ENCODER_ZOPFLI = 4,
    ENCODER_LIBDEFLATE = 5,  // level 12
};
constexpr int kDeflateEncoderCount = 6;
constexpr int kZlibEncoderCount = 4;

// Measures one trial: the length of data compressed as one zlib stream at
// level 9, method 8, default strategy, with windowBits and memLevel; 0 for
// failure. context is the pointer given with the function.
using TrialMeasure = uint32_t (*)(void* context, const uint8_t* data, uint32_t size,
                                  int32_t windowBits, int32_t memLevel);

// The plain measure: one full zlib compression per call (context unused).
uint32_t zlibTrialMeasure(void* context, const uint8_t* data, uint32_t size, int32_t windowBits,
                          int32_t memLevel);

// The best encoding found at one bit depth.
struct TrialOutcome {
    int32_t windowBits = 15;
    int32_t memLevel = 8;
    int32_t filter = 0;
    int32_t size = 0;   // compressed bytes (IDAT payload)
};

// The worker threads of the conversions that start after the call, in every
// PngOptimizer of the process: count threads, at most kMaxWorkers
// (worker_pool.h); 0, the default, for one per core; 1 runs every compression
// on the thread that calls convert. Files, results and events are the same
// for every count. The engine reads no environment: front ends pass what
// their users set. Thread-safe. Returns the setting it replaced.
unsigned setWorkerThreadCount(unsigned count);

class TrialRunner;
struct ExtendedChoice;
struct PngFile;

// The optimizer: chooses the colour layout, searches the row filter and the
// deflate parameters by compressing the whole image for every candidate, and
// writes the winner as a PNG file.
//
// One object may run convert any number of times, one call at a time; each call
// allocates its buffers afresh and releases them before it returns (filtered
// rows, palette, deflate scratch; a failed call releases them at its next
// call or in the destructor). Not copyable.
class PngOptimizer {
public:
    PngOptimizer();
    virtual ~PngOptimizer();
    PngOptimizer(const PngOptimizer&) = delete;
    PngOptimizer& operator=(const PngOptimizer&) = delete;

    // Runs the search on request's image and fills its result fields. When
    // outputPath is not null and the predicted file size is below
    // request.sizeToBeat, writes the PNG there: into a temporary file beside the
    // target that replaces the target only once it is complete, so a failure
    // leaves any existing file untouched. Returns 1 on success (written, test run
    // or notWritten), 0 on failure or cancellation.
    int convert(const char* outputPath, ConvertRequest& request);
    // convert with the PNG going to memory: when the predicted file size is
    // below request.sizeToBeat, png (released first) receives exactly the
    // bytes convert would write to a file; otherwise notWritten is set and
    // png stays empty. Returns as convert.
    int convertToMemory(AppendBuffer& png, ConvertRequest& request);

    // Chooses how the trials are measured; call before convert, not during.
    // With measure null (the default) the optimizer measures with zlib
    // directly: it streams each filter trial row by row, runs the trials of a
    // round on setWorkerThreadCount's workers (default: one per core) and takes a
    // trial's size from an earlier trial when zlib provably gives the same
    // length. With a measure, every trial goes through it instead, one at a
    // time on the thread that runs convert, on the whole filtered rows, with
    // no size taken as known: the plain search. zlibTrialMeasure makes that
    // plain search give the same events, results and file as the default;
    // other measures drive the search logic with chosen sizes and must be
    // deterministic. context is passed through and not owned.
    void setTrialMeasure(TrialMeasure measure, void* context)
    {
        measure_ = measure;
        measureContext_ = context;
    }

private:
    bool selectEncoding(int32_t bitDepth);
    bool trialBitDepth(int32_t bitDepth, TrialOutcome& outcome);
    int32_t searchFilter(const uint8_t* packedRows, int32_t bitDepth, uint32_t& winnerSize,
                         AppendBuffer& winnerStream);
    bool searchDeflateParams(uint32_t knownDefaultSize, TrialOutcome& outcome,
                             AppendBuffer& winnerStream);
    bool takeExtendedChoice();
    PngFile describeFile(uint8_t (&transparency)[6]) const;
    uint32_t predictFileSize() const;
    // Where a conversion's PNG goes: a file at path, memory, or neither (both null).
    struct OutputPlace {
        const char* path;
        AppendBuffer* memory;
    };
    int convertInto(const OutputPlace& place, ConvertRequest& request);
    // convertInto, with OPT_CLEAN_ALPHA the smaller of the picture as it is
    // and with its invisible colours cleaned (clean_alpha.h).
    int convertChoosingAlpha(const OutputPlace& place, ConvertRequest& request);
    // A whole PNG made in memory, to place when it beats request.sizeToBeat
    // (else notWritten); 1 on success.
    int deliverPng(const OutputPlace& place, ConvertRequest& request, AppendBuffer& png);
    int convertAnimation(const OutputPlace& place, ConvertRequest& request);
    // One animation frame's rows (unfiltered) by the default search into a zlib stream.
    bool encodeRowsByDefaultSearch(const uint8_t* rows, uint32_t stride, uint32_t height, int32_t bitsPerPixel,
                                   std::vector<uint8_t>& stream);
    bool writeOutput(const OutputPlace& place);
    bool paletteEntryZeroIsTransparent() const;
    bool cancelled() const;
    void report(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter,
                int32_t size) const;

    ConvertRequest* request_ = nullptr;
    TrialRunner* trials_ = nullptr;   // measures the trials during convert
    TrialMeasure measure_ = nullptr;  // see setTrialMeasure
    void* measureContext_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t colourCount_ = 0;      // palette entries; 0 for more than 256 colours
    uint32_t stride_ = 0;          // bytes per packed row, filter-type byte included
    ByteBuffer filteredRows_;      // height * stride bytes of the current best
    ByteBuffer palette_;           // 768 bytes: 256 entries red, green, blue
    ByteBuffer deflateScratch_;    // 32768 bytes for the final IDAT stream
    AppendBuffer idatStream_;      // the best's compressed rows when a trial kept them, else empty
    std::unique_ptr<ExtendedChoice> extendedChoice_;   // its file when the extended search beat the default's
};
