#include "console/console_run.h"

#include <cstring>
#include <string>
#include <vector>

#include "console/command_line_scanner.h"
#include "console/report_text.h"
#include "core/byte_buffer.h"
#include "core/dib_image.h"
#include "core/file_handle.h"
#include "core/path_text.h"
#include "core/ui_text.h"
#include "console/standard_streams.h"
#include "services/conversion.h"
#include "services/extended_report.h"
#include "services/image_conversion.h"

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
    std::fprintf(out, uiText(Msg::ReportHeader), reportName(inputPath).c_str(), reportName(outputPath).c_str());
    std::fflush(out);
}

// The two errors of the options have no line end in Japanese, as scripts have
// always read them; in every other language they end their line.
void endOptionErrorLine(FILE* out)
{
    if (!isDefaultTextLanguage())
        print(out, "\n");
}

// A line of chunk names after its title; nothing for no names.
void printChunkNames(FILE* out, const char* title, const std::vector<std::string>& names)
{
    if (names.empty())
        return;
    print(out, title);
    for (const std::string& name : names) {
        print(out, " ");
        print(out, name.c_str());
    }
    print(out, "\n");
}

// The report of a converted image: sizes, the format the default search found,
// the extended choice.
void printResult(FILE* out, const ConversionReport& report)
{
    const uint32_t inputSize = report.inputSize;
    const ConvertRequest& request = report.result;
    print(out, uiText(Msg::ReportResultHeading));
    std::fprintf(out, uiText(Msg::ReportInputSize), static_cast<unsigned>(inputSize));
    const int64_t change = static_cast<int64_t>(request.fileSize) - static_cast<int64_t>(inputSize);
    std::fprintf(out, uiText(Msg::ReportOutputSize), static_cast<unsigned>(request.fileSize), static_cast<int>(change));
    // Without a default search (-x1) its winner's line is left out.
    if (hasDefaultEncoding(request))
        std::fprintf(out, uiText(Msg::ReportFormat), static_cast<int>(request.bitDepth),
                     static_cast<int>(request.filter), static_cast<int>(request.windowBits),
                     static_cast<int>(request.memLevel));
    char extended[256];
    if (formatAnimationReport(request, extended, sizeof extended) > 0 ||
        formatExtendedReport(request, extended, sizeof extended) > 0)
        std::fprintf(out, "%s\n", extended);
    if (report.notes & CONVERSION_NOTE_FIRST_FRAME)
        print(out, uiText(Msg::ReportFirstFrame));
    printChunkNames(out, uiText(Msg::ReportKeptChunks), report.keptChunks);
    printChunkNames(out, uiText(Msg::ReportDroppedChunks), report.droppedChunks);
    if (report.cleanAlpha)
        print(out, uiText(Msg::ReportCleanAlpha));
    std::fflush(out);
}

// The progress dots of a one-image run: one for each trial or extended step begun.
class DotPrinter : public ProgressSink {
public:
    explicit DotPrinter(FILE* out) : out_(out) {}
    void onProgress(const ProgressEvent& event) override
    {
        if (!event.startsWork())
            return;
        std::fputc('.', out_);
        std::fflush(out_);
    }

private:
    FILE* out_;
};

// One line of the report and the run's failure.
int fail(FILE* out, const char* line)
{
    print(out, line);
    std::fflush(out);
    return CONSOLE_EXIT_FAILURE;
}

// What the one-image run converts with.
ConversionSettings consoleSettings(const ConsoleOptions& options)
{
    ConversionSettings settings = settingsOfRunFlags(options.runFlags);
    settings.extendedIterations = options.extendedIterations;
    settings.keepTransparent = true;
    settings.keepChunks = options.keepChunks;
    return settings;
}

// The report after the dots: the line of a file left or copied as it is, or
// the result block; the exit status.
int printOutcome(FILE* out, const ConversionReport& report)
{
    print(out, "\n\n");
    switch (report.status) {
    case ConversionStatus::Kept:
        print(out, uiText((report.notes & CONVERSION_NOTE_ANIMATED_PNG) ? Msg::ReportAnimationKept
                          : (report.notes & CONVERSION_NOTE_HARD_LINKS) ? Msg::ReportHardLinksKept
                                                                        : Msg::ReportLargerKept));
        std::fflush(out);
        return CONSOLE_EXIT_SUCCESS;
    case ConversionStatus::Copied:
        print(out, uiText((report.notes & CONVERSION_NOTE_ANIMATED_PNG) ? Msg::ReportAnimationCopied
                                                                        : Msg::ReportLargerCopied));
        std::fflush(out);
        return CONSOLE_EXIT_SUCCESS;
    case ConversionStatus::Converted:
        printResult(out, report);
        return CONSOLE_EXIT_SUCCESS;
    default:
        // The target is unchanged; saying it was copied would be false.
        return fail(out, uiText(Msg::ReportOutputError));
    }
}

// The conversion's failures that end the report before its blank lines; -1
// when the conversion got that far.
int earlyFailure(FILE* out, const ConversionReport& report)
{
    if (report.cause == ConversionCause::OutputExists || report.cause == ConversionCause::SharedOutput)
        return fail(out, uiText(Msg::ReportOutputExists));
    if (report.cause == ConversionCause::BadAnimation)
        return fail(out, uiText(Msg::ReportBadAnimation));
    if (report.failed() && report.cause != ConversionCause::CopyFailed)
        return fail(out, uiText(Msg::ReportOutputError));
    return -1;
}

// A run with "-i -" or "-o -": the input is read whole into memory, the PNG
// is made in memory (a PNG input, recognised by content, is replaced only by
// a strictly smaller PNG, else passed on unchanged) and written out only once
// complete. With "-o -" the report goes to stderr.
// The stream that the report of a run with "-i -" or "-o -" goes to: the PNG
// owns standard output, the report never goes there with it.
FILE* streamReport(const ConsoleOptions& options, FILE* out)
{
    return (out == stdout && namesStandardStream(options.outputPath)) ? stderr : out;
}

int runStreamConversion(const ConsoleOptions& options, FILE* out)
{
    useBinaryStandardStreams();
    FILE* report = streamReport(options, out);
    printHeader(report, options.inputPath.c_str(), options.outputPath.c_str());
    if (options.runFlags & RUN_TIME_STAMPS)
        print(report, uiText(Msg::WarnStreamTimeStamps));

    const ConversionSettings settings = consoleSettings(options);
    DotPrinter dots(report);
    ImageConversion conversion;
    conversion.setProgress(&dots, nullptr);
    FILE* input = namesStandardStream(options.inputPath) ? stdin : openInputFile(options.inputPath.c_str());
    const bool loaded = input && conversion.loadStream(input, settings.options);
    if (input && input != stdin)
        std::fclose(input);
    if (conversion.report().cause == ConversionCause::InputTooLarge)
        std::fprintf(report, uiText(Msg::ErrorInputTooLarge), static_cast<unsigned>(kMaxStreamInputBytes));
    if (!loaded)
        return fail(report, uiText(Msg::ReportReadError));

    ConversionOutput output;
    if (namesStandardStream(options.outputPath))
        output.stream = stdout;
    else
        output.path = options.outputPath.c_str();
    PngOptimizer optimizer;
    const ConversionReport& result = conversion.convert(optimizer, output, settings);
    const int failed = earlyFailure(report, result);
    return failed >= 0 ? failed : printOutcome(report, result);
}

} // namespace

bool namesStandardStream(const TextString& path)
{
    return std::strcmp(path.c_str(), kStandardStreamName) == 0;
}

bool readConsoleOptions(const CommandLineScanner& scanner, ConsoleOptions& options, FILE* out, bool requireInput)
{
    options.runFlags = readFlagSwitches(scanner);
    if (!readExtendedIterations(scanner, options.extendedIterations, out) ||
        !readKeptChunkList(scanner, options.keepChunks, out))
        return false;

    scanner.getValue("i", options.inputPath, "");
    if (options.inputPath.isEmpty()) {
        print(out, uiText(Msg::ErrorNoInputFile));
        endOptionErrorLine(out);
        std::fflush(out);
        return false;
    }
    if (requireInput && !namesStandardStream(options.inputPath) && !fileExists(options.inputPath.c_str())) {
        std::fprintf(out, uiText(Msg::ErrorInputMissing), displayPath(options.inputPath.c_str()).c_str());
        endOptionErrorLine(out);
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

namespace {

int runFileConversion(const ConsoleOptions& options, FILE* out)
{
    printHeader(out, options.inputPath.c_str(), options.outputPath.c_str());

    const ConversionSettings settings = consoleSettings(options);
    DotPrinter dots(out);
    ImageConversion conversion;
    conversion.setProgress(&dots, nullptr);
    if (!conversion.loadFile(options.inputPath.c_str(), settings.options))
        return fail(out, uiText(Msg::ReportReadError));
    ConversionOutput output;
    output.path = options.outputPath.c_str();
    output.derivedName = options.outputDerived;
    PngOptimizer optimizer;
    const ConversionReport& report = conversion.convert(optimizer, output, settings);
    const int failed = earlyFailure(out, report);
    return failed >= 0 ? failed : printOutcome(out, report);
}

}  // namespace

int runConversion(const ConsoleOptions& options, FILE* out)
{
    const bool streamed = namesStandardStream(options.inputPath) || namesStandardStream(options.outputPath);
    const int status = streamed ? runStreamConversion(options, out) : runFileConversion(options, out);
    if (options.runFlags & RUN_TEST) {
        FILE* report = streamed ? streamReport(options, out) : out;
        print(report, uiText(Msg::TestRunLine));
        std::fflush(report);
    }
    return status;
}
