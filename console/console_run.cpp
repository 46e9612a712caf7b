#include "console/console_run.h"

#include "console/command_line_scanner.h"
#include "console/file_list_mode.h"
#include "console/folder_batch.h"
#include "console/report_text.h"
#include "console/terminal.h"
#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/file_handle.h"
#include "services/conversion.h"
#include "services/extended_report.h"

namespace {

// Paths and messages go out as plain text: a '%' in a path is no format.
void print(FILE* out, const char* text)
{
    std::fputs(text, out);
}

const char kHelpText[] =
    "usage:\n"
    "  tolvarinxc -i INPUT [-o OUTPUT] [-nf] [-nd] [-nc] [-ts] [-x [-xi N]] [-n] [-q] [--json]\n"
    "  tolvarinxc -d INPUT_FOLDER [-od OUTPUT_FOLDER] [-r] [-t bmp,png,gif] [-ts] [-kt] [-j N] [-nf] [-nd] [-nc]\n"
    "             [-x [-xi N]] [-n] [-q] [--json]\n"
    "  tolvarinxc [-j N] [-kt] [-nf] [-nd] [-nc] [-ts] [-x [-xi N]] [-n] [-q] [--json] FILE...\n"
    "  tolvarinxc -h | --help | --version\n"
    "\n"
    "  -i path     the input image (BMP, PNG or GIF)\n"
    "  -o path     the output PNG (default: the input path with the extension png)\n"
    "  -d folder   convert every BMP, PNG and GIF file of a folder\n"
    "  -od folder  the output folder of -d (default: the input folder)\n"
    "  -r          -d: sub-folders too, mirrored under the output folder\n"
    "  -t list     -d: the file types, e.g. bmp,gif (default: bmp,png,gif)\n"
    "  -kt         -d: keep a PNG or GIF input's transparent colour\n"
    "  -j n        -d: files at once (default: the number of cores)\n"
    "  -nf         no filter trials: every row unfiltered\n"
    "  -nd         no deflate-parameter trials: window bits 15, memory level 8\n"
    "  -nc         a palette of 16 colours or fewer is not also tried at 8 bits\n"
    "  -ts         outputs get their inputs' time stamps\n"
    "  -x          extended search: more layouts, palette orders, filters and encoders\n"
    "  -xi n       -x: zopfli iterations, 1 to 1000 (default: by the image's size)\n"
    "  -n          test run: every search runs and is reported, no file is written\n"
    "  -q          quiet: only errors are printed\n"
    "  --json      one JSON object per file on a line of its own, then a summary object\n"
    "  FILE...     without -i and -d: each file converted as -i FILE would be\n"
    "  -h, --help  this text\n"
    "  --version   the version\n";

static_assert(kMaxExtendedIterations == 1000, "the help text names the bound of -xi");

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

bool readConsoleOptions(const CommandLineScanner& scanner, ConsoleOptions& options, FILE* out)
{
    options.runFlags = readFlagSwitches(scanner);
    if (!readExtendedIterations(scanner, options.extendedIterations, out))
        return false;

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
    return true;
}

int runConversion(const ConsoleOptions& options, FILE* out)
{
    const char* inputPath = options.inputPath.c_str();
    const char* outputPath = options.outputPath.c_str();

    print(out, "input: ");
    print(out, reportName(inputPath).c_str());
    print(out, "\noutput: ");
    print(out, reportName(outputPath).c_str());
    print(out, "\n\n");
    std::fflush(out);

    const uint16_t convertOptions = convertOptionsOf(options.runFlags);
    DibImage image;
    int32_t transparentColour = -1;
    AppendBuffer colourChunks;
    if (!loadConversionInput(inputPath, convertOptions, image, transparentColour, colourChunks)) {
        print(out, "<read error>\n");
        std::fflush(out);
        return CONSOLE_EXIT_FAILURE;
    }

    volatile int16_t cancelFlag = 0;
    ConvertRequest request;
    fillConvertRequest(request, image, transparentColour, convertOptions, &colourChunks);
    request.extendedIterations = options.extendedIterations;
    request.callback = printTrialProgress;
    request.userData = out;
    request.cancelFlag = &cancelFlag;
    OutputTarget target;
    target.inputPath = inputPath;
    target.inputSize = fileSizeByName(inputPath);
    target.outputPath = outputPath;
    target.rules = static_cast<uint16_t>(((options.runFlags & RUN_TIME_STAMPS) ? OUTPUT_KEEP_TIME_STAMPS : 0) |
                                         ((options.runFlags & RUN_TEST) ? OUTPUT_TEST_RUN : 0));

    PngOptimizer optimizer;
    const OutputOutcome outcome = convertToFile(optimizer, request, target);
    if (outcome == OutputOutcome::Failed) {
        print(out, "<出力エラー>\n");
        std::fflush(out);
        return CONSOLE_EXIT_FAILURE;
    }
    print(out, "\n\n");

    switch (outcome) {
    case OutputOutcome::NoOutput:
        print(out, "<ｻｲｽﾞが増えたため出力なし>\n");
        std::fflush(out);
        return CONSOLE_EXIT_SUCCESS;
    case OutputOutcome::CopyFailed:
        // The target is unchanged; saying it was copied would be false.
        print(out, "<出力エラー>\n");
        std::fflush(out);
        return CONSOLE_EXIT_FAILURE;
    case OutputOutcome::Copied:
        print(out, "<ｻｲｽﾞが増えたためそのままｺﾋﾟｰ>\n");
        std::fflush(out);
        return CONSOLE_EXIT_SUCCESS;
    default:
        break;
    }

    const uint32_t inputSize = target.inputSize;
    print(out, "<result>\n");
    std::fprintf(out, "insize: %u\n", static_cast<unsigned>(inputSize));
    const int64_t change = static_cast<int64_t>(request.fileSize) - static_cast<int64_t>(inputSize);
    std::fprintf(out, "outsize: %u (%+d)\n", static_cast<unsigned>(request.fileSize), static_cast<int>(change));
    std::fprintf(out, "出力形式: %dBIT filter %d zw %d zm %d\n", static_cast<int>(request.bitDepth),
                 static_cast<int>(request.filter), static_cast<int>(request.windowBits),
                 static_cast<int>(request.memLevel));
    char extended[256];
    if (formatExtendedReport(request, extended, sizeof extended) > 0)
        std::fprintf(out, "%s\n", extended);
    std::fflush(out);
    return CONSOLE_EXIT_SUCCESS;
}

int runConsole(int argc, const char* commandLine, FILE* out, FILE* err)
{
    if (argc < 2) {
        print(out, "[usage]\n");
        print(out, "-i [input] [-o [output]] ...\n");
        std::fflush(out);
        // Nothing was converted: a script calling without arguments made a mistake.
        return CONSOLE_EXIT_FAILURE;
    }
    CommandLineScanner scanner;
    scanner.setup('-', commandLine);
    if (scanner.hasSwitch("h") || scanner.hasSwitch("-help")) {
        print(out, kHelpText);
        std::fflush(out);
        return CONSOLE_EXIT_SUCCESS;
    }
    if (scanner.hasSwitch("-version")) {
        print(out, "tolvarinxc " TOLVARINX_VERSION "\n"
                   "License MIT <https://opensource.org/licenses/MIT>: free software, NO WARRANTY.\n");
        std::fflush(out);
        return CONSOLE_EXIT_SUCCESS;
    }
    const uint16_t runFlags = readFlagSwitches(scanner);
    SortedWords words;
    sortWords(scanner, words);
    if (isFileListLine(scanner, words))
        return runFileListMode(scanner, runFlags, words, out, err);
    warnIgnoredWords(words, err);
    if (scanner.hasSwitch("d")) {
        FolderBatchOptions folder;
        if (!readFolderOptions(scanner, runFlags, folder, (runFlags & RUN_JSON) ? err : out))
            return CONSOLE_EXIT_FAILURE;
        return runFolderBatch(folder, out, isTerminal(out));
    }
    return runOneFileMode(scanner, runFlags, out, err);
}

int runConsole(int argc, const char* commandLine, FILE* out)
{
    return runConsole(argc, commandLine, out, stderr);
}
