#pragma once
// The report of a run over many files (the folder mode, the file list, and the
// one-file mode with "--json"): one entry per file in list order, then a
// summary. Three styles:
// - text: the folder dialog's row, tab-separated, then its summary line;
// - quiet ("-q"): only the rows of files that failed;
// - JSON ("--json"): one object per line for each file, then
//   {"summary":{...}}; names in UTF-8, with "<key>_base64" holding a name's
//   exact bytes when it is no valid text.
// Called from one thread.

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/text_string.h"
#include "services/image_conversion.h"

struct FolderJob;

// What the report knows of one finished file.
struct FileReport {
    ConversionReport conversion;
    TextString line;          // the text row without its line end
};

enum class ReportStyle { Text, Quiet, Json };

// The style that the run flags (console_switches.h) ask for: "--json" before "-q".
ReportStyle reportStyleOf(uint16_t runFlags);

// The JSON object of one file as one line without its line end. testRun
// marks a run that wrote nothing.
std::string jsonFileLine(const FolderJob& job, const FileReport& file, bool testRun);

// The counts of a run, added up file by file.
struct BatchTally {
    uint32_t converted = 0;
    uint32_t copied = 0;
    uint32_t kept = 0;
    uint32_t failed = 0;
    uint64_t inputBytes = 0;    // of the files read
    uint64_t outputBytes = 0;   // what the outputs hold (an input copied or kept counts as itself)
    int64_t change = 0;         // output minus input bytes of the converted files

    void add(const FileReport& file);
    uint32_t processed() const { return converted + copied + kept; }
};

// The summary object as one line without its line end.
std::string jsonSummaryLine(const BatchTally& tally, bool testRun);

// Prints one finished file in style to out.
void printFileReport(FILE* out, ReportStyle style, const FolderJob& job, const FileReport& file, bool testRun);
// Prints the summary in style to out (nothing when quiet); the text report of
// a test run ends with Msg::TestRunLine.
void printSummary(FILE* out, ReportStyle style, const BatchTally& tally, bool testRun);
