// make_catalogue: checks the message catalogues (po/*.po) and turns them into
// the programs' table of texts. Runs on the build machine at build time (a
// host program also in cross builds).
//
// Usage: make_catalogue <msgfmt> <msgcmp> <output folder> <reference.po> [<language>.po...]
//
// The reference catalogue names every text: its key (msgctxt), its English
// (msgid) and its translation into the reference language (msgstr). Every
// other catalogue translates the same entries. Writes into the output folder:
//   message_ids.h      enum class Msg (one value per key, in reference order)
//                      and the table's declarations;
//   message_table.cpp  the texts of every language, English first;
//   messages_<code>.rch one "#define T_<key> "text"" per text for the
//                      resource scripts, and TEXTS_LANGUAGE "<code>".
// Fails, writing nothing, when gettext's tools find fault with a catalogue
// (msgfmt --check-format: placeholders or line ends of a translation unlike
// its msgid's; msgcmp against the reference: an entry missing, untranslated
// or fuzzy), or, naming file and line, when an entry has no key or a key
// twice, a key is no identifier, English holds anything but printable ASCII,
// a text is empty or fuzzy, a text with a '%' is not marked c-format (or
// no-c-format) so that msgfmt checks its placeholders, a catalogue's file is
// not named after its language, or another catalogue misses a key, adds one,
// or translates another msgid than the reference's. Texts are copied in the
// .po form, which is C's escaped form.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::string key;
    std::string english;      // msgid, escaped as in the file
    std::string translation;  // msgstr, escaped as in the file
    std::set<std::string> flags;
    int line = 0;
};

struct Catalogue {
    std::string path;
    std::string language;   // the header's "Language:"
    std::vector<Entry> entries;
};

bool failed = false;

void error(const std::string& path, int line, const std::string& what)
{
    std::cerr << path << ":" << line << ": " << what << "\n";
    failed = true;
}

// The text of a quoted .po string starting at text[start] ('"'), escapes kept.
bool quoted(const std::string& text, size_t start, std::string& out)
{
    if (start >= text.size() || text[start] != '"')
        return false;
    size_t end = start + 1;
    while (end < text.size() && text[end] != '"')
        end += text[end] == '\\' ? 2 : 1;
    if (end >= text.size())
        return false;
    out = text.substr(start + 1, end - start - 1);
    return end + 1 == text.find_last_not_of(" \t\r") + 1;
}

std::vector<std::string> splitFlags(const std::string& line)
{
    std::vector<std::string> flags;
    std::string flag;
    for (size_t i = 2; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == ',') {
            const size_t first = flag.find_first_not_of(' ');
            if (first != std::string::npos)
                flags.push_back(flag.substr(first, flag.find_last_not_of(' ') - first + 1));
            flag.clear();
        } else {
            flag += line[i];
        }
    }
    return flags;
}

// The header's field name (e.g. "Language") from the escaped header text.
std::string headerField(const std::string& header, const std::string& name)
{
    const std::string prefix = name + ": ";
    size_t start = 0;
    while (start < header.size()) {
        size_t end = header.find("\\n", start);
        if (end == std::string::npos)
            end = header.size();
        const std::string line = header.substr(start, end - start);
        if (line.compare(0, prefix.size(), prefix) == 0)
            return line.substr(prefix.size());
        start = end + 2;
    }
    return std::string();
}

Catalogue read(const std::string& path)
{
    Catalogue catalogue;
    catalogue.path = path;
    std::ifstream in(path);
    if (!in) {
        error(path, 0, "cannot be read");
        return catalogue;
    }
    Entry entry;
    bool hasKey = false, hasEnglish = false, hasTranslation = false;
    std::string* field = nullptr;   // what a continuation line extends
    const auto finish = [&]() {
        if (hasEnglish && hasTranslation) {
            if (!hasKey && entry.english.empty())
                catalogue.language = headerField(entry.translation, "Language");
            else if (!hasKey)
                error(path, entry.line, "a text without a key (msgctxt)");
            else
                catalogue.entries.push_back(entry);
        } else if (hasKey || hasEnglish || hasTranslation) {
            error(path, entry.line, "an entry without msgid or msgstr");
        }
        entry = Entry();
        hasKey = hasEnglish = hasTranslation = false;
        field = nullptr;
    };
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) {
            finish();
            continue;
        }
        if (line.compare(0, 2, "#~") == 0) {
            error(path, number, "an obsolete entry: remove it");
            continue;
        }
        if (line[0] == '#') {
            if (hasTranslation)
                finish();
            if (line.compare(0, 2, "#,") == 0) {
                for (const std::string& flag : splitFlags(line))
                    entry.flags.insert(flag);
            }
            continue;
        }
        std::string text;
        if (line[0] == '"') {
            if (field == nullptr || !quoted(line, 0, text))
                error(path, number, "a string where none belongs");
            else
                *field += text;
            continue;
        }
        const size_t space = line.find(' ');
        const std::string keyword = line.substr(0, space);
        if (space == std::string::npos || !quoted(line, space + 1, text)) {
            error(path, number, "not a .po line: " + line);
            continue;
        }
        const struct {
            const char* keyword;
            bool* seen;
            std::string* text;
        } fields[] = {{"msgctxt", &hasKey, &entry.key},
                      {"msgid", &hasEnglish, &entry.english},
                      {"msgstr", &hasTranslation, &entry.translation}};
        const auto found = std::find_if(std::begin(fields), std::end(fields),
                                        [&](const auto& known) { return keyword == known.keyword; });
        if (found == std::end(fields)) {
            error(path, number, "unsupported: " + keyword);
            continue;
        }
        if (hasTranslation && found->seen != &hasTranslation)
            finish();   // a key or msgid after a msgstr begins the next entry
        *found->seen = true;
        *found->text = text;
        field = found->text;
        if (entry.line == 0)
            entry.line = number;
    }
    finish();
    if (catalogue.language.empty())
        error(path, 1, "no Language in the header");
    return catalogue;
}

bool isIdentifier(const std::string& key)
{
    if (key.empty() || !std::isalpha(static_cast<unsigned char>(key[0])))
        return false;
    for (const char c : key) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

bool isPrintableAscii(const std::string& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            return false;
    }
    return true;
}

void checkEntry(const Catalogue& catalogue, const Entry& entry)
{
    if (entry.translation.empty())
        error(catalogue.path, entry.line, entry.key + ": not translated");
    if (entry.flags.count("fuzzy"))
        error(catalogue.path, entry.line, entry.key + ": fuzzy");
    if (entry.english.find('%') != std::string::npos && !entry.flags.count("c-format") &&
        !entry.flags.count("no-c-format"))
        error(catalogue.path, entry.line, entry.key + ": a '%' without c-format or no-c-format");
}

void checkReference(const Catalogue& reference)
{
    std::set<std::string> keys;
    for (const Entry& entry : reference.entries) {
        if (!isIdentifier(entry.key))
            error(reference.path, entry.line, "the key '" + entry.key + "' is no identifier");
        if (!keys.insert(entry.key).second)
            error(reference.path, entry.line, entry.key + ": the key is given twice");
        if (entry.english.empty() || !isPrintableAscii(entry.english))
            error(reference.path, entry.line, entry.key + ": English must be printable ASCII");
        checkEntry(reference, entry);
    }
}

// Checks a catalogue against the reference; its texts in reference order.
std::vector<std::string> translationsOf(const Catalogue& catalogue, const Catalogue& reference)
{
    std::map<std::string, const Entry*> byKey;
    for (const Entry& entry : catalogue.entries) {
        if (!byKey.emplace(entry.key, &entry).second)
            error(catalogue.path, entry.line, entry.key + ": the key is given twice");
        checkEntry(catalogue, entry);
    }
    std::vector<std::string> texts;
    for (const Entry& wanted : reference.entries) {
        const auto found = byKey.find(wanted.key);
        if (found == byKey.end()) {
            error(catalogue.path, 0, wanted.key + ": missing");
            texts.emplace_back();
            continue;
        }
        if (found->second->english != wanted.english)
            error(catalogue.path, found->second->line, wanted.key + ": its msgid differs from " + reference.path);
        texts.push_back(found->second->translation);
        byKey.erase(found);
    }
    for (const auto& extra : byKey)
        error(catalogue.path, extra.second->line, extra.first + ": not in " + reference.path);
    return texts;
}

// The word quoted for the shell.
std::string shellWord(const std::string& word)
{
    std::string quotedWord = "'";
    for (const char c : word)
        quotedWord += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quotedWord + "'";
}

// Runs a gettext tool; a failure (its own messages on stderr) fails the run.
void runTool(const std::string& commandLine, const std::string& path)
{
    if (std::system(commandLine.c_str()) != 0)
        error(path, 0, "rejected by " + commandLine);
}

// Writes text to path unless the file holds it already (then its time stays,
// and what includes it is not rebuilt).
void writeFile(const std::string& path, const std::string& text)
{
    std::ifstream old(path, std::ios::binary);
    std::ostringstream held;
    held << old.rdbuf();
    if (old && held.str() == text)
        return;
    old.close();
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out)
        error(path, 0, "cannot be written");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::cerr << "usage: make_catalogue <msgfmt> <msgcmp> <output folder> <reference.po> [<language>.po...]\n";
        return 2;
    }
    const std::string folder = argv[3];
    for (int i = 4; i < argc; ++i) {
        runTool(shellWord(argv[1]) + " --check-format -o /dev/null " + shellWord(argv[i]), argv[i]);
        runTool(shellWord(argv[2]) + " " + shellWord(argv[i]) + " " + shellWord(argv[4]), argv[i]);
    }
    const Catalogue reference = read(argv[4]);
    checkReference(reference);

    std::vector<std::string> codes = {"en"};
    std::vector<std::vector<std::string>> texts(1);
    for (const Entry& entry : reference.entries)
        texts[0].push_back(entry.english);
    for (int i = 4; i < argc; ++i) {
        const Catalogue catalogue = i == 4 ? reference : read(argv[i]);
        const std::string& path = catalogue.path;
        const size_t name = path.find_last_of("/\\") + 1;
        if (path.compare(name, std::string::npos, catalogue.language + ".po") != 0)
            error(path, 1, "the file of language " + catalogue.language + " must be named " + catalogue.language + ".po");
        for (const std::string& code : codes) {
            if (code == catalogue.language)
                error(catalogue.path, 1, "a second catalogue of language " + code);
        }
        codes.push_back(catalogue.language);
        texts.push_back(translationsOf(catalogue, reference));
    }
    if (failed)
        return 1;

    const std::string generated = "// Generated by po/make_catalogue.cpp from the message catalogues: do not edit.\n";
    std::ostringstream ids;
    ids << generated << "#pragma once\n\n#include <cstdint>\n\n"
        << "// The texts by key (po/ja.po names them).\nenum class Msg : uint16_t {\n";
    for (const Entry& entry : reference.entries)
        ids << "    " << entry.key << ",\n";
    ids << "};\n\nconstexpr int kMessageCount = " << reference.entries.size() << ";\n"
        << "constexpr int kTextLanguageCount = " << codes.size() << ";\n"
        << "// The language of the C locale: the reference catalogue's.\n"
        << "constexpr int kDefaultTextLanguage = 1;\n\n"
        << "// The languages' codes (\"en\", \"ja\"), indexed as the table.\n"
        << "extern const char* const kTextLanguageCodes[kTextLanguageCount];\n"
        << "// Every text of every language, by language and key.\n"
        << "extern const char* const kMessageTexts[kTextLanguageCount][kMessageCount];\n";
    writeFile(folder + "/message_ids.h", ids.str());

    std::ostringstream table;
    table << generated << "#include \"message_ids.h\"\n\nconst char* const kTextLanguageCodes[kTextLanguageCount] = {";
    for (const std::string& code : codes)
        table << "\"" << code << "\", ";
    table << "};\n\nconst char* const kMessageTexts[kTextLanguageCount][kMessageCount] = {\n";
    for (size_t language = 0; language < codes.size(); ++language) {
        table << "    {   // " << codes[language] << "\n";
        for (size_t i = 0; i < reference.entries.size(); ++i)
            table << "        \"" << texts[language][i] << "\",   // " << reference.entries[i].key << "\n";
        table << "    },\n";
    }
    table << "};\n";
    writeFile(folder + "/message_table.cpp", table.str());

    for (size_t language = 0; language < codes.size(); ++language) {
        std::ostringstream rc;
        rc << generated << "// The texts in " << codes[language] << " for the resource scripts (UTF-8).\n"
           << "#undef TEXTS_LANGUAGE\n#define TEXTS_LANGUAGE \"" << codes[language] << "\"\n";
        for (size_t i = 0; i < reference.entries.size(); ++i) {
            const std::string& key = reference.entries[i].key;
            rc << "#undef T_" << key << "\n#define T_" << key << " \"" << texts[language][i] << "\"\n";
        }
        writeFile(folder + "/messages_" + codes[language] + ".rch", rc.str());
    }
    return failed ? 1 : 0;
}
