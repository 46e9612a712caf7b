// Checks of the settings file parser and the console's command-line scanner on
// arbitrary bytes, each against an independent reading of its rules.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <string>
#include <vector>

#include "app/logic/settings_file.h"
#include "console/command_line_scanner.h"
#include "console/console_run.h"
#include "console/console_switches.h"
#include "console/file_list_mode.h"
#include "console/folder_batch.h"
#include "engine/worker_pool.h"
#include "core/text_string.h"
#include "fuzz/fuzz_checks.h"
#include "fuzz/scratch_folder.h"

namespace {

bool isAscii(const std::string& text)
{
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

// ---- Settings file ----

// Lines of an ASCII text up to its first NUL, split at CR LF, CR and LF.
std::vector<std::string> referenceLines(const std::string& text)
{
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size() && text[i] != 0; ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

// A decimal number as the settings rules read it, saturated to 32 bits.
int32_t referenceNumber(const char* p)
{
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value < (1ll << 32))
            value = value * 10 + (*p - '0');
    if (negative)
        value = -value;
    if (value > 2147483647ll)
        return 2147483647;
    if (value < -2147483648ll)
        return int32_t(-2147483647 - 1);
    return int32_t(value);
}

bool startsWith(const char* text, const std::string& prefix)
{
    return std::strncmp(text, prefix.c_str(), prefix.size()) == 0;
}

// Names that the text itself offers: "[name]" headers and "key=" lines.
void collectNames(const SettingsFile& file, std::vector<std::string>& sections, std::vector<std::string>& keys)
{
    for (int32_t i = 0; i < file.lineCount && sections.size() + keys.size() < 16; ++i) {
        const char* line = file.line(i);
        if (line[0] == '[') {
            const char* close = std::strchr(line, ']');
            if (close)
                sections.emplace_back(line + 1, size_t(close - line - 1));
        } else if (const char* equals = std::strchr(line, '=')) {
            keys.emplace_back(line, size_t(equals - line));
        }
    }
}

std::string checkSection(const SettingsFile& file, const std::string& name)
{
    const std::string header = "[" + name + "]";
    int32_t expected = -1;
    for (int32_t i = 0; i < file.lineCount && expected < 0; ++i)
        if (startsWith(file.line(i), header))
            expected = i;
    if (file.section != expected)
        return "section \"" + name + "\" selected at line " + std::to_string(file.section) + ", expected " +
               std::to_string(expected);
    return std::string();
}

std::string checkKey(const SettingsFile& file, const std::string& key)
{
    const char* expected = nullptr;
    if (file.section >= 0) {
        for (int32_t i = file.section + 1; i < file.lineCount; ++i) {
            const char* line = file.line(i);
            if (line[0] == '[')
                break;
            if (startsWith(line, key + "=")) {
                expected = line + key.size() + 1;
                break;
            }
        }
    }
    const char* value = file.findValue(key.c_str());
    if (value != expected)
        return "key \"" + key + "\" found at the wrong place";
    const int32_t number = file.getInt(key.c_str(), 12345);
    if (number != (value ? referenceNumber(value) : 12345))
        return "key \"" + key + "\" reads as " + std::to_string(number);
    TextString text;
    file.getString(key.c_str(), text, "(default)");
    if (std::strcmp(text.c_str(), value ? value : "(default)") != 0)
        return "key \"" + key + "\" gives another string";
    return std::string();
}

// Every line pointer lies inside the text and ends before its end.
std::string checkLineTable(const SettingsFile& file)
{
    if (file.lineCount < 1)
        return "a loaded file without lines";
    const char* begin = reinterpret_cast<const char*>(file.text.data);
    const char* end = begin + file.text.size;
    for (int32_t i = 0; i < file.lineCount; ++i) {
        const char* line = file.line(i);
        if (line < begin || line >= end || std::memchr(line, 0, size_t(end - line)) == nullptr)
            return "line " + std::to_string(i) + " outside the text";
    }
    return std::string();
}

// ---- Command-line scanner ----

struct ScanAnswer {
    bool present = false;
    bool withValue = false;
    std::string value;
};

// The switch scan read from its rules, byte by byte (valid for ASCII lines,
// where every character is one byte).
bool referenceFind(const std::string& line, const std::string& name, bool wantValue, std::string& value)
{
    auto at = [&line](size_t i) { return i < line.size() ? line[i] : '\0'; };
    const size_t none = std::string::npos;
    size_t p = 0;
    for (;;) {
        if (at(p) == 0)
            return false;
        while (at(p) == ' ')
            ++p;
        if (at(p) == '"') {
            const size_t closing = line.find('"', p + 1);
            if (closing == none)
                return false;
            p = closing + 1;
        }
        if (at(p) != '-') {
            const size_t space = line.find(' ', p);
            if (space == none)
                return false;
            p = space;
            continue;
        }
        const size_t space = line.find(' ', p + 1);
        const std::string word = line.substr(p + 1, space == none ? none : space - p - 1);
        if (word != name) {
            if (space == none)
                return false;
            p = space + 1;
            continue;
        }
        if (!wantValue)
            return true;
        if (space == none)
            return false;
        p = space;
        while (at(p) == ' ')
            ++p;
        // A lone "-" is a value (a standard stream), any other word starting with '-' a switch.
        if (at(p) == '-' && at(p + 1) != ' ' && at(p + 1) != 0)
            return false;
        if (at(p) == '"') {
            const size_t closing = line.find('"', p + 1);
            value = line.substr(p + 1, closing == none ? none : closing - p - 1);
        } else {
            const size_t next = line.find(' ', p);
            value = line.substr(p, next == none ? none : next - p);
        }
        return true;
    }
}

std::string checkSwitch(const CommandLineScanner& scanner, const std::string& line, const std::string& name)
{
    const bool present = scanner.hasSwitch(name.c_str());
    TextString value;
    value.assign("(untouched)");
    const bool withValue = scanner.find(name.c_str(), &value);
    if (withValue && !present)
        return "-" + name + " has a value but is not present";
    if (!withValue && std::strcmp(value.c_str(), "(untouched)") != 0)
        return "-" + name + " not found but its destination changed";
    TextString viaGet;
    const bool got = scanner.getValue(name.c_str(), viaGet, "(default)");
    if (got != withValue || std::strcmp(viaGet.c_str(), withValue ? value.c_str() : "(default)") != 0)
        return "getValue and find disagree on -" + name;
    if (withValue && std::strlen(value.c_str()) > line.size())
        return "the value of -" + name + " is longer than the line";
    if (isAscii(line)) {
        std::string expectedValue;
        std::string unused;
        const bool expectedPresent = referenceFind(line, name, false, unused);
        const bool expectedWithValue = referenceFind(line, name, true, expectedValue);
        if (present != expectedPresent || withValue != expectedWithValue)
            return "-" + name + " found " + std::to_string(present) + "/" + std::to_string(withValue) +
                   ", the rules say " + std::to_string(expectedPresent) + "/" + std::to_string(expectedWithValue);
        if (withValue && expectedValue != value.c_str())
            return "-" + name + " has value \"" + value.c_str() + "\", the rules say \"" + expectedValue + "\"";
    }
    return std::string();
}

FILE* discardStream()
{
    static FILE* stream = std::fopen("/dev/null", "w");
    return stream;
}

std::string checkOptionsReader(const std::string& line)
{
    FILE* out = discardStream();
    if (out == nullptr)
        return "cannot open /dev/null";
    // The line as a program gets it: its own name first.
    const std::string programLine = "tolvarinxc " + line;
    CommandLineScanner scanner;
    scanner.setup('-', programLine.c_str());
    ConsoleOptions options;
    if (!readConsoleOptions(scanner, options, out))
        return std::string();
    if (options.inputPath.isEmpty() || options.outputPath.isEmpty())
        return "the options were accepted with an empty path";
    // Each switch of the program's table sets its own bit and nothing else.
    uint16_t expectedFlags = 0;
    for (int i = 0; i < kFlagSwitchCount; ++i) {
        const FlagSwitch& entry = kFlagSwitches[i];
        if ((expectedFlags & entry.flag) != 0 || (entry.flag & (entry.flag - 1)) != 0)
            return std::string("the switch -") + entry.name + " shares its bit or sets several";
        expectedFlags |= scanner.hasSwitch(entry.name) ? entry.flag : 0;
    }
    const uint16_t levelFlags = OPT_EXTENDED_SEARCH | RUN_EXTENDED_LEVEL_MASK;
    if ((options.runFlags & ~levelFlags) != expectedFlags || (expectedFlags & levelFlags) != 0)
        return "the run flags are not those of the switches present";
    // The level switches: with any of them present, OPT_EXTENDED_SEARCH and
    // the level of one that is present, the others of another level named as
    // overruled; with none, neither. The request gets both.
    const int32_t level = extendedLevelOfRunFlags(options.runFlags);
    bool anyLevel = false;
    bool levelPresent = false;
    std::vector<std::string> otherLevels;
    for (int i = 0; i < kLevelSwitchCount; ++i) {
        const LevelSwitch& entry = kLevelSwitches[i];
        if (entry.level < kMinExtendedLevel || entry.level > kMaxExtendedLevel)
            return std::string("the switch -") + entry.name + " asks for a level out of range";
        if (!scanner.hasSwitch(entry.name))
            continue;
        anyLevel = true;
        if (entry.level == level)
            levelPresent = true;
        else
            otherLevels.push_back(std::string("-") + entry.name);
    }
    if (((options.runFlags & OPT_EXTENDED_SEARCH) != 0) != anyLevel || (level != 0) != anyLevel ||
        (anyLevel && !levelPresent))
        return "-x, -x1, -x2 and -x3 do not give OPT_EXTENDED_SEARCH and the level of one present";
    const ConversionSettings settings = settingsOfRunFlags(options.runFlags);
    if ((settings.options & OPT_EXTENDED_SEARCH) != (options.runFlags & OPT_EXTENDED_SEARCH) ||
        settings.extendedLevel != level)
        return "the level switches do not reach the request as OPT_EXTENDED_SEARCH and extendedLevel";
    std::vector<std::string> overruled = overruledLevelSwitches(scanner);
    std::sort(overruled.begin(), overruled.end());
    overruled.erase(std::unique(overruled.begin(), overruled.end()), overruled.end());
    std::sort(otherLevels.begin(), otherLevels.end());
    if (overruled != otherLevels)
        return "the overruled level switches are not those present of another level";
    if (scanner.hasSwitch("xi") ? options.extendedIterations < 1 || options.extendedIterations > kMaxExtendedIterations
                                : options.extendedIterations != 0)
        return "-xi accepted outside 1 to kMaxExtendedIterations, or set without the switch";
    TextString input;
    if (!scanner.find("i", &input) || std::strcmp(input.c_str(), options.inputPath.c_str()) != 0)
        return "the input path is not the value of -i";
    // "-i -" without a value of -o writes standard output; "-o -" always does.
    TextString output;
    const bool standardInput = std::strcmp(input.c_str(), kStandardStreamName) == 0;
    const bool outputGiven = scanner.find("o", &output) && !output.isEmpty();
    const char* expectedOutput = outputGiven ? output.c_str() : standardInput ? kStandardStreamName : nullptr;
    if (expectedOutput && std::strcmp(options.outputPath.c_str(), expectedOutput) != 0)
        return "the output is not the value of -o, or not standard output after -i -";
    return std::string();
}

// The words of the line sorted by the switch tables, and the run settings of
// the modes over many files read from it.
std::string checkWordSorting(const std::string& line)
{
    CommandLineScanner scanner;
    scanner.setup('-', line.c_str());
    SortedWords words;
    sortWords(scanner, words);
    std::vector<CommandWord> all;
    scanner.words(all);
    if (words.files.size() + words.switchLike.size() + words.unknownSwitches.size() > all.size())
        return "more sorted words than words";
    for (const std::string& file : words.files) {
        if (!file.empty() && file[0] == '-')
            return "the file word \"" + file + "\" begins with a dash";
    }
    for (const std::string& word : words.unknownSwitches) {
        // (A lead byte steps over the byte after it, a space included.)
        if (word.empty() || word[0] != '-' || (isAscii(line) && word.find(' ') != std::string::npos))
            return "the unknown switch \"" + word + "\" is no switch word";
        if (!scanner.hasSwitch(word.c_str() + 1))
            return "the unknown switch \"" + word + "\" is not found as a switch";
    }
    if (isFileListLine(scanner, words) && (scanner.hasSwitch("i") || scanner.hasSwitch("d") || words.files.empty()))
        return "a file list with -i, -d or no file";
    FILE* out = discardStream();
    if (out == nullptr)
        return "cannot open /dev/null";
    const uint16_t runFlags = readFlagSwitches(scanner);
    for (const uint8_t mode : {CONSOLE_MODE_ONE_FILE, CONSOLE_MODE_FOLDER, CONSOLE_MODE_FILE_LIST}) {
        for (const std::string& word : ignoredSwitches(scanner, runFlags, mode)) {
            const std::string name = word.substr(1, word.find(' ') - 1);
            if (word[0] != '-' || name.empty() || !scanner.hasSwitch(name.c_str()))
                return "the ignored switch \"" + word + "\" is not on the line";
        }
    }
    BatchSettings settings;
    if (!readBatchSettings(scanner, runFlags, settings, out))
        return std::string();
    if (settings.jobs < 1 || settings.jobs > kMaxWorkers)
        return "-j accepted outside 1 to kMaxWorkers";
    if (settings.file.testRun != scanner.hasSwitch("n") ||
        settings.file.keepTimeStamps != scanner.hasSwitch("ts") ||
        settings.file.replaceExisting != scanner.hasSwitch("f") ||
        settings.file.options != (runFlags & kConvertOptionBits) ||
        settings.file.extendedLevel != extendedLevelOfRunFlags(runFlags))
        return "the batch settings are not those of the switches present";
    const ReportStyle style = scanner.hasSwitch("-json") ? ReportStyle::Json
                              : scanner.hasSwitch("q")   ? ReportStyle::Quiet
                                                         : ReportStyle::Text;
    if (settings.style != style)
        return "the report style is not that of --json and -q";
    return std::string();
}

}  // namespace

std::string checkSettingsParser(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    SettingsFile fromMemory;
    const bool loaded = fromMemory.loadText(text.data(), uint32_t(size));
    if (loaded != (size > 0))
        return loaded ? "an empty text loaded" : "a text did not load";

    const std::string path = scratchPath("settings.ini");
    if (!writeScratchFile(path, data, size))
        return "cannot write the scratch file " + path;
    SettingsFile fromFile;
    if (fromFile.load(path.c_str()) != loaded)
        return "file and memory loads disagree";
    if (!loaded)
        return std::string();

    std::string problem = checkLineTable(fromMemory);
    if (!problem.empty())
        return problem;
    if (fromFile.lineCount != fromMemory.lineCount)
        return "file and memory give different line counts";
    for (int32_t i = 0; i < fromMemory.lineCount; ++i)
        if (std::strcmp(fromFile.line(i), fromMemory.line(i)) != 0)
            return "file and memory give different line " + std::to_string(i);
    if (isAscii(text)) {
        const std::vector<std::string> expected = referenceLines(text);
        if (int32_t(expected.size()) != fromMemory.lineCount)
            return std::to_string(fromMemory.lineCount) + " lines, the rules say " + std::to_string(expected.size());
        for (int32_t i = 0; i < fromMemory.lineCount; ++i)
            if (expected[size_t(i)] != fromMemory.line(i))
                return "line " + std::to_string(i) + " differs from the rules";
    }

    std::vector<std::string> sections = {"Tolvarinx3"};
    std::vector<std::string> keys = {"WinX", "WinY", "OptFlag", "DirFlag", "OpenDir", "SaveDir"};
    collectNames(fromMemory, sections, keys);
    for (const std::string& section : sections) {
        fromMemory.selectSection(section.c_str());
        problem = checkSection(fromMemory, section);
        for (size_t k = 0; problem.empty() && k < keys.size(); ++k)
            problem = checkKey(fromMemory, keys[k]);
        if (!problem.empty())
            return problem;
    }
    return std::string();
}

std::string checkCommandLineScanner(const uint8_t* data, size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    CommandLineScanner scanner;
    scanner.setup('-', line.c_str());

    // Every switch of the program's tables, and the empty name.
    std::vector<std::string> names = {""};
    for (int i = 0; i < kFlagSwitchCount; ++i)
        names.push_back(kFlagSwitches[i].name);
    for (int i = 0; i < kLevelSwitchCount; ++i)
        names.push_back(kLevelSwitches[i].name);
    names.insert(names.end(), kValueSwitches, kValueSwitches + kValueSwitchCount);
    names.insert(names.end(), kPlainSwitches, kPlainSwitches + kPlainSwitchCount);
    const size_t nameLimit = names.size() + 4;
    // Switch words of the line itself, so that matches are not left to chance.
    for (size_t p = line.find('-'); p != std::string::npos && names.size() < nameLimit; p = line.find('-', p + 1)) {
        const size_t end = line.find(' ', p);
        names.push_back(line.substr(p + 1, end == std::string::npos ? std::string::npos : end - p - 1));
    }
    for (const std::string& name : names) {
        const std::string problem = checkSwitch(scanner, line, name);
        if (!problem.empty())
            return problem;
    }
    const std::string problem = checkOptionsReader(line);
    return problem.empty() ? checkWordSorting(line) : problem;
}
