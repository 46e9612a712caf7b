#pragma once
// CommandLineScanner: finds switch words and their values in a raw command line.
//
// The line is the text the operating system hands a program: its own name
// first, then the arguments separated by spaces, double quotes kept. A switch
// is switchChar followed by its name, as a word of its own. Quoted stretches
// are skipped whole, so a quoted word beginning with switchChar is never a
// switch. The switch character alone (the word "-") is no switch but a value,
// the one that names standard input or output. Names compare case-sensitively. When a switch appears twice, the
// first occurrence decides.
//
// Scans step by whole characters of the system code page (codepage.h), so the
// trail byte of a double-byte character is never taken for a space, a quote or
// the switch character. Not copyable; one thread at a time.

#include <string>
#include <vector>

#include "core/text_string.h"

// One word of the line as find() reads it: a word runs to the next space,
// except that a quoted stretch at its start is taken whole (without its
// quotes) and a switch character right after that stretch starts a word of
// its own. A switch word begins with the switch character; its text is the
// name after it. The switch character alone is a value word ("-").
struct CommandWord {
    std::string text;
    bool isSwitch = false;
};

class CommandLineScanner {
public:
    CommandLineScanner() = default;
    CommandLineScanner(const CommandLineScanner&) = delete;
    CommandLineScanner& operator=(const CommandLineScanner&) = delete;

    // Stores the switch character and a copy of the command line.
    void setup(char switchChar, const char* commandLine);

    // True when the switch word `name` is present. With a value destination,
    // it is found only when a value word follows it (not another switch); the
    // destination then receives the value without its quotes. An opening quote
    // without a closing one runs to the end of the line. The value may be empty
    // when the line ends in spaces. The destination is untouched when not found.
    bool find(const char* name, TextString* value) const;
    // find with a value; when not found, value becomes defaultValue.
    bool getValue(const char* name, TextString& value, const char* defaultValue) const;
    // find without a value.
    bool hasSwitch(const char* name) const { return find(name, nullptr); }
    // Every word after the first (the program's name), in order.
    void words(std::vector<CommandWord>& out) const;

private:
    // True when the word at word (inside the line) is a switch word.
    bool startsSwitch(const char* word) const;

    TextString line_;
    char switchChar_ = '-';
};
