#include "console/console_switches.h"

#include <cstdlib>
#include <map>

#include "console/command_line_scanner.h"
#include "core/text_string.h"
#include "core/ui_text.h"

const FlagSwitch kFlagSwitches[] = {
    {"nf", OPT_NO_FILTER_COMPARE},
    {"nd", OPT_NO_DEFLATE_COMPARE},
    {"nc", OPT_NO_8BIT_COMPARE},
    {"ts", RUN_TIME_STAMPS},
    {"q", RUN_QUIET},
    {"n", RUN_TEST},
    {"-json", RUN_JSON},
    {"f", RUN_REPLACE},
    {"a", RUN_ANIMATE_GIF},
    {"ca", OPT_CLEAN_ALPHA},
};
const int kFlagSwitchCount = static_cast<int>(sizeof kFlagSwitches / sizeof kFlagSwitches[0]);

const LevelSwitch kLevelSwitches[] = {
    {"x", kDefaultExtendedLevel},
    {"x1", EXTENDED_LEVEL_FAST},
    {"x2", EXTENDED_LEVEL_BALANCED},
    {"x3", EXTENDED_LEVEL_MAX},
};
const int kLevelSwitchCount = static_cast<int>(sizeof kLevelSwitches / sizeof kLevelSwitches[0]);

const char* const kValueSwitches[] = {"i", "o", "d", "od", "t", "j", "xi", "kc"};
const int kValueSwitchCount = static_cast<int>(sizeof kValueSwitches / sizeof kValueSwitches[0]);
const char* const kPlainSwitches[] = {"r", "kt", "h", "-help", "-version"};
const int kPlainSwitchCount = static_cast<int>(sizeof kPlainSwitches / sizeof kPlainSwitches[0]);

namespace {

bool isNamed(const std::string& word, const char* const* names, int count)
{
    for (int i = 0; i < count; ++i) {
        if (word == names[i])
            return true;
    }
    return false;
}

// The level switch named name, or null.
const LevelSwitch* levelSwitchNamed(const std::string& name)
{
    for (int i = 0; i < kLevelSwitchCount; ++i) {
        if (name == kLevelSwitches[i].name)
            return &kLevelSwitches[i];
    }
    return nullptr;
}

bool isKnownSwitch(const std::string& name)
{
    for (int i = 0; i < kFlagSwitchCount; ++i) {
        if (name == kFlagSwitches[i].name)
            return true;
    }
    return levelSwitchNamed(name) || isNamed(name, kValueSwitches, kValueSwitchCount) ||
           isNamed(name, kPlainSwitches, kPlainSwitchCount);
}

// The level switches of the line's switch words, in line order.
std::vector<const LevelSwitch*> levelSwitchesOf(const CommandLineScanner& scanner)
{
    std::vector<CommandWord> words;
    scanner.words(words);
    std::vector<const LevelSwitch*> found;
    for (const CommandWord& word : words) {
        const LevelSwitch* level = word.isSwitch ? levelSwitchNamed(word.text) : nullptr;
        if (level)
            found.push_back(level);
    }
    return found;
}

}  // namespace

void sortWords(const CommandLineScanner& scanner, SortedWords& sorted)
{
    sorted = SortedWords();
    std::vector<CommandWord> words;
    scanner.words(words);
    for (size_t i = 0; i < words.size(); ++i) {
        const CommandWord& word = words[i];
        if (word.isSwitch) {
            if (!isKnownSwitch(word.text))
                sorted.unknownSwitches.push_back("-" + word.text);
            else if (isNamed(word.text, kValueSwitches, kValueSwitchCount) && i + 1 < words.size() &&
                     !words[i + 1].isSwitch)
                ++i;   // its value
        } else if (!word.text.empty() && word.text[0] == '-') {
            sorted.switchLike.push_back(word.text);
        } else {
            sorted.files.push_back(word.text);
        }
    }
}

uint16_t readFlagSwitches(const CommandLineScanner& scanner)
{
    uint16_t flags = 0;
    for (int i = 0; i < kFlagSwitchCount; ++i) {
        if (scanner.hasSwitch(kFlagSwitches[i].name))
            flags |= kFlagSwitches[i].flag;
    }
    const std::vector<const LevelSwitch*> levels = levelSwitchesOf(scanner);
    if (!levels.empty())
        flags |= OPT_EXTENDED_SEARCH | static_cast<uint16_t>(levels.front()->level << kRunExtendedLevelShift);
    return flags;
}

std::vector<std::string> overruledLevelSwitches(const CommandLineScanner& scanner)
{
    const std::vector<const LevelSwitch*> levels = levelSwitchesOf(scanner);
    std::vector<std::string> overruled;
    for (const LevelSwitch* level : levels) {
        if (level->level != levels.front()->level)
            overruled.push_back(std::string("-") + level->name);
    }
    return overruled;
}

namespace {

constexpr uint8_t kEveryMode = CONSOLE_MODE_ONE_FILE | CONSOLE_MODE_FOLDER | CONSOLE_MODE_FILE_LIST;

// A switch that the modes named take nothing from: when whenFlags are not
// 0 only with every one of those run flags, and never with one of unlessFlags.
struct ModeIgnoredSwitch {
    const char* name;
    uint8_t modes;   // CONSOLE_MODE_* bits
    uint16_t whenFlags;
    uint16_t unlessFlags;
};

constexpr ModeIgnoredSwitch kModeIgnoredSwitches[] = {
    {"i", CONSOLE_MODE_FOLDER, 0, 0},   // "-d" decides the mode
    {"o", CONSOLE_MODE_FOLDER, 0, 0},
    {"od", CONSOLE_MODE_ONE_FILE, 0, 0},   // a file list refuses these three
    {"r", CONSOLE_MODE_ONE_FILE, 0, 0},
    {"t", CONSOLE_MODE_ONE_FILE, 0, 0},
    {"kt", CONSOLE_MODE_ONE_FILE | CONSOLE_MODE_FILE_LIST, 0, 0},   // there a transparent colour is always kept
    {"j", CONSOLE_MODE_ONE_FILE, 0, RUN_JSON},   // only the JSON report runs one file through the batch
    {"q", kEveryMode, RUN_JSON, 0},              // "--json" before "-q"
    {"xi", kEveryMode, 0, OPT_EXTENDED_SEARCH},  // no extended search
};

// "-name" with the value that follows it, if any.
std::string switchWithValue(const CommandLineScanner& scanner, const char* name)
{
    TextString value;
    const std::string word = std::string("-") + name;
    if (!isNamed(name, kValueSwitches, kValueSwitchCount) || !scanner.find(name, &value))
        return word;
    return word + " " + value.c_str();
}

// The occurrences of value switches after their first with another value
// (or where either has none), in line order.
std::vector<std::string> repeatedValueSwitches(const CommandLineScanner& scanner)
{
    std::vector<CommandWord> words;
    scanner.words(words);
    std::map<std::string, std::string> first;   // name: the first occurrence as "-name value"
    std::vector<std::string> repeated;
    for (size_t i = 0; i < words.size(); ++i) {
        if (!words[i].isSwitch || !isNamed(words[i].text, kValueSwitches, kValueSwitchCount))
            continue;
        const std::string& name = words[i].text;
        std::string shown = "-" + name;
        if (i + 1 < words.size() && !words[i + 1].isSwitch)
            shown += " " + words[i + 1].text;
        const auto found = first.emplace(name, shown);
        if (!found.second && found.first->second != shown)
            repeated.push_back(shown);
    }
    return repeated;
}

}  // namespace

std::vector<std::string> ignoredSwitches(const CommandLineScanner& scanner, uint16_t runFlags, uint8_t mode)
{
    std::vector<std::string> ignored = overruledLevelSwitches(scanner);
    if ((runFlags & OPT_EXTENDED_SEARCH) && extendedLevelOfRunFlags(runFlags) == EXTENDED_LEVEL_FAST &&
        scanner.hasSwitch("xi"))
        ignored.push_back(switchWithValue(scanner, "xi"));
    for (const ModeIgnoredSwitch& entry : kModeIgnoredSwitches) {
        if ((entry.modes & mode) && (runFlags & entry.whenFlags) == entry.whenFlags &&
            !(runFlags & entry.unlessFlags) && scanner.hasSwitch(entry.name))
            ignored.push_back(switchWithValue(scanner, entry.name));
    }
    const std::vector<std::string> repeated = repeatedValueSwitches(scanner);
    ignored.insert(ignored.end(), repeated.begin(), repeated.end());
    return ignored;
}

bool readBoundedNumber(const CommandLineScanner& scanner, const char* name, long lowest, long highest, long& value,
                       FILE* out)
{
    if (!scanner.hasSwitch(name))
        return true;
    TextString text;
    char* end = nullptr;
    const long number = scanner.find(name, &text) ? std::strtol(text.c_str(), &end, 10) : 0;
    if (end == nullptr || end == text.c_str() || *end != 0 || number < lowest || number > highest) {
        std::fprintf(out, uiText(Msg::ErrorNumberRange), name, lowest, highest);
        std::fflush(out);
        return false;
    }
    value = number;
    return true;
}

namespace {

// The run flags that are settings of their own; the OPT_* bits pass as they are.
constexpr SettingFlag kRunFlagSettings[] = {
    {RUN_TIME_STAMPS, &ConversionSettings::keepTimeStamps},
    {RUN_REPLACE, &ConversionSettings::replaceExisting},
    {RUN_TEST, &ConversionSettings::testRun},
    {RUN_ANIMATE_GIF, &ConversionSettings::animateGif},
};

}  // namespace

ConversionSettings settingsOfRunFlags(uint16_t runFlags)
{
    ConversionSettings settings = settingsOfFlags(runFlags, kRunFlagSettings);
    settings.extendedLevel = extendedLevelOfRunFlags(runFlags);
    return settings;
}

bool readExtendedIterations(const CommandLineScanner& scanner, int32_t& iterations, FILE* out)
{
    iterations = 0;
    long value = 0;
    if (!readBoundedNumber(scanner, "xi", 1, kMaxExtendedIterations, value, out))
        return false;
    iterations = static_cast<int32_t>(value);
    return true;
}

bool readKeptChunkList(const CommandLineScanner& scanner, ChunkSelection& selection, FILE* out)
{
    selection = ChunkSelection();
    if (!scanner.hasSwitch("kc"))
        return true;
    TextString list;
    std::string badWord;
    if (scanner.find("kc", &list) && parseChunkSelection(list.c_str(), selection, badWord))
        return true;
    std::fprintf(out, uiText(Msg::ErrorKeptChunkList), badWord.empty() ? "" : ": ", badWord.c_str());
    std::fflush(out);
    return false;
}
