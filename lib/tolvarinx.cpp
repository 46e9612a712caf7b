// The C interface over the conversion service: every call is one conversion
// (services/image_conversion.h) on an optimizer of its own, so calls share
// nothing but the engine's worker pool.

#include "lib/tolvarinx.h"

#include <cstdlib>
#include <new>
#include <string>
#include <cstring>
#include <type_traits>

#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/file_handle.h"
#include "core/image_loader.h"
#include "core/kept_chunks.h"
#include "core/shared_flag.h"
#include "core/size_limits.h"
#include "services/image_conversion.h"
#include "services/worker_threads.h"
#include "engine/png_optimizer.h"

// The public option bits are the engine's, under public names.
static_assert(TLVX_OPT_NO_FILTER_COMPARE == OPT_NO_FILTER_COMPARE, "option bit");
static_assert(TLVX_OPT_NO_DEFLATE_COMPARE == OPT_NO_DEFLATE_COMPARE, "option bit");
static_assert(TLVX_OPT_NO_8BIT_COMPARE == OPT_NO_8BIT_COMPARE, "option bit");
static_assert(TLVX_OPT_EXTENDED_SEARCH == OPT_EXTENDED_SEARCH, "option bit");
static_assert(TLVX_OPT_ALL == (kConvertOptionBits & ~OPT_CLEAN_ALPHA), "every bit a request takes has a public name");
static_assert((TLVX_OPT_ANIMATE_GIF & (TLVX_OPT_ALL | TLVX_OPT_EXTENDED_LEVEL_MASK)) == 0, "a bit of its own");
static_assert((TLVX_OPT_CLEAN_ALPHA & (TLVX_OPT_ALL | TLVX_OPT_EXTENDED_LEVEL_MASK | TLVX_OPT_ANIMATE_GIF)) == 0,
              "a bit of its own");
static_assert(TLVX_MAX_EXTENDED_ITERATIONS == kMaxExtendedIterations, "one bound of the iterations");
// The public levels are the engine's; the field holds every one of them and no option bit.
static_assert(TLVX_EXTENDED_LEVEL_FAST == EXTENDED_LEVEL_FAST && TLVX_EXTENDED_LEVEL_BALANCED == EXTENDED_LEVEL_BALANCED &&
                  TLVX_EXTENDED_LEVEL_MAX == EXTENDED_LEVEL_MAX && TLVX_EXTENDED_LEVEL_MAX == kMaxExtendedLevel &&
                  TLVX_EXTENDED_LEVEL_FAST == kMinExtendedLevel,
              "extended level");
static_assert(TLVX_OPT_EXTENDED_LEVEL(kMaxExtendedLevel) == TLVX_OPT_EXTENDED_LEVEL_MASK &&
                  (TLVX_OPT_EXTENDED_LEVEL_MASK & TLVX_OPT_ALL) == 0,
              "the level field");
// The caller's cancel flag is read as the engine reads its own.
static_assert(std::is_same<decltype(tlvx_settings::cancel), decltype(ConvertRequest::cancelFlag)>::value,
              "cancel flag");

namespace {

const tlvx_settings kDefaultSettings = {};

bool validSettings(const tlvx_settings& settings)
{
    return (settings.options &
            ~(TLVX_OPT_ALL | TLVX_OPT_EXTENDED_LEVEL_MASK | TLVX_OPT_ANIMATE_GIF | TLVX_OPT_CLEAN_ALPHA)) == 0 &&
           settings.extended_iterations >= 0 && settings.extended_iterations <= kMaxExtendedIterations;
}

// The caller's progress function, given the engine's numbers as they came.
class CallerProgress : public ProgressSink {
public:
    explicit CallerProgress(const tlvx_settings& settings) : settings_(settings) {}
    void onProgress(const ProgressEvent& event) override
    {
        if (settings_.progress)
            settings_.progress(event.bitDepth, event.windowBits, event.memLevel, event.filter, event.size,
                               settings_.user_data);
    }

private:
    const tlvx_settings& settings_;
};

// The status of a conversion that did not succeed, by its cause. A file call's
// failed conversion is its output's; a memory call has no output to fail.
tlvx_status failureStatus(const ConversionReport& report, bool toFile)
{
    if (report.status == ConversionStatus::Cancelled)
        return TLVX_ERROR_CANCELLED;
    switch (report.cause) {
    case ConversionCause::NotFound:
        return TLVX_ERROR_NOT_FOUND;
    case ConversionCause::NotReadable:
        return TLVX_ERROR_NOT_READABLE;
    case ConversionCause::NotAnImage:
    case ConversionCause::InputTooLarge:
    case ConversionCause::BadAnimation:
        return TLVX_ERROR_READ;
    case ConversionCause::CopyFailed:
    case ConversionCause::OutputExists:
    case ConversionCause::SharedOutput:
        return TLVX_ERROR_WRITE;
    default:
        return toFile ? TLVX_ERROR_WRITE : TLVX_ERROR_CONVERT;
    }
}

void fillResult(tlvx_result& result, const ConversionReport& report)
{
    const ConversionResult found = conversionResultOf(report.result);
    result.outcome = report.status == ConversionStatus::Converted ? TLVX_OUTCOME_CONVERTED
                     : report.status == ConversionStatus::Copied  ? TLVX_OUTCOME_COPIED
                                                                  : TLVX_OUTCOME_KEPT;
    result.input_bytes = report.inputSize;
    result.output_bytes = report.status == ConversionStatus::Converted ? found.fileSize : report.inputSize;
    result.png_bytes = found.fileSize;
    result.bit_depth = found.bitDepth;
    result.filter = found.filter;
    result.window_bits = found.windowBits;
    result.mem_level = found.memLevel;
}

// One conversion of a call: loaded by load (which takes the conversion and
// the option bits), converted into output, result filled on TLVX_OK.
// The chunks a call keeps: none for NULL or an empty list; false for a bad list.
bool keptChunksOf(const char* list, ChunkSelection& selection)
{
    std::string badWord;
    selection = ChunkSelection();
    return !list || !*list || parseChunkSelection(list, selection, badWord);
}

template <typename Load>
tlvx_status convertCall(const tlvx_settings& settings, const ChunkSelection& keep, const ConversionOutput& output,
                        tlvx_result& result, Load load)
{
    CallerProgress progress(settings);
    ImageConversion conversion;
    conversion.setProgress(&progress, settings.cancel);
    ConversionSettings chosen;
    chosen.options = static_cast<uint16_t>((settings.options & TLVX_OPT_ALL) |
                                           ((settings.options & TLVX_OPT_CLEAN_ALPHA) ? OPT_CLEAN_ALPHA : 0));
    chosen.keepChunks = keep;
    chosen.extendedLevel =
        static_cast<int32_t>((settings.options & TLVX_OPT_EXTENDED_LEVEL_MASK) >> TLVX_OPT_EXTENDED_LEVEL_SHIFT);
    chosen.extendedIterations = settings.extended_iterations;
    chosen.animateGif = (settings.options & TLVX_OPT_ANIMATE_GIF) != 0;
    if (settings.cancel && loadSharedFlag(settings.cancel) != 0)
        return TLVX_ERROR_CANCELLED;
    if (!load(conversion, chosen.options))
        return failureStatus(conversion.report(), output.path != nullptr);
    // TOLVARINX_THREADS, when set, overrides tlvx_set_threads (tolvarinx.h).
    if (const unsigned fromEnvironment = workerThreadsFromEnvironment())
        setWorkerThreadCount(fromEnvironment);
    PngOptimizer optimizer;
    const ConversionReport& report = conversion.convert(optimizer, output, chosen);
    if (report.failed())
        return failureStatus(report, output.path != nullptr);
    fillResult(result, report);
    return TLVX_OK;
}

// One file conversion under the output rules of the console's -i IN -o OUT.
tlvx_status convertFile(const char* inputPath, const char* outputPath, const tlvx_settings& settings,
                        const ChunkSelection& keep, tlvx_result& result)
{
    ConversionOutput output;
    output.path = outputPath;
    return convertCall(settings, keep, output, result, [&](ImageConversion& conversion, uint16_t options) {
        return conversion.loadFile(inputPath, options);
    });
}

// The memory conversion: a PNG input, recognised by content, is replaced
// only by a strictly smaller PNG, else returned unchanged. No file is touched.
tlvx_status convertMemory(const uint8_t* input, size_t inputSize, const tlvx_settings& settings,
                          const ChunkSelection& keep, unsigned char*& output, size_t& outputSize,
                          tlvx_result& result)
{
    // Nothing larger is an image the readers take.
    if (inputSize > kMaxBlockBytes)
        return TLVX_ERROR_READ;
    AppendBuffer png;
    ConversionOutput target;
    target.memory = &png;
    const tlvx_status status = convertCall(settings, keep, target, result, [&](ImageConversion& conversion, uint16_t options) {
        return conversion.loadMemory(input, static_cast<uint32_t>(inputSize), options);
    });
    if (status != TLVX_OK)
        return status;
    // The caller frees the block with tlvx_free, so it comes from malloc.
    unsigned char* block = static_cast<unsigned char*>(std::malloc(png.used > 0 ? png.used : 1));
    if (!block)
        return TLVX_ERROR_MEMORY;
    std::memcpy(block, png.data, png.used);
    output = block;
    outputSize = png.used;
    return TLVX_OK;
}

// Runs a conversion behind the C boundary: no exception crosses it, and a
// failure leaves a zeroed result.
template <typename Conversion>
int guarded(tlvx_result* result, Conversion conversion)
{
    tlvx_result local = {};
    tlvx_status status;
    try {
        status = conversion(local);
    } catch (const std::bad_alloc&) {
        status = TLVX_ERROR_MEMORY;
    } catch (...) {
        status = TLVX_ERROR_CONVERT;
    }
    if (status != TLVX_OK)
        local = tlvx_result{};
    if (result)
        *result = local;
    return status;
}

}  // namespace

extern "C" {

TLVX_API const char* tlvx_version(void)
{
    return TOLVARINX_VERSION;
}

TLVX_API const char* tlvx_status_text(int status)
{
    switch (status) {
    case TLVX_OK:
        return "success";
    case TLVX_ERROR_ARGUMENT:
        return "invalid argument";
    case TLVX_ERROR_READ:
        return "the input is not a readable BMP, PNG or GIF image";
    case TLVX_ERROR_CONVERT:
        return "the conversion failed";
    case TLVX_ERROR_WRITE:
        return "the output could not be written";
    case TLVX_ERROR_CANCELLED:
        return "the conversion was cancelled";
    case TLVX_ERROR_MEMORY:
        return "out of memory";
    case TLVX_ERROR_NOT_FOUND:
        return "the input file does not exist";
    case TLVX_ERROR_NOT_READABLE:
        return "the input file cannot be read";
    default:
        return "unknown status";
    }
}

TLVX_API int tlvx_convert_memory(const void* input, size_t input_size, const tlvx_settings* settings,
                                 unsigned char** output, size_t* output_size, tlvx_result* result)
{
    return tlvx_convert_memory_keeping(input, input_size, settings, nullptr, output, output_size, result);
}

TLVX_API int tlvx_convert_file(const char* input_path, const char* output_path, const tlvx_settings* settings,
                               tlvx_result* result)
{
    return tlvx_convert_file_keeping(input_path, output_path, settings, nullptr, result);
}

TLVX_API int tlvx_convert_memory_keeping(const void* input, size_t input_size, const tlvx_settings* settings,
                                         const char* keep_chunks, unsigned char** output, size_t* output_size,
                                         tlvx_result* result)
{
    if (output)
        *output = nullptr;
    if (output_size)
        *output_size = 0;
    const tlvx_settings& chosen = settings ? *settings : kDefaultSettings;
    ChunkSelection keep;
    if (!input || input_size == 0 || !output || !output_size || !validSettings(chosen) ||
        !keptChunksOf(keep_chunks, keep))
        return guarded(result, [](tlvx_result&) { return TLVX_ERROR_ARGUMENT; });
    return guarded(result, [&](tlvx_result& local) {
        return convertMemory(static_cast<const uint8_t*>(input), input_size, chosen, keep, *output, *output_size,
                             local);
    });
}

TLVX_API int tlvx_convert_file_keeping(const char* input_path, const char* output_path,
                                       const tlvx_settings* settings, const char* keep_chunks,
                                       tlvx_result* result)
{
    const tlvx_settings& chosen = settings ? *settings : kDefaultSettings;
    ChunkSelection keep;
    if (!input_path || !*input_path || !output_path || !*output_path || !validSettings(chosen) ||
        !keptChunksOf(keep_chunks, keep))
        return guarded(result, [](tlvx_result&) { return TLVX_ERROR_ARGUMENT; });
    return guarded(result,
                   [&](tlvx_result& local) { return convertFile(input_path, output_path, chosen, keep, local); });
}

TLVX_API unsigned tlvx_set_threads(unsigned count)
{
    return setWorkerThreadCount(count);
}

TLVX_API void tlvx_free(void* data)
{
    std::free(data);
}

}  // extern "C"
