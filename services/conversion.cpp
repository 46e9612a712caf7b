#include "services/conversion.h"

#include <cstdio>
#include <cstring>

#include "core/animation_probe.h"
#include "core/dib_image.h"
#include "core/file_handle.h"
#include "core/file_identity.h"
#include "core/image_loader.h"
#include "core/png_bytes.h"
#include "core/replacing_file.h"
#include "core/text_string.h"
#include "core/ui_text.h"
#include "services/extended_report.h"

namespace {

constexpr uint32_t kNoSizeToBeat = 0xFFFFFFFFu;
// Room for the summary with three 11-character numbers and the longest filter name.
constexpr int kSummaryCapacity = 63;

bool hasPngExtension(const char* path)
{
    TextString extension;
    TextString(path).getExtension(extension);
    return extension.compareNoCase("png") == 0;
}

// The output path names the input: equal names under the platform's
// case-insensitive comparison, or two names of the same existing file.
bool namesInput(const char* inputPath, const char* outputPath)
{
    return TextString(inputPath).compareNoCase(outputPath) == 0 || isSameFile(inputPath, outputPath);
}

// The input's three time stamps, when they could be read.
struct SavedTimes {
    bool valid = false;
    FileTime creation = 0;
    FileTime lastAccess = 0;
    FileTime lastWrite = 0;

    void read(const char* path) { valid = getFileTimes(path, &creation, &lastAccess, &lastWrite); }
    // A failure to set them is not reported: the output itself is fine.
    void applyTo(const char* path) const
    {
        if (valid)
            setFileTimes(path, &creation, &lastAccess, &lastWrite);
    }
};

OutputOutcome copyUnchanged(const char* inputPath, const char* outputPath, bool testRun)
{
    if (!outputPath || namesInput(inputPath, outputPath))
        return OutputOutcome::NoOutput;
    if (testRun)
        return OutputOutcome::Copied;
    if (!copyFileReplacing(inputPath, outputPath))
        return OutputOutcome::CopyFailed;
    FileTime lastWrite = 0;
    if (getFileTimes(inputPath, nullptr, nullptr, &lastWrite))
        setFileTimes(outputPath, nullptr, nullptr, &lastWrite);
    return OutputOutcome::Copied;
}

// A file left as it is without a search: the result fields describe the input.
void describeUnsearched(ConvertRequest& request, uint32_t inputSize)
{
    request.fileSize = inputSize;
    request.dataSize = 0;
    request.bitDepth = 0;
    request.filter = 0;
    request.windowBits = 0;
    request.memLevel = 0;
    request.notWritten = 1;
    request.extendedLayout = LAYOUT_DEFAULT;
    request.extendedDepth = 0;
    request.paletteOrder = ORDER_NONE;
    request.filterStrategy = 0;
    request.encoder = 0;
    request.encoderIterations = 0;
    request.encoderParts = 0;
}

// The refusals of a derived output name, before any work is done.
OutputOutcome derivedNameRefusal(const OutputTarget& target)
{
    const uint16_t rules = target.rules;
    if (!target.outputPath || !(rules & OUTPUT_DERIVED_NAME) || (rules & OUTPUT_REPLACE_EXISTING))
        return OutputOutcome::Converted;
    if (rules & OUTPUT_SHARED_NAME)
        return OutputOutcome::SharedOutput;
    // The same name is the input itself, whatever the file system answers about it.
    if (std::strcmp(target.inputPath, target.outputPath) != 0 && fileExists(target.outputPath) &&
        !isSameFile(target.inputPath, target.outputPath))
        return OutputOutcome::OutputExists;
    return OutputOutcome::Converted;
}

}  // namespace

bool loadConversionInput(const char* path, uint16_t options, DibImage& image, int32_t& transparentColour,
                         AppendBuffer& colourChunks, ByteBuffer* wideSamples)
{
    colourChunks.release();
    if (wideSamples)
        wideSamples->release();
    if (!(options & OPT_EXTENDED_SEARCH))
        return loadImageFile(image, path, transparentColour);
    return loadImageFile(image, path, transparentColour, ImageInput::Extended, &colourChunks, wideSamples);
}

bool loadConversionMemory(const uint8_t* data, uint32_t size, uint16_t options, DibImage& image,
                          int32_t& transparentColour, AppendBuffer& colourChunks, ByteBuffer* wideSamples)
{
    colourChunks.release();
    if (wideSamples)
        wideSamples->release();
    if (!(options & OPT_EXTENDED_SEARCH))
        return loadImageMemory(image, data, size, transparentColour);
    return loadImageMemory(image, data, size, transparentColour, ImageInput::Extended, &colourChunks, wideSamples);
}

void fillConvertRequest(ConvertRequest& request, const DibImage& image, int32_t transparentColour,
                        uint16_t options, const AppendBuffer* keptChunks, const ByteBuffer* wideSamples)
{
    request.samples16 =
        (options & OPT_EXTENDED_SEARCH) && wideSamples && wideSamples->size > 0 ? wideSamples->data : nullptr;
    request.keptChunks = keptChunks && keptChunks->used > 0 ? keptChunks->data : nullptr;
    request.keptChunksSize = request.keptChunks ? keptChunks->used : 0;
    request.pixels = image.bits;
    request.width = image.width;
    request.height = image.height;
    request.hasAlpha = image.hasAlpha;
    request.transparentColour = transparentColour;
    request.options = options & kConvertOptionBits;
}

ConversionResult conversionResultOf(const ConvertRequest& request)
{
    ConversionResult result;
    result.windowBits = request.windowBits;
    result.memLevel = request.memLevel;
    result.filter = request.filter;
    result.dataSize = request.dataSize;
    result.bitDepth = request.bitDepth;
    result.fileSize = request.fileSize;
    return result;
}

const char* filterDisplayName(int32_t filter)
{
    return filter < kFilterChoiceCount ? filterStrategyName(filter) : "?";
}

void formatEncodingSummary(TextString& out, const ConversionResult& result)
{
    out.reserve(kSummaryCapacity);
    std::snprintf(out.buffer(), static_cast<size_t>(out.bufferSize()), uiText(Msg::EncodingSummary),
                  result.bitDepth, filterDisplayName(result.filter), result.windowBits,
                  result.memLevel);
}

OutputOutcome convertToFile(PngOptimizer& optimizer, ConvertRequest& request, const OutputTarget& target,
                            uint16_t* notes)
{
    uint16_t ignoredNotes = 0;
    uint16_t& noted = notes ? *notes : ignoredNotes;
    noted = 0;
    const char* inputPath = target.inputPath;
    const bool fromFile = inputPath != nullptr;
    request.sizeToBeat = fromFile && hasPngExtension(inputPath) ? target.inputSize : kNoSizeToBeat;

    const bool testRun = (target.rules & OUTPUT_TEST_RUN) != 0;
    if (fromFile) {
        const OutputOutcome refusal = derivedNameRefusal(target);
        if (refusal != OutputOutcome::Converted)
            return refusal;
        const Animation animation = request.animation     ? Animation::None
                                    : target.animationKnown ? target.animation
                                                            : probeAnimationFile(inputPath);
        if (animation == Animation::AnimatedGif)
            noted |= CONVERSION_NOTE_FIRST_FRAME;
        if (animation == Animation::AnimatedPng) {
            noted |= CONVERSION_NOTE_ANIMATED_PNG;
            describeUnsearched(request, target.inputSize);
            return copyUnchanged(inputPath, target.outputPath, testRun);
        }
        const uint32_t links = target.outputPath && !(target.rules & OUTPUT_REPLACE_EXISTING) &&
                                       namesInput(inputPath, target.outputPath)
                                   ? fileLinkCount(target.outputPath)
                                   : 1;
        if (links == kUnknownLinkCount)
            return OutputOutcome::Failed;   // the file system could not tell: nothing is risked
        if (links > 1) {
            noted |= CONVERSION_NOTE_HARD_LINKS;
            describeUnsearched(request, target.inputSize);
            return OutputOutcome::NoOutput;
        }
    }
    SavedTimes times;
    if (fromFile && !testRun && (target.rules & OUTPUT_KEEP_TIME_STAMPS))
        times.read(inputPath);

    // Without an output path the optimizer only searches: the test run.
    if (!optimizer.convert(testRun ? nullptr : target.outputPath, request))
        return OutputOutcome::Failed;
    if (testRun)
        request.notWritten = request.fileSize >= request.sizeToBeat ? 1 : 0;

    OutputOutcome outcome = OutputOutcome::Converted;
    if (request.notWritten)
        outcome = fromFile ? copyUnchanged(inputPath, target.outputPath, testRun) : OutputOutcome::NoOutput;
    if (outcome == OutputOutcome::Converted || outcome == OutputOutcome::Copied)
        times.applyTo(target.outputPath);
    return outcome;
}

OutputOutcome convertToMemory(PngOptimizer& optimizer, ConvertRequest& request, const uint8_t* input,
                              uint32_t inputSize, AppendBuffer& png, uint16_t* notes)
{
    uint16_t ignoredNotes = 0;
    uint16_t& noted = notes ? *notes : ignoredNotes;
    noted = 0;
    const uint32_t headBytes = inputSize < kPngSignatureBytes ? inputSize : kPngSignatureBytes;
    const bool pngInput = input && imageFileKind(input, headBytes) == ImageFileKind::Png;
    request.sizeToBeat = pngInput ? inputSize : kNoSizeToBeat;
    const Animation animation =
        input && !request.animation ? probeAnimationMemory(input, inputSize) : Animation::None;
    if (animation == Animation::AnimatedGif)
        noted |= CONVERSION_NOTE_FIRST_FRAME;
    if (animation == Animation::AnimatedPng) {
        noted |= CONVERSION_NOTE_ANIMATED_PNG;
        describeUnsearched(request, inputSize);
    } else if (!optimizer.convertToMemory(png, request)) {
        return OutputOutcome::Failed;
    }
    if (!request.notWritten)
        return OutputOutcome::Converted;
    if (!png.init(inputSize, 0) || !png.append(input, inputSize)) {
        png.release();
        return OutputOutcome::Failed;
    }
    return OutputOutcome::Copied;
}
