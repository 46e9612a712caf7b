#include <gtest/gtest.h>

#include <string>

#include "app/logic/settings_file.h"
#include "core/codepage.h"
#include "core/text_string.h"
#include "tests/common/test_support.h"

namespace {

// Loads text (which may hold NUL bytes) and selects the program's section.
void loadSection(SettingsFile& file, const std::string& text, const char* section = "Tolvarinx3")
{
    ASSERT_TRUE(file.loadText(text.data(), static_cast<uint32_t>(text.size())));
    file.selectSection(section);
}

std::string valueOf(const SettingsFile& file, const char* key)
{
    const char* value = file.findValue(key);
    return value ? value : "<none>";
}

}  // namespace

TEST(SettingsFileLines, AllThreeLineEndsSplitAlike)
{
    for (const char* end : {"\r\n", "\n", "\r"}) {
        SettingsFile file;
        const std::string text = std::string("[Tolvarinx3]") + end + "WinX=12" + end + "WinY=-34" + end;
        loadSection(file, text);
        EXPECT_EQ(file.lineCount, 4) << "line end " << static_cast<int>(end[0]);
        EXPECT_EQ(file.section, 0);
        EXPECT_EQ(file.getInt("WinX", -10000), 12);
        EXPECT_EQ(file.getInt("WinY", -10000), -34);
        EXPECT_STREQ(file.line(3), "");   // what follows the last line end
    }
}

TEST(SettingsFileLines, MixedEndsAndCrLfCountOnce)
{
    SettingsFile file;
    loadSection(file, "[Tolvarinx3]\r\nA=1\n\rB=2\r\rC=3");
    // CR LF, LF, CR, CR, CR: five line ends, six lines, two of them empty.
    ASSERT_EQ(file.lineCount, 6);
    EXPECT_STREQ(file.line(1), "A=1");
    EXPECT_STREQ(file.line(2), "");
    EXPECT_STREQ(file.line(3), "B=2");
    EXPECT_STREQ(file.line(4), "");
    EXPECT_STREQ(file.line(5), "C=3");
    EXPECT_EQ(valueOf(file, "C"), "3");
}

TEST(SettingsFileLines, TextEndsAtFirstNul)
{
    SettingsFile file;
    loadSection(file, std::string("[Tolvarinx3]\nWinX=5\0\nWinY=7\n", 27));
    EXPECT_EQ(file.lineCount, 2);
    EXPECT_EQ(file.getInt("WinX", -10000), 5);
    EXPECT_EQ(file.getInt("WinY", -10000), -10000);
}

TEST(SettingsFileLines, LineEndsSplitWhateverTheCharacterRule)
{
    // A code-page 932 character (0xE0 0x40) and a UTF-8 one (0xE6 0x96 0x87)
    // right before a CR: a step by either rule's lead byte would swallow the
    // line end, so the split takes line ends by bytes under every rule.
    const std::string text = "[Tolvarinx3]\r\nOpenDir=a\xE0\x40\r\nSaveDir=\xE6\x96\x87\r\nWinX=1\n";
    for (CharStepper rule : {cp932NextChar, utf8NextChar}) {
        ScopedCharStepper stepper(rule);
        SettingsFile file;
        loadSection(file, text);
        EXPECT_EQ(file.lineCount, 5);
        EXPECT_EQ(valueOf(file, "OpenDir"), "a\xE0\x40");
        EXPECT_EQ(valueOf(file, "SaveDir"), "\xE6\x96\x87");
        EXPECT_EQ(file.getInt("WinX", 0), 1);
    }
}

TEST(SettingsFileSection, HeaderMustMatchExactly)
{
    struct Case {
        const char* header;
        bool accepted;
    };
    const Case cases[] = {
        {"[Tolvarinx3]", true},
        {"[Tolvarinx3]extra", true},    // text after the ']' is ignored
        {"[tolvarinx3]", false},        // case counts
        {"[Tolvarinx3", false},         // no closing bracket
        {"[Tolvarinx3 ]", false},
        {" [Tolvarinx3]", false},       // no trimming
        {"[Tolvarinx]", false},
        {"[Tolvarinx30]", false},
        {"Tolvarinx3]", false},
    };
    for (const Case& c : cases) {
        SettingsFile file;
        loadSection(file, std::string(c.header) + "\r\nWinX=100\r\n");
        EXPECT_EQ(file.section != -1, c.accepted) << c.header;
        EXPECT_EQ(file.getInt("WinX", -10000), c.accepted ? 100 : -10000) << c.header;
    }
}

TEST(SettingsFileSection, FirstHeaderWinsAndSectionEndsAtNextHeader)
{
    SettingsFile file;
    loadSection(file,
                "WinX=1\r\n"                 // before any header: ignored
                "[Other]\r\nWinY=2\r\n"
                "[Tolvarinx3]\r\nOptFlag=3\r\n"
                "[Other]\r\nDirFlag=4\r\n"     // after a later header: ignored
                "[Tolvarinx3]\r\nDirFlag=5\r\n");   // a second section is never read
    EXPECT_EQ(file.section, 3);
    EXPECT_EQ(file.getInt("WinX", -1), -1);
    EXPECT_EQ(file.getInt("WinY", -1), -1);
    EXPECT_EQ(file.getInt("OptFlag", -1), 3);
    EXPECT_EQ(file.getInt("DirFlag", -1), -1);
}

TEST(SettingsFileSection, NoSectionSelectedFindsNothing)
{
    SettingsFile file;
    ASSERT_TRUE(file.loadText("WinX=1", 6));
    EXPECT_EQ(file.findValue("WinX"), nullptr);
    file.selectSection("Tolvarinx3");
    EXPECT_EQ(file.section, -1);
    EXPECT_EQ(file.findValue("WinX"), nullptr);
}

TEST(SettingsFileKeys, KeyMatchingRules)
{
    SettingsFile file;
    loadSection(file,
                "[Tolvarinx3]\r\n"
                "WinX = 100\r\n"        // spaces round '=': no match
                " WinY=200\r\n"         // space before the key: no match
                "winx=300\r\n"          // case counts
                "OptFlagX=400\r\n"      // '=' must follow the key directly
                "OptFlag=\r\n"          // empty value
                "OpenDir= C:\\a b \r\n" // value verbatim, spaces kept
                "SaveDir=first\r\n"
                "SaveDir=second\r\n"    // the first one counts
                "DirFlag\r\n"           // no '=' at all
                "\r\n");
    EXPECT_EQ(valueOf(file, "WinX"), "<none>");
    EXPECT_EQ(valueOf(file, "WinY"), "<none>");
    EXPECT_EQ(valueOf(file, "OptFlag"), "");
    EXPECT_EQ(file.getInt("OptFlag", 256), 0);   // present but without digits
    EXPECT_EQ(valueOf(file, "OpenDir"), " C:\\a b ");
    EXPECT_EQ(valueOf(file, "SaveDir"), "first");
    EXPECT_EQ(valueOf(file, "DirFlag"), "<none>");
    EXPECT_EQ(valueOf(file, "Win"), "<none>");   // "WinX = 100" has no '=' after "Win"
}

TEST(SettingsFileKeys, ValueMayContainEqualsAndBrackets)
{
    SettingsFile file;
    loadSection(file, "[Tolvarinx3]\nOpenDir=C:\\x=y\\[z]\n");
    EXPECT_EQ(valueOf(file, "OpenDir"), "C:\\x=y\\[z]");
}

TEST(SettingsFileKeys, GetStringFallsBackToDefault)
{
    SettingsFile file;
    loadSection(file, "[Tolvarinx3]\nOpenDir=C:\\pics\n");
    TextString out("old");
    file.getString("OpenDir", out, "dflt");
    EXPECT_STREQ(out.c_str(), "C:\\pics");
    file.getString("SaveDir", out, "dflt");
    EXPECT_STREQ(out.c_str(), "dflt");
}

TEST(SettingsFileNumbers, DecimalReadingRules)
{
    EXPECT_EQ(parseSettingsInt("100"), 100);
    EXPECT_EQ(parseSettingsInt("-10000"), -10000);
    EXPECT_EQ(parseSettingsInt("+42"), 42);
    EXPECT_EQ(parseSettingsInt("  \t7"), 7);
    EXPECT_EQ(parseSettingsInt("abc"), 0);
    EXPECT_EQ(parseSettingsInt("12abc"), 12);
    EXPECT_EQ(parseSettingsInt(""), 0);
    EXPECT_EQ(parseSettingsInt("-"), 0);
    EXPECT_EQ(parseSettingsInt("- 5"), 0);
    EXPECT_EQ(parseSettingsInt("0x10"), 0);
    EXPECT_EQ(parseSettingsInt("2147483647"), 2147483647);
    EXPECT_EQ(parseSettingsInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(parseSettingsInt("99999999999999999999999"), INT32_MAX);
    EXPECT_EQ(parseSettingsInt("-99999999999999999999999"), INT32_MIN);
}

TEST(SettingsFileLoad, MissingEmptyAndReadableFiles)
{
    TempDir dir;
    SettingsFile file;
    EXPECT_FALSE(file.load(dir.file("absent.ini").c_str()));
    EXPECT_EQ(file.lineCount, 0);

    ASSERT_TRUE(writeFileBytes(dir.file("empty.ini"), {}));
    EXPECT_FALSE(file.load(dir.file("empty.ini").c_str()));
    EXPECT_EQ(file.lineCount, 0);
    EXPECT_EQ(file.text.data, nullptr);

    const std::string content = "[Tolvarinx3]\r\nWinX=9\r\n";
    ASSERT_TRUE(writeFileBytes(dir.file("good.ini"), {content.begin(), content.end()}));
    ASSERT_TRUE(file.load(dir.file("good.ini").c_str()));
    file.selectSection("Tolvarinx3");
    EXPECT_EQ(file.getInt("WinX", 0), 9);

    // A failed load drops the earlier content and selection.
    EXPECT_FALSE(file.load(dir.file("absent.ini").c_str()));
    EXPECT_EQ(file.lineCount, 0);
    EXPECT_EQ(file.section, -1);
    EXPECT_EQ(file.findValue("WinX"), nullptr);
}

TEST(SettingsFileLoad, FolderIsNotASettingsFile)
{
    TempDir dir;
    SettingsFile file;
    EXPECT_FALSE(file.load(dir.path().c_str()));
    EXPECT_EQ(file.lineCount, 0);
}
