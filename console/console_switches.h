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
// The extended search's level ("-x1" to "-x3", "-x" as "-x2"): a field of
// two bits, kMinExtendedLevel to kMaxExtendedLevel; 0 when no such switch is given.
constexpr int kRunExtendedLevelShift = 13;
constexpr uint16_t RUN_EXTENDED_LEVEL_MASK = 0x6000;
static_assert(kMaxExtendedLevel << kRunExtendedLevelShift <= RUN_EXTENDED_LEVEL_MASK, "every level fits the field");
constexpr uint16_t RUN_ANIMATE_GIF = 0x8000;   // "-a": an animated GIF becomes an animated PNG
constexpr uint16_t kConsoleRunBits = RUN_TIME_STAMPS | RUN_QUIET | RUN_TEST | RUN_JSON | RUN_REPLACE |
                                     RUN_EXTENDED_LEVEL_MASK | RUN_ANIMATE_GIF;
static_assert((kConsoleRunBits & kConvertOptionBits) == 0, "a run flag of its own must not be an engine bit");

// The level field of the run flags (0: no level switch given).
constexpr int32_t extendedLevelOfRunFlags(uint16_t runFlags)
{
    return (runFlags & RUN_EXTENDED_LEVEL_MASK) >> kRunExtendedLevelShift;
}

// The switches without a value ("-nf", "-nd", "-nc", "-ts", "-q", "-n",
// "--json", "-f", "-a", "-ca") and their run flags.
struct FlagSwitch {
    const char* name;
    uint16_t flag;
};
extern const FlagSwitch kFlagSwitches[];
extern const int kFlagSwitchCount;

// The switches of the extended search ("-x", "-x1", "-x2", "-x3") and the
// level each asks for.
struct LevelSwitch {
    const char* name;
    int32_t level;
};
extern const LevelSwitch kLevelSwitches[];
extern const int kLevelSwitchCount;

// The run flags of the flag switches present; with a level switch also
// OPT_EXTENDED_SEARCH and the level of the first level switch on the line.
uint16_t readFlagSwitches(const CommandLineScanner& scanner);

// The level switches on the line after the first that ask for another
// level than it ("-x3" in "-x1 -x3"): those the run ignores.
std::vector<std::string> overruledLevelSwitches(const CommandLineScanner& scanner);

// The modes of the console (console_program.h), as bits so that a switch can
// name several.
constexpr uint8_t CONSOLE_MODE_ONE_FILE = 1;    // "-i"
constexpr uint8_t CONSOLE_MODE_FOLDER = 2;      // "-d"
constexpr uint8_t CONSOLE_MODE_FILE_LIST = 4;   // file words without "-i" and "-d"

// The known switches of scanner's line that a run in mode with runFlags
// takes nothing from, as "-name" or "-name value", in this order: level
// switches after the first that ask for another level, "-xi" where no zopfli
// runs, the switches mode has no use for (kModeIgnoredSwitches in the .cpp
// file), and a value switch given again after its first occurrence (which
// decides) with another value.
std::vector<std::string> ignoredSwitches(const CommandLineScanner& scanner, uint16_t runFlags, uint8_t mode);

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
// option bits, the extended search's level, time stamps, replacing, the test
// run. The transparent colour and the iterations are the caller's to set.
ConversionSettings settingsOfRunFlags(uint16_t runFlags);

// Reads the value of "-name" as a decimal number from lowest to highest into
// value; value untouched when the switch is absent. On a missing or bad value
// prints Msg::ErrorNumberRange ("-name needs a number from lowest to
// highest") to out and returns false.
bool readBoundedNumber(const CommandLineScanner& scanner, const char* name, long lowest, long highest, long& value,
                       FILE* out);

// Reads "-kc LIST" (core/kept_chunks.h) into selection, empty when the
// switch is absent. On a missing or bad list prints "-kcにはﾁｬﾝｸ名(4文字)か
// text,colour,exif,phys,time,safe,all を指定してください", the word refused
// after ": ", and a line end to out and returns false.
bool readKeptChunkList(const CommandLineScanner& scanner, ChunkSelection& selection, FILE* out);

// readBoundedNumber of "-xi" (zopfli iterations of the extended search) from
// 1 to kMaxExtendedIterations into iterations; 0 when the switch is absent.
// The value is checked at every level; levels without zopfli do not use it.
bool readExtendedIterations(const CommandLineScanner& scanner, int32_t& iterations, FILE* out);
