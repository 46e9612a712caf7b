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

class AppendBuffer;

// The value of "-i" and "-o" that names standard input or output.
constexpr char kStandardStreamName[] = "-";
// Whether a path given to -i or -o names the standard stream.
bool namesStandardStream(const TextString& path);
// The most bytes a run with "-i -" or "-o -" reads as its input; more is a
// read error. Far above any real image, far below what memory can hold three
// times over (input, picture, PNG).
constexpr uint32_t kMaxStreamInputBytes = 1u << 30;

// How reading a whole stream ended.
enum class StreamRead { Complete, TooLarge, Failed };
// Reads stream to its end into bytes (released first). TooLarge when it holds
// more than limit bytes, Failed on a read error or when memory is refused;
// bytes is empty then.
StreamRead readWholeStream(FILE* stream, uint32_t limit, AppendBuffer& bytes);
// Writes size bytes to stream and flushes it; false when any of it failed
// (a closed pipe, a full disk).
bool writeWholeStream(FILE* stream, const uint8_t* data, uint32_t size);

struct ConsoleOptions {
    TextString inputPath;
    TextString outputPath;   // derived from inputPath when "-o" gives none ("-" after "-i -")
    bool outputDerived = false;   // outputPath was derived from a file's name
    uint16_t runFlags = 0;   // run flags (console_switches.h)
    int32_t extendedIterations = 0;   // "-xi"; 0: chosen by the data size
};

// Reads the one-image mode's switches from scanner (set up with the command
// line: program name first, quotes kept) into options. On failure prints the
// message to out and returns false.
bool readConsoleOptions(const CommandLineScanner& scanner, ConsoleOptions& options, FILE* out);

// Converts options.inputPath into options.outputPath and prints the report.
// Returns the exit status. The value "-" names standard input for the input
// and standard output for the output (then the report goes to stderr); such
// a run reads its whole input into memory (at most kMaxStreamInputBytes),
// goes by content where a file goes by name (a PNG input is replaced only by
// a strictly smaller PNG, else passed on unchanged), writes the PNG only once
// complete, and ignores "-ts" with a warning.
int runConversion(const ConsoleOptions& options, FILE* out);

// The progress printer (a ProgressCallback): prints "." for each start of
// a filter or deflate-parameter trial. userData is the FILE* to print to, or
// null for stdout.
void printTrialProgress(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter,
                        int32_t size, void* userData);
