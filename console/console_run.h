#pragma once
// The console converter's run: reading the switches, converting one image (or
// a folder, folder_batch.h) and printing the report.
//
// A one-image run happens on the calling thread. The report goes to the given stream
// (the program passes stdout); it is flushed as it grows so that the progress
// dots show during the conversion.

#include <cstdint>
#include <cstdio>

#include "core/text_string.h"

class CommandLineScanner;

// Run flags: the low three bits are the ConvertOptions bits of the engine.
constexpr uint16_t RUN_NO_FILTER_COMPARE = 0x1;   // "-nf"
constexpr uint16_t RUN_NO_DEFLATE_COMPARE = 0x2;  // "-nd"
constexpr uint16_t RUN_NO_8BIT_COMPARE = 0x4;     // "-nc"
constexpr uint16_t RUN_TIME_STAMPS = 0x8;         // "-ts"
constexpr uint16_t RUN_EXTENDED_SEARCH = 0x10;    // "-x"
constexpr uint16_t RUN_CONVERT_OPTION_MASK = 0x7;

// The engine's ConvertOptions bits that runFlags ask for.
uint16_t convertOptionsOf(uint16_t runFlags);

// Reads "-xi N" (zopfli iterations of the extended search, 1 to 1000) into
// iterations; 0 when the switch is absent. On a bad value prints the message
// to out and returns false.
bool readExtendedIterations(const CommandLineScanner& scanner, int32_t& iterations, FILE* out);

// Exit status of the program: success when the run did what its report says
// (converted, copied, or nothing needed); failure for usage, a missing input,
// an unreadable input or an output error.
constexpr int CONSOLE_EXIT_SUCCESS = 0;
constexpr int CONSOLE_EXIT_FAILURE = 1;

struct ConsoleOptions {
    TextString inputPath;
    TextString outputPath;   // derived from inputPath when "-o" gives none
    uint16_t runFlags = 0;   // RUN_* bits
    int32_t extendedIterations = 0;   // "-xi"; 0: chosen by the data size
};

// Reads the switches of commandLine (program name first, quotes kept) into
// options. On failure prints the message to out and returns false.
bool readConsoleOptions(const char* commandLine, ConsoleOptions& options, FILE* out);

// Converts options.inputPath into options.outputPath and prints the report.
// Returns the exit status.
int runConversion(const ConsoleOptions& options, FILE* out);

// The whole program: usage text when argc < 2; the help text for "-h" or
// "--help" and the version for "--version" (exit status 0); the folder mode
// when "-d" is given; otherwise the options and the one-image conversion.
// Returns the exit status.
int runConsole(int argc, const char* commandLine, FILE* out);

// The progress printer (a ProgressSink callback): prints "." for each start of
// a filter or deflate-parameter trial. userData is the FILE* to print to, or
// null for stdout.
void printTrialProgress(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter,
                        int32_t size, void* userData);
