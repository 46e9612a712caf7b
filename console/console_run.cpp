#include "console/console_run.h"

#include <cstring>

#include "console/command_line_scanner.h"
#include "console/file_list_mode.h"
#include "console/folder_batch.h"
#include "console/report_text.h"
#include "console/terminal.h"
#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/file_handle.h"
#include "core/replacing_file.h"
#include "console/standard_streams.h"
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
    "  -i path     the input image (BMP, PNG or GIF); - reads it from standard input\n"
    "  -o path     the output PNG (default: the input path with the extension png);\n"
    "              - writes it to standard output (the default with -i -), the report\n"
    "              then goes to standard error\n"
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
    "  -xi n       -x: zopfli iterations, 1 to 1000 (default: 15, fewer as the data grows, at least 5)\n"
    "  -n          test run: every search runs and is reported, no file is written\n"
    "  -q          quiet: only errors are printed\n"
    "  --json      one JSON object per file on a line of its own, then a summary object\n"
    "  FILE...     without -i and -d: each file converted as -i FILE would be\n"
    "  -h, --help  this text\n"
    "  --version   the version\n";

static_assert(kMaxExtendedIterations == 1000, "the help text names the bound of -xi");
static_assert(kMaxStreamInputBytes == 1073741824u, "the manual page and the README name the bound of -i -");

// The report's header: the input and output as named on the command line.
void printHeader(FILE* out, const char* inputPath, const char* outputPath)
{
    print(out, "input: ");
    print(out, reportName(inputPath).c_str());
    print(out, "\noutput: ");
    print(out, reportName(outputPath).c_str());
    print(out, "\n\n");
    std::fflush(out);
}

// The report of a converted image: sizes, the format found, the extended choice.
void printResult(FILE* out, uint32_t inputSize, const ConvertRequest& request)
{
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
}

// The request of a one-image run: the loaded image, the run's options and
// iterations, progress dots to out, and the run's cancel flag.
void fillConsoleRequest(ConvertRequest& request, const DibImage& image, int32_t transparentColour,
                        const ConsoleOptions& options, const AppendBuffer& colourChunks, FILE* out,
                        volatile int16_t& cancelFlag)
{
    fillConvertRequest(request, image, transparentColour, convertOptionsOf(options.runFlags), &colourChunks);
    request.extendedIterations = options.extendedIterations;
    request.callback = printTrialProgress;
    request.userData = out;
    request.cancelFlag = &cancelFlag;
}

// One line of the report and the run's failure.
int fail(FILE* out, const char* line)
{
    print(out, line);
    std::fflush(out);
    return CONSOLE_EXIT_FAILURE;
}

// ---- "-i -" and "-o -" ----

// The whole input of a stream run: standard input, or the input file read
// whole (the PNG copied unchanged comes from these bytes).
StreamRead readStreamInput(const TextString& inputPath, AppendBuffer& bytes)
{
    if (namesStandardStream(inputPath))
        return readWholeStream(stdin, kMaxStreamInputBytes, bytes);
    FILE* file = std::fopen(inputPath.c_str(), "rb");
    if (!file)
        return StreamRead::Failed;
    const StreamRead read = readWholeStream(file, kMaxStreamInputBytes, bytes);
    std::fclose(file);
    return read;
}

// Puts the finished PNG where the run's output goes: standard output, or a
// file written through ReplacingFile (replaced only once complete).
bool writeStreamOutput(const TextString& outputPath, const AppendBuffer& png)
{
    if (namesStandardStream(outputPath))
        return writeWholeStream(stdout, png.data, png.used);
    ReplacingFile output;
    if (!output.begin(outputPath.c_str()))
        return false;
    if (output.file().write(png.data, png.used) != png.used) {
        output.abandon();
        return false;
    }
    return output.commit();
}

// A run with "-i -" or "-o -": the input is read whole into memory, the PNG
// is made in memory (convertToMemory: a PNG input, recognised by content, is
// replaced only by a strictly smaller PNG, else passed on unchanged) and
// written out only once complete. With "-o -" the report goes to stderr.
int runStreamConversion(const ConsoleOptions& options, FILE* out)
{
    useBinaryStandardStreams();
    // The PNG owns standard output: the report never goes there with it.
    FILE* report = (out == stdout && namesStandardStream(options.outputPath)) ? stderr : out;
    printHeader(report, options.inputPath.c_str(), options.outputPath.c_str());
    if (options.runFlags & RUN_TIME_STAMPS)
        print(report, "警告: -i - と -o - では -ts は無視されます\n");

    AppendBuffer input;
    const StreamRead read = readStreamInput(options.inputPath, input);
    if (read == StreamRead::TooLarge)
        std::fprintf(report, "入力が上限の%uバイトを超えています\n", static_cast<unsigned>(kMaxStreamInputBytes));
    const uint16_t convertOptions = convertOptionsOf(options.runFlags);
    DibImage image;
    int32_t transparentColour = -1;
    AppendBuffer colourChunks;
    if (read != StreamRead::Complete ||
        !loadConversionMemory(input.data, input.used, convertOptions, image, transparentColour, colourChunks))
        return fail(report, "<read error>\n");

    volatile int16_t cancelFlag = 0;
    ConvertRequest request;
    fillConsoleRequest(request, image, transparentColour, options, colourChunks, report, cancelFlag);
    PngOptimizer optimizer;
    AppendBuffer png;
    const OutputOutcome outcome = convertToMemory(optimizer, request, input.data, input.used, png);
    const bool testRun = (options.runFlags & RUN_TEST) != 0;   // sizes reported, nothing written
    if (outcome == OutputOutcome::Failed || (!testRun && !writeStreamOutput(options.outputPath, png)))
        return fail(report, "<出力エラー>\n");
    print(report, "\n\n");
    if (outcome == OutputOutcome::Copied) {
        print(report, "<ｻｲｽﾞが増えたためそのままｺﾋﾟｰ>\n");
        std::fflush(report);
    } else {
        printResult(report, input.used, request);
    }
    return CONSOLE_EXIT_SUCCESS;
}

} // namespace

bool namesStandardStream(const TextString& path)
{
    return std::strcmp(path.c_str(), kStandardStreamName) == 0;
}

StreamRead readWholeStream(FILE* stream, uint32_t limit, AppendBuffer& bytes)
{
    constexpr uint32_t kReadStep = 1u << 16;
    if (!bytes.init(kReadStep, kReadStep))
        return StreamRead::Failed;
    uint8_t chunk[kReadStep];
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, stream);
        if (got > limit - bytes.used) {
            bytes.release();
            return StreamRead::TooLarge;
        }
        // Doubling keeps the copies of a growing block linear in the input's size.
        bytes.growStep = bytes.used > kReadStep ? bytes.used : kReadStep;
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
    if (!namesStandardStream(options.inputPath) && !fileExists(options.inputPath.c_str())) {
        print(out, options.inputPath.c_str());
        print(out, " が存在しません");
        std::fflush(out);
        return false;
    }

    scanner.getValue("o", options.outputPath, "");
    if (options.outputPath.isEmpty() && namesStandardStream(options.inputPath)) {
        // No input path to put a .png beside: the PNG goes down the pipe.
        options.outputPath.assign(kStandardStreamName);
    } else if (options.outputPath.isEmpty()) {
        // Without an extension in the file name the output is the input itself.
        options.outputPath.assign(options.inputPath.c_str());
        options.outputPath.replaceExtension("png");
    }
    return true;
}

int runConversion(const ConsoleOptions& options, FILE* out)
{
    if (namesStandardStream(options.inputPath) || namesStandardStream(options.outputPath))
        return runStreamConversion(options, out);
    const char* inputPath = options.inputPath.c_str();
    const char* outputPath = options.outputPath.c_str();

    printHeader(out, inputPath, outputPath);

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
    fillConsoleRequest(request, image, transparentColour, options, colourChunks, out, cancelFlag);
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

    printResult(out, target.inputSize, request);
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
