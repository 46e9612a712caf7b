#pragma once
// The console's folder mode ("-d"): every listed file of a folder (and, with
// "-r", of its sub-folders) converted into an output folder with the desktop
// program's folder rules, several files at once.
//
// The files are listed before the first conversion, so nothing the run writes
// is taken as input; with a separate output folder inside the input tree, that
// folder is never entered. Output folders mirror the input folders and are
// made before the conversions start. Each file runs on one of `jobs` threads
// with its own optimizer. A large image (whose trials fill the engine's own
// worker threads, as in a one-file run) converts while no other file does;
// smaller files convert side by side. Two files that share a path (the same output, or one's
// output being the other's input) run one after the other in list order, so
// every output is what a run of one file at a time writes, whatever `jobs` is.
//
// The report goes to one stream from the calling thread only: one line per
// file in list order, then the summary line of the folder dialog (or the
// quiet or JSON report of batch_report.h).

#include <cstdint>
#include <cstdio>

#include <string>
#include <vector>

#include "console/batch_report.h"
#include "core/text_string.h"
#include "services/image_conversion.h"

class CommandLineScanner;

// What every file of a run over many files gets, and how the run reports.
struct BatchSettings {
    ConversionSettings file;    // "-nf -nd -nc -x -x1 -x2 -x3 -xi", "-ts", "-kt", "-n", "-f"
    unsigned jobs = 1;          // files at once ("-j"), 1 to kMaxWorkers
    unsigned engineThreads = 0; // the engine's worker threads ("-j" given, no TOLVARINX_THREADS); 0: as set
    ReportStyle style = ReportStyle::Text;   // "-q", "--json"
};

struct FolderBatchOptions : BatchSettings {
    TextString inputRoot;
    TextString outputRoot;      // the input root when "-od" gives none
    bool subfolders = false;    // "-r"
    uint16_t typeMask = 0;      // FOLDER_TYPE_* bits ("-t")
};

// Reads "-j", "-xi" and "-kt" and takes the rest from runFlags. On failure
// prints the message to out and returns false.
bool readBatchSettings(const CommandLineScanner& scanner, uint16_t runFlags, BatchSettings& settings, FILE* out);

// One file of a file list: its path as given, and its output (empty: the
// input with the extension png, as "-i" derives it).
struct FileListEntry {
    std::string input;
    std::string output;
};

// Converts the files one by one as the one-file mode would (every rule of
// conversion.h), on the folder mode's threads with its ordering: a file that
// shares a path with an earlier one (after "." folders and doubled
// separators are dropped) waits for it. The report is the folder mode's,
// each row named by the path as given. Returns 0 when no file failed.
int runFileList(const std::vector<FileListEntry>& entries, const BatchSettings& settings, FILE* out,
                bool liveProgress);

// Reads the folder mode's switches. runFlags are the run flags already read
// from the shared switches (console_switches.h). On failure prints the message to out and returns
// false.
bool readFolderOptions(const CommandLineScanner& scanner, uint16_t runFlags, FolderBatchOptions& options,
                       FILE* out);

// Converts the folder and prints the report to out in options.style
// (batch_report.h; with the JSON report, a message about the output folder
// goes to stderr). With liveProgress and the text report a
// progress line ("files done / total" and the bytes saved so far) is redrawn
// in place below the printed lines while files are under way. Returns 0 when
// no file failed, 1 otherwise or when the run could not start.
int runFolderBatch(const FolderBatchOptions& options, FILE* out, bool liveProgress);

// Reads the "-t" list: "bmp", "png" and "gif" (any case) separated by commas,
// into FOLDER_TYPE_* bits. False for an empty list, an empty item or an
// unknown word.
bool parseFileTypes(const char* text, uint16_t& typeMask);
