#include "app/logic/image_facts.h"

#include <cstdio>

#include "core/path_text.h"

const char* const kInfoRowLabels[kInfoRowCount] = {
    "ﾌｧｲﾙ名", "画像ｻｲｽﾞ", "ｱﾙﾌｧ有無", "入力ｻｲｽﾞ", "出力ｻｲｽﾞ", "増減ｻｲｽﾞ", "出力形式",
};

namespace {

constexpr const char* kClipboardName = "<ｸﾘｯﾌﾟﾎﾞｰﾄﾞ>";
constexpr const char* kNoValue = "----";

}  // namespace

void formatByteSize(TextString& out, uint32_t bytes)
{
    out.reserve(63);
    std::snprintf(out.buffer(), static_cast<size_t>(out.bufferSize()), "%uByte (%.2fKB)", bytes,
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
                  change > 0 ? "+%lldByte" : "%lldByte", change);
}

void ImageFacts::describeImage(const char* path, int32_t inputSize, int32_t width, int32_t height,
                               bool hasAlpha)
{
    values[ROW_FILE_NAME].assign(inputSize == kNoInputSize ? kClipboardName : displayPath(path).c_str());
    values[ROW_IMAGE_SIZE].reserve(63);
    std::snprintf(values[ROW_IMAGE_SIZE].buffer(),
                  static_cast<size_t>(values[ROW_IMAGE_SIZE].bufferSize()), "%d x %d", width, height);
    values[ROW_ALPHA].assign(hasAlpha ? "○あり" : "×なし");
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
