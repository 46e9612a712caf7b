#include "console/console_program.h"

#include "console/command_line_scanner.h"
#include "console/console_run.h"
#include "console/console_switches.h"
#include "console/file_list_mode.h"
#include "console/folder_batch.h"
#include "console/terminal.h"
#include "core/ui_text.h"

namespace {

void print(FILE* out, const char* text)
{
    std::fputs(text, out);
}

static_assert(kMaxExtendedIterations == 1000, "the help text names the bound of -xi");
static_assert(kMinExtendedLevel == 1 && kMaxExtendedLevel == 3 && kDefaultExtendedLevel == 2,
              "the help text names the levels of -x1 to -x3 and that of -x");

}  // namespace

int runConsole(int argc, const char* commandLine, FILE* out, FILE* err)
{
    if (argc < 2) {
        print(out, uiText(Msg::ConsoleUsage));
        std::fflush(out);
        // Nothing was converted: a script calling without arguments made a mistake.
        return CONSOLE_EXIT_FAILURE;
    }
    CommandLineScanner scanner;
    scanner.setup('-', commandLine);
    if (scanner.hasSwitch("h") || scanner.hasSwitch("-help")) {
        print(out, uiText(Msg::ConsoleHelp));
        std::fflush(out);
        return CONSOLE_EXIT_SUCCESS;
    }
    if (scanner.hasSwitch("-version")) {
        print(out, "tolvarinxc " TOLVARINX_VERSION "\n");
        print(out, uiText(Msg::ConsoleLicence));
        std::fflush(out);
        return CONSOLE_EXIT_SUCCESS;
    }
    const uint16_t runFlags = readFlagSwitches(scanner);
    SortedWords words;
    sortWords(scanner, words);
    warnUnknownSwitches(words, err);
    const uint8_t mode = isFileListLine(scanner, words) ? CONSOLE_MODE_FILE_LIST
                         : scanner.hasSwitch("d")       ? CONSOLE_MODE_FOLDER
                                                        : CONSOLE_MODE_ONE_FILE;
    warnIgnoredSwitches(scanner, runFlags, mode, err);
    if (mode == CONSOLE_MODE_FILE_LIST)
        return runFileListMode(scanner, runFlags, words, out, err);
    warnIgnoredWords(words, err);
    if (mode == CONSOLE_MODE_FOLDER) {
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
