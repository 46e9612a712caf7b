#include "console/batch_report.h"

#include <iterator>

#include <nlohmann/json.hpp>

#include "console/console_switches.h"
#include "console/report_text.h"
#include "services/folder_text.h"
#include "services/folder_walk.h"

namespace {

using Json = nlohmann::ordered_json;

// Stable names of the engine's choices, indexed by value; each table must
// name every value (a missing one would be a null name).
const char* const kFilterKeys[] = {"none",    "sub",     "up",         "average",   "paeth",
                                   "min_sum", "entropy", "compressed", "compressed_libdeflate"};
const char* const kLayoutKeys[] = {"default", "palette", "grey", "grey_key", "grey_alpha", "rgb", "rgb_key", "rgba"};
const char* const kPaletteOrderKeys[] = {"none", "input", "popularity", "luminance", "neighbour"};
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
    const bool valid = systemTextToUtf8(name, utf8);
    object[key] = utf8;
    if (!valid)
        object[std::string(key) + "_base64"] = base64(name);
}

const char* resultKey(const FileReport& file)
{
    switch (file.outcome) {
    case FolderFileOutcome::Converted: return "converted";
    case FolderFileOutcome::Copied: return "copied";
    case FolderFileOutcome::NoOutput: return "kept";
    default: return "failed";
    }
}

const char* failureText(const FileReport& file)
{
    if (file.outcome == FolderFileOutcome::Refused && file.outputOutcome == OutputOutcome::SharedOutput)
        return "output name shared: another input of this run derives the same output name (-f allows it)";
    if (file.outcome == FolderFileOutcome::Refused)
        return "output exists: another file has the output's name (-f replaces it)";
    if (file.outcome == FolderFileOutcome::ReadError)
        return "read error: not a readable BMP, PNG or GIF image";
    if (file.outcome == FolderFileOutcome::Stopped)
        return "stopped";
    if (file.outcome == FolderFileOutcome::Failed && file.outputOutcome == OutputOutcome::CopyFailed)
        return "output error: the input could not be copied to the output";
    return "output error: the conversion or the output file failed";
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

bool isFailure(FolderFileOutcome outcome)
{
    return outcome == FolderFileOutcome::ReadError || outcome == FolderFileOutcome::Failed ||
           outcome == FolderFileOutcome::Stopped || outcome == FolderFileOutcome::Refused;
}

std::string jsonFileLine(const FolderJob& job, const FileReport& file, bool testRun)
{
    Json object;
    putName(object, "input", job.inputPath.c_str());
    putName(object, "output", job.outputPath.c_str());
    object["result"] = resultKey(file);
    if (isFailure(file.outcome))
        object["error"] = failureText(file);
    if (file.outcome == FolderFileOutcome::Refused)
        object["cause"] = file.outputOutcome == OutputOutcome::SharedOutput ? "shared_output" : "output_exists";
    if (file.notes & CONVERSION_NOTE_ANIMATED_PNG)
        object["reason"] = "animated_png";
    else if (file.notes & CONVERSION_NOTE_HARD_LINKS)
        object["reason"] = "hard_links";
    if (file.notes & CONVERSION_NOTE_FIRST_FRAME)
        object["animation"] = "first_frame_only";
    if (file.outcome != FolderFileOutcome::ReadError)
        object["input_bytes"] = file.inputSize;
    if (!isFailure(file.outcome)) {
        const bool converted = file.outcome == FolderFileOutcome::Converted;
        object["output_bytes"] = converted ? file.result.fileSize : file.inputSize;
    }
    if (!isFailure(file.outcome) && !(file.notes & kConversionNotesWithoutSearch)) {
        // What the search found, also when it did not beat the input.
        object["best_bytes"] = file.result.fileSize;
        putEncoding(object, file.result);
        if (file.result.options & OPT_EXTENDED_SEARCH)
            object["extended"] = extendedOf(file.result);
    }
    object["test_run"] = testRun;
    return line(object);
}

void BatchTally::add(const FileReport& file)
{
    switch (file.outcome) {
    case FolderFileOutcome::Converted:
        ++converted;
        outputBytes += file.result.fileSize;
        change += static_cast<int64_t>(file.result.fileSize) - static_cast<int64_t>(file.inputSize);
        break;
    case FolderFileOutcome::Copied:
        ++copied;
        outputBytes += file.inputSize;
        break;
    case FolderFileOutcome::NoOutput:
        ++kept;
        outputBytes += file.inputSize;
        break;
    default:
        ++failed;
        break;
    }
    if (file.outcome != FolderFileOutcome::ReadError)
        inputBytes += file.inputSize;
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
    } else if (style == ReportStyle::Text || isFailure(file.outcome)) {
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
    std::fflush(out);
}
