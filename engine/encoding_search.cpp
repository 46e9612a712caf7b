// PngOptimizer: the encoding search (bit depth, then filter at window bits 15
// and memory level 8, then the deflate parameters on the winning filter's
// rows), the extended search after it, and the winner's file.

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "core/replacing_file.h"
#include "core/shared_flag.h"
#include "core/size_limits.h"
#include "engine/clean_alpha.h"
#include "engine/colour_analysis.h"
#include "engine/deflate_stream.h"
#include "engine/extended/extended_search.h"
#include "engine/png_file.h"
#include "engine/png_optimizer.h"
#include "engine/row_filters.h"
#include "engine/trial_runner.h"
#include "engine/worker_pool.h"

namespace {

constexpr int32_t kDefaultWindowBits = 15;
constexpr int32_t kDefaultMemLevel = 8;
constexpr int32_t kSmallestWindowBits = 8;
constexpr int32_t kLargestMemLevel = 9;
constexpr int32_t kSmallestMemLevel = 4;
// A pass whose best is more than this many bytes worse than the previous pass's
// best ends the parameter search.
constexpr int32_t kEarlyStopMargin = 100;

// One round of trials for as long as the scope lasts.
class TrialRound {
public:
    TrialRound(TrialRunner& runner, const TrialRows& rows, const TrialSpec* trials, int count,
               uint32_t knownDefaultSize)
        : runner_(runner)
    {
        runner_.beginRound(rows, trials, count, knownDefaultSize);
    }
    ~TrialRound()
    {
        if (!ended_)
            runner_.endRound();
    }
    TrialRound(const TrialRound&) = delete;
    TrialRound& operator=(const TrialRound&) = delete;

    uint32_t size(int index) { return runner_.size(index); }

    // Ends the round early and takes the best trial's stream when the runner
    // kept it (see TrialRunner::takeBestStream).
    bool end(AppendBuffer& bestStream)
    {
        runner_.endRound();
        ended_ = true;
        return runner_.takeBestStream(bestStream);
    }

private:
    TrialRunner& runner_;
    bool ended_ = false;
};

// The winner's filtered rows compressed again with its parameters: the IDAT
// data when the search did not keep the winning trial's stream.
struct RowsToCompress {
    const uint8_t* rows;
    uint32_t bytes;
    int32_t windowBits;
    int32_t memLevel;
    uint8_t* scratch;   // kDeflateScratchBytes
};

bool compressRows(void* context, ChunkSink sink, void* sinkContext)
{
    const auto* rows = static_cast<const RowsToCompress*>(context);
    uint32_t written = 0;
    return deflateThrough(rows->rows, rows->bytes, rows->windowBits, rows->memLevel, rows->scratch,
                          kDeflateScratchBytes, sink, sinkContext, written);
}

}   // namespace

PngOptimizer::PngOptimizer() = default;
PngOptimizer::~PngOptimizer() = default;

uint32_t zlibTrialMeasure(void*, const uint8_t* data, uint32_t size, int32_t windowBits,
                          int32_t memLevel)
{
    return measureDeflate(data, size, windowBits, memLevel);
}

bool PngOptimizer::cancelled() const
{
    return request_->cancelFlag && loadSharedFlag(request_->cancelFlag) != 0;
}

void PngOptimizer::report(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter,
                          int32_t size) const
{
    if (request_->callback)
        request_->callback(bitDepth, windowBits, memLevel, filter, size, request_->userData);
}

int PngOptimizer::convert(const char* outputPath, ConvertRequest& request)
{
    OutputPlace place = {outputPath, nullptr};
    return convertChoosingAlpha(place, request);
}

int PngOptimizer::convertToMemory(AppendBuffer& png, ConvertRequest& request)
{
    png.release();
    OutputPlace place = {nullptr, &png};
    return convertChoosingAlpha(place, request);
}

int PngOptimizer::convertChoosingAlpha(const OutputPlace& place, ConvertRequest& request)
{
    CleanedPicture cleaned;
    if (!(request.options & OPT_CLEAN_ALPHA) || request.animation || request.samples16 ||
        !cleanInvisiblePixels(request, cleaned))
        return convertInto(place, request);
    // The picture as it is and with its invisible colours cleaned, each
    // searched whole: the smaller file is kept, so cleaning never costs bytes.
    ConvertRequest asIs = request;
    asIs.sizeToBeat = UINT32_MAX;
    ConvertRequest clean = asIs;
    clean.pixels = cleaned.pixels.data();
    clean.hasAlpha = cleaned.hasAlpha;
    clean.transparentColour = cleaned.transparentColour;
    AppendBuffer asIsPng;
    AppendBuffer cleanPng;
    const OutputPlace asIsPlace = {nullptr, &asIsPng};
    const OutputPlace cleanPlace = {nullptr, &cleanPng};
    if (!convertInto(asIsPlace, asIs) || !convertInto(cleanPlace, clean))
        return 0;
    const bool cleanWins = cleanPng.used < asIsPng.used;
    ConvertRequest result = cleanWins ? clean : asIs;
    AppendBuffer& png = cleanWins ? cleanPng : asIsPng;
    result.pixels = request.pixels;
    result.hasAlpha = request.hasAlpha;
    result.transparentColour = request.transparentColour;
    result.sizeToBeat = request.sizeToBeat;
    request = result;
    request_ = &request;
    return deliverPng(place, request, png);
}

int PngOptimizer::deliverPng(const OutputPlace& place, ConvertRequest& request, AppendBuffer& png)
{
    if (!place.path && !place.memory)
        return 1;
    if (request.sizeToBeat <= request.fileSize) {
        request.notWritten = 1;
        return 1;
    }
    if (place.memory) {
        *place.memory = std::move(png);
        return 1;
    }
    return writeReplacing(place.path, [&](FileHandle& output) { return output.write(png.data, png.used) == png.used; })
               ? 1
               : 0;
}

int PngOptimizer::convertInto(const OutputPlace& place, ConvertRequest& request)
{
    request_ = &request;
    if (request.cancelFlag)
        storeSharedFlag(request.cancelFlag, 0);
    request.notWritten = 0;
    request.frames = 0;
    request.droppedLayoutChunks = 0;
    if (request.animation)
        return convertAnimation(place, request);
    width_ = request.width;
    height_ = request.height;
    colourCount_ = 0;
    stride_ = 0;
    idatStream_.release();
    extendedChoice_.reset();

    // Pixel memory that cannot be one block cannot be real; refuse it before any
    // work. Each packing checks its own size again.
    uint32_t pixelRowBytes = 0;
    uint32_t pixelBytes = 0;
    if (!request.pixels || width_ <= 0 ||
        !checkedMul(static_cast<uint32_t>(width_), 4, pixelRowBytes) ||
        !imageByteCount(height_, pixelRowBytes, pixelBytes))
        return 0;

    if (!deflateScratch_.allocate(kDeflateScratchBytes, false) ||
        !palette_.allocate(kPaletteBytes, true))
        return 0;
    const unsigned threads = workerThreadCount();   // one reading for the whole conversion
    const bool extended = (request.options & OPT_EXTENDED_SEARCH) != 0;
    const bool defaultSearch = !(extended && request.samples16) &&
                               runsDefaultSearch(request, uint64_t(width_) * uint64_t(height_));
    if (defaultSearch) {
        std::unique_ptr<TrialRunner> trials =
            measure_ ? makeMeasuringTrialRunner(measure_, measureContext_)
                     : makeCompressingTrialRunner(threads);
        if (!trials)
            return 0;
        trials_ = trials.get();
        const int32_t bitDepth = chooseBitDepth(request, palette_.data, colourCount_);
        const bool selected = selectEncoding(bitDepth);
        trials_ = nullptr;
        trials.reset();   // the workers end with the search; the file is written here
        if (!selected)
            return 0;
    } else {
        // No default winner: the extended search's file is the only one.
        request.windowBits = request.memLevel = request.filter = request.bitDepth = 0;
        request.dataSize = 0;
        request.fileSize = UINT32_MAX;
    }
    if (extended) {
        extendedChoice_.reset(new (std::nothrow) ExtendedChoice);
        if (!extendedChoice_ || !runExtendedSearch(request, threads, *extendedChoice_) ||
            !takeExtendedChoice())
            return 0;
    }
    {
        uint8_t transparency[6];
        request.droppedLayoutChunks = droppedLayoutChunks(describeFile(transparency));
    }
    if (place.path || place.memory) {
        if (request.sizeToBeat > request.fileSize) {
            if (!writeOutput(place))
                return 0;
        } else {
            request.notWritten = 1;
        }
    }
    idatStream_.release();
    extendedChoice_.reset();
    filteredRows_.release();
    palette_.release();
    deflateScratch_.release();
    return 1;
}

bool PngOptimizer::selectEncoding(int32_t bitDepth)
{
    TrialOutcome best;
    if (!trialBitDepth(bitDepth, best))
        return false;
    if (bitDepth <= 4 && !(request_->options & OPT_NO_8BIT_COMPARE)) {
        // Set the smaller depth's rows aside without copying them.
        ByteBuffer saved = std::move(filteredRows_);
        AppendBuffer savedStream = std::move(idatStream_);
        const uint32_t savedStride = stride_;
        TrialOutcome other;
        if (!trialBitDepth(8, other))
            return false;
        if (other.size < best.size) {
            best = other;
            bitDepth = 8;
        } else {
            // Equal sizes keep the smaller depth: the palette, and so every
            // other chunk, is the same for both.
            filteredRows_ = std::move(saved);
            idatStream_ = std::move(savedStream);
            stride_ = savedStride;
        }
    }
    request_->windowBits = best.windowBits;
    request_->memLevel = best.memLevel;
    request_->filter = best.filter;
    request_->dataSize = best.size;
    request_->bitDepth = bitDepth;
    const uint32_t fileSize = predictFileSize();
    if (fileSize == 0)
        return false;
    request_->fileSize = fileSize;
    return true;
}

bool PngOptimizer::trialBitDepth(int32_t bitDepth, TrialOutcome& outcome)
{
    report(bitDepth, -1, -1, -1, -1);
    ByteBuffer packed;
    uint32_t imageBytes = 0;
    if (!packRows(*request_, palette_.data, colourCount_, bitDepth, packed, stride_) ||
        !imageByteCount(height_, stride_, imageBytes))
        return false;

    uint32_t filterSize = 0;
    AppendBuffer filterStream;
    const int32_t filter = searchFilter(packed.data, bitDepth, filterSize, filterStream);
    // Only the winner's filtered rows are kept; the trials filtered theirs on
    // the way into the compressor.
    if (filter < 0 || !filteredRows_.allocate(imageBytes, false))
        return false;
    if (filter == FILTER_NONE)
        std::memcpy(filteredRows_.data, packed.data, imageBytes);   // type bytes are already 0
    else
        applyFilter(packed.data, filteredRows_.data, static_cast<uint32_t>(height_), stride_, filter,
                    bitDepth);
    packed.release();
    outcome.filter = filter;
    AppendBuffer parameterStream;
    if (!searchDeflateParams(filterSize, outcome, parameterStream))
        return false;
    // The file needs the winner's stream: the winning trial's own when it
    // was kept, or the filter winner's when the parameters stayed at 15 and 8
    // (the very same compression). Otherwise the writer compresses again.
    idatStream_.release();
    if (parameterStream.used > 0)
        idatStream_ = std::move(parameterStream);
    else if (outcome.windowBits == kDefaultWindowBits && outcome.memLevel == kDefaultMemLevel)
        idatStream_ = std::move(filterStream);
    return true;
}

int32_t PngOptimizer::searchFilter(const uint8_t* packedRows, int32_t bitDepth,
                                   uint32_t& winnerSize, AppendBuffer& winnerStream)
{
    winnerSize = 0;
    if (request_->options & OPT_NO_FILTER_COMPARE)
        return FILTER_NONE;
    TrialSpec trials[kFilterChoiceCount];
    for (int32_t filter = 0; filter < kFilterChoiceCount; ++filter)
        trials[filter] = {filter, kDefaultWindowBits, kDefaultMemLevel};
    const TrialRows rows = {packedRows, stride_, static_cast<uint32_t>(height_),
                            filterBytesPerPixel(bitDepth)};
    TrialRound round(*trials_, rows, trials, kFilterChoiceCount, 0);
    int64_t bestSize = -1;
    int32_t bestFilter = FILTER_NONE;
    for (int32_t filter = 0; filter < kFilterChoiceCount; ++filter) {
        if (cancelled())
            return -1;
        report(-1, -1, -1, filter, -1);
        const uint32_t size = round.size(filter);
        if (size == 0 || size > kMaxBlockBytes)
            return -1;
        if (bestSize < 0 || size < bestSize) {   // ties keep the lower choice
            bestSize = size;
            bestFilter = filter;
        }
        report(-1, -1, -1, filter, static_cast<int32_t>(size));
    }
    round.end(winnerStream);
    winnerSize = static_cast<uint32_t>(bestSize);
    return bestFilter;
}

bool PngOptimizer::searchDeflateParams(uint32_t knownDefaultSize, TrialOutcome& outcome,
                                       AppendBuffer& winnerStream)
{
    // The winner's rows at window bits 15 and memory level 8 were measured by
    // its filter trial (knownDefaultSize, 0 when there was none).
    const TrialRows rows = {filteredRows_.data, stride_, static_cast<uint32_t>(height_), 1};
    if (request_->options & OPT_NO_DEFLATE_COMPARE) {
        const TrialSpec only = {kRowsAsTheyAre, kDefaultWindowBits, kDefaultMemLevel};
        TrialRound round(*trials_, rows, &only, 1, knownDefaultSize);
        const uint32_t size = round.size(0);
        if (size == 0 || size > kMaxBlockBytes)
            return false;
        round.end(winnerStream);
        outcome.windowBits = kDefaultWindowBits;
        outcome.memLevel = kDefaultMemLevel;
        outcome.size = static_cast<int32_t>(size);
        return true;
    }
    // Window bits 8 reaches zlib as 8; see deflate_stream.h for what zlib makes of it.
    TrialSpec trials[kMaxRoundTrials];
    int count = 0;
    for (int32_t windowBits = kDefaultWindowBits; windowBits >= kSmallestWindowBits; --windowBits)
        for (int32_t memLevel = kLargestMemLevel; memLevel >= kSmallestMemLevel; --memLevel)
            trials[count++] = {kRowsAsTheyAre, windowBits, memLevel};
    TrialRound round(*trials_, rows, trials, count, knownDefaultSize);

    int64_t best = -1;
    int32_t bestWindowBits = kDefaultWindowBits;
    int32_t bestMemLevel = kDefaultMemLevel;
    int64_t previousPassMinimum = -1;
    int trial = 0;
    for (int32_t windowBits = kDefaultWindowBits; windowBits >= kSmallestWindowBits; --windowBits) {
        int64_t passMinimum = -1;
        for (int32_t memLevel = kLargestMemLevel; memLevel >= kSmallestMemLevel; --memLevel) {
            if (cancelled())
                return false;
            report(-1, windowBits, memLevel, -1, -1);
            const uint32_t size = round.size(trial++);
            if (size == 0 || size > kMaxBlockBytes)
                return false;
            // Ties keep the earlier trial: larger window bits, then larger memory level.
            if (best < 0 || size < best) {
                best = size;
                bestWindowBits = windowBits;
                bestMemLevel = memLevel;
            }
            if (passMinimum < 0 || size < passMinimum)
                passMinimum = size;
            report(-1, windowBits, memLevel, -1, static_cast<int32_t>(size));
        }
        if (previousPassMinimum >= 0 && passMinimum > previousPassMinimum + kEarlyStopMargin)
            break;
        previousPassMinimum = passMinimum;
    }
    round.end(winnerStream);
    outcome.windowBits = bestWindowBits;
    outcome.memLevel = bestMemLevel;
    outcome.size = static_cast<int32_t>(best);
    return true;
}

bool PngOptimizer::paletteEntryZeroIsTransparent() const
{
    const uint32_t colour = static_cast<uint32_t>(request_->transparentColour);
    const uint8_t* entry = palette_.data;
    return request_->transparentColour != -1 && colourCount_ > 0 &&
           entry[0] == static_cast<uint8_t>(colour >> 16) &&
           entry[1] == static_cast<uint8_t>(colour >> 8) && entry[2] == static_cast<uint8_t>(colour);
}

// The extended search's choice into the request's out fields; its file's
// sizes when it beat the default's file.
bool PngOptimizer::takeExtendedChoice()
{
    ConvertRequest& request = *request_;
    const ExtendedChoice& choice = *extendedChoice_;
    request.extendedLayout = choice.layout;
    request.extendedDepth = choice.depth;
    request.paletteOrder = choice.paletteOrder;
    request.filterStrategy = choice.filterStrategy;
    request.encoder = choice.encoder;
    request.encoderIterations = choice.encoderIterations;
    request.encoderParts = choice.encoderParts;
    if (choice.layout == LAYOUT_DEFAULT)
        return request.windowBits != 0;   // false when there is no default winner to keep
    request.dataSize = static_cast<int32_t>(choice.stream.size());
    request.fileSize = predictFileSize();
    return request.fileSize > 0;
}

// The file convert writes: the extended search's choice when it beat the
// default's file, else the default search's winner, whose IDAT data is the
// kept stream or, without one, the rows compressed again (set by the
// writer). transparency holds the default's tRNS data for as long as the
// description is used.
PngFile PngOptimizer::describeFile(uint8_t (&transparency)[6]) const
{
    const ConvertRequest& request = *request_;
    const uint32_t idatBytes = static_cast<uint32_t>(request.dataSize);
    if (extendedChoice_ && extendedChoice_->layout != LAYOUT_DEFAULT) {
        PngFile file = describePngFile(request, extendedChoice_->format(), idatBytes);
        file.idat = extendedChoice_->stream.data();
        return file;
    }
    const int32_t bitDepth = request.bitDepth;
    PngFormat format;
    format.layout = bitDepth <= 8 ? LAYOUT_PALETTE : bitDepth == 24 ? LAYOUT_RGB : LAYOUT_RGBA;
    format.depth = bitDepth <= 8 ? bitDepth : 8;
    if (bitDepth <= 8 && colourCount_ > 0) {
        format.palette = palette_.data;
        format.paletteBytes = 3 * static_cast<uint32_t>(colourCount_);
    }
    // The transparent colour as RGB's tRNS key (16-bit samples), or as
    // palette entry 0's alpha 0.
    const uint32_t colour = static_cast<uint32_t>(request.transparentColour);
    const uint8_t key[6] = {0, static_cast<uint8_t>(colour >> 16), 0, static_cast<uint8_t>(colour >> 8),
                            0, static_cast<uint8_t>(colour)};
    std::memcpy(transparency, key, sizeof key);
    format.transparency = transparency;
    if (request.transparentColour != -1 && bitDepth == 24)
        format.transparencyBytes = sizeof key;
    else if (bitDepth <= 8 && paletteEntryZeroIsTransparent())
        format.transparencyBytes = 1;   // key[0]
    // Chunks kept from the input (checked by predictFileSize), in the extended mode only.
    PngFile file = describePngFile(request, format, idatBytes);
    if (idatStream_.used > 0)
        file.idat = idatStream_.data;
    return file;
}

uint32_t PngOptimizer::predictFileSize() const
{
    if (((request_->options & OPT_EXTENDED_SEARCH) && !request_->keptChunkSet &&
         !keptChunksValid(request_->keptChunks, request_->keptChunksSize)) ||
        !keptChunkSetValid(request_->keptChunkSet))
        return 0;
    uint8_t transparency[6];
    return pngFileSize(describeFile(transparency));
}

bool PngOptimizer::writeOutput(const OutputPlace& place)
{
    const ConvertRequest& request = *request_;
    uint8_t transparency[6];
    PngFile file = describeFile(transparency);
    // The search kept the winning trial's stream when it could: the same
    // bytes a new compression of the rows with its parameters would give.
    RowsToCompress rows = {filteredRows_.data, 0, request.windowBits, request.memLevel,
                           deflateScratch_.data};
    if (!file.idat) {
        if (!checkedMul(stride_, static_cast<uint32_t>(height_), rows.bytes))
            return false;
        file.idatSource = compressRows;
        file.idatContext = &rows;
    }
    // The search measured this very file; writePngFile checks the IDAT data
    // against the length measured.
    if (pngFileSize(file) != request.fileSize)
        return false;
    if (place.memory)
        return writePngBytes(*place.memory, file);
    return writeReplacing(place.path, [&](FileHandle& output) { return writePngFile(output, file); });
}
