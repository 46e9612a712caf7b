#pragma once
// The conversion service: one image from its input to its output, as every
// front end runs it (the console's modes, the C library, the desktop
// program's output dialog and folder run).
//
// An ImageConversion loads one input (a file, a file's bytes in memory, a
// stream read whole, or an image the caller already holds), then converts it
// to one output (a file, memory, a stream, or nothing: a test run) under the
// output rules of conversion.h, with typed progress events
// (progress_event.h) and a cancel flag, and reports how it ended: converted,
// kept, copied, failed (with its cause) or cancelled, with the figures.
//
// One object per thread, one image after another; it owns the loaded image
// and the request. Not copyable.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/animation.h"
#include "core/animation_probe.h"
#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/kept_chunks.h"
#include "core/text_string.h"
#include "services/conversion.h"
#include "services/progress_event.h"

// The most bytes a stream input may hold; more is a read error. Far above
// any real image, far below what memory can hold three times over (input,
// picture, PNG).
constexpr uint32_t kMaxStreamInputBytes = 1u << 30;

// The most zopfli iterations a front end may ask for.
constexpr int32_t kMaxExtendedIterations = 1000;

// What every conversion of a run is made with, in the service's words.
struct ConversionSettings {
    uint16_t options = 0;              // OPT_* bits (others are ignored)
    int32_t extendedLevel = 0;         // ExtendedLevel, read with OPT_EXTENDED_SEARCH; 0: kDefaultExtendedLevel
    int32_t extendedIterations = 0;    // zopfli's iterations; 0: chosen by the data size
    bool keepTransparent = true;       // a PNG or GIF input's transparent colour is kept
    bool keepTimeStamps = false;       // OUTPUT_KEEP_TIME_STAMPS
    bool replaceExisting = false;      // OUTPUT_REPLACE_EXISTING
    bool testRun = false;              // OUTPUT_TEST_RUN: the search runs, nothing is written
    bool animateGif = false;           // an animated GIF becomes an animated PNG of every frame
    // The ancillary chunks a PNG input keeps (core/kept_chunks.h); empty:
    // none beyond the colour chunks the extended search keeps. With a
    // selection those colour chunks are kept through it too.
    ChunkSelection keepChunks;
};

// One front-end flag bit that switches one setting on: the rows of each
// front end's mapping table.
struct SettingFlag {
    uint16_t flag;
    bool ConversionSettings::*setting;
};

// Settings with the engine's option bits of flags and every setting whose
// table row's bit is in flags (the others false).
template <size_t Count>
ConversionSettings settingsOfFlags(uint16_t flags, const SettingFlag (&table)[Count])
{
    ConversionSettings settings;
    settings.options = static_cast<uint16_t>(flags & kConvertOptionBits);
    for (const SettingFlag& row : table)
        settings.*row.setting = (flags & row.flag) != 0;
    return settings;
}

// Where the PNG goes. Exactly one of path, memory and stream, or none of
// them for a test run.
struct ConversionOutput {
    const char* path = nullptr;        // a file, replaced only once complete
    bool derivedName = false;          // the program chose path (OUTPUT_DERIVED_NAME)
    bool sharedName = false;           // another input of the run chose it too (OUTPUT_SHARED_NAME)
    AppendBuffer* memory = nullptr;    // receives the PNG (released first)
    FILE* stream = nullptr;            // receives the PNG once it is complete, then is flushed
};

enum class ConversionStatus {
    Converted,   // a new PNG was written
    Copied,      // the input is a PNG that stays as it is: copied unchanged to the output
    Kept,        // as Copied, but the output is the input: nothing written
    Failed,      // see the cause
    Cancelled,   // the cancel flag was set; nothing was written
};

enum class ConversionCause {
    None,
    NotFound,         // no file at the input path
    NotReadable,      // the input exists but cannot be read (permission, a folder, an I/O error)
    NotAnImage,       // no BMP, PNG or GIF the readers take, or damaged beyond reading
    InputTooLarge,    // a stream above kMaxStreamInputBytes
    CannotWrite,      // the conversion or its output failed
    CopyFailed,       // the unchanged input could not be copied to the output
    OutputExists,     // the derived output name is another existing file
    SharedOutput,     // another input of the run derives the same output name
    BadAnimation,     // an animation to be written whole is damaged (animation.h); the file is left alone
};

// How a conversion ended, with its figures.
struct ConversionReport {
    ConversionStatus status = ConversionStatus::Failed;
    ConversionCause cause = ConversionCause::None;
    uint16_t notes = 0;          // CONVERSION_NOTE_* bits
    bool loaded = false;         // the input was read as an image
    uint32_t inputSize = 0;      // bytes of the input, when loaded
    uint32_t frames = 0;         // frames of an animated PNG written (Converted), else 0
    // With a chunk selection (ConversionSettings::keepChunks): the names of
    // the chunks kept (in the new file, or in the input that stays), and of
    // those selected but left out (damaged, unsafe to copy, or not
    // expressible in the new file's format), each name once.
    bool chunksSelected = false;
    std::vector<std::string> keptChunks;
    std::vector<std::string> droppedChunks;
    bool cleanAlpha = false;     // OPT_CLEAN_ALPHA was on: invisible pixels' colours may have changed
    // The result fields of the request (engine/png_optimizer.h): valid for
    // Converted, Copied and Kept (describing the input only when notes has
    // kConversionNotesWithoutSearch). Its image and chunk pointers are null.
    ConvertRequest result;

    bool failed() const { return status == ConversionStatus::Failed || status == ConversionStatus::Cancelled; }
    // Output minus input bytes of a converted file.
    int64_t sizeChange() const { return static_cast<int64_t>(result.fileSize) - static_cast<int64_t>(inputSize); }
};

class ImageConversion {
public:
    ImageConversion() = default;
    ImageConversion(const ImageConversion&) = delete;
    ImageConversion& operator=(const ImageConversion&) = delete;

    // The progress sink (may be null) and the caller's cancel flag (may be
    // null; only read: before the work and at every progress event), kept
    // for every conversion of this object. Both must outlive the conversions.
    void setProgress(ProgressSink* sink, volatile int16_t* cancelFlag);

    // Loading, each forgetting the image before. False when the input is
    // not read as an image; report() then says why. An animated PNG loads
    // with every frame and is written whole (frames in the report); an
    // animated GIF too when the settings ask for it (animateGif), else its
    // first frame as a picture. An animated PNG that cannot be taken whole
    // (16-bit samples) stays as it is, never cut; a damaged animation to be
    // written fails with BadAnimation. With OPT_EXTENDED_SEARCH
    // a 16-bit PNG whose samples do not all fit 8 bits loads with them, and
    // they reach the engine (ConvertRequest::samples16); such an input is
    // converted only with OPT_EXTENDED_SEARCH (otherwise Failed, NotAnImage).
    bool loadFile(const char* path, uint16_t options);
    // A file's content in memory; the bytes must stay valid until convert returns.
    bool loadMemory(const uint8_t* data, uint32_t size, uint16_t options);
    // A stream read whole (at most kMaxStreamInputBytes).
    bool loadStream(FILE* stream, uint16_t options);
    // An image the caller holds (which must outlive the conversion) with its
    // transparent colour, the chunks to keep and the samples beyond 8 bits
    // its load kept (both may be null, and must outlive it too), from no
    // file: the PNG is written whatever its size.
    // With a chunk selection in the settings, keptSet (may be null; must
    // outlive the conversion too) holds the input's chunks (readKeptChunks).
    void useImage(const DibImage& image, int32_t transparentColour, const AppendBuffer* keptChunks,
                  const ByteBuffer* wideSamples = nullptr, const KeptChunkSet* keptSet = nullptr);

    // Pixels of the loaded image (0 when nothing is loaded).
    int64_t pixelCount() const;

    // Converts what was loaded into output under settings. Never call it
    // after a failed load.
    const ConversionReport& convert(PngOptimizer& optimizer, const ConversionOutput& output,
                                    const ConversionSettings& settings);

    const ConversionReport& report() const { return report_; }

private:
    bool finishLoad(bool loaded);
    // The input's chunks that settings keep, into keptSet_; null when there are none to keep.
    const KeptChunkSet* collectChunks(const ConversionSettings& settings);
    void reportChunks(const ConversionSettings& settings);
    bool cancelled() const;
    static void onEngineProgress(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter,
                                 int32_t size, void* self);

    DibImage image_;
    const DibImage* source_ = nullptr;   // image_ or the caller's image
    AppendBuffer keptChunks_;            // the colour chunks a PNG keeps with the extended search
    ByteBuffer wideSamples_;             // a 16-bit PNG's samples when they do not fit 8 bits (extended search)
    const ByteBuffer* wide_ = nullptr;   // wideSamples_ or the caller's
    const AppendBuffer* chunks_ = nullptr;
    KeptChunkSet keptSet_;               // the chunks a selection keeps, collected by convert
    const KeptChunkSet* callerSet_ = nullptr;   // useImage's
    AppendBuffer inputBytes_;            // a stream's content, and the memory input when it came from one
    const uint8_t* memory_ = nullptr;    // the memory input, or null
    TextString inputPath_;               // the file input, or empty
    int32_t transparentColour_ = -1;
    // Every frame of an animated PNG (read by the file and memory loads);
    // an animated GIF's bytes, kept for convert to read its frames from.
    void readAnimation(const uint8_t* data, uint32_t size);
    Animation animationKind_ = Animation::None;   // what the input's bytes hold, read once
    Animation8 animation_;
    AnimationRead animationRead_ = AnimationRead::NotAnimated;
    bool animatedGif_ = false;           // the input is an animated GIF
    const uint8_t* gifFrames_ = nullptr;   // its bytes while its frames are not read: fileBytes_ or the memory input
    uint32_t gifFramesSize_ = 0;
    ByteBuffer fileBytes_;               // a file input's bytes, kept while an animated GIF's frames are not read
    ConvertRequest request_;
    ConversionReport report_;
    ProgressSink* sink_ = nullptr;
    volatile int16_t* callerCancel_ = nullptr;
    volatile int16_t engineCancel_ = 0;   // the engine clears its flag when it starts: a flag of our own
};

// The chunks of the PNG at path (read whole) that selection keeps, with the
// extended search's colour chunks when options has OPT_EXTENDED_SEARCH, into
// set (cleared first). False when the file cannot be read or is no PNG.
bool readKeptChunks(const char* path, const ChunkSelection& selection, uint16_t options, KeptChunkSet& set);

// Whether the file at path holds an animation, from its whole content (a
// PNG or GIF read to its end). False when the file cannot be read, so that a
// read error is never taken for a still picture.
bool readAnimationKind(const char* path, Animation& kind);

// How reading a whole stream ended.
enum class StreamRead { Complete, TooLarge, Failed };
// Reads stream to its end into bytes (released first). TooLarge when it holds
// more than limit bytes, Failed on a read error or when memory is refused;
// bytes is empty then.
StreamRead readWholeStream(FILE* stream, uint32_t limit, AppendBuffer& bytes);
// Writes size bytes to stream and flushes it; false when any of it failed
// (a closed pipe, a full disk).
bool writeWholeStream(FILE* stream, const uint8_t* data, uint32_t size);
