#include "console/console_run.h"

#include "console/command_line_scanner.h"
#include "core/dib_image.h"
#include "core/file_handle.h"
#include "core/image_loader.h"
#include "core/replacing_file.h"
#include "engine/png_optimizer.h"

namespace {

// Paths and messages go out as plain text: a '%' in a path is no format.
void print(FILE* out, const char* text)
{
    std::fputs(text, out);
}

// True when both paths name one file: equal names under the platform's
// case-insensitive comparison, or two names of the same existing file.
bool isSameOutput(const TextString& inputPath, const TextString& outputPath)
{
    return inputPath.compareNoCase(outputPath.c_str()) == 0 ||
           isSameFile(inputPath.c_str(), outputPath.c_str());
}

// The size to beat: a PNG input (by name) is replaced only by a smaller file.
uint32_t sizeToBeatFor(const TextString& inputPath, uint32_t inputSize)
{
    TextString extension;
    inputPath.getExtension(extension);
    return extension.compareNoCase("png") == 0 ? inputSize : 0xFFFFFFFFu;
}

// The input's time stamps, read when "-ts" asks for them.
struct SourceTimes {
    bool valid = false;
    FileTime creation = 0;
    FileTime lastAccess = 0;
    FileTime lastWrite = 0;

    void read(const char* path)
    {
        valid = getFileTimes(path, &creation, &lastAccess, &lastWrite);
    }
    // A failed open of the target is not reported: the output itself is fine.
    void applyTo(const char* path) const
    {
        if (valid)
            setFileTimes(path, &creation, &lastAccess, &lastWrite);
    }
};

} // namespace

void printTrialProgress(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter,
                        int32_t size, void* userData)
{
    if (bitDepth >= 0 || size >= 0)
        return;
    FILE* out = userData != nullptr ? static_cast<FILE*>(userData) : stdout;
    std::fputc('.', out);
    std::fflush(out);
}

bool readConsoleOptions(const char* commandLine, ConsoleOptions& options, FILE* out)
{
    options.runFlags = 0;
    CommandLineScanner scanner;
    scanner.setup('-', commandLine);

    scanner.getValue("i", options.inputPath, "");
    if (options.inputPath.isEmpty()) {
        print(out, "-iで入力ﾌｧｲﾙを指定してください");
        std::fflush(out);
        return false;
    }
    if (!fileExists(options.inputPath.c_str())) {
        print(out, options.inputPath.c_str());
        print(out, " が存在しません");
        std::fflush(out);
        return false;
    }

    scanner.getValue("o", options.outputPath, "");
    if (options.outputPath.isEmpty()) {
        // Without an extension in the file name the output is the input itself.
        options.outputPath.assign(options.inputPath.c_str());
        options.outputPath.replaceExtension("png");
    }

    if (scanner.hasSwitch("nf"))
        options.runFlags |= RUN_NO_FILTER_COMPARE;
    if (scanner.hasSwitch("nd"))
        options.runFlags |= RUN_NO_DEFLATE_COMPARE;
    if (scanner.hasSwitch("nc"))
        options.runFlags |= RUN_NO_8BIT_COMPARE;
    if (scanner.hasSwitch("ts"))
        options.runFlags |= RUN_TIME_STAMPS;
    return true;
}

int runConversion(const ConsoleOptions& options, FILE* out)
{
    const char* inputPath = options.inputPath.c_str();
    const char* outputPath = options.outputPath.c_str();

    print(out, "input: ");
    print(out, inputPath);
    print(out, "\noutput: ");
    print(out, outputPath);
    print(out, "\n\n");
    std::fflush(out);

    const bool sameFile = isSameOutput(options.inputPath, options.outputPath);

    DibImage image;
    int32_t transparentColour = -1;
    if (!loadImageFile(image, inputPath, transparentColour)) {
        print(out, "<read error>\n");
        std::fflush(out);
        return CONSOLE_EXIT_FAILURE;
    }

    const uint32_t inputSize = fileSizeByName(inputPath);
    SourceTimes times;
    if (options.runFlags & RUN_TIME_STAMPS)
        times.read(inputPath);

    volatile int16_t cancelFlag = 0;
    ConvertRequest request;
    request.pixels = image.bits;
    request.width = image.width;
    request.height = image.height;
    request.hasAlpha = image.hasAlpha;
    request.transparentColour = transparentColour;
    request.options = options.runFlags & RUN_CONVERT_OPTION_MASK;
    request.callback = printTrialProgress;
    request.userData = out;
    request.cancelFlag = &cancelFlag;
    request.sizeToBeat = sizeToBeatFor(options.inputPath, inputSize);

    PngOptimizer optimizer;
    if (!optimizer.convert(outputPath, request)) {
        print(out, "<出力エラー>\n");
        std::fflush(out);
        return CONSOLE_EXIT_FAILURE;
    }
    print(out, "\n\n");

    if (request.notWritten) {
        if (sameFile) {
            print(out, "<ｻｲｽﾞが増えたため出力なし>\n");
        } else if (!copyFileReplacing(inputPath, outputPath)) {
            // The target is unchanged; saying it was copied would be false.
            print(out, "<出力エラー>\n");
            std::fflush(out);
            return CONSOLE_EXIT_FAILURE;
        } else {
            print(out, "<ｻｲｽﾞが増えたためそのままｺﾋﾟｰ>\n");
            times.applyTo(outputPath);
        }
        std::fflush(out);
        return CONSOLE_EXIT_SUCCESS;
    }

    times.applyTo(outputPath);
    print(out, "<result>\n");
    std::fprintf(out, "insize: %u\n", static_cast<unsigned>(inputSize));
    const int64_t change = static_cast<int64_t>(request.fileSize) - static_cast<int64_t>(inputSize);
    std::fprintf(out, "outsize: %u (%+d)\n", static_cast<unsigned>(request.fileSize), static_cast<int>(change));
    std::fprintf(out, "出力形式: %dBIT filter %d zw %d zm %d\n", static_cast<int>(request.bitDepth),
                 static_cast<int>(request.filter), static_cast<int>(request.windowBits),
                 static_cast<int>(request.memLevel));
    std::fflush(out);
    return CONSOLE_EXIT_SUCCESS;
}

int runConsole(int argc, const char* commandLine, FILE* out)
{
    if (argc < 2) {
        print(out, "[usage]\n");
        print(out, "-i [input] [-o [output]] ...\n");
        std::fflush(out);
        // Nothing was converted: a script calling without arguments made a mistake.
        return CONSOLE_EXIT_FAILURE;
    }
    ConsoleOptions options;
    if (!readConsoleOptions(commandLine, options, out))
        return CONSOLE_EXIT_FAILURE;
    return runConversion(options, out);
}
