#include "console/file_list_mode.h"

#include <string>
#include <vector>

#include "console/command_line_scanner.h"
#include "console/console_run.h"
#include "console/console_switches.h"
#include "console/folder_batch.h"
#include "console/report_text.h"
#include "console/terminal.h"
#include "core/ui_text.h"

namespace {

// Switches of the folder and one-file modes that a file list has no use for.
const char* const kRefusedInFileList[] = {"o", "od", "r", "t"};

FILE* messageStream(uint16_t runFlags, FILE* out, FILE* err)
{
    // With "--json" the report stream carries nothing but JSON.
    return (runFlags & RUN_JSON) ? err : out;
}

// Copies what stream holds to out.
void copyStream(FILE* stream, FILE* out)
{
    std::fflush(stream);
    std::rewind(stream);
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, stream)) > 0)
        std::fwrite(buffer, 1, count, out);
    std::fflush(out);
}

}  // namespace

bool isFileListLine(const CommandLineScanner& scanner, const SortedWords& words)
{
    return !scanner.hasSwitch("i") && !scanner.hasSwitch("d") && !words.files.empty() &&
           words.switchLike.empty() && words.unknownSwitches.empty();
}

int runFileListMode(const CommandLineScanner& scanner, uint16_t runFlags, const SortedWords& words, FILE* out,
                    FILE* err)
{
    FILE* messages = messageStream(runFlags, out, err);
    for (const char* name : kRefusedInFileList) {
        if (scanner.hasSwitch(name)) {
            std::fprintf(messages, uiText(Msg::ErrorRefusedInFileList), name);
            std::fflush(messages);
            return CONSOLE_EXIT_FAILURE;
        }
    }
    BatchSettings settings;
    if (!readBatchSettings(scanner, runFlags, settings, messages))
        return CONSOLE_EXIT_FAILURE;
    settings.file.keepTransparent = true;
    std::vector<FileListEntry> entries(words.files.size());
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i].input = words.files[i];
    return runFileList(entries, settings, out, isTerminal(out));
}

void warnIgnoredWords(const SortedWords& words, FILE* err)
{
    for (const auto* list : {&words.files, &words.switchLike}) {
        for (const std::string& word : *list)
            std::fprintf(err, uiText(Msg::WarnIgnored), reportName(word.c_str()).c_str());
    }
    std::fflush(err);
}

void warnUnknownSwitches(const SortedWords& words, FILE* err)
{
    for (const std::string& word : words.unknownSwitches)
        std::fprintf(err, uiText(Msg::WarnUnknownSwitch), reportName(word.c_str()).c_str());
    std::fflush(err);
}

void warnIgnoredSwitches(const CommandLineScanner& scanner, uint16_t runFlags, uint8_t mode, FILE* err)
{
    for (const std::string& word : ignoredSwitches(scanner, runFlags, mode))
        std::fprintf(err, uiText(Msg::WarnIgnored), reportName(word.c_str()).c_str());
    std::fflush(err);
}

int runOneFileMode(const CommandLineScanner& scanner, uint16_t runFlags, FILE* out, FILE* err)
{
    ConsoleOptions options;
    // With --json a missing input is the failure its file's object reports.
    if (!readConsoleOptions(scanner, options, messageStream(runFlags, out, err), !(runFlags & RUN_JSON)))
        return CONSOLE_EXIT_FAILURE;
    const bool streamed = namesStandardStream(options.inputPath) || namesStandardStream(options.outputPath);
    if ((runFlags & RUN_JSON) && streamed) {
        std::fputs(uiText(Msg::ErrorJsonWithStreams), err);
        std::fflush(err);
        return CONSOLE_EXIT_FAILURE;
    }
    if (runFlags & RUN_JSON) {
        // One file through the batch, so that its report is the file list's.
        BatchSettings settings;
        if (!readBatchSettings(scanner, runFlags, settings, err))
            return CONSOLE_EXIT_FAILURE;
        settings.jobs = 1;
        settings.file.keepTransparent = true;
        // A derived output is left for the file list to derive, so that its rules apply.
        const std::vector<FileListEntry> entries = {
            {options.inputPath.c_str(), options.outputDerived ? "" : options.outputPath.c_str()}};
        return runFileList(entries, settings, out, false);
    }
    if (!(runFlags & RUN_QUIET))
        return runConversion(options, out);
    // Quiet: the report is held back and shown only when the run failed.
    FILE* held = std::tmpfile();
    if (held == nullptr)
        return runConversion(options, out);
    const int status = runConversion(options, held);
    if (status != CONSOLE_EXIT_SUCCESS)   // never onto the PNG's standard output
        copyStream(held, namesStandardStream(options.outputPath) ? err : out);
    std::fclose(held);
    return status;
}
