// Switch scanning of the console's command line and the joining of argv.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "console/command_line.h"
#include "console/command_line_scanner.h"

namespace {

struct Lookup {
    bool found = false;
    std::string value;
};

Lookup valueOf(const char* line, const char* name)
{
    CommandLineScanner scanner;
    scanner.setup('-', line);
    TextString value("untouched");
    Lookup result;
    result.found = scanner.find(name, &value);
    result.value = value.c_str();
    return result;
}

bool has(const char* line, const char* name)
{
    CommandLineScanner scanner;
    scanner.setup('-', line);
    return scanner.hasSwitch(name);
}

} // namespace

TEST(CommandLineScanner, PlainValues)
{
    const char* line = "tolvarinxc -i in.bmp -o out.png -nf";
    EXPECT_EQ(valueOf(line, "i").value, "in.bmp");
    EXPECT_EQ(valueOf(line, "o").value, "out.png");
    EXPECT_TRUE(has(line, "nf"));
    EXPECT_FALSE(has(line, "nd"));
    // The switch word must match whole: -n is no prefix of -nf.
    EXPECT_FALSE(has(line, "n"));
    EXPECT_FALSE(has(line, "nff"));
}

TEST(CommandLineScanner, ValueSwitchAtEndOrBeforeSwitchIsNotFound)
{
    EXPECT_FALSE(valueOf("prog -i a.bmp -o", "o").found);
    EXPECT_FALSE(valueOf("prog -i a.bmp -o -nf", "o").found);
    EXPECT_FALSE(valueOf("prog -o    -nf -i a.bmp", "o").found);
    // The destination is left alone when nothing is found.
    EXPECT_EQ(valueOf("prog -o -nf", "o").value, "untouched");
    // Present as a switch all the same.
    EXPECT_TRUE(has("prog -i a.bmp -o", "o"));
}

TEST(CommandLineScanner, GetValueFallsBackToDefault)
{
    CommandLineScanner scanner;
    scanner.setup('-', "prog -o -nf");
    TextString value("old");
    EXPECT_FALSE(scanner.getValue("o", value, ""));
    EXPECT_TRUE(value.isEmpty());
    EXPECT_FALSE(scanner.getValue("i", value, "fallback"));
    EXPECT_STREQ(value.c_str(), "fallback");
}

TEST(CommandLineScanner, QuotedValueKeepsSpaces)
{
    Lookup in = valueOf("prog -i \"my pictures/a b.bmp\" -nf", "i");
    EXPECT_TRUE(in.found);
    EXPECT_EQ(in.value, "my pictures/a b.bmp");
    EXPECT_TRUE(has("prog -i \"my pictures/a b.bmp\" -nf", "nf"));
}

TEST(CommandLineScanner, UnclosedQuoteRunsToEndOfLine)
{
    Lookup in = valueOf("prog -i \"a b -nf", "i");
    EXPECT_TRUE(in.found);
    EXPECT_EQ(in.value, "a b -nf");
}

TEST(CommandLineScanner, QuotedWordIsNeverASwitch)
{
    EXPECT_FALSE(has("prog \"-nf\"", "nf"));
    EXPECT_FALSE(has("prog \"x -nf y\" -i a", "nf"));
    // The quoted program name with spaces is skipped whole.
    EXPECT_EQ(valueOf("\"C:/Program Files/tolvarinxc\" -i a.bmp", "i").value, "a.bmp");
    // A quote that never closes hides the rest of the line.
    EXPECT_FALSE(has("prog \"abc -nf", "nf"));
}

TEST(CommandLineScanner, NamesAreCaseSensitive)
{
    EXPECT_FALSE(has("prog -NF", "nf"));
    EXPECT_TRUE(has("prog -NF", "NF"));
    EXPECT_FALSE(valueOf("prog -I a.bmp", "i").found);
}

TEST(CommandLineScanner, FirstOccurrenceDecides)
{
    // The first -o lacks a value, so the later one is never looked at.
    EXPECT_FALSE(valueOf("prog -i a.bmp -o -nf -o out.png", "o").found);
    EXPECT_EQ(valueOf("prog -o first.png -o second.png", "o").value, "first.png");
}

TEST(CommandLineScanner, ValueMayBeEmptyAtEndOfLine)
{
    Lookup in = valueOf("prog -i   ", "i");
    EXPECT_TRUE(in.found);
    EXPECT_EQ(in.value, "");
    // A quoted empty value.
    Lookup quoted = valueOf("prog -i \"\" -nf", "i");
    EXPECT_TRUE(quoted.found);
    EXPECT_EQ(quoted.value, "");
}

TEST(CommandLineScanner, OnlySpacesSeparateWords)
{
    // A tab is part of the word.
    EXPECT_FALSE(has("prog -nf\t-nd", "nf"));
    EXPECT_TRUE(has("prog -nf\t-nd", "nf\t-nd"));
    EXPECT_EQ(valueOf("prog -i\ta.bmp", "i").found, false);
    // Runs of spaces are skipped.
    EXPECT_EQ(valueOf("prog     -i      a.bmp   ", "i").value, "a.bmp");
}

TEST(CommandLineScanner, WordsThatAreNotSwitchesAreIgnored)
{
    EXPECT_TRUE(has("prog stray x-nf -nd", "nd"));
    EXPECT_FALSE(has("prog stray x-nf", "nf"));
    // A value word is skipped like any other word.
    EXPECT_FALSE(has("prog -i nf", "nf"));
}

TEST(CommandLineScanner, EmptyLineAndOtherSwitchCharacter)
{
    EXPECT_FALSE(has("", "i"));
    CommandLineScanner scanner;
    scanner.setup('/', "prog /i a.bmp -o x");
    TextString value;
    EXPECT_TRUE(scanner.find("i", &value));
    EXPECT_STREQ(value.c_str(), "a.bmp");
    EXPECT_FALSE(scanner.hasSwitch("o"));
}

TEST(CommandLineScanner, MultiByteTextPassesThrough)
{
    // UTF-8 path (写真 フォルダ/画像.bmp) with a space inside quotes.
    const char* line = "prog -i \"\xE5\x86\x99\xE7\x9C\x9F \xE3\x83\x95/\xE7\x94\xBB.bmp\" -o \xE5\x87\xBA.png";
    EXPECT_EQ(valueOf(line, "i").value, "\xE5\x86\x99\xE7\x9C\x9F \xE3\x83\x95/\xE7\x94\xBB.bmp");
    EXPECT_EQ(valueOf(line, "o").value, "\xE5\x87\xBA.png");
}

TEST(JoinCommandLine, QuotesEmptyArgumentsAndArgumentsWithSpaces)
{
    const char* argv[] = {"tolvarinxc", "-i", "my file.bmp", "", "-o", "out.png"};
    TextString line;
    joinCommandLine(line, 6, argv);
    EXPECT_STREQ(line.c_str(), "tolvarinxc -i \"my file.bmp\" \"\" -o out.png");

    // The joined line scans back to the arguments.
    CommandLineScanner scanner;
    scanner.setup('-', line.c_str());
    TextString value;
    ASSERT_TRUE(scanner.find("i", &value));
    EXPECT_STREQ(value.c_str(), "my file.bmp");
    ASSERT_TRUE(scanner.find("o", &value));
    EXPECT_STREQ(value.c_str(), "out.png");
}

TEST(JoinCommandLine, EmptyValueArgumentStillCountsAsValue)
{
    const char* argv[] = {"tolvarinxc", "-i", "", "-nf"};
    TextString line;
    joinCommandLine(line, 4, argv);
    CommandLineScanner scanner;
    scanner.setup('-', line.c_str());
    TextString value("x");
    EXPECT_TRUE(scanner.find("i", &value));
    EXPECT_TRUE(value.isEmpty());
    EXPECT_TRUE(scanner.hasSwitch("nf"));
}

TEST(JoinCommandLine, LongArgumentsGrowTheLine)
{
    std::string longName(3000, 'a');
    longName += ".bmp";
    const char* argv[] = {"prog", "-i", longName.c_str()};
    TextString line;
    joinCommandLine(line, 3, argv);
    EXPECT_EQ(valueOf(line.c_str(), "i").value, longName);
}

TEST(CommandLineScanner, LoneDashIsTheStandardStreamValue)
{
    struct Case {
        const char* line;
        const char* name;
        bool found;
        const char* value;
    };
    const Case cases[] = {
        {"prog -i - -o -", "i", true, "-"},
        {"prog -i - -o -", "o", true, "-"},
        {"prog -i -", "i", true, "-"},
        {"prog -i   -   -nf", "i", true, "-"},
        {"prog -i -nf", "i", false, "untouched"},   // a switch, not a value
        {"prog -i -- x", "i", false, "untouched"},
        {"prog -i \"-\"", "i", true, "-"},
        {"prog - -i a.bmp", "i", true, "a.bmp"},    // a lone dash is no switch of its own
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const Lookup lookup = valueOf(c.line, c.name);
        EXPECT_EQ(lookup.found, c.found);
        EXPECT_EQ(lookup.value, c.value);
    }
    EXPECT_TRUE(has("prog -i - -nf", "nf"));
    // The words agree: a lone dash is a value word wherever it stands.
    CommandLineScanner scanner;
    scanner.setup('-', "prog - -i - \"a\"- -nf -");
    std::vector<CommandWord> words;
    scanner.words(words);
    std::vector<std::pair<std::string, bool>> seen;
    for (const CommandWord& word : words)
        seen.emplace_back(word.text, word.isSwitch);
    const std::vector<std::pair<std::string, bool>> expected = {
        {"-", false}, {"i", true}, {"-", false}, {"a", false}, {"-", false}, {"nf", true}, {"-", false}};
    EXPECT_EQ(seen, expected);
}
