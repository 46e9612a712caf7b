// PngOptimizer's animations: each frame's rows by the search of the
// request's options, the file by encodeAnimatedPng.

#include <cstring>
#include <memory>
#include <new>

#include "core/animation.h"
#include "core/replacing_file.h"
#include "core/shared_flag.h"
#include "core/size_limits.h"
#include "engine/animation/animated_png_encoder.h"
#include "engine/deflate_stream.h"
#include "engine/extended/extended_search.h"
#include "engine/png_file.h"
#include "engine/png_optimizer.h"
#include "engine/row_filters.h"
#include "engine/trial_runner.h"
#include "engine/worker_pool.h"

namespace {

constexpr int32_t kSearchWindowBits = 15;
constexpr int32_t kSearchMemLevel = 8;

bool appendToVector(const uint8_t* bytes, uint32_t count, void* context)
{
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), bytes, bytes + count);
    return true;
}

// Bits per pixel of a layout as the report's bit depth names it.
int32_t layoutPixelBits(const AnimatedPngChoice& choice)
{
    switch (choice.layout) {
    case LAYOUT_PALETTE:
    case LAYOUT_GREY:
    case LAYOUT_GREY_KEY: return choice.depth;
    case LAYOUT_GREY_ALPHA: return 2 * choice.depth;
    case LAYOUT_RGB:
    case LAYOUT_RGB_KEY: return 3 * choice.depth;
    default: return 4 * choice.depth;
    }
}

}  // namespace

bool PngOptimizer::encodeRowsByDefaultSearch(const uint8_t* rows, uint32_t stride, uint32_t height,
                                             int32_t bitsPerPixel, std::vector<uint8_t>& stream)
{
    stride_ = stride;
    height_ = static_cast<int32_t>(height);
    uint32_t imageBytes = 0;
    if (!checkedMul(stride, height, imageBytes))
        return false;
    uint32_t filterSize = 0;
    AppendBuffer filterStream;
    const int32_t filter = searchFilter(rows, bitsPerPixel, filterSize, filterStream);
    if (filter < 0 || !filteredRows_.allocate(imageBytes, false))
        return false;
    if (filter == FILTER_NONE)
        std::memcpy(filteredRows_.data, rows, imageBytes);
    else
        applyFilter(rows, filteredRows_.data, height, stride, filter, bitsPerPixel);
    TrialOutcome outcome;
    outcome.filter = filter;
    AppendBuffer parameterStream;
    if (!searchDeflateParams(filterSize, outcome, parameterStream))
        return false;
    const AppendBuffer* kept = parameterStream.used > 0 ? &parameterStream
                               : outcome.windowBits == kSearchWindowBits && outcome.memLevel == kSearchMemLevel &&
                                       filterStream.used > 0
                                   ? &filterStream
                                   : nullptr;
    stream.clear();
    if (kept) {
        stream.assign(kept->data, kept->data + kept->used);
    } else {
        uint32_t written = 0;
        if (!deflateThrough(filteredRows_.data, imageBytes, outcome.windowBits, outcome.memLevel,
                            deflateScratch_.data, kDeflateScratchBytes, appendToVector, &stream, written))
            return false;
    }
    filteredRows_.release();
    return stream.size() == static_cast<size_t>(outcome.size);
}

int PngOptimizer::convertAnimation(const OutputPlace& place, ConvertRequest& request)
{
    const unsigned threads = workerThreadCount();
    const bool extended = (request.options & OPT_EXTENDED_SEARCH) != 0;
    std::unique_ptr<TrialRunner> trials =
        measure_ ? makeMeasuringTrialRunner(measure_, measureContext_) : makeCompressingTrialRunner(threads);
    if (!trials || !deflateScratch_.allocate(kDeflateScratchBytes, false))
        return 0;
    trials_ = trials.get();
    const FrameRowsEncoder encode = [&](const PackedRows& rows, int32_t bits, std::vector<uint8_t>& stream) {
        const uint32_t width = (rows.stride - 1) * 8 / static_cast<uint32_t>(bits);
        const bool defaultSearch = runsDefaultSearch(request, uint64_t(width) * rows.height);
        if (defaultSearch && !encodeRowsByDefaultSearch(rows.rows, rows.stride, rows.height, bits, stream))
            return false;
        if (!extended)
            return true;
        ConvertRequest frame = request;
        frame.animation = nullptr;
        frame.keptChunks = nullptr;
        frame.keptChunksSize = 0;
        frame.keptChunkSet = nullptr;
        frame.width = static_cast<int32_t>(width);   // sizes only the files the search compares
        frame.height = static_cast<int32_t>(rows.height);
        ExtendedChoice choice;
        if (!runExtendedRowsSearch(frame, rows, threads, choice))
            return false;
        if (!defaultSearch || choice.stream.size() < stream.size())
            stream = std::move(choice.stream);
        return true;
    };
    AppendBuffer png;
    AnimatedPngChoice choice;
    const bool encoded =
        encodeAnimatedPng(*request.animation, threads, encode, [this] { return cancelled(); }, png, choice);
    trials_ = nullptr;
    trials.reset();
    deflateScratch_.release();
    filteredRows_.release();
    if (!encoded || cancelled() ||
        (request.keptChunkSet && !insertKeptChunks(png, *request.keptChunkSet, request.droppedLayoutChunks)))
        return 0;
    request.windowBits = request.memLevel = request.filter = 0;
    request.dataSize = static_cast<int32_t>(choice.dataBytes);
    request.bitDepth = layoutPixelBits(choice);
    request.fileSize = png.used;
    request.extendedLayout = choice.layout;
    request.extendedDepth = choice.depth;
    request.paletteOrder = choice.paletteOrder;
    request.filterStrategy = request.encoder = request.encoderIterations = request.encoderParts = 0;
    request.frames = choice.frames;
    return deliverPng(place, request, png);
}
