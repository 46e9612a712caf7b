#include "services/image_conversion.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/animation_probe.h"
#include "core/file_handle.h"
#include "core/image_loader.h"
#include "core/png_bytes.h"
#include "core/replacing_file.h"
#include "core/shared_flag.h"

namespace {

constexpr uint32_t kStreamReadStep = 1u << 16;

// Why an input that did not load as an image did not: missing, unreadable,
// or else `otherwise`.
ConversionCause loadFailureOf(const char* path, ConversionCause otherwise)
{
    if (!fileExists(path))
        return ConversionCause::NotFound;
    FileHandle file;
    return file.openRead(path) ? otherwise : ConversionCause::NotReadable;
}

enum class FileContent {
    Read,      // a PNG or GIF, every byte in memory
    Other,     // another kind of file (or none known): left to the file readers
    Failed,    // the file could not be opened or read
};

// The whole content of a PNG or GIF file (at most kMaxStreamInputBytes),
// and its size.
FileContent readPngOrGifContent(const char* path, ByteBuffer& content, uint32_t& size)
{
    FileHandle file;
    uint8_t head[kPngSignatureBytes] = {};
    if (!file.openRead(path))
        return FileContent::Failed;
    // The kind by the first bytes; the size only then, so a size that cannot
    // be read is never taken for a file too short to hold an animation.
    const uint32_t headBytes = file.read(head, kPngSignatureBytes);
    if (file.ioFailed())
        return FileContent::Failed;
    const ImageFileKind kind = imageFileKind(head, headBytes);
    if (kind != ImageFileKind::Png && kind != ImageFileKind::Gif)
        return FileContent::Other;
    const uint64_t fileBytes = file.size();
    if (fileBytes < headBytes || fileBytes > kMaxStreamInputBytes)
        return FileContent::Failed;
    size = uint32_t(fileBytes);
    if (!content.allocate(size, false))
        return FileContent::Failed;
    std::memcpy(content.data, head, headBytes);
    const uint32_t rest = size - headBytes;
    return file.read(content.data + headBytes, rest) == rest ? FileContent::Read : FileContent::Failed;
}

uint16_t outputRules(const ConversionOutput& output, const ConversionSettings& settings)
{
    return static_cast<uint16_t>((settings.keepTimeStamps ? OUTPUT_KEEP_TIME_STAMPS : 0) |
                                 (settings.testRun ? OUTPUT_TEST_RUN : 0) |
                                 (output.derivedName ? OUTPUT_DERIVED_NAME : 0) |
                                 (output.sharedName ? OUTPUT_SHARED_NAME : 0) |
                                 (settings.replaceExisting ? OUTPUT_REPLACE_EXISTING : 0));
}

}  // namespace

StreamRead readWholeStream(FILE* stream, uint32_t limit, AppendBuffer& bytes)
{
    if (!bytes.init(kStreamReadStep, kStreamReadStep))
        return StreamRead::Failed;
    uint8_t chunk[kStreamReadStep];
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, stream);
        if (got > limit - bytes.used) {
            bytes.release();
            return StreamRead::TooLarge;
        }
        // Doubling keeps the copies of a growing block linear in the input's size.
        bytes.growStep = bytes.used > kStreamReadStep ? bytes.used : kStreamReadStep;
        if (got > 0 && !bytes.append(chunk, static_cast<uint32_t>(got))) {
            bytes.release();
            return StreamRead::Failed;
        }
        if (got < sizeof chunk)
            break;
    }
    if (std::ferror(stream)) {
        bytes.release();
        return StreamRead::Failed;
    }
    return StreamRead::Complete;
}

bool writeWholeStream(FILE* stream, const uint8_t* data, uint32_t size)
{
    return (size == 0 || std::fwrite(data, 1, size, stream) == size) && std::fflush(stream) == 0 &&
           !std::ferror(stream);
}

void ImageConversion::setProgress(ProgressSink* sink, volatile int16_t* cancelFlag)
{
    sink_ = sink;
    callerCancel_ = cancelFlag;
}

bool ImageConversion::finishLoad(bool loaded)
{
    callerSet_ = nullptr;
    report_.loaded = loaded;
    source_ = loaded ? &image_ : nullptr;
    chunks_ = loaded ? &keptChunks_ : nullptr;
    wide_ = loaded ? &wideSamples_ : nullptr;
    if (!loaded) {
        image_.release();
        wideSamples_.release();
    }
    return loaded;
}

void ImageConversion::readAnimation(const uint8_t* data, uint32_t size)
{
    animation_ = Animation8();
    animationRead_ = AnimationRead::NotAnimated;
    animatedGif_ = false;
    gifFrames_ = nullptr;
    const Animation kind = data ? probeAnimationMemory(data, size) : Animation::None;
    if (kind == Animation::AnimatedPng)
        animationRead_ = readAnimatedPng(data, size, animation_);
    if (kind == Animation::AnimatedGif) {
        // Its frames are read only when a conversion asks for them (animateGif).
        animatedGif_ = true;
        gifFrames_ = data;
        gifFramesSize_ = size;
    }
    if (animationRead_ != AnimationRead::Done)
        animation_ = Animation8();
}

bool ImageConversion::loadFile(const char* path, uint16_t options)
{
    report_ = ConversionReport();
    fileBytes_.release();
    gifFrames_ = nullptr;
    inputPath_.assign(path);
    memory_ = nullptr;
    transparentColour_ = -1;
    // A PNG or GIF is read whole, once: whether it is an animation, its
    // frames and its picture all come from those bytes, so a read error is
    // never mistaken for a still picture. Other files are read by path.
    ByteBuffer content;
    const FileContent read = readPngOrGifContent(path, content, report_.inputSize);
    if (read == FileContent::Failed) {
        report_.cause = loadFailureOf(path, ConversionCause::NotReadable);
        return finishLoad(false);
    }
    const bool whole = read == FileContent::Read;
    animationKind_ = whole ? probeAnimationMemory(content.data, report_.inputSize) : Animation::None;
    // An animated PNG's frames are read whole, whatever the default image's
    // format needs: its picture loads with the extended reader.
    if (animationKind_ == Animation::AnimatedPng)
        options |= OPT_EXTENDED_SEARCH;
    const bool loaded = whole ? loadConversionMemory(content.data, report_.inputSize, options, image_,
                                                     transparentColour_, keptChunks_, &wideSamples_)
                              : loadConversionInput(path, options, image_, transparentColour_, keptChunks_,
                                                    &wideSamples_);
    if (!loaded) {
        report_.cause = loadFailureOf(path, ConversionCause::NotAnImage);
        return finishLoad(false);
    }
    if (!whole)
        report_.inputSize = fileSizeByName(path);
    if (report_.inputSize == 0) {
        // No image is 0 bytes long: the size could not be read, and every rule needs it.
        report_.cause = ConversionCause::NotReadable;
        return finishLoad(false);
    }
    fileBytes_ = std::move(content);   // an animated GIF's frames are read from them when asked for
    readAnimation(whole ? fileBytes_.data : nullptr, whole ? report_.inputSize : 0);
    if (!animatedGif_)
        fileBytes_.release();
    return finishLoad(true);
}

bool ImageConversion::loadMemory(const uint8_t* data, uint32_t size, uint16_t options)
{
    report_ = ConversionReport();
    fileBytes_.release();
    gifFrames_ = nullptr;
    inputPath_.clear();
    memory_ = data;
    transparentColour_ = -1;
    animationKind_ = probeAnimationMemory(data, size);
    const bool animatedPng = animationKind_ == Animation::AnimatedPng;
    if (!loadConversionMemory(data, size, animatedPng ? uint16_t(options | OPT_EXTENDED_SEARCH) : options, image_,
                              transparentColour_, keptChunks_, &wideSamples_)) {
        report_.cause = ConversionCause::NotAnImage;
        return finishLoad(false);
    }
    report_.inputSize = size;
    readAnimation(data, size);
    return finishLoad(true);
}

bool ImageConversion::loadStream(FILE* stream, uint16_t options)
{
    const StreamRead read = readWholeStream(stream, kMaxStreamInputBytes, inputBytes_);
    if (read == StreamRead::Complete)
        return loadMemory(inputBytes_.data, inputBytes_.used, options);
    report_ = ConversionReport();
    report_.cause = read == StreamRead::TooLarge ? ConversionCause::InputTooLarge : ConversionCause::NotReadable;
    return finishLoad(false);
}

void ImageConversion::useImage(const DibImage& image, int32_t transparentColour, const AppendBuffer* keptChunks,
                               const ByteBuffer* wideSamples, const KeptChunkSet* keptSet)
{
    report_ = ConversionReport();
    inputPath_.clear();
    memory_ = nullptr;
    image_.release();
    wideSamples_.release();
    source_ = &image;
    animationKind_ = Animation::None;
    animation_ = Animation8();
    animationRead_ = AnimationRead::NotAnimated;
    animatedGif_ = false;
    gifFrames_ = nullptr;
    fileBytes_.release();
    chunks_ = keptChunks;
    callerSet_ = keptSet;
    wide_ = wideSamples;
    transparentColour_ = transparentColour;
    report_.loaded = true;
}

int64_t ImageConversion::pixelCount() const
{
    return source_ ? static_cast<int64_t>(source_->width) * source_->height : 0;
}

bool ImageConversion::cancelled() const
{
    return callerCancel_ && loadSharedFlag(callerCancel_) != 0;
}

void ImageConversion::onEngineProgress(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter,
                                       int32_t size, void* self)
{
    auto* conversion = static_cast<ImageConversion*>(self);
    if (conversion->cancelled())
        storeSharedFlag(&conversion->engineCancel_, 1);
    if (conversion->sink_)
        conversion->sink_->onProgress(decodeProgress(bitDepth, windowBits, memLevel, filter, size));
}

const ConversionReport& ImageConversion::convert(PngOptimizer& optimizer, const ConversionOutput& output,
                                                 const ConversionSettings& settings)
{
    report_.status = ConversionStatus::Failed;
    report_.cause = ConversionCause::None;
    report_.notes = 0;
    // Samples beyond 8 bits load only for the extended search, and only it writes them.
    if (!source_ || (wide_ && wide_->size > 0 && !(settings.options & OPT_EXTENDED_SEARCH))) {
        report_.cause = ConversionCause::NotAnImage;
        return report_;
    }
    if (cancelled()) {
        report_.status = ConversionStatus::Cancelled;
        return report_;
    }
    fillConvertRequest(request_, *source_, settings.keepTransparent ? transparentColour_ : -1, settings.options,
                       chunks_, wide_);
    request_.keptChunkSet = collectChunks(settings);
    request_.extendedLevel = settings.extendedLevel;
    request_.extendedIterations = settings.extendedIterations;
    request_.callback = &ImageConversion::onEngineProgress;
    request_.userData = this;
    request_.cancelFlag = &engineCancel_;
    // An animation is written whole: every animated PNG, and an animated GIF when asked.
    request_.animation = nullptr;
    if (animatedGif_ && settings.animateGif && gifFrames_) {
        animationRead_ = readAnimatedGif(gifFrames_, gifFramesSize_, animation_);
        if (animationRead_ != AnimationRead::Done)
            animation_ = Animation8();
        gifFrames_ = nullptr;
    }
    if (!animatedGif_ || settings.animateGif) {
        if (animationRead_ == AnimationRead::Done)
            request_.animation = &animation_;
        if (animationRead_ == AnimationRead::Malformed) {
            report_.cause = ConversionCause::BadAnimation;
            return report_;
        }
    }

    OutputOutcome outcome;
    if (memory_ || output.memory || output.stream) {
        // In memory: a PNG input, recognised by content, stays unless a PNG beats it.
        AppendBuffer ownPng;
        AppendBuffer& png = output.memory ? *output.memory : ownPng;
        outcome = convertToMemory(optimizer, request_, memory_, memory_ ? report_.inputSize : 0, png,
                                  &report_.notes);
        const bool written = outcome == OutputOutcome::Failed || settings.testRun ||
                             (output.path ? writeReplacing(output.path,
                                                          [&](FileHandle& file) {
                                                              return file.write(png.data, png.used) == png.used;
                                                          })
                              : output.stream ? writeWholeStream(output.stream, png.data, png.used)
                                              : true);
        if (!written)
            outcome = OutputOutcome::Failed;
    } else {
        OutputTarget target;
        target.inputPath = inputPath_.isEmpty() ? nullptr : inputPath_.c_str();
        target.inputSize = report_.inputSize;
        target.outputPath = output.path;
        target.rules = outputRules(output, settings);
        target.animation = animationKind_;
        target.animationKnown = true;
        outcome = convertToFile(optimizer, request_, target, &report_.notes);
    }

    report_.result = request_;
    report_.result.pixels = nullptr;
    report_.result.keptChunks = nullptr;
    report_.result.keptChunkSet = nullptr;
    report_.result.samples16 = nullptr;
    report_.result.callback = nullptr;
    report_.result.userData = nullptr;
    report_.result.cancelFlag = nullptr;
    report_.result.animation = nullptr;
    report_.frames = outcome == OutputOutcome::Converted ? request_.frames : 0;
    switch (outcome) {
    case OutputOutcome::Converted: report_.status = ConversionStatus::Converted; break;
    case OutputOutcome::Copied: report_.status = ConversionStatus::Copied; break;
    case OutputOutcome::NoOutput: report_.status = ConversionStatus::Kept; break;
    case OutputOutcome::CopyFailed: report_.cause = ConversionCause::CopyFailed; break;
    case OutputOutcome::OutputExists: report_.cause = ConversionCause::OutputExists; break;
    case OutputOutcome::SharedOutput: report_.cause = ConversionCause::SharedOutput; break;
    case OutputOutcome::Failed:
        if (cancelled())
            report_.status = ConversionStatus::Cancelled;
        else
            report_.cause = ConversionCause::CannotWrite;
        break;
    }
    reportChunks(settings);
    return report_;
}

const KeptChunkSet* ImageConversion::collectChunks(const ConversionSettings& settings)
{
    keptSet_ = KeptChunkSet();
    if (settings.keepChunks.empty())
        return nullptr;
    if (callerSet_)
        return callerSet_;
    ChunkSelection selection = settings.keepChunks;
    if (settings.options & OPT_EXTENDED_SEARCH)
        selection.add(extendedSearchColourChunks());
    const bool read = memory_ ? collectKeptChunks(memory_, report_.inputSize, selection, keptSet_)
                      : inputPath_.isEmpty() ? false
                                             : readKeptChunks(inputPath_.c_str(), selection, 0, keptSet_);
    return read ? &keptSet_ : nullptr;
}

void ImageConversion::reportChunks(const ConversionSettings& settings)
{
    report_.keptChunks.clear();
    report_.droppedChunks.clear();
    report_.cleanAlpha = (settings.options & OPT_CLEAN_ALPHA) != 0;
    report_.chunksSelected = !settings.keepChunks.empty();
    const KeptChunkSet* set = request_.keptChunkSet;
    request_.keptChunkSet = nullptr;
    if (!set || report_.failed())
        return;
    // An input that stays as it is keeps every chunk it has.
    const bool converted = report_.status == ConversionStatus::Converted;
    const uint16_t dropped = converted ? report_.result.droppedLayoutChunks : 0;
    report_.keptChunks = keptChunkNames(*set, dropped);
    if (!converted)
        return;
    std::vector<std::string> left = set->leftOut;
    const std::vector<std::string> layout = layoutChunkNames(dropped);
    left.insert(left.end(), layout.begin(), layout.end());
    for (const std::string& name : left)
        if (std::find(report_.droppedChunks.begin(), report_.droppedChunks.end(), name) == report_.droppedChunks.end())
            report_.droppedChunks.push_back(name);
}

bool readKeptChunks(const char* path, const ChunkSelection& selection, uint16_t options, KeptChunkSet& set)
{
    set = KeptChunkSet();
    ByteBuffer content;
    uint32_t size = 0;
    if (readPngOrGifContent(path, content, size) != FileContent::Read)
        return false;
    ChunkSelection chosen = selection;
    if (options & OPT_EXTENDED_SEARCH)
        chosen.add(extendedSearchColourChunks());
    return collectKeptChunks(content.data, size, chosen, set);
}

bool readAnimationKind(const char* path, Animation& kind)
{
    ByteBuffer content;
    uint32_t size = 0;
    const FileContent read = readPngOrGifContent(path, content, size);
    kind = read == FileContent::Read ? probeAnimationMemory(content.data, size) : Animation::None;
    return read != FileContent::Failed;
}
