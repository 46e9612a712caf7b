// The console's reports, errors and refusals in both languages: Japanese as
// the programs have always printed them; English with the same exit status
// and report shape (lines, angle-bracket lines, tab-separated cells), every
// line ended, nothing left in Japanese.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/ui_text.h"
#include "tests/console/console_test_support.h"

namespace {

bool isBracketed(const std::string& line)
{
    return line.size() >= 2 && line.front() == '<' && line.back() == '>';
}

bool isAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

ConsoleRun runIn(const char* language, const std::vector<std::string>& arguments)
{
    chooseTextLanguage(language);
    ConsoleRun run = runConsoleArgs(arguments);
    chooseTextLanguage(kTextLanguageCodes[kDefaultTextLanguage]);
    return run;
}

}  // namespace

TEST(ConsoleLanguage, ReportsErrorsAndRefusalsInBothLanguages)
{
    TempDir dir;
    const std::string bmp = dir.file("a.bmp");
    const std::string png = dir.file("a.png");
    const std::string bad = dir.file("bad.bmp");
    const std::string missing = dir.file("missing.bmp");
    const std::string folder = dir.file("folder");
    ASSERT_TRUE(writeBmp24(bmp, makeBandedImage(8, 8, 3)));
    ASSERT_TRUE(writeFileBytes(bad, {'B', 'M', 0, 1, 2}));
    ASSERT_EQ(runConsoleArgs({"-i", bmp}).status, 0);   // a.png: as small as it gets
    std::filesystem::create_directory(folder);
    for (const char* name : {"a.bmp", "bad.bmp"})
        std::filesystem::copy_file(dir.file(name), folder + "/" + name);
    std::filesystem::copy_file(png, folder + "/b.png");
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::string> japanese;   // today's Japanese: parts of the output (standard output, then error)
        bool whole;                          // the one part is the whole output
    };
    const Case cases[] = {
        {{}, {"[usage]\n-i [input] [-o [output]] ...\n"}, true},
        {{"-i"}, {"-iで入力ﾌｧｲﾙを指定してください"}, true},
        {{"-i", missing}, {missing + " が存在しません"}, true},
        {{"-d"}, {"-dで入力ﾌｫﾙﾀﾞを指定してください\n"}, true},
        {{"-d", missing}, {missing + " が存在しません\n"}, true},
        {{"-d", bmp}, {bmp + " がﾌｫﾙﾀﾞではありません\n"}, true},
        {{"-d", folder, "-od"}, {"-odで出力ﾌｫﾙﾀﾞを指定してください\n"}, true},
        {{"-d", folder, "-t", "jpg"}, {"-tにはbmp,png,gifを指定してください\n"}, true},
        {{"-j", "0", bmp}, {"-jには1から256までの数を指定してください\n"}, true},
        {{"-x", "-xi", "0", "-i", bmp}, {"-xiには1から1000までの数を指定してください\n"}, true},
        {{"-o", "x.png", bmp}, {"-oはﾌｧｲﾙの並びには指定できません\n"}, true},
        {{"--json", "-i", "-"}, {"--jsonは-i -や-o -と同時に指定できません\n"}, true},
        {{"--bogus", "-i"}, {"-iで入力ﾌｧｲﾙを指定してくださいtolvarinxc: unknown switch: --bogus\n"}, true},
        {{"-i", bmp}, {"\n\n<出力先に別のﾌｧｲﾙがあります: -fで置換>\n"}, false},
        {{"-i", png}, {"\n\n<ｻｲｽﾞが増えたため出力なし>\n"}, false},
        {{"-i", png, "-o", dir.file("b.png")}, {"\n\n<ｻｲｽﾞが増えたためそのままｺﾋﾟｰ>\n"}, false},
        {{"-i", bad, "-o", dir.file("c.png")}, {"\n\n<read error>\n"}, false},
        {{"-f", "-n", "-x1", "-i", bmp},
         {"\n出力形式: ", "\n拡張探索: ", "ビット, ", ", レベル1\ntolvarinxc: test run (-n): no file was written\n"}, false},
        {{"-n", "-j", "1", "-d", folder},
         {"入力ﾌｫﾙﾀﾞへの出力のため透過色を保持します\n", "bad.bmp\t\t\t\t<読込ｴﾗｰ>\n", "b.png\t100Byte\t\t\t<出力なし>\n",
          "\n処理 2 ｴﾗｰ 1 / 総増減 -0.14KB\n"},
         false},
        {{"-n", "-q", "-j", "1", bad, png}, {bad + "\t\t\t\t<読込ｴﾗｰ>\n"}, true},
    };
    for (const Case& c : cases) {
        std::string shown = "tolvarinxc";
        for (const std::string& argument : c.arguments)
            shown += " " + argument;
        const ConsoleRun japanese = runIn("ja", c.arguments);
        const ConsoleRun english = runIn("en", c.arguments);
        const std::string ja = japanese.text + japanese.err;
        if (c.whole) {
            EXPECT_EQ(ja, c.japanese.front()) << shown;
        }
        for (const std::string& part : c.japanese)
            EXPECT_NE(ja.find(part), std::string::npos) << shown << ": " << part << " in\n" << ja;

        EXPECT_EQ(english.status, japanese.status) << shown;
        if (!isAscii(ja)) {
            EXPECT_NE(english.text + english.err, ja) << shown;
        }
        for (const auto& [jaStream, enStream] :
             {std::make_pair(japanese.text, english.text), std::make_pair(japanese.err, english.err)}) {
            EXPECT_TRUE(isAscii(enStream)) << shown << ":\n" << enStream;
            EXPECT_TRUE(enStream.empty() || enStream.back() == '\n') << shown << ":\n" << enStream;
            const std::vector<std::string> jaLines = linesOf(jaStream);
            const std::vector<std::string> enLines = linesOf(enStream);
            ASSERT_EQ(enLines.size(), jaLines.size()) << shown << ":\n" << jaStream << "\n" << enStream;
            for (size_t i = 0; i < jaLines.size(); ++i) {
                EXPECT_EQ(isBracketed(enLines[i]), isBracketed(jaLines[i])) << shown << ": " << enLines[i];
                EXPECT_EQ(std::count(enLines[i].begin(), enLines[i].end(), '\t'),
                          std::count(jaLines[i].begin(), jaLines[i].end(), '\t'))
                    << shown << ": " << enLines[i];
            }
        }
    }
    // The JSON report is for programs: the same in every language.
    const std::vector<std::string> json = {"--json", "-n", "-j", "1", "-d", folder};
    EXPECT_EQ(runIn("en", json).text, runIn("ja", json).text);
}
