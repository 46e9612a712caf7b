// readAnimatedGif: every image of a GIF as a frame of its own rectangle, cut
// to the logical screen, with the graphic control extension before it.

#include <cstring>
#include <new>

#include "core/animation.h"
#include "core/animation_pixels.h"
#include "core/byte_buffer.h"
#include "core/gif_lzw.h"
#include "core/size_limits.h"

namespace {

constexpr uint32_t kHeaderBytes = 13;          // signature, version and logical screen descriptor
constexpr uint32_t kDescriptorBytes = 9;       // image descriptor after its introducer
constexpr uint32_t kPaletteBytes = 768;
constexpr uint8_t kImageIntroducer = 0x2C;
constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kApplicationLabel = 0xFF;
constexpr uint8_t kColourTableFlag = 0x80;
constexpr uint8_t kInterlaceFlag = 0x40;
constexpr uint8_t kGifDisposeBackground = 2;
constexpr uint8_t kGifDisposePrevious = 3;
constexpr uint32_t kApplicationIdBytes = 11;   // identifier and authentication code

uint32_t readLE16(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8);
}

// The graphic control extension in force for the next image.
struct Control {
    int32_t transparentIndex = -1;
    uint16_t delay = 0;          // centiseconds
    uint8_t disposal = 0;        // as stored, 0 to 7
};

class GifWalk {
public:
    GifWalk(const uint8_t* data, uint32_t size) : data_(data), size_(size) {}

    AnimationRead read(Animation8& animation);

private:
    enum class Step { Image, End, Damaged, Refused };

    bool available(uint32_t n) const { return size_ - position_ >= n; }
    bool skipSubBlocks();
    // Copies a colour table of 2^((packed & 7) + 1) entries at the cursor
    // over the start of palette (768 bytes); entries beyond it stay.
    bool readColourTable(uint8_t* palette, uint8_t packed, uint32_t& entries);
    // Reads extensions up to the next image; its frame appended on Image.
    Step next(Animation8& animation);
    void readExtension(uint8_t label);
    Step readImage(Animation8& animation);

    const uint8_t* data_;
    uint32_t size_;
    uint32_t position_ = 0;
    uint8_t background_ = 0;
    uint8_t globalPalette_[kPaletteBytes] = {};   // zero beyond the global table
    uint32_t globalEntries_ = 0;
    Control control_;
    bool loopSeen_ = false;
    uint32_t loops_ = 0;    // the looping extension's count
    uint64_t pixels_ = 0;   // over every frame so far
};

bool GifWalk::skipSubBlocks()
{
    return skipGifSubBlocks(data_, size_, position_);
}

bool GifWalk::readColourTable(uint8_t* palette, uint8_t packed, uint32_t& entries)
{
    entries = 2u << (packed & 7);
    if (!available(entries * 3))
        return false;
    std::memcpy(palette, data_ + position_, entries * 3);
    position_ += entries * 3;
    return true;
}

void GifWalk::readExtension(uint8_t label)
{
    // position_ is at the first sub-block's size byte.
    if (label == kGraphicControlLabel && available(5) && data_[position_] >= 4) {
        const uint8_t* block = data_ + position_ + 1;
        control_.disposal = uint8_t((block[0] >> 2) & 7);
        control_.delay = uint16_t(readLE16(block + 1));
        control_.transparentIndex = (block[0] & 1) ? block[3] : -1;
    } else if (label == kApplicationLabel && !loopSeen_ && available(1 + kApplicationIdBytes + 4) &&
               data_[position_] == kApplicationIdBytes) {
        const uint8_t* id = data_ + position_ + 1;
        const uint8_t* sub = id + kApplicationIdBytes;
        if ((std::memcmp(id, "NETSCAPE2.0", kApplicationIdBytes) == 0 ||
             std::memcmp(id, "ANIMEXTS1.0", kApplicationIdBytes) == 0) &&
            sub[0] >= 3 && sub[1] == 1) {
            loopSeen_ = true;
            loops_ = readLE16(sub + 2);
        }
    }
}

GifWalk::Step GifWalk::readImage(Animation8& animation)
{
    if (!available(kDescriptorBytes))
        return Step::Damaged;
    const uint8_t* descriptor = data_ + position_;
    const uint32_t left = readLE16(descriptor);
    const uint32_t top = readLE16(descriptor + 2);
    const uint32_t width = readLE16(descriptor + 4);
    const uint32_t height = readLE16(descriptor + 6);
    const uint8_t packed = descriptor[8];
    position_ += kDescriptorBytes;

    // The table in force: the global one with a local one copied over its start.
    uint8_t palette[kPaletteBytes];
    std::memcpy(palette, globalPalette_, kPaletteBytes);
    uint32_t entries = globalEntries_;
    if ((packed & kColourTableFlag) && !readColourTable(palette, packed, entries))
        return Step::Damaged;

    // The rectangle cut to the screen; empty when wholly outside.
    const auto cut = [](uint32_t start, uint32_t extent, uint32_t screen) {
        return start < screen ? (extent < screen - start ? extent : screen - start) : 0u;
    };
    const uint32_t cutWidth = cut(left, width, animation.width);
    const uint32_t cutHeight = cut(top, height, animation.height);
    const bool first = animation.frames.empty();

    const uint32_t cutPixels = cutWidth * cutHeight;   // at most the screen's pixels
    // The frame's pixels: the whole canvas for the first, one for an image wholly outside.
    pixels_ += first ? uint64_t(animation.width) * animation.height : cutPixels > 0 ? cutPixels : 1;
    if (pixels_ > kMaxAnimationPixels)
        return Step::Refused;
    ByteBuffer indices;
    if (cutPixels > 0 && !indices.allocate(cutPixels, false))
        return Step::Refused;
    const uint32_t dataStart = position_;
    if (width > 0 && height > 0) {
        const GifPlacement placement = {0, 0, int32_t(width), int32_t(height), (packed & kInterlaceFlag) != 0};
        GifLzwDecoder decoder(data_, size_, dataStart, placement, indices.data, int32_t(cutWidth),
                              int32_t(cutHeight), GifLzwDecoder::Terminator::EndsData);
        if (!decoder.decode() || !decoder.complete())
            return Step::Damaged;
    } else if (!available(1)) {
        return Step::Damaged;   // the minimum code size is missing
    }
    position_ = dataStart + 1;
    if (!skipSubBlocks())
        position_ = size_;   // complete pixels whose sub-blocks run past the end: the file ends here
    const Control control = control_;
    control_ = Control();

    AnimationFrame frame;
    frame.delayNumerator = control.delay;
    frame.delayDenominator = 100;
    frame.dispose = control.disposal == kGifDisposeBackground ? DISPOSE_BACKGROUND
                    : control.disposal == kGifDisposePrevious ? DISPOSE_PREVIOUS
                                                              : DISPOSE_NONE;
    frame.blend = control.transparentIndex >= 0 ? BLEND_OVER : BLEND_SOURCE;
    if (first) {
        frame.width = animation.width;
        frame.height = animation.height;
        frame.blend = BLEND_SOURCE;
    } else if (cutPixels == 0) {
        // Nothing of it shows: an invisible pixel keeps its delay.
        frame.width = 1;
        frame.height = 1;
        frame.dispose = DISPOSE_NONE;
        frame.blend = BLEND_OVER;
    } else {
        frame.x = left;
        frame.y = top;
        frame.width = cutWidth;
        frame.height = cutHeight;
    }
    if (!assignPixels(frame.rgba, frame.width * frame.height, 0))
        return Step::Refused;

    // Pixels: alpha 0 for the transparent index, else the table entry (an
    // index beyond the table shows the background entry).
    const uint32_t originX = first ? left : 0;
    const uint32_t originY = first ? top : 0;
    for (uint32_t y = 0; y < cutHeight; ++y) {
        const uint8_t* row = indices.data + size_t(y) * cutWidth;
        uint32_t* out = frame.rgba.data() + size_t(originY + y) * frame.width + originX;
        for (uint32_t x = 0; x < cutWidth; ++x) {
            const uint8_t index = row[x];
            if (int32_t(index) == control.transparentIndex) {
                out[x] = 0;
                continue;
            }
            const uint8_t* entry = palette + (index < entries ? index : background_) * 3u;
            out[x] = uint32_t(entry[0]) << 24 | uint32_t(entry[1]) << 16 | uint32_t(entry[2]) << 8 | 0xFFu;
        }
    }
    animation.frames.push_back(std::move(frame));
    return Step::Image;
}

GifWalk::Step GifWalk::next(Animation8& animation)
{
    for (;;) {
        if (!available(1))
            return Step::End;   // no trailer: the file ends between blocks
        const uint8_t introducer = data_[position_++];
        if (introducer == kImageIntroducer)
            return readImage(animation);
        if (introducer == kTrailer)
            return Step::End;
        if (introducer != kExtensionIntroducer || !available(1))
            return Step::Damaged;
        const uint8_t label = data_[position_++];
        readExtension(label);
        if (!skipSubBlocks())
            return Step::Damaged;
    }
}

AnimationRead GifWalk::read(Animation8& animation)
{
    if (!available(kHeaderBytes) || std::memcmp(data_, "GIF", 3) != 0 ||
        (std::memcmp(data_ + 3, "87a", 3) != 0 && std::memcmp(data_ + 3, "89a", 3) != 0))
        return AnimationRead::Malformed;
    animation.width = readLE16(data_ + 6);
    animation.height = readLE16(data_ + 8);
    background_ = data_[11];
    position_ = kHeaderBytes;
    if (animation.width == 0 || animation.height == 0 ||
        uint64_t(animation.width) * animation.height > kMaxAnimationPixels)
        return AnimationRead::Malformed;
    if ((data_[10] & kColourTableFlag) && !readColourTable(globalPalette_, data_[10], globalEntries_))
        return AnimationRead::Malformed;

    Step step = Step::Image;
    while (step == Step::Image)
        step = next(animation);
    if (step == Step::Refused)
        return AnimationRead::Malformed;
    // A file damaged or cut after two complete images keeps those; with
    // fewer it is refused.
    if (animation.frames.size() < 2)
        return step == Step::Damaged || animation.frames.empty() ? AnimationRead::Malformed
                                                                 : AnimationRead::NotAnimated;
    animation.plays = !loopSeen_ ? 1 : loops_ == 0 ? 0 : loops_ + 1;
    return AnimationRead::Done;
}

}  // namespace

AnimationRead readAnimatedGif(const uint8_t* data, uint32_t size, Animation8& animation)
{
    animation = Animation8();
    if (data == nullptr)
        return AnimationRead::Malformed;
    Animation8 result;
    AnimationRead read = AnimationRead::Malformed;
    try {
        GifWalk walk(data, size);
        read = walk.read(result);
    } catch (const std::bad_alloc&) {
        return AnimationRead::Malformed;
    }
    if (read == AnimationRead::Done)
        animation = std::move(result);
    return read;
}
