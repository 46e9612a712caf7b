// The console's folder mode run in-process: outputs the same whatever -j is
// and the same as one-file runs, the report lines in list order, the output
// tree never read as input, a failing file not stopping the run, and the
// switches' checks.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

#include "console/command_line_scanner.h"
#include "console/console_run.h"
#include "console/folder_batch.h"
#include "core/folder_file_list.h"
#include "services/folder_text.h"
#include "tests/common/image_file_builders.h"
#include "tests/console/console_test_support.h"

namespace fs = std::filesystem;

namespace {


std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        out.push_back(line);
    return out;
}

// An input tree with every kind of file: converted BMPs, a PNG that shrinks,
// one that cannot, a broken GIF, a transparent GIF, a file of another type, a
// hidden folder, x.bmp beside x.png (both write x.png) and large images.
void makeInputTree(const std::string& root)
{
    fs::create_directories(root + "/sub/deeper");
    fs::create_directories(root + "/.hidden");
    const RgbaImage bands = makeBandedImage(40, 30, 5);
    const RgbaImage gradient = makeGradientImage(33, 21);
    ASSERT_TRUE(writeBmp24(root + "/a.bmp", bands));
    ASSERT_TRUE(writeRgbaPng(root + "/stored.png", gradient, 0));
    ASSERT_TRUE(writeBmp24(root + "/x.bmp", gradient));
    ASSERT_TRUE(writeRgbaPng(root + "/x.png", bands, 0));
    ASSERT_TRUE(writeFileBytes(root + "/broken.gif", {'G', 'I', 'F', '8', '9', 'a', 1}));
    ASSERT_TRUE(writeFileBytes(root + "/notes.txt", {'x'}));
    ASSERT_TRUE(writeBmp24(root + "/sub/b.BMP", makeBandedImage(17, 9, 3)));
    ASSERT_TRUE(writeBmp24(root + "/sub/deeper/c.bmp", makeGradientImage(8, 8)));
    ASSERT_TRUE(writeBmp24(root + "/.hidden/h.bmp", bands));
    // Two images large enough to convert alone, among the small ones.
    ASSERT_TRUE(writeBmp24(root + "/sub/large.bmp", makeGradientImage(200, 170)));
    ASSERT_TRUE(writeBmp24(root + "/large.bmp", makeBandedImage(190, 180, 7)));
    const std::string gif = corpusPath("gifsuite/gifs/static_transparent.gif");
    if (fs::exists(gif))
        fs::copy_file(gif, root + "/sub/t.gif");
}

ConsoleRun runFolder(const std::string& in, const std::string& out, const std::vector<std::string>& extra)
{
    std::vector<std::string> arguments = {"-d", in};
    if (!out.empty()) {
        arguments.push_back("-od");
        arguments.push_back(out);
    }
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return runConsoleArgs(arguments);
}

const std::vector<std::string> kFastSwitches = {"-nf", "-nd", "-nc"};

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(FolderBatch, SameOutputsWhateverTheJobsAndAsOneFileRuns)
{
    TempDir dir;
    const std::string in = dir.file("in");
    makeInputTree(in);
    const Tree input = readTree(in);

    // Separate output folder inside the input tree, one file at a time and four at once.
    // -f: x.bmp and x.png share an output, which the later one replaces.
    const std::vector<std::string> common = with({"-r", "-kt", "-f"}, kFastSwitches);
    const ConsoleRun serial = runFolder(in, in + "/out", with(common, {"-j", "1"}));
    const Tree serialOut = readTree(in + "/out");
    fs::remove_all(in + "/out");
    const ConsoleRun parallel = runFolder(in, in + "/out", with(common, {"-j", "4"}));
    EXPECT_EQ(serial.status, CONSOLE_EXIT_FAILURE);   // broken.gif
    EXPECT_EQ(parallel.status, serial.status);
    EXPECT_EQ(parallel.text, serial.text);
    const Tree parallelOut = readTree(in + "/out");
    EXPECT_EQ(parallelOut, serialOut);

    // Every input but the broken one, the hidden folder and the other type has its output;
    // x.bmp and x.png share one.
    std::vector<std::string> expectedNames;
    for (const auto& file : input) {
        const std::string& name = file.first;
        if (name.find(".hidden") == 0 || name == "notes.txt" || name == "broken.gif")
            continue;
        expectedNames.push_back(fs::path(name).replace_extension(".png").generic_string());
    }
    std::sort(expectedNames.begin(), expectedNames.end());
    expectedNames.erase(std::unique(expectedNames.begin(), expectedNames.end()), expectedNames.end());
    std::vector<std::string> names;
    for (const auto& file : parallelOut)
        names.push_back(file.first);
    EXPECT_EQ(names, expectedNames);

    // Each output is what a one-file run writes (x.png: the later of the two in list order).
    const std::vector<std::string> report = lines(serial.text);
    ASSERT_FALSE(report.empty());
    for (size_t i = 0; i + 1 < report.size(); ++i) {
        const std::string name = report[i].substr(0, report[i].find('\t'));
        if (name == "broken.gif")
            continue;
        const std::string target = dir.file("single.png");
        fs::remove(target);
        ConsoleRun one = runConsoleArgs(with({"-i", in + "/" + name, "-o", target}, kFastSwitches));
        ASSERT_EQ(one.status, CONSOLE_EXIT_SUCCESS) << one.text;
        const std::string outName = fs::path(name).replace_extension(".png").generic_string();
        bool laterTwin = false;
        for (size_t j = i + 1; j + 1 < report.size(); ++j)
            laterTwin = laterTwin || fs::path(report[j].substr(0, report[j].find('\t'))).replace_extension(".png") ==
                                         fs::path(outName);
        if (!laterTwin) {
            EXPECT_EQ(readFileBytes(target), parallelOut.at(outName)) << name;
        }
    }

    // A second run does not take the output tree as input: the same report.
    const ConsoleRun again = runFolder(in, in + "/out", with(common, {"-j", "3"}));
    EXPECT_EQ(again.text, serial.text);
    EXPECT_FALSE(fs::exists(in + "/out/out"));
    // Nothing outside the output folder was written.
    Tree inputAfter = readTree(in);
    for (auto it = inputAfter.begin(); it != inputAfter.end();)
        it = it->first.rfind("out/", 0) == 0 ? inputAfter.erase(it) : std::next(it);
    EXPECT_EQ(inputAfter, input);
}

TEST(FolderBatch, InPlaceRunsMatchForAnyJobs)
{
    TempDir dir;
    makeInputTree(dir.file("a"));
    makeInputTree(dir.file("b"));
    const ConsoleRun one = runFolder(dir.file("a"), "", with({"-r", "-j", "1"}, kFastSwitches));
    const ConsoleRun many = runFolder(dir.file("b"), "", with({"-r", "-j", "8"}, kFastSwitches));
    EXPECT_EQ(one.text, many.text);
    EXPECT_EQ(readTree(dir.file("a")), readTree(dir.file("b")));
    // In place, x.bmp then x.png wrote x.png; the other PNG was shrunk in place.
    EXPECT_NE(one.text.find("stored.png\t"), std::string::npos);
}

TEST(FolderBatch, ReportLinesAndSummary)
{
    TempDir dir;
    const std::string in = dir.file("in");
    fs::create_directories(in);
    ASSERT_TRUE(writeBmp24(in + "/a.bmp", makeBandedImage(30, 10, 4)));
    ASSERT_TRUE(writeFileBytes(in + "/bad.bmp", {'B', 'M', 0}));
    const std::vector<uint8_t> source = readFileBytes(in + "/a.bmp");
    const ConsoleRun run = runFolder(in, dir.file("out"), with({"-t", "BMP"}, kFastSwitches));
    EXPECT_EQ(run.status, CONSOLE_EXIT_FAILURE);
    const std::vector<std::string> report = lines(run.text);
    ASSERT_EQ(report.size(), 3u) << run.text;
    const std::vector<uint8_t> output = readFileBytes(dir.file("out") + "/a.png");
    ASSERT_FALSE(output.empty());
    RgbaImage decoded, expected;
    ASSERT_TRUE(decodeOutputPng(dir.file("out") + "/a.png", decoded));
    ASSERT_TRUE(loadAsRgba(in + "/a.bmp", expected));
    EXPECT_EQ(decoded.pixels, expected.pixels);

    TextString size, change, summary;
    formatFolderSize(size, static_cast<uint32_t>(source.size()));
    const std::string converted = std::string("a.bmp\t") + size.c_str() + "\t";
    const std::string readError = std::string("bad.bmp\t\t\t\t") + uiText(Msg::CellReadError);
    const int64_t delta = int64_t(output.size()) - int64_t(source.size());
    formatSizeChange(change, delta);
    formatFolderSummary(summary, 1, 1, delta);
    const bool aFirst = report[0].rfind("a.bmp", 0) == 0;
    const std::string& aLine = aFirst ? report[0] : report[1];
    EXPECT_EQ(aFirst ? report[1] : report[0], readError);
    EXPECT_EQ(aLine.rfind(converted, 0), 0u) << aLine;
    EXPECT_NE(aLine.find(std::string("\t") + change.c_str() + "\t"), std::string::npos) << aLine;
    EXPECT_EQ(report[2], summary.c_str());

    // Only the types asked for; an empty selection is a success with a zero summary.
    const ConsoleRun none = runFolder(in, dir.file("out2"), {"-t", "gif"});
    EXPECT_EQ(none.status, CONSOLE_EXIT_SUCCESS);
    formatFolderSummary(summary, 0, 0, 0);
    EXPECT_EQ(none.text, std::string(summary.c_str()) + "\n");
}

TEST(FolderBatch, ProgressLineOnlyWhenLive)
{
    TempDir dir;
    const std::string in = dir.file("in");
    fs::create_directories(in);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(writeBmp24(in + "/p" + std::to_string(i) + ".bmp", makeBandedImage(12, 12, 2 + i)));
    FolderBatchOptions options;
    options.inputRoot.assign(in.c_str());
    options.outputRoot.assign(dir.file("out").c_str());
    options.typeMask = FOLDER_TYPE_BMP;
    options.file.options = OPT_NO_FILTER_COMPARE | OPT_NO_DEFLATE_COMPARE | OPT_NO_8BIT_COMPARE;
    options.jobs = 2;
    options.file.replaceExisting = true;   // the second run replaces the first one's outputs
    for (const bool live : {false, true}) {
        FILE* out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(runFolderBatch(options, out, live), CONSOLE_EXIT_SUCCESS);
        std::rewind(out);
        std::string text;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, out)) > 0)
            text.append(buffer, n);
        std::fclose(out);
        EXPECT_EQ(text.find("[3/3]") != std::string::npos, live) << text;
        EXPECT_EQ(text.find('\r') != std::string::npos, live);
        // Once the progress line is blanked out, the plain report remains.
        std::string plain;
        for (const std::string& line : lines(text)) {
            const size_t cut = line.rfind('\r');
            plain += (cut == std::string::npos ? line : line.substr(cut + 1)) + "\n";
        }
        EXPECT_EQ(lines(plain).size(), 4u) << text;
    }
}

TEST(FolderBatch, SwitchChecks)
{
    TempDir dir;
    ASSERT_TRUE(writeFileBytes(dir.file("file.bmp"), {'B', 'M'}));
    const std::string in = dir.path();
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{"-d"}, "-dで入力ﾌｫﾙﾀﾞを指定してください"},
        {{"-d", dir.file("missing")}, " が存在しません"},
        {{"-d", dir.file("file.bmp")}, " がﾌｫﾙﾀﾞではありません"},
        {{"-d", in, "-od"}, "-odで出力ﾌｫﾙﾀﾞを指定してください"},
        {{"-d", in, "-od", dir.file("file.bmp")}, " がﾌｫﾙﾀﾞではありません"},
        {{"-d", in, "-od", dir.file("no/such")}, " を作成できません"},
        {{"-d", in, "-t", "jpg"}, "-tにはbmp,png,gifを指定してください"},
        {{"-d", in, "-t", "bmp,,gif"}, "-tにはbmp,png,gifを指定してください"},
        {{"-d", in, "-t"}, "-tにはbmp,png,gifを指定してください"},
        {{"-d", in, "-j", "0"}, "-jには1から256までの数を指定してください"},
        {{"-d", in, "-j", "257"}, "-jには1から256までの数を指定してください"},
        {{"-d", in, "-j", "2x"}, "-jには1から256までの数を指定してください"},
    };
    for (const auto& c : cases) {
        const ConsoleRun run = runConsoleArgs(c.arguments);
        EXPECT_EQ(run.status, CONSOLE_EXIT_FAILURE) << c.message;
        EXPECT_NE(run.text.find(c.message), std::string::npos) << run.text;
    }
    EXPECT_FALSE(fs::exists(dir.file("no")));

    uint16_t mask = 0;
    EXPECT_TRUE(parseFileTypes("gif,BMP", mask));
    EXPECT_EQ(mask, FOLDER_TYPE_GIF | FOLDER_TYPE_BMP);
    EXPECT_FALSE(parseFileTypes("", mask));
}

TEST(ConsoleHelp, HelpAndVersionSucceed)
{
    const char* const kSwitches[] = {"-i", "-o", "-d", "-od", "-r", "-t", "-ts", "-kt", "-j",
                                     "-nf", "-nd", "-nc", "-h", "--help", "--version"};
    for (const char* spelling : {"-h", "--help"}) {
        const ConsoleRun help = runConsoleArgs({spelling});
        EXPECT_EQ(help.status, CONSOLE_EXIT_SUCCESS);
        for (const char* name : kSwitches)
            EXPECT_NE(help.text.find(std::string(" ") + name + " "), std::string::npos) << name;
    }
    const ConsoleRun version = runConsoleArgs({"--version"});
    EXPECT_EQ(version.status, CONSOLE_EXIT_SUCCESS);
    EXPECT_EQ(version.text, std::string("tolvarinxc ") + TOLVARINX_VERSION +
                                "\nLicense MIT <https://opensource.org/licenses/MIT>: free software, NO WARRANTY.\n");
}
