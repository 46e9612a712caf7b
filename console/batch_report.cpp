#include "console/batch_report.h"

#include <iterator>

#include <nlohmann/json.hpp>

#include "console/console_switches.h"
#include "console/report_text.h"
#include "core/ui_text.h"
#include "services/conversion.h"
#include "services/folder_text.h"
#include "services/folder_walk.h"

namespace {

using Json = nlohmann::ordered_json;

// Stable names of the engine's choices, indexed by value; each table must
// name every value (a missing one would be a null name).
const char* const kFilterKeys[] = {"none",    "sub",     "up",         "average",   "paeth",
                                   "min_sum", "entropy", "compressed", "compressed_libdeflate"};
const char* const kLayoutKeys[] = {"default", "palette", "grey", "grey_key", "grey_alpha", "rgb", "rgb_key", "rgba"};
const char* const kPaletteOrderKeys[] = {"none", "input", "popularity", "luminance", "neighbour",
                                         "weighted_chain", "connected_chain", "merged_chain", "refined"};
const char* const kEncoderKeys[] = {"zlib", "zlib_filtered", "zlib_huffman", "zlib_rle", "zopfli", "libdeflate"};
static_assert(std::size(kFilterKeys) == kFilterStrategyCount, "a key for every filter strategy");
static_assert(std::size(kLayoutKeys) == kExtendedLayoutCount, "a key for every layout");
static_assert(std::size(kPaletteOrderKeys) == kPaletteOrderCount, "a key for every palette order");
static_assert(std::size(kEncoderKeys) == kDeflateEncoderCount, "a key for every encoder");
static_assert(kFilterChoiceCount <= kFilterStrategyCount, "the filter choices are the first strategies");

template <int Count>
const char* keyOf(const char* const (&keys)[Count], int32_t value)
{
    return value >= 0 && value < Count ? keys[value] : "unknown";
}

// object[key] = name in UTF-8; a name that is no valid text keeps its bytes
// (shown with replacement characters) and gets "<key>_base64" with them exactly.
void putName(Json& object, const char* key, const char* name)
{
    std::string utf8;
    const bool valid = nameToUtf8(name, utf8);
    object[key] = utf8;
    if (!valid)
        object[std::string(key) + "_base64"] = base64(name);
}

const char* resultKey(const ConversionReport& report)
{
    switch (report.status) {
    case ConversionStatus::Converted: return "converted";
    case ConversionStatus::Copied: return "copied";
    case ConversionStatus::Kept: return "kept";
    default: return "failed";
    }
}

// The error text and the cause's key of a failed file.
struct FailureWords {
    const char* text;
    const char* cause;
};

FailureWords failureWords(const ConversionReport& report)
{
    if (report.status == ConversionStatus::Cancelled)
        return {"stopped", "cancelled"};
    switch (report.cause) {
    case ConversionCause::NotFound:
        return {"not found: no file of that name", "not_found"};
    case ConversionCause::NotReadable:
        return {"read error: the input cannot be read", "not_readable"};
    case ConversionCause::NotAnImage:
    case ConversionCause::InputTooLarge:
        return {"read error: not a readable BMP, PNG or GIF image", "not_an_image"};
    case ConversionCause::CopyFailed:
        return {"output error: the input could not be copied to the output", "copy_failed"};
    case ConversionCause::OutputExists:
        return {"output exists: another file has the output's name (-f replaces it)", "output_exists"};
    case ConversionCause::BadAnimation:
        return {"animation error: the animation is damaged; the file is left as it is", "bad_animation"};
    case ConversionCause::SharedOutput:
        return {"output name shared: another input of this run derives the same output name (-f allows it)",
                "shared_output"};
    default:
        return {"output error: the conversion or the output file failed", "cannot_write"};
    }
}

void putEncoding(Json& object, const ConvertRequest& result)
{
    object["bit_depth"] = result.bitDepth;
    object["filter"] = keyOf(kFilterKeys, result.filter);
    object["window_bits"] = result.windowBits;
    object["mem_level"] = result.memLevel;
}

Json extendedOf(const ConvertRequest& result)
{
    Json extended;
    extended["level"] = requestedExtendedLevel(result);
    extended["layout"] = keyOf(kLayoutKeys, result.extendedLayout);
    if (result.extendedLayout != LAYOUT_DEFAULT) {
        extended["depth"] = result.extendedDepth;
        extended["palette_order"] = keyOf(kPaletteOrderKeys, result.paletteOrder);
        extended["filter_strategy"] = keyOf(kFilterKeys, result.filterStrategy);
        extended["encoder"] = keyOf(kEncoderKeys, result.encoder);
        extended["iterations"] = result.encoderIterations;
        extended["parts"] = result.encoderParts;
    }
    return extended;
}

std::string line(const Json& object)
{
    // Names were checked above; anything else invalid is shown, not thrown.
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

ReportStyle reportStyleOf(uint16_t runFlags)
{
    if (runFlags & RUN_JSON)
        return ReportStyle::Json;
    return (runFlags & RUN_QUIET) ? ReportStyle::Quiet : ReportStyle::Text;
}

std::string jsonFileLine(const FolderJob& job, const FileReport& file, bool testRun)
{
    const ConversionReport& report = file.conversion;
    Json object;
    putName(object, "input", job.inputPath.c_str());
    putName(object, "output", job.outputPath.c_str());
    object["result"] = resultKey(report);
    if (report.failed()) {
        const FailureWords words = failureWords(report);
        object["error"] = words.text;
        object["cause"] = words.cause;
    }
    if (report.notes & CONVERSION_NOTE_ANIMATED_PNG)
        object["reason"] = "animated_png";
    else if (report.notes & CONVERSION_NOTE_HARD_LINKS)
        object["reason"] = "hard_links";
    if (report.notes & CONVERSION_NOTE_FIRST_FRAME)
        object["animation"] = "first_frame_only";
    if (report.loaded)
        object["input_bytes"] = report.inputSize;
    if (report.failed()) {
        object["test_run"] = testRun;
        return line(object);
    }
    const bool converted = report.status == ConversionStatus::Converted;
    object["output_bytes"] = converted ? report.result.fileSize : report.inputSize;
    if (!(report.notes & kConversionNotesWithoutSearch)) {
        // What the search found, also when it did not beat the input.
        object["best_bytes"] = report.result.fileSize;
        // The default search's encoding, unless the extended search's file stands
        // instead or no default search ran (-x1).
        if (report.result.extendedLayout == LAYOUT_DEFAULT && hasDefaultEncoding(report.result))
            putEncoding(object, report.result);
        if (report.result.options & OPT_EXTENDED_SEARCH)
            object["extended"] = extendedOf(report.result);
        if (report.result.frames > 0)
            object["frames"] = report.result.frames;
    }
    if (report.chunksSelected) {
        object["kept_chunks"] = report.keptChunks;
        if (!report.droppedChunks.empty())
            object["dropped_chunks"] = report.droppedChunks;
    }
    if (report.cleanAlpha)
        object["clean_alpha"] = true;
    object["test_run"] = testRun;
    return line(object);
}

void BatchTally::add(const FileReport& file)
{
    const ConversionReport& report = file.conversion;
    switch (report.status) {
    case ConversionStatus::Converted:
        ++converted;
        outputBytes += report.result.fileSize;
        change += report.sizeChange();
        break;
    case ConversionStatus::Copied:
        ++copied;
        outputBytes += report.inputSize;
        break;
    case ConversionStatus::Kept:
        ++kept;
        outputBytes += report.inputSize;
        break;
    default:
        ++failed;
        break;
    }
    if (report.loaded)
        inputBytes += report.inputSize;
}

std::string jsonSummaryLine(const BatchTally& tally, bool testRun)
{
    Json summary;
    summary["files"] = tally.processed() + tally.failed;
    summary["converted"] = tally.converted;
    summary["copied"] = tally.copied;
    summary["kept"] = tally.kept;
    summary["failed"] = tally.failed;
    summary["input_bytes"] = tally.inputBytes;
    summary["output_bytes"] = tally.outputBytes;
    summary["change_bytes"] = tally.change;
    summary["test_run"] = testRun;
    Json object;
    object["summary"] = summary;
    return line(object);
}

void printFileReport(FILE* out, ReportStyle style, const FolderJob& job, const FileReport& file, bool testRun)
{
    if (style == ReportStyle::Json) {
        std::fputs(jsonFileLine(job, file, testRun).c_str(), out);
        std::fputc('\n', out);
    } else if (style == ReportStyle::Text || file.conversion.failed()) {
        std::fputs(file.line.c_str(), out);
        std::fputc('\n', out);
    }
    std::fflush(out);
}

void printSummary(FILE* out, ReportStyle style, const BatchTally& tally, bool testRun)
{
    if (style == ReportStyle::Quiet)
        return;
    if (style == ReportStyle::Json) {
        std::fputs(jsonSummaryLine(tally, testRun).c_str(), out);
    } else {
        TextString summary;
        formatFolderSummary(summary, tally.processed(), tally.failed, tally.change);
        std::fputs(summary.c_str(), out);
    }
    std::fputc('\n', out);
    if (style == ReportStyle::Text && testRun)
        std::fputs(uiText(Msg::TestRunLine), out);
    std::fflush(out);
}
