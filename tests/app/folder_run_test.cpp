// A folder conversion run over real folders with the real loader and
// optimizer: outputs decoded and compared with their inputs, the rows and the
// summary the run shows, unshrinkable PNGs copied or left alone, time stamps
// and transparent colours carried over, failures counted, and stopping.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/logic/app_settings.h"
#include "app/logic/folder_run.h"
#include "app/logic/folder_settings_rules.h"
#include "core/file_handle.h"
#include "core/folder_file_list.h"
#include "core/shared_flag.h"
#include "services/folder_text.h"
#include "tests/app/folder_test_support.h"

namespace {

constexpr uint16_t kAllTypes = DIR_BMP | DIR_PNG | DIR_GIF;
// The quick search: enough for checking what the run does with the result.
constexpr uint16_t kQuickSearch = OPT_NO_FILTER_COMPARE | OPT_NO_DEFLATE_COMPARE | OPT_NO_8BIT_COMPARE;
// A time stamp far in the past: 2001-02-03, in 100-ns units since 1601.
constexpr uint64_t kOldTime = 126262656000000000ULL;

std::string text(uint32_t size)
{
    TextString out;
    formatFolderSize(out, size);
    return out.c_str();
}

std::string summaryText(uint32_t processed, uint32_t errors, int64_t total)
{
    TextString out;
    formatFolderSummary(out, processed, errors, total);
    return out.c_str();
}

uint32_t fileSize(const std::string& path)
{
    return uint32_t(readFileBytes(path).size());
}

// The colours of a GIF's palette indices as RGBA; the transparent index gets
// alpha 0 when it is carried over.
RgbaImage gifPicture(uint32_t w, uint32_t h, const std::vector<uint8_t>& indices,
                     const std::vector<uint32_t>& palette, int transparentIndex)
{
    RgbaImage picture;
    picture.width = w;
    picture.height = h;
    for (uint8_t index : indices) {
        const uint32_t c = palette[index];
        picture.pixels.insert(picture.pixels.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c),
                                                     uint8_t(int(index) == transparentIndex ? 0 : 255)});
    }
    return picture;
}

// A small GIF scene: 5 colours, index 2 the transparent one.
struct GifScene {
    uint32_t w = 11;
    uint32_t h = 7;
    std::vector<uint32_t> palette = {0x102030, 0xFF0000, 0x00FF80, 0x8080FF, 0xFFFFFF};
    std::vector<uint8_t> indices;
    GifScene()
    {
        for (uint32_t i = 0; i < w * h; ++i)
            indices.push_back(uint8_t((i * 7 + i / w) % 5));
    }
    Bytes file(int transparentIndex) const { return encodeGif(w, h, indices, palette, transparentIndex); }
    RgbaImage picture(int transparentIndex) const { return gifPicture(w, h, indices, palette, transparentIndex); }
};

// One run: builds the list like the progress dialog and walks it.
struct Runner {
    PngOptimizer optimizer;
    RecordingView view;
    FolderRun run{optimizer, view};
    FolderFileList list;
    volatile int16_t cancelFlag = 0;
    volatile int16_t stopFlag = 0;

    void go(const std::string& in, const std::string& out, uint16_t dirFlag, uint16_t optFlag = kQuickSearch)
    {
        const bool separate = !isSameFolderText(in.c_str(), out.c_str());
        ASSERT_TRUE(list.build(in.c_str(), folderTypeMask(dirFlag), (dirFlag & DIR_SUBFOLDERS) != 0,
                               separate ? out.c_str() : nullptr));
        FolderRunSettings settings;
        settings.inputRoot = in.c_str();
        settings.outputRoot = out.c_str();
        settings.dirFlag = dirFlag;
        settings.optFlag = optFlag;
        run.begin(settings, &cancelFlag, &stopFlag);
        run.run(list);
    }

    const std::string& lastStatus() const
    {
        static const std::string none;
        return view.statuses.empty() ? none : view.statuses.back();
    }
};

// An optimizer's own best PNG of picture: the optimizer cannot beat it.
Bytes unshrinkablePng(const RgbaImage& picture)
{
    TempDir scratch;
    const std::string source = scratch.file("source.png");
    writeFileBytes(source, encodePng(picture, false, 0));
    const std::string first = scratch.file("first");
    makeFolder(first);
    Runner runner;
    runner.go(scratch.path(), first, DIR_PNG);
    return readFileBytes(joined(first, "source.png"));
}

// Every converted row: its cells agree with the files on disk.
void expectConvertedRow(const RecordingView& view, const std::string& name, const std::string& input,
                        const std::string& output)
{
    const RecordedRow* row = view.rowOf(name);
    ASSERT_NE(row, nullptr) << name;
    EXPECT_EQ(row->cells[FOLDER_COLUMN_SOURCE_SIZE], text(fileSize(input))) << name;
    EXPECT_EQ(row->cells[FOLDER_COLUMN_OUTPUT_SIZE], text(fileSize(output))) << name;
    char change[32];
    std::snprintf(change, sizeof change, "%+lld", (long long)fileSize(output) - (long long)fileSize(input));
    EXPECT_EQ(row->cells[FOLDER_COLUMN_SIZE_CHANGE], change) << name;
    static const std::regex format("(1|2|4|8|24|32)BIT (NONE|SUB|UP|AVERAGE|PAETH|総和最小) zw (8|9|1[0-5]) zm [4-9]");
    EXPECT_TRUE(std::regex_match(row->cells[FOLDER_COLUMN_FORMAT], format)) << row->cells[FOLDER_COLUMN_FORMAT];
}

void expectPicture(const std::string& png, const RgbaImage& expected)
{
    RgbaImage decoded;
    ASSERT_TRUE(decodeOutputPng(png, decoded)) << png;
    EXPECT_TRUE(samePicture(decoded, expected)) << png;
}

std::set<std::string> filesUnder(const std::string& folder)
{
    std::set<std::string> names;
    for (const std::string& name : listFiles(folder, ""))
        names.insert(name);
    return names;
}

}  // namespace

TEST(FolderRun, TreeIntoASeparateFolderIsMirroredAndPixelExact)
{
    TempDir dir;
    const std::string in = joined(dir.path(), "in");
    const std::string out = joined(dir.path(), "out");
    const std::string a = joined(in, "a");
    const std::string b = joined(a, "b");
    makeFolder(b);
    makeFolder(joined(in, ".cache"));
    makeFolder(out);

    const RgbaImage photo = testPicture(13, 9, 400, 1);          // more than 256 colours
    const RgbaImage alpha = testPicture(10, 10, 40, 2, true);    // real alpha
    const RgbaImage pic = testPicture(6, 5, 3, 3);               // few colours
    const RgbaImage hidden = testPicture(4, 4, 2, 4);
    const GifScene gif;
    writeFileBytes(joined(in, "photo.BMP"), encodeBmp24(photo));
    writeFileBytes(joined(in, "alpha.png"), encodePng(alpha, true, 0));
    writeFileBytes(joined(in, "icon.gif"), gif.file(2));
    writeFileBytes(joined(in, "notes.txt"), {'h', 'i'});
    writeFileBytes(joined(a, "pic.bmp"), encodeBmp24(pic));
    writeFileBytes(joined(b, "c.gif"), gif.file(-1));
    writeFileBytes(joined(joined(in, ".cache"), "skip.png"), encodePng(pic, false, 0));
    const std::string hiddenName = writeHiddenFile(in, "x.png", encodePng(hidden, false, 0));
    const std::string hiddenOut = hiddenName.substr(0, hiddenName.size() - 3) + "png";

    Runner runner;
    runner.go(in, out, DIR_SUBFOLDERS | kAllTypes);

    EXPECT_EQ(runner.run.processed, 6u);
    EXPECT_EQ(runner.run.errors, 0u);
    EXPECT_EQ(runner.view.steps, 6);
    EXPECT_EQ(runner.view.rows.size(), 6u);
    EXPECT_EQ(filesUnder(out), (std::set<std::string>{"photo.png", "alpha.png", "icon.png", hiddenOut}));
    EXPECT_EQ(filesUnder(joined(out, "a")), std::set<std::string>{"pic.png"});
    EXPECT_EQ(filesUnder(joined(joined(out, "a"), "b")), std::set<std::string>{"c.png"});
    EXPECT_FALSE(fileExists(joined(out, ".cache").c_str()));

    expectPicture(joined(out, "photo.png"), photo);
    expectPicture(joined(out, "alpha.png"), alpha);
    expectPicture(joined(out, "icon.png"), gif.picture(-1));   // transparency not asked for
    expectPicture(joined(joined(out, "a"), "pic.png"), pic);
    expectPicture(joined(joined(joined(out, "a"), "b"), "c.png"), gif.picture(-1));
    expectPicture(joined(out, hiddenOut), hidden);

    int64_t total = 0;
    struct Pair {
        std::string name, input, output;
    };
    const std::vector<Pair> pairs = {
        {"photo.BMP", joined(in, "photo.BMP"), joined(out, "photo.png")},
        {"alpha.png", joined(in, "alpha.png"), joined(out, "alpha.png")},
        {"icon.gif", joined(in, "icon.gif"), joined(out, "icon.png")},
        {"pic.bmp", joined(a, "pic.bmp"), joined(joined(out, "a"), "pic.png")},
        {"c.gif", joined(b, "c.gif"), joined(joined(joined(out, "a"), "b"), "c.png")},
        {hiddenName, joined(in, hiddenName), joined(out, hiddenOut)},
    };
    for (const Pair& p : pairs) {
        expectConvertedRow(runner.view, p.name, p.input, p.output);
        total += int64_t(fileSize(p.output)) - int64_t(fileSize(p.input));
    }
    EXPECT_EQ(runner.lastStatus(), summaryText(6, 0, total));
    EXPECT_EQ(std::count(runner.view.statuses.begin(), runner.view.statuses.end(), ""), 6);
}

TEST(FolderRun, TrialsAreShownInTheStatusLine)
{
    TempDir dir;
    const std::string out = joined(dir.path(), "out");
    makeFolder(out);
    writeFileBytes(dir.file("p.bmp"), encodeBmp24(testPicture(8, 8, 6, 9)));
    Runner runner;
    runner.go(dir.path(), out, DIR_BMP, 0);   // the full search
    std::set<std::string> seen(runner.view.statuses.begin(), runner.view.statuses.end());
    for (const char* expected : {"filter 0 ... ", "filter 5 ... ", "zw 15 zm 9 ... ", "zw 8 zm 4 ... ", ""})
        EXPECT_EQ(seen.count(expected), 1u) << expected;
    for (const std::string& status : runner.view.statuses)
        EXPECT_TRUE(status.empty() || status.rfind("filter ", 0) == 0 || status.rfind("zw ", 0) == 0 ||
                    status.rfind("処理 ", 0) == 0)
            << status;
}

TEST(FolderRun, SameFolderWritesBesideTheInputAndCreatesNoFolders)
{
    TempDir dir;
    const std::string in = joined(dir.path(), "pics");
    const std::string sub = joined(in, "sub");
    makeFolder(sub);
    const RgbaImage photo = testPicture(9, 7, 300, 5);
    const RgbaImage small = testPicture(5, 5, 4, 6);
    writeFileBytes(joined(in, "photo.BMP"), encodeBmp24(photo));
    writeFileBytes(joined(in, "photo.png"), {'o', 'l', 'd'});   // another file: kept; not listed (BMP only)
    writeFileBytes(joined(sub, "s.bmp"), encodeBmp24(small));

    Runner runner;
    runner.go(in, otherSpellingOfFolder(in), DIR_SUBFOLDERS | DIR_BMP);
    EXPECT_FALSE(runner.run.separateOutput);
    EXPECT_EQ(runner.run.processed, 1u);
    EXPECT_EQ(runner.run.errors, 1u);
    EXPECT_EQ(readFileBytes(joined(in, "photo.png")), Bytes({'o', 'l', 'd'}));
    ASSERT_NE(runner.view.rowOf("photo.BMP"), nullptr);
    EXPECT_EQ(runner.view.rowOf("photo.BMP")->cells[FOLDER_COLUMN_FORMAT], uiText(Msg::CellOutputExists));
    expectPicture(joined(sub, "s.png"), small);
    EXPECT_EQ(countEntries(dir.path()), 1u) << "no folder made for the differently typed root";
    EXPECT_EQ(countEntries(in), 3u);
}

TEST(FolderRun, UnshrinkablePngIsLeftAloneInPlace)
{
    TempDir dir;
    const Bytes best = unshrinkablePng(testPicture(12, 12, 5, 7));
    const std::string path = dir.file("best.png");
    writeFileBytes(path, best);
    ASSERT_TRUE(setAllTimes(path, kOldTime));

    Runner runner;
    runner.go(dir.path(), dir.path(), DIR_PNG | DIR_KEEP_TIMESTAMP);
    const RecordedRow* row = runner.view.rowOf("best.png");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->cells[FOLDER_COLUMN_FORMAT], "<出力なし>");
    EXPECT_EQ(row->cells[FOLDER_COLUMN_SOURCE_SIZE], text(uint32_t(best.size())));
    EXPECT_EQ(row->cells[FOLDER_COLUMN_OUTPUT_SIZE], "");
    EXPECT_EQ(readFileBytes(path), best);
    EXPECT_EQ(lastWriteTime(path), kOldTime);
    EXPECT_EQ(countEntries(dir.path()), 1u) << "no temporary file left behind";
    EXPECT_EQ(runner.lastStatus(), summaryText(1, 0, 0));
}

TEST(FolderRun, UnshrinkablePngIsCopiedToASeparateFolder)
{
    for (const uint16_t keep : {uint16_t(0), DIR_KEEP_TIMESTAMP}) {
        SCOPED_TRACE(keep);
        TempDir dir;
        const std::string out = joined(dir.path(), "out");
        makeFolder(out);
        const Bytes best = unshrinkablePng(testPicture(12, 12, 5, 8));
        const std::string path = dir.file("best.png");
        writeFileBytes(path, best);
        ASSERT_TRUE(setAllTimes(path, kOldTime));

        Runner runner;
        runner.go(dir.path(), out, DIR_PNG | keep);
        const RecordedRow* row = runner.view.rowOf("best.png");
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->cells[FOLDER_COLUMN_FORMAT], "<ｺﾋﾟｰ>");
        EXPECT_EQ(readFileBytes(joined(out, "best.png")), best);
        EXPECT_EQ(lastWriteTime(joined(out, "best.png")), kOldTime) << "a copy keeps its time stamp";
        EXPECT_EQ(readFileBytes(path), best);
        EXPECT_EQ(runner.run.processed, 1u);
        EXPECT_EQ(runner.lastStatus(), summaryText(1, 0, 0));
    }
}

TEST(FolderRun, AnOutputNameTakenByAFolderIsAnError)
{
    TempDir dir;
    const std::string out = joined(dir.path(), "out");
    makeFolder(joined(out, "best.png"));   // a folder where the copy should go
    const Bytes best = unshrinkablePng(testPicture(12, 12, 5, 9));
    writeFileBytes(dir.file("best.png"), best);

    Runner runner;
    runner.go(dir.path(), out, DIR_PNG);
    const RecordedRow* row = runner.view.rowOf("best.png");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->cells[FOLDER_COLUMN_FORMAT], uiText(Msg::CellOutputExists));
    EXPECT_EQ(runner.run.processed, 0u);
    EXPECT_EQ(runner.run.errors, 1u);
    EXPECT_EQ(runner.lastStatus(), summaryText(0, 1, 0));
    EXPECT_TRUE(isDirectory(joined(out, "best.png").c_str()));
}

TEST(FolderRun, ShrinkablePngIsReplacedInPlace)
{
    TempDir dir;
    const RgbaImage picture = testPicture(16, 16, 6, 10);
    const Bytes stored = encodePng(picture, false, 0);
    writeFileBytes(dir.file("big.png"), stored);
    Runner runner;
    runner.go(dir.path(), dir.path(), DIR_PNG);
    EXPECT_LT(fileSize(dir.file("big.png")), stored.size());
    expectPicture(dir.file("big.png"), picture);
    EXPECT_EQ(runner.lastStatus(),
              summaryText(1, 0, int64_t(fileSize(dir.file("big.png"))) - int64_t(stored.size())));
}

TEST(FolderRun, TimeStampsAreCarriedOverWhenAsked)
{
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        TempDir dir;
        const std::string out = joined(dir.path(), "out");
        makeFolder(out);
        writeFileBytes(dir.file("t.bmp"), encodeBmp24(testPicture(5, 4, 10, 11)));
        ASSERT_TRUE(setAllTimes(dir.file("t.bmp"), kOldTime));
        Runner runner;
        runner.go(dir.path(), out, DIR_BMP | (keep ? DIR_KEEP_TIMESTAMP : 0));
        ASSERT_TRUE(fileExists(joined(out, "t.png").c_str()));
        EXPECT_EQ(lastWriteTime(joined(out, "t.png")) == kOldTime, keep);
    }
}

TEST(FolderRun, TransparentColourIsCarriedOverWhenAsked)
{
    const GifScene gif;
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        TempDir dir;
        const std::string out = joined(dir.path(), "out");
        makeFolder(out);
        writeFileBytes(dir.file("t.gif"), gif.file(2));
        Runner runner;
        runner.go(dir.path(), out, DIR_GIF | (keep ? DIR_KEEP_TRANSPARENT : 0));
        expectPicture(joined(out, "t.png"), gif.picture(keep ? 2 : -1));
    }
}

TEST(FolderRun, UnreadableFilesAndMissingOutputFoldersAreErrors)
{
    TempDir dir;
    const std::string in = joined(dir.path(), "in");
    const std::string out = joined(dir.path(), "out");
    makeFolder(joined(in, "a"));
    makeFolder(out);
    writeFileBytes(joined(in, "broken.bmp"), {'B', 'M', 0, 0});
    writeFileBytes(joined(in, "text.gif"), {'h', 'e', 'l', 'l', 'o'});
    writeFileBytes(joined(joined(in, "a"), "p.bmp"), encodeBmp24(testPicture(3, 3, 3, 12)));
    writeFileBytes(joined(out, "a"), {'x'});   // a file where the folder should be made

    Runner runner;
    runner.go(in, out, DIR_SUBFOLDERS | kAllTypes);
    ASSERT_EQ(runner.view.rows.size(), 3u);
    for (const char* name : {"broken.bmp", "text.gif"}) {
        const RecordedRow* row = runner.view.rowOf(name);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->cells[FOLDER_COLUMN_FORMAT], "<読込ｴﾗｰ>");
        EXPECT_EQ(row->cells[FOLDER_COLUMN_SOURCE_SIZE], "");
    }
    EXPECT_EQ(runner.view.rowOf("p.bmp")->cells[FOLDER_COLUMN_FORMAT], "<失敗>");
    EXPECT_EQ(runner.run.errors, 3u);
    EXPECT_EQ(runner.view.steps, 3);
    EXPECT_EQ(runner.lastStatus(), summaryText(0, 3, 0));
    EXPECT_EQ(readFileBytes(joined(out, "a")), Bytes{'x'});
}

TEST(FolderRun, EmptyFolderShowsTheZeroSummary)
{
    TempDir dir;
    const std::string in = joined(dir.path(), "in");
    const std::string out = joined(dir.path(), "out");
    makeFolder(joined(in, "sub"));
    makeFolder(out);
    writeFileBytes(joined(in, "readme.txt"), {'x'});
    Runner runner;
    runner.go(in, out, kAllTypes | DIR_SUBFOLDERS);
    EXPECT_EQ(runner.list.fileCount, 0u);
    EXPECT_TRUE(runner.view.rows.empty());
    EXPECT_EQ(runner.view.steps, 0);
    EXPECT_EQ(runner.view.statuses, std::vector<std::string>{"処理 0 ｴﾗｰ 0 / 総増減 +0.00KB"});
    EXPECT_EQ(countEntries(out), 1u) << "the sub-folder is mirrored, empty";
}

TEST(FolderRun, OutputFolderInsideTheInputTreeIsNeverInput)
{
    // A second run over the tree finds the first run's outputs beside its
    // inputs and leaves them alone: the same rows, no output of an output.
    TempDir dir;
    const std::string in = joined(dir.path(), "in");
    const std::string out = joined(in, "out");
    makeFolder(joined(in, "sub"));
    makeFolder(out);
    writeFileBytes(joined(joined(in, "sub"), "a.bmp"), encodeBmp24(testPicture(9, 7, 4, 3)));
    for (int pass = 0; pass < 2; ++pass) {
        Runner runner;
        runner.go(in, out, kAllTypes | DIR_SUBFOLDERS);
        EXPECT_EQ(runner.list.fileCount, 1u) << pass;
        EXPECT_EQ(runner.view.rows.size(), 1u) << pass;
    }
    EXPECT_EQ(countEntries(out), 1u) << "only the mirrored sub-folder";
    EXPECT_EQ(filesUnder(joined(out, "sub")), std::set<std::string>{"a.png"});
}

TEST(FolderRun, ResultsListKeepsTheNewest25OnTop)
{
    TempDir dir;
    const std::string out = joined(dir.path(), "out");
    makeFolder(out);
    for (int i = 0; i < 30; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%02d.bmp", i);
        writeFileBytes(dir.file(name), encodeBmp24(testPicture(3, 2, 4, uint32_t(i))));
    }
    Runner runner;
    std::vector<std::string> order;
    runner.view.onInsert = [&](const char* name) { order.push_back(name); };
    runner.go(dir.path(), out, DIR_BMP);

    ASSERT_EQ(order.size(), 30u);
    ASSERT_EQ(runner.view.rows.size(), size_t(kFolderResultRows));
    for (int i = 0; i < kFolderResultRows; ++i) {
        const RecordedRow& row = runner.view.rows[size_t(i)];
        EXPECT_EQ(row.cells[FOLDER_COLUMN_NAME], order[order.size() - 1 - size_t(i)]) << i;
        EXPECT_FALSE(row.cells[FOLDER_COLUMN_FORMAT].empty()) << "each file's cells went to its own row";
        EXPECT_FALSE(row.cells[FOLDER_COLUMN_OUTPUT_SIZE].empty());
    }
    EXPECT_EQ(runner.run.processed, 30u);
    EXPECT_EQ(runner.view.steps, 30);
    EXPECT_EQ(filesUnder(out).size(), 30u);
}

// Stop pressed as the button does it: both flags set.
TEST(FolderRun, StopWhileAFileLoadsEndsTheRunBeforeItsConversion)
{
    TempDir dir;
    const std::string out = joined(dir.path(), "out");
    makeFolder(out);
    for (int i = 0; i < 5; ++i)
        writeFileBytes(dir.file("f" + std::to_string(i) + ".bmp"), encodeBmp24(testPicture(4, 4, 5, uint32_t(i))));
    Runner runner;
    int inserted = 0;
    runner.view.onInsert = [&](const char*) {
        if (++inserted == 3) {
            storeSharedFlag(&runner.cancelFlag, 1);
            storeSharedFlag(&runner.stopFlag, 1);
        }
    };
    runner.go(dir.path(), out, DIR_BMP);
    EXPECT_EQ(runner.view.insertedRows, 3);
    EXPECT_EQ(runner.view.rows.front().cells[FOLDER_COLUMN_FORMAT], "") << "the stopped file gets no result";
    EXPECT_EQ(runner.view.steps, 2);
    EXPECT_EQ(runner.run.processed, 2u);
    EXPECT_EQ(filesUnder(out).size(), 2u);
    EXPECT_EQ(runner.lastStatus().rfind("処理 2 ｴﾗｰ 0 / 総増減 ", 0), 0u) << runner.lastStatus();
}

namespace {

// Presses stop during a trial, as the user would while a file converts.
class StoppingOptimizer : public PngOptimizer {
public:
    StoppingOptimizer(volatile int16_t& cancel, volatile int16_t& stop) : cancel_(cancel), stop_(stop)
    {
        setTrialMeasure(measureAndStop, this);
    }
    int stopAtTrial = 3;   // counted over the whole run
    int trials = 0;

private:
    static uint32_t measureAndStop(void* self, const uint8_t* data, uint32_t size, int32_t windowBits,
                                   int32_t memLevel)
    {
        auto& optimizer = *static_cast<StoppingOptimizer*>(self);
        if (++optimizer.trials == optimizer.stopAtTrial) {
            optimizer.cancel_ = 1;
            optimizer.stop_ = 1;
        }
        return zlibTrialMeasure(nullptr, data, size, windowBits, memLevel);
    }

    volatile int16_t& cancel_;
    volatile int16_t& stop_;
};

}  // namespace

TEST(FolderRun, StopDuringAConversionEndsTheRunAtOnce)
{
    TempDir dir;
    const std::string out = joined(dir.path(), "out");
    makeFolder(out);
    for (int i = 0; i < 4; ++i)
        writeFileBytes(dir.file("f" + std::to_string(i) + ".bmp"), encodeBmp24(testPicture(6, 6, 5, uint32_t(i))));

    volatile int16_t cancel = 0;
    volatile int16_t stop = 0;
    StoppingOptimizer optimizer(cancel, stop);
    RecordingView view;
    FolderRun run(optimizer, view);
    FolderFileList list;
    ASSERT_TRUE(list.build(dir.path().c_str(), FOLDER_TYPE_BMP, false));
    FolderRunSettings settings;
    settings.inputRoot = dir.path().c_str();
    settings.outputRoot = out.c_str();
    settings.dirFlag = DIR_BMP;
    settings.optFlag = 0;   // the full search: many trials per file
    run.begin(settings, &cancel, &stop);
    run.run(list);

    EXPECT_EQ(view.insertedRows, 1);
    EXPECT_EQ(view.rows.front().cells[FOLDER_COLUMN_FORMAT], "");
    EXPECT_EQ(view.steps, 0);
    EXPECT_EQ(countEntries(out), 0u) << "nothing written, no temporary file left";
    EXPECT_EQ(view.statuses.back(), summaryText(0, 0, 0));
}

TEST(FolderRun, StopAfterAFileFinishedReportsItAndEndsBeforeTheNext)
{
    TempDir dir;
    const std::string out = joined(dir.path(), "out");
    makeFolder(out);
    for (int i = 0; i < 3; ++i)
        writeFileBytes(dir.file("f" + std::to_string(i) + ".bmp"), encodeBmp24(testPicture(4, 4, 5, uint32_t(i))));
    Runner runner;
    // Pressed after the first conversion returned, where the optimizer can
    // no longer see it.
    runner.view.onStep = [&]() {
        storeSharedFlag(&runner.cancelFlag, 1);
        storeSharedFlag(&runner.stopFlag, 1);
    };
    runner.go(dir.path(), out, DIR_BMP);
    EXPECT_EQ(runner.view.insertedRows, 1);
    EXPECT_FALSE(runner.view.rows.front().cells[FOLDER_COLUMN_FORMAT].empty()) << "the finished file is reported";
    EXPECT_EQ(runner.run.processed, 1u);
    EXPECT_EQ(filesUnder(out).size(), 1u);
}
