#pragma once
// The console's switches as one vocabulary: the flag switches both modes
// share, their run flags, and the switches that take a number within bounds.
// Every mode reads them from the one CommandLineScanner of the command line.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/png_optimizer.h"
#include "services/image_conversion.h"

class CommandLineScanner;

// Exit status of the program: success when the run did what its report says
// (converted, copied, or nothing needed); failure for usage, a missing input,
// an unreadable input or an output error.
constexpr int CONSOLE_EXIT_SUCCESS = 0;
constexpr int CONSOLE_EXIT_FAILURE = 1;

// Run flags: the engine's option bits (OPT_*) as they are, and the
// console's own bits above them, which never reach a request.
constexpr uint16_t RUN_TIME_STAMPS = 0x100;   // "-ts"
constexpr uint16_t RUN_QUIET = 0x200;         // "-q": only errors are printed
constexpr uint16_t RUN_TEST = 0x400;          // "-n": every search runs, nothing is written
constexpr uint16_t RUN_JSON = 0x800;          // "--json": one JSON object per file on the report stream
constexpr uint16_t RUN_REPLACE = 0x1000;      // "-f": derived names replace other files, hard links split
constexpr uint16_t kConsoleRunBits = RUN_TIME_STAMPS | RUN_QUIET | RUN_TEST | RUN_JSON | RUN_REPLACE;
static_assert((kConsoleRunBits & kConvertOptionBits) == 0, "a run flag of its own must not be an engine bit");

// The switches without a value ("-nf", "-nd", "-nc", "-ts", "-x", "-q", "-n",
// "--json", "-f") and their run flags.
struct FlagSwitch {
    const char* name;
    uint16_t flag;
};
extern const FlagSwitch kFlagSwitches[];
extern const int kFlagSwitchCount;

// The run flags of the flag switches present.
uint16_t readFlagSwitches(const CommandLineScanner& scanner);

// The switches that take a value word (names without the switch character).
extern const char* const kValueSwitches[];
extern const int kValueSwitchCount;
// Every other switch the program knows ("-r", "-kt", "-h", "--help", "--version").
extern const char* const kPlainSwitches[];
extern const int kPlainSwitchCount;

// The words of a command line sorted by the switch vocabulary above.
struct SortedWords {
    std::vector<std::string> files;         // neither switches nor their values, in order
    std::vector<std::string> switchLike;    // such words that begin with '-' (a quoted "-i")
    std::vector<std::string> unknownSwitches;   // switch words the program does not know
};
// Sorts the words of scanner's line: a value switch followed by a word that
// is no switch takes it as its value.
void sortWords(const CommandLineScanner& scanner, SortedWords& sorted);

// The conversion settings that runFlags ask for (the one mapping of the
// console's vocabulary; kRunFlagSettings in the .cpp file): the engine's
// option bits, time stamps, replacing, the test run. The transparent colour
// and the iterations are the caller's to set.
ConversionSettings settingsOfRunFlags(uint16_t runFlags);

// Reads the value of "-name" as a decimal number from lowest to highest into
// value; value untouched when the switch is absent. On a missing or bad value
// prints "-nameにはlowestからhighestまでの数を指定してください" and a line end
// to out and returns false.
bool readBoundedNumber(const CommandLineScanner& scanner, const char* name, long lowest, long highest, long& value,
                       FILE* out);

// readBoundedNumber of "-xi" (zopfli iterations of the extended search) from
// 1 to kMaxExtendedIterations into iterations; 0 when the switch is absent.
bool readExtendedIterations(const CommandLineScanner& scanner, int32_t& iterations, FILE* out);
