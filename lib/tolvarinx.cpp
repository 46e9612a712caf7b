// The C interface over the engine: every call is one conversion through the
// engine's conversion unit (load, request, convertToFile or convertToMemory
// with their output rules) on an optimizer of its own, so calls share
// nothing but the engine's worker pool.

#include "lib/tolvarinx.h"

#include <cstdlib>
#include <new>
#include <cstring>
#include <type_traits>

#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/file_handle.h"
#include "core/image_loader.h"
#include "core/shared_flag.h"
#include "core/size_limits.h"
#include "services/conversion.h"
#include "engine/png_optimizer.h"

// The public option bits are the engine's, under public names.
static_assert(TLVX_OPT_NO_FILTER_COMPARE == OPT_NO_FILTER_COMPARE, "option bit");
static_assert(TLVX_OPT_NO_DEFLATE_COMPARE == OPT_NO_DEFLATE_COMPARE, "option bit");
static_assert(TLVX_OPT_NO_8BIT_COMPARE == OPT_NO_8BIT_COMPARE, "option bit");
static_assert(TLVX_OPT_EXTENDED_SEARCH == OPT_EXTENDED_SEARCH, "option bit");
static_assert(TLVX_OPT_ALL == kConvertOptionBits, "every bit a request takes has a public name");
// The caller's cancel flag is read as the engine reads its own.
static_assert(std::is_same<decltype(tlvx_settings::cancel), decltype(ConvertRequest::cancelFlag)>::value,
              "cancel flag");

namespace {

// The most zopfli iterations a caller may ask for, as the console's -xi.
constexpr int kMaxExtendedIterations = 1000;

const tlvx_settings kDefaultSettings = {};

bool validSettings(const tlvx_settings& settings)
{
    return (settings.options & ~TLVX_OPT_ALL) == 0 && settings.extended_iterations >= 0 &&
           settings.extended_iterations <= kMaxExtendedIterations;
}

bool callerCancelled(const tlvx_settings& settings)
{
    return settings.cancel && loadSharedFlag(settings.cancel) != 0;
}

// The engine clears its cancel flag when a conversion starts, so it gets a
// flag of the call's own: the caller's flag is only read, before the work
// and at every progress event, where a set flag is passed on. A cancel is
// never lost and the caller's memory is never written.
struct CallControl {
    const tlvx_settings& settings;
    volatile int16_t engineFlag = 0;
};

void forwardProgress(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter, int32_t size,
                     void* userData)
{
    CallControl& control = *static_cast<CallControl*>(userData);
    if (callerCancelled(control.settings))
        storeSharedFlag(&control.engineFlag, 1);
    if (control.settings.progress)
        control.settings.progress(bitDepth, windowBits, memLevel, filter, size, control.settings.user_data);
}

tlvx_outcome publicOutcome(OutputOutcome outcome)
{
    switch (outcome) {
    case OutputOutcome::Converted:
        return TLVX_OUTCOME_CONVERTED;
    case OutputOutcome::Copied:
        return TLVX_OUTCOME_COPIED;
    case OutputOutcome::NoOutput:
        return TLVX_OUTCOME_KEPT;
    default:
        return TLVX_OUTCOME_NONE;
    }
}

void fillResult(tlvx_result& result, OutputOutcome outcome, uint32_t inputSize, const ConvertRequest& request)
{
    const ConversionResult found = conversionResultOf(request);
    result.outcome = publicOutcome(outcome);
    result.input_bytes = inputSize;
    result.output_bytes = outcome == OutputOutcome::Converted ? found.fileSize : inputSize;
    result.png_bytes = found.fileSize;
    result.bit_depth = found.bitDepth;
    result.filter = found.filter;
    result.window_bits = found.windowBits;
    result.mem_level = found.memLevel;
}

// The image of a call as the loader gave it.
struct CallInput {
    DibImage image;
    int32_t transparentColour = -1;
    AppendBuffer colourChunks;
};

// Runs load (true when the input is a readable image) between two looks at
// the caller's cancel flag.
template <typename Load>
tlvx_status loadCallInput(const tlvx_settings& settings, Load load)
{
    if (callerCancelled(settings))
        return TLVX_ERROR_CANCELLED;
    if (!load())
        return TLVX_ERROR_READ;
    return callerCancelled(settings) ? TLVX_ERROR_CANCELLED : TLVX_OK;
}

// The request of a call: the image, the options, and the progress and
// cancel hooks that go through control.
void prepareRequest(ConvertRequest& request, const CallInput& in, uint16_t options, CallControl& control)
{
    fillConvertRequest(request, in.image, in.transparentColour, options, &in.colourChunks);
    request.extendedIterations = control.settings.extended_iterations;
    request.callback = forwardProgress;
    request.userData = &control;
    request.cancelFlag = &control.engineFlag;
}

// One file conversion under the engine's output rules; result is filled on TLVX_OK.
tlvx_status convertFile(const char* inputPath, const char* outputPath, const tlvx_settings& settings,
                        tlvx_result& result)
{
    const uint16_t options = static_cast<uint16_t>(settings.options);
    CallInput in;
    const tlvx_status loaded = loadCallInput(settings, [&] {
        return loadConversionInput(inputPath, options, in.image, in.transparentColour, in.colourChunks);
    });
    if (loaded != TLVX_OK)
        return loaded;

    CallControl control{settings};
    ConvertRequest request;
    prepareRequest(request, in, options, control);

    OutputTarget target;
    target.inputPath = inputPath;
    target.inputSize = fileSizeByName(inputPath);
    target.outputPath = outputPath;
    PngOptimizer optimizer;
    const OutputOutcome outcome = convertToFile(optimizer, request, target);
    switch (outcome) {
    case OutputOutcome::Failed:
        return callerCancelled(settings) ? TLVX_ERROR_CANCELLED : TLVX_ERROR_CONVERT;
    case OutputOutcome::CopyFailed:
    case OutputOutcome::OutputExists:
    case OutputOutcome::SharedOutput:
        return TLVX_ERROR_WRITE;
    default:
        fillResult(result, outcome, target.inputSize, request);
        return TLVX_OK;
    }
}

// The memory conversion: loaded from the bytes, converted into memory under
// the memory rule (convertToMemory: a PNG input is replaced only by a
// strictly smaller PNG, else returned unchanged). No file is touched.
tlvx_status convertMemory(const uint8_t* input, size_t inputSize, const tlvx_settings& settings,
                          unsigned char*& output, size_t& outputSize, tlvx_result& result)
{
    // Nothing larger is an image the readers take.
    if (inputSize > kMaxBlockBytes)
        return TLVX_ERROR_READ;
    const uint32_t size = static_cast<uint32_t>(inputSize);
    const uint16_t options = static_cast<uint16_t>(settings.options);
    CallInput in;
    const tlvx_status loaded = loadCallInput(settings, [&] {
        return loadConversionMemory(input, size, options, in.image, in.transparentColour, in.colourChunks);
    });
    if (loaded != TLVX_OK)
        return loaded;

    CallControl control{settings};
    ConvertRequest request;
    prepareRequest(request, in, options, control);
    PngOptimizer optimizer;
    AppendBuffer png;
    const OutputOutcome outcome = convertToMemory(optimizer, request, input, size, png);
    if (outcome == OutputOutcome::Failed)
        return callerCancelled(settings) ? TLVX_ERROR_CANCELLED : TLVX_ERROR_CONVERT;
    // The caller frees the block with tlvx_free, so it comes from malloc.
    unsigned char* block = static_cast<unsigned char*>(std::malloc(png.used > 0 ? png.used : 1));
    if (!block)
        return TLVX_ERROR_MEMORY;
    std::memcpy(block, png.data, png.used);
    output = block;
    outputSize = png.used;
    fillResult(result, outcome, size, request);
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
    default:
        return "unknown status";
    }
}

TLVX_API int tlvx_convert_memory(const void* input, size_t input_size, const tlvx_settings* settings,
                                 unsigned char** output, size_t* output_size, tlvx_result* result)
{
    if (output)
        *output = nullptr;
    if (output_size)
        *output_size = 0;
    const tlvx_settings& chosen = settings ? *settings : kDefaultSettings;
    if (!input || input_size == 0 || !output || !output_size || !validSettings(chosen))
        return guarded(result, [](tlvx_result&) { return TLVX_ERROR_ARGUMENT; });
    return guarded(result, [&](tlvx_result& local) {
        return convertMemory(static_cast<const uint8_t*>(input), input_size, chosen, *output, *output_size, local);
    });
}

TLVX_API int tlvx_convert_file(const char* input_path, const char* output_path, const tlvx_settings* settings,
                               tlvx_result* result)
{
    const tlvx_settings& chosen = settings ? *settings : kDefaultSettings;
    if (!input_path || !*input_path || !output_path || !*output_path || !validSettings(chosen))
        return guarded(result, [](tlvx_result&) { return TLVX_ERROR_ARGUMENT; });
    return guarded(result, [&](tlvx_result& local) { return convertFile(input_path, output_path, chosen, local); });
}

TLVX_API void tlvx_free(void* data)
{
    std::free(data);
}

}  // extern "C"
