#include "console/console_program.h"

#include "console/command_line_scanner.h"
#include "console/console_run.h"
#include "console/console_switches.h"
#include "console/file_list_mode.h"
#include "console/folder_batch.h"
#include "console/terminal.h"

namespace {

void print(FILE* out, const char* text)
{
    std::fputs(text, out);
}

const char kHelpText[] =
    "usage:\n"
    "  tolvarinxc -i INPUT [-o OUTPUT] [-f] [-nf] [-nd] [-nc] [-ts] [-x|-x1|-x2|-x3 [-xi N]] [-kc LIST] [-ca]\n"
    "             [-n] [-q] [--json]\n"
    "  tolvarinxc -d INPUT_FOLDER [-od OUTPUT_FOLDER] [-r] [-t bmp,png,gif] [-ts] [-kt] [-f] [-j N] [-nf] [-nd] [-nc]\n"
    "             [-x|-x1|-x2|-x3 [-xi N]] [-kc LIST] [-ca] [-n] [-q] [--json]\n"
    "  tolvarinxc [-j N] [-f] [-nf] [-nd] [-nc] [-ts] [-x|-x1|-x2|-x3 [-xi N]] [-kc LIST] [-ca] [-n] [-q] [--json]\n"
    "             FILE...\n"
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
    "  -kt         -d: keep a PNG or GIF input's transparent colour (always kept when\n"
    "              the outputs go to the input folder and replace their inputs)\n"
    "  -f          replace an existing file at an output name the program derives\n"
    "              (x.png beside x.bmp, the outputs of -d), and split a hard-linked\n"
    "              file converted in place (its other names keep the old bytes)\n"
    "  -j n        -d and file lists: files at once, and the threads of one large\n"
    "              image (default: the number of cores)\n"
    "  -nf         no filter trials: every row unfiltered\n"
    "  -nd         no deflate-parameter trials: window bits 15, memory level 8\n"
    "  -nc         a palette of 16 colours or fewer is not also tried at 8 bits\n"
    "  -ts         outputs get their inputs' time stamps\n"
    "  -x          extended search: more layouts, palette orders, filters and encoders (as -x2)\n"
    "  -x1         extended search level 1: fast, no zopfli (the default search on small images only)\n"
    "  -x2         extended search level 2: the default search, then zopfli (the default -x)\n"
    "  -x3         extended search level 3: max, zopfli on more candidates with more iterations, slowest\n"
    "  -xi n       -x, -x2, -x3: zopfli iterations, 1 to 1000 (default: 15, fewer as the data grows,\n"
    "              at least 5; -x3: 60, at least 10); -x1 ignores it\n"
    "  -kc list    keep a PNG input's ancillary chunks, named by their four letters or by\n"
    "              the words text, colour, exif, phys, time, safe, all (e.g. -kc text,pHYs);\n"
    "              sBIT, bKGD and hIST are rewritten for the new file or left out (reported)\n"
    "  -ca         the colours of fully transparent pixels (alpha 0) may change to whatever\n"
    "              compresses best: not bit-exact for invisible pixels (every pixel with\n"
    "              alpha above 0 stays exact)\n"
    "  -a          an animated GIF becomes an animated PNG of every frame (without -a:\n"
    "              a PNG of its first frame)\n"
    "  -n          test run: every search runs and is reported, no file is written\n"
    "  -q          quiet: only errors are printed\n"
    "  --json      one JSON object per file on a line of its own, then a summary object\n"
    "  FILE...     without -i and -d: each file converted as -i FILE would be\n"
    "\n"
    "A replaced file keeps its mode, owner, group and extended attributes; a symbolic\n"
    "link has the file it names replaced and stays a link (-d converts linked files\n"
    "too, but does not enter linked folders). An animated PNG is optimized frame by\n"
    "frame and stays animated (one that is damaged is left as it is, with an error);\n"
    "an animated GIF gives a PNG of its first frame, or with -a an animated PNG.\n"
    "  -h, --help  this text\n"
    "  --version   the version\n";

static_assert(kMaxExtendedIterations == 1000, "the help text names the bound of -xi");
static_assert(kMinExtendedLevel == 1 && kMaxExtendedLevel == 3 && kDefaultExtendedLevel == 2,
              "the help text names the levels of -x1 to -x3 and that of -x");

}  // namespace

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
