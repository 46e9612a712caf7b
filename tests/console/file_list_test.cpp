// The console's file list, its quiet, test-run and JSON reports, run
// in-process: outputs the same as one-file runs and the same for every -j,
// hundreds of arguments, awkward names, and the JSON parsed back.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>

#include "console/batch_report.h"
#include "console/command_line_scanner.h"
#include "console/console_run.h"
#include "console/report_text.h"
#include "core/ui_text.h"
#include "engine/png_optimizer.h"
#include "tests/console/console_test_support.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kFast = {"-nf", "-nd", "-nc"};

struct Captured {
    int status = -1;
    std::string out;
    std::string err;
};

// The program on arguments (its name added), both streams captured.
Captured runArgs(const std::vector<std::string>& arguments)
{
    const ConsoleRun run = runConsoleArgs(arguments);
    return {run.status, run.text, run.err};
}

// Names only one platform's file system takes: on Windows, names in and
// outside the code page (UTF-8 as the programs hold them; 表 ends in the byte
// of a backslash in code page 932); elsewhere a tab, a line feed and bytes
// that are not UTF-8.
#ifdef _WIN32
const char* const kOddNames[] = {u8"表.bmp", u8"日本語.png", u8"ｶﾅ.bmp", u8"图片.bmp", u8"🎨.png"};
#else
const char* const kOddNames[] = {"tab\there.bmp", "line\nfeed.png", "bad\xff\xfename.bmp"};
#endif

// Inputs of every kind under awkward names: a BMP, a PNG that shrinks, one
// that cannot, a file that is no image, names with a space and kOddNames.
// Returns the names; a.bmp and a.png both write a.png. Exactly one file
// ("notes.txt") fails.
std::vector<std::string> makeInputs(const std::string& folder)
{
    const RgbaImage bands = makeBandedImage(24, 18, 5);
    const RgbaImage gradient = makeGradientImage(21, 13);
    std::vector<std::string> names = {"a.bmp", "a.png", "with space.bmp", "notes.txt", "big.png"};
    names.insert(names.end() - 2, std::begin(kOddNames), std::end(kOddNames));
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        if (name == "notes.txt")
            writeFileBytes(path, {'h', 'i'});
        else if (name == "big.png")
            writeRgbaPng(path, gradient, 9);
        else if (name.back() == 'g')
            writeRgbaPng(path, bands, 0);
        else
            writeBmp24(path, name[0] == 'a' ? gradient : bands);
    }
    return names;
}

std::vector<std::string> withFolder(const std::string& folder, const std::vector<std::string>& names)
{
    std::vector<std::string> paths;
    for (const std::string& name : names)
        paths.push_back(folder + "/" + name);
    return paths;
}

// The name among candidates (in the system code page, in folder) that the
// path field key of a JSON report object names: by its UTF-8 text after the
// last separator, or exactly by its bytes when the report gives them in base64.
std::string namedFile(const nlohmann::json& object, const std::string& key, const std::string& folder,
                      const std::vector<std::string>& candidates)
{
    const std::string shown = object.at(key);
    const std::string tail = shown.substr(shown.find_last_of("/\\") + 1);
    const bool inBase64 = object.contains(key + "_base64");
    for (const std::string& name : candidates) {
        std::string utf8;
        const bool valid = nameToUtf8(name.c_str(), utf8);
        if (inBase64 ? object.at(key + "_base64") == base64(folder + "/" + name) : valid && utf8 == tail)
            return name;
    }
    return std::string();
}

class FileListTest : public ::testing::Test {
protected:
    TempDir dir;
};

}  // namespace

// The same inputs through -i one at a time and through file lists at several
// -j, each x.bmp beside an x.png that -f lets it replace: the trees end byte
// for byte alike; one row per file plus the summary.
TEST_F(FileListTest, FileListWritesWhatOneFileRunsWrite)
{
    const std::string single = dir.file("single");
    fs::create_directory(single);
    const std::vector<std::string> names = makeInputs(single);
    for (const std::string& path : withFolder(single, names)) {
        std::vector<std::string> arguments = {"-f", "-i", path};
        arguments.insert(arguments.end(), kFast.begin(), kFast.end());
        runArgs(arguments);
    }
    const Tree expected = readTree(single);
    for (const char* jobs : {"1", "3", "8"}) {
        const std::string folder = dir.file(std::string("list") + jobs);
        fs::create_directory(folder);
        makeInputs(folder);
        std::vector<std::string> arguments = withFolder(folder, names);
        arguments.insert(arguments.end(), {"-f", "-j", jobs, "-nf", "-nd", "-nc"});
        const Captured run = runArgs(arguments);
        EXPECT_EQ(run.status, CONSOLE_EXIT_FAILURE) << "notes.txt fails";
        EXPECT_EQ(readTree(folder), expected) << "-j " << jobs;
        const std::vector<std::string> rows = linesOf(run.out);
        ASSERT_EQ(rows.size(), names.size() + 1) << run.out;
        for (size_t i = 0; i < names.size(); ++i)
            EXPECT_EQ(rows[i].substr(0, rows[i].find('\t')), reportName((folder + "/" + names[i]).c_str()));
        EXPECT_NE(rows.back().find("ｴﾗｰ 1 "), std::string::npos) << rows.back();
    }
}

// Hundreds of arguments, each file named twice (once through "./") and each
// x.bmp beside an x.png that it overwrites (-f): every -j writes what -j 1 writes.
TEST_F(FileListTest, HundredsOfArgumentsGiveTheSameOutputsForEveryJobCount)
{
    constexpr int kPairs = 120;
    Tree reference;
    for (const char* jobs : {"1", "6"}) {
        const std::string folder = dir.file(std::string("many") + jobs);
        fs::create_directory(folder);
        std::vector<std::string> arguments = {"-f", "-j", jobs, "-nd"};
        for (int i = 0; i < kPairs; ++i) {
            const std::string stem = folder + "/f" + std::to_string(i);
            writeBmp24(stem + ".bmp", makeBandedImage(4 + i % 5, 3, 1 + i % 4));
            writeRgbaPng(stem + ".png", makeBandedImage(3, 2 + i % 3, 2), 0);
            arguments.push_back(stem + ".png");
            arguments.push_back(stem + ".bmp");
            arguments.push_back(folder + "/./f" + std::to_string(i) + ".png");
        }
        const Captured run = runArgs(arguments);
        EXPECT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << run.out;
        EXPECT_EQ(linesOf(run.out).size(), 3u * kPairs + 1);
        const Tree tree = readTree(folder);
        EXPECT_EQ(tree.size(), 2u * kPairs);
        if (reference.empty())
            reference = tree;
        else
            EXPECT_EQ(tree, reference) << "-j " << jobs;
    }
}

// --json in every mode, parsed back: one object per file, names recoverable
// exactly, sizes those of the files on disk, then the summary's counts.
TEST_F(FileListTest, JsonReportParsesAndMatchesTheFiles)
{
    struct Case {
        const char* mode;
        bool testRun;
    };
    const Case cases[] = {{"list", false}, {"folder", false}, {"one", false}, {"list", true}};
    for (const Case& c : cases) {
        const std::string folder = dir.file(std::string(c.mode) + (c.testRun ? "-n" : ""));
        fs::create_directory(folder);
        const std::vector<std::string> all = makeInputs(folder);
        std::vector<std::string> names = all;   // the rows expected, in order; empty: any order
        std::vector<std::string> outputs;
        std::map<std::string, size_t> sizes;   // of the inputs before the run
        for (const std::string& name : all) {
            outputs.push_back(name.substr(0, name.rfind('.')) + ".png");
            sizes[name] = readFileBytes(folder + "/" + name).size();
        }
        const Tree before = readTree(folder);
        std::vector<std::string> arguments = {"--json", "-x", "-xi", "1"};
        if (c.testRun)
            arguments.push_back("-n");
        if (std::string(c.mode) == "list") {
            const std::vector<std::string> paths = withFolder(folder, names);
            arguments.insert(arguments.end(), paths.begin(), paths.end());
        } else if (std::string(c.mode) == "folder") {
            arguments.insert(arguments.end(), {"-d", folder, "-j", "2"});
            names = {};   // listed by the walk
        } else {
            arguments.insert(arguments.end(), {"-i", folder + "/" + names[2]});
            names = {names[2]};
        }
        const Captured run = runArgs(arguments);
        const std::vector<std::string> rows = linesOf(run.out);
        ASSERT_GE(rows.size(), 2u) << c.mode << run.out << run.err;
        uint32_t failed = 0;
        std::map<std::string, size_t> lastWritten;   // output name -> bytes the last row to write it reports
        for (size_t i = 0; i + 1 < rows.size(); ++i) {
            const nlohmann::json object = nlohmann::json::parse(rows[i]);
            const std::string input = namedFile(object, "input", folder, all);
            ASSERT_FALSE(input.empty()) << rows[i];
            if (!names.empty()) {
                EXPECT_EQ(input, names[i]) << c.mode;
            }
            const std::string result = object.at("result");
            EXPECT_EQ(object.at("test_run").get<bool>(), c.testRun);
            if (result == "failed") {
                ++failed;
                EXPECT_FALSE(object.at("error").get<std::string>().empty());
                continue;
            }
            const std::string output = namedFile(object, "output", folder, outputs);
            ASSERT_FALSE(output.empty()) << rows[i];
            // An input an earlier row wrote (a.png after a.bmp) is that row's output.
            const auto earlier = lastWritten.find(input);
            EXPECT_EQ(object.at("input_bytes").get<size_t>(),
                      earlier != lastWritten.end() ? earlier->second : sizes.at(input));
            if (result == "converted" && !c.testRun)
                lastWritten[output] = object.at("output_bytes").get<size_t>();
            // The encoding described is the written file's: the default
            // search's, or the extended search's choice alone.
            const nlohmann::json& extended = object.at("extended");
            EXPECT_EQ(extended.at("level").get<int>(), 2) << "-x is level 2";
            if (extended.at("layout") == "default")
                EXPECT_GE(object.at("bit_depth").get<int>(), 1);
            else
                EXPECT_TRUE(!object.contains("bit_depth") && extended.at("depth").get<int>() >= 1) << rows[i];
        }
        for (const auto& written : lastWritten)
            EXPECT_EQ(written.second, readFileBytes(folder + "/" + written.first).size()) << written.first;
        const nlohmann::json summary = nlohmann::json::parse(rows.back()).at("summary");
        EXPECT_EQ(summary.at("files").get<size_t>(), rows.size() - 1);
        EXPECT_EQ(summary.at("failed").get<uint32_t>(), failed);
        EXPECT_EQ(run.status, failed == 0 ? CONSOLE_EXIT_SUCCESS : CONSOLE_EXIT_FAILURE);
        if (c.testRun) {
            EXPECT_EQ(readTree(folder), before) << "a test run wrote";
        }
    }
}

// -n writes nothing and reports what a real run writes; -q prints only
// failures. Each mode, each switch.
TEST_F(FileListTest, TestRunWritesNothingAndQuietPrintsOnlyErrors)
{
    struct Case {
        std::vector<std::string> switches;
        bool expectWrites;
        bool expectText;   // anything printed for a run without failures
    };
    const Case cases[] = {
        {{"-n"}, false, true}, {{"-q"}, true, false}, {{"-n", "-q"}, false, false}, {{}, true, true}};
    for (const Case& c : cases) {
        for (const char* mode : {"-i", "-d", "list"}) {
            const std::string folder = dir.file("q" + std::to_string(&c - cases) + mode);
            fs::create_directory(folder);
            writeBmp24(folder + "/p.bmp", makeBandedImage(9, 7, 3));
            std::vector<std::string> arguments = c.switches;
            if (std::string(mode) == "list") {
                arguments.push_back(folder + "/p.bmp");
            } else {
                arguments.insert(arguments.end(), {mode, std::string(mode) == "-d" ? folder : folder + "/p.bmp"});
            }
            const Captured run = runArgs(arguments);
            EXPECT_EQ(run.status, CONSOLE_EXIT_SUCCESS) << mode;
            EXPECT_EQ(fileExistsAt(folder + "/p.png"), c.expectWrites) << mode;
            EXPECT_EQ(!run.out.empty(), c.expectText) << mode << ": " << run.out;
            if (c.expectText && std::string(mode) == "-i") {
                EXPECT_NE(run.out.find("outsize: "), std::string::npos) << run.out;
            }
        }
    }
    // A failure still shows with -q, in every mode.
    writeFileBytes(dir.file("broken.bmp"), {'B', 'M', 1, 2});
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"-q", "-i", dir.file("broken.bmp")},
          std::vector<std::string>{"-q", dir.file("broken.bmp")}}) {
        const Captured run = runArgs(arguments);
        EXPECT_EQ(run.status, CONSOLE_EXIT_FAILURE);
        EXPECT_TRUE(run.out.find("<read error>") != std::string::npos ||
                    run.out.find("<読込ｴﾗｰ>") != std::string::npos)
            << run.out;
    }
}

// Which mode a command line picks, what it refuses, and the warnings: every
// line on standard error exactly. A test run's text report, and only that,
// ends with the line that says so.
TEST_F(FileListTest, CommandLinesPickTheirModeAndNameIgnoredWords)
{
    const std::string bmp = dir.file("a.bmp");
    ASSERT_TRUE(writeBmp24(bmp, makeBandedImage(4, 4, 2)));
    const std::string tabbed = dir.file(kOddNames[0]);   // a tab on POSIX
    ASSERT_TRUE(writeBmp24(tabbed, makeBandedImage(4, 4, 2)));
    const std::string out = dir.file("out");
    const std::string ignored = "tolvarinxc: ignored: ";
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string outStart;   // a line of the report or message begins so
        std::string err;        // all of standard error
    };
    const Case cases[] = {
        {{"-o", "x.png", bmp}, CONSOLE_EXIT_FAILURE, "-oはﾌｧｲﾙの並びには指定できません\n", ""},
        {{"-r", bmp}, CONSOLE_EXIT_FAILURE, "-rはﾌｧｲﾙの並びには指定できません\n", ""},
        {{"-j", "0", bmp}, CONSOLE_EXIT_FAILURE, "-jには1から", ""},
        {{"-I", bmp}, CONSOLE_EXIT_FAILURE, "-iで入力ﾌｧｲﾙを指定してください",
         "tolvarinxc: unknown switch: -I\n" + ignored + bmp + "\n"},
        {{"--bogus"}, CONSOLE_EXIT_FAILURE, "-iで入力ﾌｧｲﾙを指定してください", "tolvarinxc: unknown switch: --bogus\n"},
        {{"-i", bmp, "dropped.png", "-nf", "-nd", "-nc"}, CONSOLE_EXIT_SUCCESS, "input: ", ignored + "dropped.png\n"},
        {{"-f", "-i", bmp, "new\nline", "-nd"}, CONSOLE_EXIT_SUCCESS, "input: ", ignored + "new\\nline\n"},
        {{"-f", "-d", dir.path(), "extra", "-nd", "-q"}, CONSOLE_EXIT_SUCCESS, "", ignored + "extra\n"},
        {{"--json", "-o", "x.png", bmp}, CONSOLE_EXIT_FAILURE, "", "-oはﾌｧｲﾙの並びには指定できません\n"},
        {{"-x1", "-x", "-x3", "-x1", "-f", "-n", "-i", bmp}, CONSOLE_EXIT_SUCCESS, "input: ",
         ignored + "-x\n" + ignored + "-x3\n"},
        {{"-x1", "-xi", "4", "-f", "-n", "-i", bmp}, CONSOLE_EXIT_SUCCESS, "input: ", ignored + "-xi 4\n"},
        {{"-x3", "-xi", "4", "-f", "-n", "-i", bmp}, CONSOLE_EXIT_SUCCESS, "input: ", ""},
        {{"-xi", "5", "-f", "-n", "-i", bmp}, CONSOLE_EXIT_SUCCESS, "input: ", ignored + "-xi 5\n"},
        {{"-x2", "-x", "-f", "-n", "-q", bmp}, CONSOLE_EXIT_SUCCESS, "", ""},
        {{"-kt", "-f", "-n", "-i", bmp}, CONSOLE_EXIT_SUCCESS, "input: ", ignored + "-kt\n"},
        {{"-kt", "-f", "-n", "-nd", bmp}, CONSOLE_EXIT_SUCCESS, bmp + "\t", ignored + "-kt\n"},
        {{"-r", "-t", "png", "-od", out, "-j", "2", "-f", "-n", "-i", bmp}, CONSOLE_EXIT_SUCCESS, "input: ",
         ignored + "-od " + out + "\n" + ignored + "-r\n" + ignored + "-t png\n" + ignored + "-j 2\n"},
        {{"-i", bmp, "-o", "x.png", "-f", "-n", "-nd", "-d", dir.path()}, CONSOLE_EXIT_SUCCESS, "a.bmp\t",
         ignored + "-i " + bmp + "\n" + ignored + "-o x.png\n"},
        {{"--json", "-q", "-n", "-f", "-i", bmp}, CONSOLE_EXIT_SUCCESS, "{", ignored + "-q\n"},
        {{"-j", "2", "--json", "-n", "-f", "-i", bmp}, CONSOLE_EXIT_SUCCESS, "{", ""},
        {{"-o", "b.png", "-n", "-o", "c.png", "-o", "b.png", "-i", bmp}, CONSOLE_EXIT_SUCCESS, "input: ",
         ignored + "-o c.png\n"},
        {{"-f", "-nd", "-i", tabbed}, CONSOLE_EXIT_SUCCESS, "input: " + reportName(tabbed.c_str()) + "\noutput: ", ""},
        {{"-f", "-nd", "-n", "-d", dir.path(), "-od", out}, CONSOLE_EXIT_SUCCESS, "a.bmp\t", ""},
    };
    for (const Case& c : cases) {
        const Captured run = runArgs(c.arguments);
        const std::string shown = c.arguments.front() + " " + c.arguments.back();
        EXPECT_EQ(run.status, c.status) << shown;
        EXPECT_NE(("\n" + run.out).find("\n" + c.outStart), std::string::npos) << shown << ": " << run.out;
        if (c.outStart.empty()) {
            EXPECT_EQ(run.out, "") << shown;
        }
        EXPECT_EQ(run.err, c.err) << shown;
        const auto given = [&](const char* word) {
            return std::find(c.arguments.begin(), c.arguments.end(), word) != c.arguments.end();
        };
        const bool textTestRun = given("-n") && !given("-q") && !given("--json");
        const size_t line = run.out.rfind(uiText(Msg::TestRunLine));
        EXPECT_EQ(line != std::string::npos && line + std::strlen(uiText(Msg::TestRunLine)) == run.out.size(), textTestRun)
            << shown << ": " << run.out;
        if (!textTestRun) {
            EXPECT_EQ(run.out.find("test run"), std::string::npos) << shown << ": " << run.out;
        }
    }
    EXPECT_FALSE(fs::exists(out)) << "a test run made the output folder";
}

// -x1 to -x3 and -x, one row each: the level in the text report and the JSON
// report, the output the input's pixels, -x the same bytes as -x2, and -xi
// ignored where no zopfli runs. The picture is large enough that -x1 and -x2
// run no default search: then neither report shows that search's encoding.
TEST_F(FileListTest, EachExtendedLevelSwitchReachesBothReports)
{
    const RgbaImage picture = makeBandedImage(131, 128, 6);
    ASSERT_GT(uint64_t(picture.width) * picture.height, kSmallPictureDefaultSearchPixels);
    const std::string bmp = dir.file("in.bmp");
    ASSERT_TRUE(writeBmp24(bmp, picture));
    struct Case {
        const char* level;   // the switch
        int number;          // its level
    };
    const Case cases[] = {{"-x1", 1}, {"-x2", 2}, {"-x3", 3}, {"-x", 2}};
    std::map<int, std::vector<uint8_t>> written;   // by level
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        const std::string png = dir.file(std::string("out") + c.level + ".png");
        const Captured text = runArgs({"-i", bmp, "-o", png, c.level, "-xi", "1"});
        ASSERT_EQ(text.status, CONSOLE_EXIT_SUCCESS) << text.out;
        const bool defaultSearch = c.number == 3;
        EXPECT_NE(text.out.find("\n拡張探索: "), std::string::npos) << text.out;
        EXPECT_NE(text.out.find(", レベル" + std::to_string(c.number) + "\n"), std::string::npos) << text.out;
        EXPECT_EQ(text.out.find("\n出力形式: ") != std::string::npos, defaultSearch) << text.out;
        EXPECT_EQ(text.err.find("tolvarinxc: ignored: -xi 1\n") != std::string::npos, c.number == 1) << text.err;
        RgbaImage decoded;
        ASSERT_TRUE(decodeOutputPng(png, decoded));
        EXPECT_EQ(decoded.width, picture.width);
        EXPECT_TRUE(decoded.pixels == picture.pixels);
        const std::vector<uint8_t> bytes = readFileBytes(png);
        if (!written.emplace(c.number, bytes).second) {
            EXPECT_TRUE(written.at(c.number) == bytes) << "another switch of the same level wrote other bytes";
        }

        const Captured json = runArgs({"--json", "-n", "-i", bmp, "-o", png, c.level, "-xi", "1"});
        ASSERT_EQ(json.status, CONSOLE_EXIT_SUCCESS) << json.err;
        const nlohmann::json object = nlohmann::json::parse(linesOf(json.out).at(0));
        const nlohmann::json& extended = object.at("extended");
        EXPECT_EQ(extended.at("level").get<int>(), c.number);
        EXPECT_EQ(object.at("best_bytes").get<size_t>(), bytes.size());
        EXPECT_EQ(object.contains("bit_depth"), extended.at("layout") == "default") << object;
        if (!defaultSearch) {
            EXPECT_NE(extended.at("layout"), "default");
        }
    }
}

// The text report's names, the UTF-8 check and base64, against hand-made answers.
TEST(ReportText, NamesChecksAndBase64)
{
    const struct {
        const char* name;
        const char* shown;
    } names[] = {{"plain\\name.png", "plain\\name.png"}, {"a\tb", "a\\tb"}, {"x\\y\nz\r", "x\\\\y\\nz\\r"}, {"", ""}};
    for (const auto& c : names)
        EXPECT_EQ(reportName(c.name), c.shown);
    // Names (UTF-8 on every system) and their UTF-8 ("" when malformed).
    const struct {
        const char* text;
        const char* utf8;
    } texts[] = {
        {"ascii", "ascii"},
        {"\xe3\x81\x82", "\xe3\x81\x82"}, {"\xc3", ""}, {"\xc0\xaf", ""}, {"\xed\xa0\x80", ""},
        {"\xf4\x90\x80\x80", ""}, {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"}, {"\xff", ""},
    };
    std::string utf8;
    for (const auto& c : texts) {
        EXPECT_EQ(nameToUtf8(c.text, utf8), *c.utf8 != 0) << c.text;
        if (*c.utf8 != 0) {
            EXPECT_EQ(utf8, c.utf8);
        }
    }
    const struct {
        const char* bytes;
        const char* encoded;
    } codes[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"\xff\xfe\xfd\x00", "//79"}};
    for (const auto& c : codes)
        EXPECT_EQ(base64(c.bytes), c.encoded);
}
