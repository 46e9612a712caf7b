#include "console/console_run.h"

#include <cstring>

#include "console/command_line_scanner.h"
#include "console/report_text.h"
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

// The report lines of the files left as they are, and of an animated GIF's first frame.
const char kAnimationCopiedLine[] = "<ｱﾆﾒｰｼｮﾝPNGのためそのままｺﾋﾟｰ>\n";
const char kAnimationKeptLine[] = "<ｱﾆﾒｰｼｮﾝPNGのため変更なし>\n";
const char kHardLinksKeptLine[] = "<ﾊｰﾄﾞﾘﾝｸ(別の名前)があるため変更なし: -fで分割して変換>\n";
const char kOutputExistsLine[] = "<出力先に別のﾌｧｲﾙがあります: -fで置換>\n";
const char kFirstFrameLine[] = "注意: ｱﾆﾒｰｼｮﾝGIFの1ﾌﾚｰﾑ目だけを出力しました(GIFはそのまま)\n";

// The report of a converted image: sizes, the format found, the extended choice.
void printResult(FILE* out, uint32_t inputSize, const ConvertRequest& request, uint16_t notes)
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
    if (notes & CONVERSION_NOTE_FIRST_FRAME)
        print(out, kFirstFrameLine);
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
    uint16_t notes = 0;
    const OutputOutcome outcome = convertToMemory(optimizer, request, input.data, input.used, png, &notes);
    const bool testRun = (options.runFlags & RUN_TEST) != 0;   // sizes reported, nothing written
    if (outcome == OutputOutcome::Failed || (!testRun && !writeStreamOutput(options.outputPath, png)))
        return fail(report, "<出力エラー>\n");
    print(report, "\n\n");
    if (outcome == OutputOutcome::Copied) {
        print(report, (notes & CONVERSION_NOTE_ANIMATED_PNG) ? kAnimationCopiedLine : "<ｻｲｽﾞが増えたためそのままｺﾋﾟｰ>\n");
        std::fflush(report);
    } else {
        printResult(report, input.used, request, notes);
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
        options.outputDerived = true;
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
                                         ((options.runFlags & RUN_TEST) ? OUTPUT_TEST_RUN : 0) |
                                         (options.outputDerived ? OUTPUT_DERIVED_NAME : 0) |
                                         ((options.runFlags & RUN_REPLACE) ? OUTPUT_REPLACE_EXISTING : 0));

    PngOptimizer optimizer;
    uint16_t notes = 0;
    const OutputOutcome outcome = convertToFile(optimizer, request, target, &notes);
    if (outcome == OutputOutcome::Failed) {
        print(out, "<出力エラー>\n");
        std::fflush(out);
        return CONSOLE_EXIT_FAILURE;
    }
    if (outcome == OutputOutcome::OutputExists || outcome == OutputOutcome::SharedOutput)
        return fail(out, kOutputExistsLine);
    print(out, "\n\n");

    switch (outcome) {
    case OutputOutcome::NoOutput:
        print(out, (notes & CONVERSION_NOTE_ANIMATED_PNG) ? kAnimationKeptLine
                   : (notes & CONVERSION_NOTE_HARD_LINKS) ? kHardLinksKeptLine
                                                          : "<ｻｲｽﾞが増えたため出力なし>\n");
        std::fflush(out);
        return CONSOLE_EXIT_SUCCESS;
    case OutputOutcome::CopyFailed:
        // The target is unchanged; saying it was copied would be false.
        print(out, "<出力エラー>\n");
        std::fflush(out);
        return CONSOLE_EXIT_FAILURE;
    case OutputOutcome::Copied:
        print(out, (notes & CONVERSION_NOTE_ANIMATED_PNG) ? kAnimationCopiedLine : "<ｻｲｽﾞが増えたためそのままｺﾋﾟｰ>\n");
        std::fflush(out);
        return CONSOLE_EXIT_SUCCESS;
    default:
        break;
    }

    printResult(out, target.inputSize, request, notes);
    return CONSOLE_EXIT_SUCCESS;
}
