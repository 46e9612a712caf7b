#include "app/logic/image_facts.h"

#include <cstdio>

#include "core/path_text.h"

const Msg kInfoRowLabels[kInfoRowCount] = {
    Msg::InfoFileName,   Msg::InfoImageSize,  Msg::InfoAlpha,        Msg::InfoInputSize,
    Msg::InfoOutputSize, Msg::InfoSizeChange, Msg::InfoOutputFormat,
};

namespace {

constexpr const char* kNoValue = "----";

}  // namespace

void formatByteSize(TextString& out, uint32_t bytes)
{
    out.reserve(63);
    std::snprintf(out.buffer(), static_cast<size_t>(out.bufferSize()), uiText(Msg::InfoByteSize), bytes,
                  bytes * (1.0 / 1024));
}

void formatSizeChange(TextString& out, int32_t inputSize, uint32_t outputSize)
{
    if (inputSize == kNoInputSize) {
        out.assign(kNoValue);
        return;
    }
    // Both sizes fit 32 bits unsigned, their difference only in 64 bits signed.
    const long long change = static_cast<long long>(outputSize) - static_cast<uint32_t>(inputSize);
    out.reserve(63);
    std::snprintf(out.buffer(), static_cast<size_t>(out.bufferSize()),
                  uiText(change > 0 ? Msg::InfoGrowth : Msg::InfoShrink), change);
}

void ImageFacts::describeImage(const char* path, int32_t inputSize, int32_t width, int32_t height,
                               bool hasAlpha)
{
    values[ROW_FILE_NAME].assign(inputSize == kNoInputSize ? uiText(Msg::InfoClipboardName) : displayPath(path).c_str());
    values[ROW_IMAGE_SIZE].reserve(63);
    std::snprintf(values[ROW_IMAGE_SIZE].buffer(),
                  static_cast<size_t>(values[ROW_IMAGE_SIZE].bufferSize()), "%d x %d", width, height);
    values[ROW_ALPHA].assign(uiText(hasAlpha ? Msg::InfoAlphaYes : Msg::InfoAlphaNo));
    if (inputSize == kNoInputSize)
        values[ROW_INPUT_SIZE].assign(kNoValue);
    else
        formatByteSize(values[ROW_INPUT_SIZE], static_cast<uint32_t>(inputSize));
    for (int row = ROW_OUTPUT_SIZE; row < kInfoRowCount; ++row)
        values[row].clear();
}

void ImageFacts::describeResult(int32_t inputSize, const ConversionResult& result, const char* extendedChoice)
{
    formatByteSize(values[ROW_OUTPUT_SIZE], result.fileSize);
    formatSizeChange(values[ROW_SIZE_CHANGE], inputSize, result.fileSize);
    if (hasDefaultEncoding(result))
        formatEncodingSummary(values[ROW_OUTPUT_FORMAT], result);
    else
        values[ROW_OUTPUT_FORMAT].assign(extendedChoice && *extendedChoice ? extendedChoice : kNoValue);
}
