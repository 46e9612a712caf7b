#include "engine/animation/animated_png_encoder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>
#include <zlib.h>

#include "core/size_limits.h"
#include "engine/animation/animation_canvas.h"
#include "engine/extended/extended_encoders.h"
#include "engine/extended/extended_layouts.h"
#include "engine/png_file.h"
#include "engine/row_filters.h"
#include "engine/worker_pool.h"

namespace {

// The framings and layouts are weighed by zlib at this level, each frame's
// rows unfiltered and by the minimum-sum filter, the smaller counting.
constexpr int kScreeningLevel = 6;
constexpr int32_t kScreeningFilters[] = {FILTER_NONE, FILTER_MIN_SUM};
// Re-framing compares every shown canvas with the one before: at most this
// many canvas pixels over all frames.
constexpr uint64_t kMaxReframedCanvasPixels = uint64_t(1) << 31;
constexpr uint32_t kFrameControlBytes = 26;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t alphaOf(uint32_t pixel) { return pixel & 0xFF; }

// One framing: the frames to write and the hidden default image, if any.
struct Framing {
    std::vector<AnimationFrame> frames;
    bool reframed = false;
};

AnimationFrame frameLike(const AnimationFrame& frame, uint32_t x, uint32_t y, uint32_t width, uint32_t height)
{
    AnimationFrame out;
    out.x = x;
    out.y = y;
    out.width = width;
    out.height = height;
    out.delayNumerator = frame.delayNumerator;
    out.delayDenominator = frame.delayDenominator;
    out.rgba.resize(size_t(width) * height);
    return out;
}

bool framesInsideCanvas(const Animation8& animation)
{
    if (animation.frames.empty() || animation.width == 0 || animation.height == 0)
        return false;
    if (animation.hiddenDefault &&
        animation.defaultImage.size() != size_t(animation.width) * animation.height)
        return false;
    for (const AnimationFrame& f : animation.frames)
        if (f.width == 0 || f.height == 0 || f.x > animation.width - 1 || f.width > animation.width - f.x ||
            f.y > animation.height - 1 || f.height > animation.height - f.y ||
            f.rgba.size() != size_t(f.width) * f.height || f.dispose > DISPOSE_PREVIOUS || f.blend > BLEND_OVER)
            return false;
    const AnimationFrame& first = animation.frames.front();
    return animation.hiddenDefault ||
           (first.x == 0 && first.y == 0 && first.width == animation.width && first.height == animation.height);
}

// The frames as given, with the colour under each pixel BLEND_OVER never shows set to 0.
void framesAsGiven(const Animation8& animation, Framing& framing)
{
    framing.frames = animation.frames;
    for (AnimationFrame& frame : framing.frames)
        if (frame.blend == BLEND_OVER)
            for (uint32_t& pixel : frame.rgba)
                if (alphaOf(pixel) == 0)
                    pixel = 0;
}

// The frames as shown, re-framed (see the header). False when the canvas
// cannot be had or the re-framing is not offered; framing is then empty.
bool framesAsShown(const Animation8& animation, Framing& framing, std::vector<AnimationFrame>& overFrames)
{
    const uint64_t canvasPixels = uint64_t(animation.width) * animation.height;
    if (canvasPixels * animation.frames.size() > kMaxReframedCanvasPixels)
        return false;
    AnimationCanvas canvas;
    std::vector<uint32_t> previous;
    uint64_t written = 0;
    if (!canvas.start(animation.width, animation.height))
        return false;
    framing.reframed = true;
    for (size_t i = 0; i < animation.frames.size(); ++i) {
        const AnimationFrame& input = animation.frames[i];
        const std::vector<uint32_t>& shown = canvas.draw(input);
        const uint32_t width = animation.width;
        if (i == 0) {
            framing.frames.push_back(frameLike(input, 0, 0, width, animation.height));
            framing.frames.back().rgba = shown;
            overFrames.emplace_back();
        } else {
            uint32_t left = width, top = animation.height, right = 0, bottom = 0;
            bool opaqueChanges = true;
            for (uint32_t y = 0; y < animation.height; ++y)
                for (uint32_t x = 0; x < width; ++x) {
                    const size_t at = size_t(y) * width + x;
                    if (shown[at] == previous[at])
                        continue;
                    left = std::min(left, x);
                    right = std::max(right, x + 1);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y + 1);
                    opaqueChanges = opaqueChanges && alphaOf(shown[at]) == 255;
                }
            if (right == 0) {   // nothing changed: one pixel drawn again keeps the frame and its delay
                left = top = 0;
                right = bottom = 1;
            }
            AnimationFrame source = frameLike(input, left, top, right - left, bottom - top);
            AnimationFrame over = opaqueChanges ? frameLike(input, left, top, right - left, bottom - top)
                                                : AnimationFrame();
            over.blend = BLEND_OVER;
            for (uint32_t y = top; y < bottom; ++y)
                for (uint32_t x = left; x < right; ++x) {
                    const size_t at = size_t(y) * width + x;
                    const size_t to = size_t(y - top) * source.width + (x - left);
                    source.rgba[to] = shown[at];
                    if (opaqueChanges)
                        over.rgba[to] = shown[at] == previous[at] ? 0 : shown[at];
                }
            written += source.rgba.size();
            framing.frames.push_back(std::move(source));
            overFrames.push_back(std::move(over));
        }
        previous = shown;
        canvas.finishFrame(input);
    }
    if (canvas.roundingDependent() || written > kMaxAnimationPixels) {
        framing.frames.clear();
        overFrames.clear();
        return false;
    }
    return true;
}

ExactPicture pictureOf(const std::vector<uint32_t>& rgba, uint32_t width, uint32_t height)
{
    ExactPicture picture;
    picture.width = width;
    picture.height = height;
    picture.rgba = rgba;
    return picture;
}

// The zlib length of a picture's rows in a layout at the screening level
// (the better of the screening filters); 0 on failure.
uint32_t screenedLength(const ExactPicture& picture, const ColourFacts& facts, const Layout& layout,
                        const std::atomic<bool>& stop)
{
    std::vector<uint8_t> rows;
    uint32_t stride = 0;
    if (!packLayout(picture, facts, layout, rows, stride))
        return 0;
    const PackedRows packed = {rows.data(), stride, picture.height,
                               filterBytesPerPixel(static_cast<int32_t>(layoutBitsPerPixel(layout)))};
    uint32_t best = 0;
    for (int32_t filter : kScreeningFilters) {
        std::vector<uint8_t> plan;
        if (!planFilters(packed, filter, plan))
            return 0;
        const uint32_t length = zlibPlannedLength(packed, plan, ENCODER_ZLIB, kScreeningLevel, stop);
        if (length == 0)
            return 0;
        if (best == 0 || length < best)
            best = length;
    }
    return best;
}

// Runs job(i) for i below count on the pool (or the calling thread), then
// returns whether every job succeeded; results are the jobs' own to store.
bool runEach(WorkerPool* pool, size_t count, const std::function<bool(size_t)>& job)
{
    std::vector<char> ok(count, 0);
    TaskGroup group(pool);
    for (size_t i = 0; i < count; ++i)
        group.submit([&job, &ok, i] { ok[i] = job(i) ? 1 : 0; });
    for (size_t i = 0; i < count; ++i)
        group.wait();
    for (char done : ok)
        if (!done)
            return false;
    return true;
}

Layout rgbaLayout()
{
    Layout layout;
    layout.kind = LAYOUT_RGBA;
    layout.depth = 8;
    return layout;
}

// Picks, for each re-framed frame with an OVER variant, the variant that
// screens smaller in RGBA, and returns the framing's screened total.
bool screenFramings(WorkerPool* pool, Framing& given, Framing& shown, std::vector<AnimationFrame>& over,
                    uint64_t& givenTotal, uint64_t& shownTotal)
{
    const Layout rgba = rgbaLayout();
    const ColourFacts none;
    const size_t count = given.frames.size();
    std::vector<uint32_t> lengths(count * 3, 0);
    const std::atomic<bool> stop(false);
    const bool reframe = !shown.frames.empty();
    if (!runEach(pool, count * 3, [&](size_t i) {
            const size_t frame = i / 3;
            const AnimationFrame* f = i % 3 == 0 ? &given.frames[frame]
                                      : !reframe ? nullptr
                                      : i % 3 == 1 ? &shown.frames[frame]
                                                   : &over[frame];
            if (!f || f->rgba.empty())
                return true;
            lengths[i] = screenedLength(pictureOf(f->rgba, f->width, f->height), none, rgba, stop);
            return lengths[i] > 0;
        }))
        return false;
    givenTotal = shownTotal = 0;
    for (size_t frame = 0; frame < count; ++frame) {
        givenTotal += lengths[frame * 3];
        if (!reframe)
            continue;
        uint32_t shownLength = lengths[frame * 3 + 1];
        if (lengths[frame * 3 + 2] > 0 && lengths[frame * 3 + 2] < shownLength) {
            shownLength = lengths[frame * 3 + 2];
            shown.frames[frame] = std::move(over[frame]);
        }
        shownTotal += shownLength;
    }
    return true;
}

// Every pixel the file stores, as one picture one pixel wide (for the colour
// facts and the palette orders).
bool storedPixels(const Animation8& animation, const Framing& framing, ExactPicture& picture)
{
    uint64_t total = animation.hiddenDefault ? animation.defaultImage.size() : 0;
    for (const AnimationFrame& f : framing.frames)
        total += f.rgba.size();
    if (total == 0 || total > kMaxAnimationPixels)
        return false;
    picture.width = 1;
    picture.height = static_cast<uint32_t>(total);
    picture.rgba.reserve(total);
    if (animation.hiddenDefault)
        picture.rgba = animation.defaultImage;
    for (const AnimationFrame& f : framing.frames)
        picture.rgba.insert(picture.rgba.end(), f.rgba.begin(), f.rgba.end());
    return true;
}

// The colour facts of one stored picture under the facts of them all: the
// same colours (all.indices is empty by then), the picture's own indices.
ColourFacts factsWithin(const ColourFacts& all, const std::unordered_map<uint32_t, uint8_t>& indexOf,
                        const ExactPicture& picture)
{
    ColourFacts facts = all;
    if (!indexOf.empty()) {
        facts.indices.reserve(picture.rgba.size());
        for (uint32_t pixel : picture.rgba)
            facts.indices.push_back(indexOf.at(pixel));
    }
    return facts;
}

// The stored pictures in writing order: the hidden default image, then the frames.
std::vector<ExactPicture> storedPictures(const Animation8& animation, const Framing& framing)
{
    std::vector<ExactPicture> pictures;
    if (animation.hiddenDefault)
        pictures.push_back(pictureOf(animation.defaultImage, animation.width, animation.height));
    for (const AnimationFrame& f : framing.frames)
        pictures.push_back(pictureOf(f.rgba, f.width, f.height));
    return pictures;
}

void appendBE32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

bool appendChunk(AppendBuffer& png, const char* type, const uint8_t* data, uint32_t length,
                 const uint8_t* prefix = nullptr, uint32_t prefixLength = 0)
{
    uint32_t total = 0;
    if (!checkedAdd(length, prefixLength, total))
        return false;
    std::vector<uint8_t> head;
    appendBE32(head, total);
    head.insert(head.end(), type, type + 4);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    if (prefixLength)
        crc = crc32(crc, prefix, prefixLength);
    if (length)
        crc = crc32(crc, data, length);
    std::vector<uint8_t> tail;
    appendBE32(tail, static_cast<uint32_t>(crc));
    return png.append(head.data(), 8) && (prefixLength == 0 || png.append(prefix, prefixLength)) &&
           (length == 0 || png.append(data, length)) && png.append(tail.data(), 4);
}

std::vector<uint8_t> frameControl(uint32_t sequence, const AnimationFrame& f, uint8_t dispose, uint8_t blend)
{
    std::vector<uint8_t> data;
    appendBE32(data, sequence);
    appendBE32(data, f.width);
    appendBE32(data, f.height);
    appendBE32(data, f.x);
    appendBE32(data, f.y);
    data.push_back(static_cast<uint8_t>(f.delayNumerator >> 8));
    data.push_back(static_cast<uint8_t>(f.delayNumerator));
    data.push_back(static_cast<uint8_t>(f.delayDenominator >> 8));
    data.push_back(static_cast<uint8_t>(f.delayDenominator));
    data.push_back(dispose);
    data.push_back(blend);
    return data;
}

bool writeFile(const Animation8& animation, const Framing& framing, const Layout& layout,
               const ColourFacts& facts, const std::vector<std::vector<uint8_t>>& streams, AppendBuffer& png)
{
    uint8_t bitDepth = 0;
    uint8_t colourType = 0;
    layoutHeader(layout.kind, layout.depth, bitDepth, colourType);
    std::vector<uint8_t> header;
    appendBE32(header, animation.width);
    appendBE32(header, animation.height);
    header.insert(header.end(), {bitDepth, colourType, 0, 0, 0});
    std::vector<uint8_t> control;
    appendBE32(control, static_cast<uint32_t>(framing.frames.size()));
    appendBE32(control, animation.plays);
    std::vector<uint8_t> plte, trns;
    layoutChunks(layout, facts, plte, trns);
    if (!png.init(4096, 1u << 20) || !png.append(kPngSignature, sizeof kPngSignature) ||
        !appendChunk(png, "IHDR", header.data(), 13) || !appendChunk(png, "acTL", control.data(), 8) ||
        (!plte.empty() && !appendChunk(png, "PLTE", plte.data(), static_cast<uint32_t>(plte.size()))) ||
        (!trns.empty() && !appendChunk(png, "tRNS", trns.data(), static_cast<uint32_t>(trns.size()))))
        return false;
    size_t stream = 0;
    if (animation.hiddenDefault &&
        !appendChunk(png, "IDAT", streams[stream].data(), static_cast<uint32_t>(streams[stream].size())))
        return false;
    stream += animation.hiddenDefault ? 1 : 0;
    uint32_t sequence = 0;
    for (size_t i = 0; i < framing.frames.size(); ++i, ++stream) {
        const AnimationFrame& f = framing.frames[i];
        const uint8_t dispose = framing.reframed ? uint8_t(DISPOSE_NONE) : f.dispose;
        const std::vector<uint8_t> fctl = frameControl(sequence++, f, dispose, f.blend);
        if (!appendChunk(png, "fcTL", fctl.data(), kFrameControlBytes))
            return false;
        const std::vector<uint8_t>& data = streams[stream];
        if (i == 0 && !animation.hiddenDefault) {
            if (!appendChunk(png, "IDAT", data.data(), static_cast<uint32_t>(data.size())))
                return false;
            continue;
        }
        std::vector<uint8_t> number;
        appendBE32(number, sequence++);
        if (!appendChunk(png, "fdAT", data.data(), static_cast<uint32_t>(data.size()), number.data(), 4))
            return false;
    }
    return appendChunk(png, "IEND", nullptr, 0);
}

}  // namespace

bool encodeAnimatedPng(const Animation8& animation, unsigned threads, const FrameRowsEncoder& encode,
                       const std::function<bool()>& cancelled, AppendBuffer& png, AnimatedPngChoice& choice)
{
    png.release();
    choice = AnimatedPngChoice();
    if (!framesInsideCanvas(animation))
        return false;
    try {
        std::shared_ptr<WorkerPool> pool = threads > 1 ? sharedWorkerPool(threads) : nullptr;
        Framing given, shown;
        std::vector<AnimationFrame> over;
        framesAsGiven(animation, given);
        framesAsShown(animation, shown, over);
        uint64_t givenTotal = 0, shownTotal = 0;
        if (cancelled() || !screenFramings(pool.get(), given, shown, over, givenTotal, shownTotal))
            return false;
        over.clear();
        Framing& framing = !shown.frames.empty() && shownTotal < givenTotal ? shown : given;

        // One layout for every stored picture: the one whose rows screen smallest in total.
        ExactPicture all;
        ColourFacts facts;
        std::vector<Layout> layouts;
        if (!storedPixels(animation, framing, all) || !analyseColours(all, facts) ||
            !exactLayouts(all, facts, layouts) || layouts.empty() || cancelled())
            return false;
        all = ExactPicture();
        std::unordered_map<uint32_t, uint8_t> indexOf;
        for (size_t i = 0; i < facts.colours.size(); ++i)
            indexOf.emplace(facts.colours[i], static_cast<uint8_t>(i));
        facts.indices.clear();
        const std::vector<ExactPicture> pictures = storedPictures(animation, framing);
        std::vector<ColourFacts> pictureFacts;
        for (const ExactPicture& picture : pictures)
            pictureFacts.push_back(factsWithin(facts, indexOf, picture));
        const std::atomic<bool> stop(false);
        std::vector<uint32_t> lengths(layouts.size() * pictures.size(), 0);
        if (!runEach(pool.get(), lengths.size(), [&](size_t i) {
                const size_t picture = i % pictures.size();
                const Layout& layout = layouts[i / pictures.size()];
                const bool palette = layout.kind == LAYOUT_PALETTE;
                lengths[i] = screenedLength(pictures[picture], palette ? pictureFacts[picture] : facts, layout, stop);
                return lengths[i] > 0;
            }))
            return false;
        size_t chosen = 0;
        uint64_t chosenTotal = UINT64_MAX;
        for (size_t l = 0; l < layouts.size(); ++l) {
            std::vector<uint8_t> plte, trns;
            layoutChunks(layouts[l], facts, plte, trns);
            uint64_t total = plte.size() + trns.size();
            for (size_t p = 0; p < pictures.size(); ++p)
                total += lengths[l * pictures.size() + p];
            if (total < chosenTotal) {
                chosenTotal = total;
                chosen = l;
            }
        }
        pool.reset();
        const Layout& layout = layouts[chosen];

        // Each stored picture's rows by the caller's search.
        std::vector<std::vector<uint8_t>> streams(pictures.size());
        uint64_t dataBytes = 0;
        for (size_t p = 0; p < pictures.size(); ++p) {
            std::vector<uint8_t> rows;
            uint32_t stride = 0;
            const bool palette = layout.kind == LAYOUT_PALETTE;
            if (cancelled() || !packLayout(pictures[p], palette ? pictureFacts[p] : facts, layout, rows, stride))
                return false;
            const int32_t bits = static_cast<int32_t>(layoutBitsPerPixel(layout));
            const PackedRows packed = {rows.data(), stride, pictures[p].height, filterBytesPerPixel(bits)};
            if (!encode(packed, bits, streams[p]) || streams[p].size() > kMaxBlockBytes - 4)
                return false;
            dataBytes += streams[p].size();
        }
        if (dataBytes > kMaxBlockBytes || !writeFile(animation, framing, layout, facts, streams, png))
            return false;
        choice.layout = layout.kind;
        choice.depth = layout.depth;
        choice.paletteOrder = layout.order;
        choice.frames = static_cast<uint32_t>(framing.frames.size());
        choice.reframed = framing.reframed;
        choice.dataBytes = static_cast<uint32_t>(dataBytes);
        return true;
    } catch (const std::bad_alloc&) {
        png.release();
        return false;
    }
}
