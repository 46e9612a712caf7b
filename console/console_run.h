#pragma once
// The console converter's one-image run: reading its switches, converting the
// image and printing the report (the folder mode is folder_batch.h, the file
// list and the JSON report of one image go through file_list_mode.h).
//
// runConversion converts on the calling thread. The report goes to the given stream
// (the program passes stdout); it is flushed as it grows so that the progress
// dots show during the conversion.

#include <cstdint>
#include <cstdio>

#include "console/console_switches.h"
#include "core/text_string.h"

class CommandLineScanner;

// The value of "-i" and "-o" that names standard input or output.
constexpr char kStandardStreamName[] = "-";
// Whether a path given to -i or -o names the standard stream.
bool namesStandardStream(const TextString& path);

struct ConsoleOptions {
    TextString inputPath;
    TextString outputPath;   // derived from inputPath when "-o" gives none ("-" after "-i -")
    bool outputDerived = false;   // outputPath was derived from a file's name
    uint16_t runFlags = 0;   // run flags (console_switches.h)
    int32_t extendedIterations = 0;   // "-xi"; 0: chosen by the data size
    ChunkSelection keepChunks;        // "-kc"
};

// Reads the one-image mode's switches from scanner (set up with the command
// line: program name first, quotes kept) into options. On failure prints the
// message to out and returns false. A missing input file is such a failure
// only with requireInput (the JSON report reports it as its file's failure).
bool readConsoleOptions(const CommandLineScanner& scanner, ConsoleOptions& options, FILE* out,
                        bool requireInput = true);

// Converts options.inputPath into options.outputPath and prints the report.
// Returns the exit status. The value "-" names standard input for the input
// and standard output for the output (then the report goes to stderr); such
// a run reads its whole input into memory (at most kMaxStreamInputBytes of
// services/image_conversion.h),
// goes by content where a file goes by name (a PNG input is replaced only by
// a strictly smaller PNG, else passed on unchanged), writes the PNG only once
// complete, and ignores "-ts" with a warning. A test run's report ends with
// Msg::TestRunLine, also when the run fails.
int runConversion(const ConsoleOptions& options, FILE* out);
