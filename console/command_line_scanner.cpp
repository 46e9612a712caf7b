#include "console/command_line_scanner.h"

#include <cstring>
#include <utility>

#include "core/codepage.h"

namespace {

// First character at or after p whose lead byte is ch; null when the text ends first.
const char* findChar(const char* p, char ch)
{
    while (*p != 0) {
        if (*p == ch)
            return p;
        p = nextChar(p);
    }
    return nullptr;
}

} // namespace

void CommandLineScanner::setup(char switchChar, const char* commandLine)
{
    switchChar_ = switchChar;
    line_.assign(commandLine != nullptr ? commandLine : "");
}

bool CommandLineScanner::find(const char* name, TextString* value) const
{
    const char* p = line_.c_str();
    const size_t nameLength = std::strlen(name);

    for (;;) {
        if (*p == 0)
            return false;
        while (*p == ' ')
            ++p;

        // A quoted stretch is skipped whole, whatever it holds.
        if (*p == '"') {
            const char* closing = findChar(nextChar(p), '"');
            if (closing == nullptr)
                return false;
            p = nextChar(closing);
        }

        if (*p != switchChar_) {
            const char* space = findChar(p, ' ');
            if (space == nullptr)
                return false;
            p = space;
            continue;
        }

        const char* wordStart = nextChar(p);
        const char* space = findChar(wordStart, ' ');
        const char* wordEnd = space != nullptr ? space : wordStart + std::strlen(wordStart);
        const bool equal = static_cast<size_t>(wordEnd - wordStart) == nameLength &&
                           std::memcmp(wordStart, name, nameLength) == 0;
        if (!equal) {
            if (space == nullptr)
                return false;
            p = space + 1;
            continue;
        }
        if (value == nullptr)
            return true;
        if (space == nullptr)
            return false;

        p = space;
        while (*p == ' ')
            ++p;
        if (startsSwitch(p))
            return false;

        const char* valueStart = p;
        const char* valueEnd;
        if (*p == '"') {
            valueStart = nextChar(p);
            valueEnd = findChar(valueStart, '"');
        } else {
            valueEnd = findChar(valueStart, ' ');
        }
        if (valueEnd == nullptr)
            valueEnd = valueStart + std::strlen(valueStart);

        const int start = static_cast<int>(valueStart - line_.c_str());
        line_.substring(*value, start, static_cast<int>(valueEnd - valueStart));
        return true;
    }
}

bool CommandLineScanner::startsSwitch(const char* word) const
{
    // The word "-" alone is the value that names a standard stream.
    return *word == switchChar_ && word[1] != ' ' && word[1] != 0;
}

bool CommandLineScanner::getValue(const char* name, TextString& value, const char* defaultValue) const
{
    if (find(name, &value))
        return true;
    value.assign(defaultValue);
    return false;
}

void CommandLineScanner::words(std::vector<CommandWord>& out) const
{
    // The boundaries find() sees: a quoted stretch at the start of a word is
    // taken whole, and a switch character right after it starts a word of
    // its own; any other word runs to the next space.
    out.clear();
    const char* p = line_.c_str();
    bool first = true;
    for (;;) {
        while (*p == ' ')
            ++p;
        if (*p == 0)
            return;
        CommandWord word;
        if (*p == '"') {
            const char* start = nextChar(p);
            const char* closing = findChar(start, '"');
            const char* end = closing != nullptr ? closing : start + std::strlen(start);
            word.text.assign(start, static_cast<size_t>(end - start));
            p = closing != nullptr ? nextChar(closing) : end;
        }
        // A lone switch character is a value word, as find() takes it.
        if (word.text.empty() && startsSwitch(p)) {
            word.isSwitch = true;
            p = nextChar(p);
        }
        if (!(*p == switchChar_ && !word.isSwitch && !word.text.empty())) {
            const char* space = findChar(p, ' ');
            const char* end = space != nullptr ? space : p + std::strlen(p);
            word.text.append(p, static_cast<size_t>(end - p));
            p = end;
        }
        if (!first)
            out.push_back(std::move(word));
        first = false;
    }
}
