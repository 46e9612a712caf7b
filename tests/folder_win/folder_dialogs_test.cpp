// The folder conversion as a user meets it: the settings dialog with its
// warnings, drops and folder browser, and the progress dialog converting real
// folders, with its results list, bar, status line, stop button and summary.

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/closable_run.h"
#include "app/folder_conversion.h"
#include "app/logic/app_settings.h"
#include "app/logic/folder_dialog_ids.h"
#include "core/dib_image.h"
#include "core/file_handle.h"
#include "core/folder_file_list.h"
#include "core/folder_scan.h"
#include "core/path_text.h"
#include "core/image_loader.h"
#include "services/folder_text.h"
#include "tests/app/folder_test_support.h"
#include "tests/folder_win/ui_script.h"
#include "tests/framework_win/window_test_support.h"

namespace {

const char* const kSettingsCaption = "フォルダ一括変換";
const char* const kProgressCaption = "フォルダ変換";
constexpr uint16_t kAllTypes = DIR_BMP | DIR_PNG | DIR_GIF;
// The quick search: no comparisons, no extended search.
constexpr uint16_t kQuickSearch = OPT_NO_FILTER_COMPARE | OPT_NO_DEFLATE_COMPARE | OPT_NO_8BIT_COMPARE;
// 2001-02-03 in 100-ns units since 1601.
constexpr uint64_t kOldTime = 126262656000000000ULL;

// Fills the settings dialog as a user would and presses "変換開始".
UiScript::Step startWith(const std::string& in, const std::string& out, uint16_t dirFlag, bool sameAsInput)
{
    return [=] {
        HWND dialog = findDialog(kSettingsCaption);
        if (!dialog)
            return false;
        typeInto(dialog, IDC_FOLDER_INPUT, in);
        setCheck(dialog, IDC_FOLDER_SAME_AS_INPUT, sameAsInput);
        if (!sameAsInput)
            typeInto(dialog, IDC_FOLDER_OUTPUT, out);
        const struct {
            int id;
            uint16_t bit;
        } boxes[] = {{IDC_FOLDER_SUBFOLDERS, DIR_SUBFOLDERS}, {IDC_FOLDER_KEEP_TIMESTAMP, DIR_KEEP_TIMESTAMP},
                     {IDC_FOLDER_KEEP_TRANSPARENT, DIR_KEEP_TRANSPARENT}, {IDC_FOLDER_TYPE_BMP, DIR_BMP},
                     {IDC_FOLDER_TYPE_PNG, DIR_PNG}, {IDC_FOLDER_TYPE_GIF, DIR_GIF}};
        for (const auto& box : boxes)
            setCheck(dialog, box.id, (dirFlag & box.bit) != 0);
        clickButton(dialog, IDOK);
        return true;
    };
}

// What the progress dialog shows once its button reads "終了".
struct Finished {
    std::vector<std::vector<std::string>> rows;
    std::string status;
    int position = -1;
    int rangeHigh = -1;
    std::string caption;
};

UiScript::Step waitForEnd(Finished& seen, const std::string& picture = std::string())
{
    return [&seen, picture] {
        HWND dialog = findDialog(kProgressCaption);
        if (!dialog || dialogItemText(dialog, IDCANCEL) != "終了")
            return false;
        seen.rows = listRows(GetDlgItem(dialog, IDC_FOLDER_RESULTS), kFolderColumnCount);
        seen.status = dialogItemText(dialog, IDC_FOLDER_STATUS);
        HWND bar = GetDlgItem(dialog, IDC_FOLDER_PROGRESS);
        seen.position = int(SendMessageA(bar, PBM_GETPOS, 0, 0));
        seen.rangeHigh = int(SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
        seen.caption = windowText(dialog);
        if (!picture.empty()) {
            pumpPending();
            UpdateWindow(dialog);
            EXPECT_TRUE(saveWindowPicture(dialog, picture)) << picture;
        }
        clickButton(dialog, IDCANCEL);
        return true;
    };
}

UiScript::Step progressClosed()
{
    return [] { return findDialog(kProgressCaption) == nullptr; };
}

// Answers the message box that must appear next, recording its text.
UiScript::Step answerBox(std::vector<std::string>& texts)
{
    return [&texts] {
        std::string text;
        HWND box = findMessageBox(&text);
        if (!box)
            return false;
        texts.push_back(text);
        clickButton(box, IDOK);
        return true;
    };
}

// Acts on the settings dialog once nothing modal is in the way (a message
// box or the folder browser disables it).
UiScript::Step onSettings(std::function<void(HWND)> act)
{
    return [act] {
        HWND dialog = findDialog(kSettingsCaption);
        if (!dialog || !IsWindowEnabled(dialog) || findMessageBox())
            return false;
        act(dialog);
        return true;
    };
}

std::string summaryText(uint32_t processed, uint32_t errors, int64_t total)
{
    TextString out;
    formatFolderSummary(out, processed, errors, total);
    return out.c_str();
}

std::string sizeText(uint32_t size)
{
    TextString out;
    formatFolderSize(out, size);
    return out.c_str();
}

uint32_t fileSize(const std::string& path)
{
    return uint32_t(readFileBytes(path).size());
}

const std::vector<std::string>* rowNamed(const std::vector<std::vector<std::string>>& rows, const std::string& name)
{
    for (const auto& row : rows) {
        if (row[FOLDER_COLUMN_NAME] == name)
            return &row;
    }
    return nullptr;
}

// The output shows the input's pixels (and, when carried, its transparent colour).
void expectSamePixels(const std::string& input, const std::string& output, bool transparencyCarried)
{
    DibImage in;
    DibImage out;
    int32_t inColour = -1;
    int32_t outColour = -1;
    ASSERT_TRUE(loadImageFile(in, input.c_str(), inColour)) << input;
    ASSERT_TRUE(loadImageFile(out, output.c_str(), outColour)) << output;
    EXPECT_TRUE(samePicture(rgbaFromDib(out), rgbaFromDib(in))) << output;
    EXPECT_EQ(out.hasAlpha, in.hasAlpha) << output;
    EXPECT_EQ(outColour, transparencyCarried ? inColour : -1) << output;
}

// Where the README's picture of the dialog goes, when asked for
// (TOLVARINX_SCREENSHOT, a POSIX path reached through Wine's Z: drive).
std::string screenshotPath()
{
    const char* path = std::getenv("TOLVARINX_SCREENSHOT");
    if (!path || !path[0])
        return std::string();
    std::string windowsPath = path[0] == '/' ? std::string("Z:") + path : std::string(path);
    for (char& c : windowsPath) {
        if (c == '/')
            c = '\\';
    }
    return windowsPath;
}

struct ThreeTimes {
    FileTime creation = 0, access = 0, write = 0;
};

ThreeTimes timesOf(const std::string& path)
{
    ThreeTimes t;
    getFileTimes(path.c_str(), &t.creation, &t.access, &t.write);
    return t;
}

}  // namespace

TEST(FolderDialogs, SettingsWarnAboutEveryBadFieldAndKeepTheDialogOpen)
{
    TempDir dir;
    const std::string folder = joined(dir.path(), "pics");
    makeFolder(folder);
    const std::string file = dir.file("a.png");
    writeFileBytes(file, {1});
    const std::string missing = dir.file("missing");

    AppSettings settings;
    settings.OptFlag = kQuickSearch;
    settings.DirFlag = DIR_PNG | DIR_KEEP_TIMESTAMP | 0x8000;
    std::vector<std::string> boxes;
    std::vector<bool> initialChecks;
    std::string initialInput = "?", initialOutput = "?";
    uint16_t flagAfterNoTypes = 0;
    bool outputDisabled = false, outputEnabledAgain = false;

    UiScript script;
    script.then("initial state", onSettings([&](HWND d) {
              for (int id = IDC_FOLDER_SAME_AS_INPUT; id <= IDC_FOLDER_TYPE_GIF; ++id)
                  initialChecks.push_back(IsDlgButtonChecked(d, id) == BST_CHECKED);
              initialInput = dialogItemText(d, IDC_FOLDER_INPUT);
              initialOutput = dialogItemText(d, IDC_FOLDER_OUTPUT);
              clickButton(d, IDOK);
          }))
        .then("input empty", answerBox(boxes))
        .then("input missing", onSettings([&](HWND d) {
                  typeInto(d, IDC_FOLDER_INPUT, missing);
                  clickButton(d, IDOK);
              }))
        .then("box", answerBox(boxes))
        .then("input a file", onSettings([&](HWND d) {
                  typeInto(d, IDC_FOLDER_INPUT, file);
                  clickButton(d, IDOK);
              }))
        .then("box", answerBox(boxes))
        .then("output empty", onSettings([&](HWND d) {
                  typeInto(d, IDC_FOLDER_INPUT, folder);
                  clickButton(d, IDOK);
              }))
        .then("box", answerBox(boxes))
        .then("output missing", onSettings([&](HWND d) {
                  typeInto(d, IDC_FOLDER_OUTPUT, missing);
                  clickButton(d, IDOK);
              }))
        .then("box", answerBox(boxes))
        .then("output a file", onSettings([&](HWND d) {
                  typeInto(d, IDC_FOLDER_OUTPUT, file);
                  clickButton(d, IDOK);
              }))
        .then("box", answerBox(boxes))
        .then("no type", onSettings([&](HWND d) {
                  typeInto(d, IDC_FOLDER_OUTPUT, folder);
                  setCheck(d, IDC_FOLDER_TYPE_PNG, false);
                  setCheck(d, IDC_FOLDER_SUBFOLDERS, true);
                  clickButton(d, IDOK);
              }))
        .then("box", answerBox(boxes))
        .then("same as input skips the output", onSettings([&](HWND d) {
                  flagAfterNoTypes = settings.DirFlag;
                  setCheck(d, IDC_FOLDER_SAME_AS_INPUT, true);
                  outputDisabled = !IsWindowEnabled(GetDlgItem(d, IDC_FOLDER_OUTPUT));
                  typeInto(d, IDC_FOLDER_OUTPUT, "");
                  clickButton(d, IDOK);
              }))
        .then("box", answerBox(boxes))
        .then("cancel", onSettings([&](HWND d) {
                  setCheck(d, IDC_FOLDER_SAME_AS_INPUT, false);
                  outputEnabledAgain = IsWindowEnabled(GetDlgItem(d, IDC_FOLDER_OUTPUT)) != FALSE;
                  clickButton(d, IDCANCEL);
              }));
    ASSERT_TRUE(script.run([&] { convertFolder(nullptr, settings); })) << script.failedStep;

    EXPECT_EQ(initialInput, "");
    EXPECT_EQ(initialOutput, "");
    // 1151 same-as-input, 1152 sub-folders, 1153 time stamps, 1154 transparency, 1155-1157 types.
    EXPECT_EQ(initialChecks, (std::vector<bool>{false, false, true, false, false, true, false}));
    EXPECT_EQ(boxes, (std::vector<std::string>{
                         "入力ﾌｫﾙﾀﾞを指定してください", "入力ﾌｫﾙﾀﾞが存在しません", "入力ﾌｫﾙﾀﾞがﾌｫﾙﾀﾞではありません",
                         "出力ﾌｫﾙﾀﾞを指定してください", "出力ﾌｫﾙﾀﾞが存在しません", "出力ﾌｫﾙﾀﾞがﾌｫﾙﾀﾞではありません",
                         "対象形式を指定してください", "対象形式を指定してください"}));
    // The boxes were read when the types were missing: stored, other bits cleared.
    EXPECT_EQ(flagAfterNoTypes, DIR_SUBFOLDERS | DIR_KEEP_TIMESTAMP);
    EXPECT_TRUE(outputDisabled);
    EXPECT_TRUE(outputEnabledAgain);
    EXPECT_EQ(countEntries(folder), 0u);
}

TEST(FolderDialogs, FieldsTakeDroppedFoldersOnly)
{
    TempDir dir;
    const std::string folder = joined(dir.path(), "dropped");
    makeFolder(folder);
    const std::string file = dir.file("a.bmp");
    writeFileBytes(file, {1});
    AppSettings settings;
    std::vector<std::string> boxes;
    std::string afterFolder, afterFile, afterMissing, afterLong;
    DWORD quietUntil = 0;
    // A missing path below the dropped folder, length bytes long.
    const auto longPath = [&](size_t length) {
        std::string path = folder + "\\";
        path.resize(length, 'x');
        return path;
    };

    UiScript script;
    script.then("drop a folder", onSettings([&](HWND d) { dropPath(GetDlgItem(d, IDC_FOLDER_INPUT), folder); }))
        .then("folder taken", onSettings([&](HWND d) {
                  afterFolder = dialogItemText(d, IDC_FOLDER_INPUT);
                  dropPath(GetDlgItem(d, IDC_FOLDER_INPUT), file);
              }))
        .then("file refused", answerBox(boxes))
        .then("drop a missing path", onSettings([&](HWND d) {
                  afterFile = dialogItemText(d, IDC_FOLDER_INPUT);
                  dropPath(GetDlgItem(d, IDC_FOLDER_OUTPUT), dir.file("missing"));
                  quietUntil = GetTickCount() + 500;
              }))
        .then("nothing happens", [&] {
            std::string text;
            if (HWND box = findMessageBox(&text)) {
                boxes.push_back(text);   // none is expected
                clickButton(box, IDOK);
            }
            return static_cast<LONG>(GetTickCount() - quietUntil) >= 0;
        })
        .then("drop a missing path as long as the field holds", onSettings([&](HWND d) {
                  afterMissing = dialogItemText(d, IDC_FOLDER_OUTPUT);
                  dropPath(GetDlgItem(d, IDC_FOLDER_OUTPUT), longPath(511));
                  quietUntil = GetTickCount() + 500;
              }))
        .then("nothing happens either", [&] {
            std::string text;
            if (HWND box = findMessageBox(&text)) {
                boxes.push_back(text);   // none is expected
                clickButton(box, IDOK);
            }
            return static_cast<LONG>(GetTickCount() - quietUntil) >= 0;
        })
        .then("drop a path one byte longer", onSettings([&](HWND d) {
                  dropPath(GetDlgItem(d, IDC_FOLDER_INPUT), longPath(512));
              }))
        .then("over-long path refused", answerBox(boxes))
        .then("close", onSettings([&](HWND d) {
                  afterLong = dialogItemText(d, IDC_FOLDER_INPUT);
                  clickButton(d, IDCANCEL);
              }));
    ASSERT_TRUE(script.run([&] { convertFolder(nullptr, settings); })) << script.failedStep;
    EXPECT_EQ(afterFolder, folder);
    EXPECT_EQ(boxes, (std::vector<std::string>{"ﾌｫﾙﾀﾞではありません", "ﾌｫﾙﾀﾞではありません"}));
    EXPECT_EQ(afterFile, folder) << "a refused drop leaves the field alone";
    EXPECT_EQ(afterMissing, "");
    EXPECT_EQ(afterLong, folder) << "an over-long drop leaves the field alone";
}

TEST(FolderDialogs, BrowseButtonPutsTheChosenFolderIntoTheField)
{
    // Straight below a drive root: the platform's browser may not unfold
    // deeper user folders when it opens.
    const std::string folder = "C:\\tolvarinx-browse-" + std::to_string(GetCurrentProcessId());
    makeFolder(folder);
    struct Cleanup {
        std::string path;
        ~Cleanup() { RemoveDirectoryA(path.c_str()); }
    } cleanup{folder};
    AppSettings settings;
    std::string chosen, root;
    HWND settingsDialog = nullptr;

    // The folder browser: the one other dialog of this thread.
    auto acceptBrowser = [&]() -> UiScript::Step {
        return [&] {
            HWND browser = findOtherDialog(settingsDialog);
            if (!browser)
                return false;
            clickButton(browser, IDOK);
            return true;
        };
    };

    UiScript script;
    script.then("browse from a folder", onSettings([&](HWND d) {
                  settingsDialog = d;
                  typeInto(d, IDC_FOLDER_INPUT, folder);
                  clickButton(d, IDC_FOLDER_BROWSE_INPUT);
              }))
        .then("accept", acceptBrowser())
        .then("browse from a drive root", onSettings([&](HWND d) {
                  chosen = dialogItemText(d, IDC_FOLDER_INPUT);
                  typeInto(d, IDC_FOLDER_OUTPUT, "C:\\");
                  clickButton(d, IDC_FOLDER_BROWSE_OUTPUT);
              }))
        .then("accept", acceptBrowser())
        .then("close", onSettings([&](HWND d) {
                  root = dialogItemText(d, IDC_FOLDER_OUTPUT);
                  clickButton(d, IDCANCEL);
              }));
    ASSERT_TRUE(script.run([&] { convertFolder(nullptr, settings); })) << script.failedStep;
    EXPECT_EQ(lstrcmpiA(chosen.c_str(), folder.c_str()), 0) << chosen;
    EXPECT_EQ(root, "C:");
}

TEST(FolderDialogs, TreeIntoASeparateFolder)
{
    TempDir dir;
    const std::string in = joined(dir.path(), "in");
    const std::string out = joined(dir.path(), "out");
    const std::string a = joined(in, "a");
    const std::string b = joined(a, "b");
    makeFolder(b);
    makeFolder(joined(in, ".cache"));
    makeFolder(out);
    std::vector<uint32_t> palette = {0x102030, 0xFF0000, 0x00FF80, 0x8080FF, 0xFFFFFF};
    std::vector<uint8_t> indices;
    for (uint32_t i = 0; i < 11 * 7; ++i)
        indices.push_back(uint8_t((i * 7 + i / 11) % 5));
    writeFileBytes(joined(in, "photo.BMP"), encodeBmp24(testPicture(40, 30, 400, 1)));
    writeFileBytes(joined(in, "alpha.png"), encodePng(testPicture(24, 24, 40, 2, true), true, 0));
    writeFileBytes(joined(in, "icon.gif"), encodeGif(11, 7, indices, palette, 2));
    writeFileBytes(joined(in, "notes.txt"), {'h', 'i'});
    writeFileBytes(joined(a, "pic.bmp"), encodeBmp24(testPicture(6, 5, 3, 3)));
    writeFileBytes(joined(b, "c.gif"), encodeGif(11, 7, indices, palette, -1));
    writeFileBytes(joined(joined(in, ".cache"), "skip.png"), encodePng(testPicture(4, 4, 2, 5), false, 0));
    const std::string hidden = writeHiddenFile(in, "x.png", encodePng(testPicture(9, 9, 3, 4), false, 0));

    AppSettings settings;
    settings.OptFlag = kQuickSearch | 0x0300;   // quick search; other bits must not matter
    const uint16_t dirFlag = DIR_SUBFOLDERS | DIR_KEEP_TRANSPARENT | kAllTypes;
    Finished seen;
    UiScript script;
    script.then("settings", startWith(in, out, dirFlag, false))
        .then("run", waitForEnd(seen, screenshotPath()))
        .then("closed", progressClosed());
    ASSERT_TRUE(script.run([&] { convertFolder(nullptr, settings); })) << script.failedStep;

    EXPECT_EQ(settings.DirFlag, dirFlag);
    EXPECT_EQ(seen.caption, kProgressCaption);
    EXPECT_EQ(seen.rangeHigh, 6);
    EXPECT_EQ(seen.position, 6);
    ASSERT_EQ(seen.rows.size(), 6u);
    EXPECT_FALSE(fileExists(joined(out, ".cache").c_str()));

    struct Pair {
        std::string name, input, output;
        bool transparency;
    };
    const std::vector<Pair> pairs = {
        {"photo.BMP", joined(in, "photo.BMP"), joined(out, "photo.png"), false},
        {"alpha.png", joined(in, "alpha.png"), joined(out, "alpha.png"), false},
        {"icon.gif", joined(in, "icon.gif"), joined(out, "icon.png"), true},
        {"pic.bmp", joined(a, "pic.bmp"), joined(joined(out, "a"), "pic.png"), false},
        {"c.gif", joined(b, "c.gif"), joined(joined(joined(out, "a"), "b"), "c.png"), false},
        {hidden, joined(in, hidden), joined(out, "x.png"), false},
    };
    int64_t total = 0;
    for (const Pair& p : pairs) {
        SCOPED_TRACE(p.name);
        const auto* row = rowNamed(seen.rows, p.name);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ((*row)[FOLDER_COLUMN_SOURCE_SIZE], sizeText(fileSize(p.input)));
        EXPECT_EQ((*row)[FOLDER_COLUMN_OUTPUT_SIZE], sizeText(fileSize(p.output)));
        const int64_t change = int64_t(fileSize(p.output)) - int64_t(fileSize(p.input));
        EXPECT_EQ((*row)[FOLDER_COLUMN_SIZE_CHANGE], (change >= 0 ? "+" : "") + std::to_string(change));
        EXPECT_NE((*row)[FOLDER_COLUMN_FORMAT].find("BIT "), std::string::npos) << (*row)[FOLDER_COLUMN_FORMAT];
        expectSamePixels(p.input, p.output, p.transparency);
        total += change;
    }
    EXPECT_EQ(seen.status, summaryText(6, 0, total));
}

TEST(FolderDialogs, UnshrinkablePngLeftAloneInPlaceAndCopiedElsewhere)
{
    TempDir dir;
    const std::string in = joined(dir.path(), "pics");
    const std::string out = joined(dir.path(), "out");
    makeFolder(in);
    makeFolder(out);
    // The optimizer's own result cannot be beaten by it.
    {
        PngOptimizer optimizer;
        DibImage image;
        RgbaImage picture = testPicture(20, 20, 5, 6);
        ASSERT_TRUE(dibFromRgba(picture, image, false));
        ConvertRequest request;
        fillConvertRequest(request, image, -1, 0);
        ASSERT_EQ(optimizer.convert(joined(in, "best.png").c_str(), request), 1);
    }
    const Bytes best = readFileBytes(joined(in, "best.png"));
    writeFileBytes(joined(in, "photo.bmp"), encodeBmp24(testPicture(16, 12, 300, 7)));
    ASSERT_TRUE(setAllTimes(joined(in, "best.png"), kOldTime));
    ASSERT_TRUE(setAllTimes(joined(in, "photo.bmp"), kOldTime));
    const ThreeTimes bestTimes = timesOf(joined(in, "best.png"));

    AppSettings settings;
    settings.OptFlag = kQuickSearch;
    Finished inPlace, copied;
    UiScript script;
    script.then("same folder", startWith(in, "", DIR_KEEP_TIMESTAMP | DIR_BMP | DIR_PNG, true))
        .then("run", waitForEnd(inPlace))
        .then("closed", progressClosed());
    ASSERT_TRUE(script.run([&] { convertFolder(nullptr, settings); })) << script.failedStep;

    ASSERT_EQ(inPlace.rows.size(), 2u);
    EXPECT_EQ((*rowNamed(inPlace.rows, "best.png"))[FOLDER_COLUMN_FORMAT], "<出力なし>");
    EXPECT_EQ(readFileBytes(joined(in, "best.png")), best);
    const ThreeTimes after = timesOf(joined(in, "best.png"));
    EXPECT_EQ(after.write, bestTimes.write);
    EXPECT_EQ(after.creation, bestTimes.creation);
    expectSamePixels(joined(in, "photo.bmp"), joined(in, "photo.png"), false);
    EXPECT_EQ(timesOf(joined(in, "photo.png")).write, kOldTime);
    EXPECT_EQ(timesOf(joined(in, "photo.png")).creation, kOldTime);
    EXPECT_EQ(countEntries(in), 3u);

    // Into another folder the PNG is copied as it is (the new photo.png,
    // the optimizer's own result now, is copied too).
    UiScript again;
    again.then("other folder", startWith(in, out, DIR_KEEP_TIMESTAMP | DIR_PNG, false))
        .then("run", waitForEnd(copied))
        .then("closed", progressClosed());
    ASSERT_TRUE(again.run([&] { convertFolder(nullptr, settings); })) << again.failedStep;
    ASSERT_EQ(copied.rows.size(), 2u);
    EXPECT_EQ((*rowNamed(copied.rows, "best.png"))[FOLDER_COLUMN_FORMAT], "<ｺﾋﾟｰ>");
    EXPECT_EQ(readFileBytes(joined(out, "best.png")), best);
    EXPECT_EQ(timesOf(joined(out, "best.png")).write, bestTimes.write);
    EXPECT_EQ(timesOf(joined(out, "best.png")).creation, bestTimes.creation);
    EXPECT_EQ(copied.status, summaryText(2, 0, 0));
}

TEST(FolderDialogs, ResultsListShowsTheNewest25OnTop)
{
    TempDir dir;
    const std::string in = joined(dir.path(), "in");
    const std::string out = joined(dir.path(), "out");
    makeFolder(in);
    makeFolder(out);
    for (int i = 0; i < 30; ++i)
        writeFileBytes(joined(in, "f" + std::to_string(100 + i) + ".bmp"),
                       encodeBmp24(testPicture(5, 4, 6, uint32_t(i))));
    // The order the run meets the files in: the file system's.
    FolderFileList list;
    ASSERT_TRUE(list.build(in.c_str(), FOLDER_TYPE_BMP, false));
    std::vector<std::string> order;
    TextString name;
    while (list.nextItem(name) == ITEM_FILE)
        order.push_back(name.c_str());
    ASSERT_EQ(order.size(), 30u);

    AppSettings settings;
    settings.OptFlag = kQuickSearch;
    Finished seen;
    UiScript script;
    script.then("settings", startWith(in, out, DIR_BMP, false)).then("run", waitForEnd(seen)).then("closed", progressClosed());
    ASSERT_TRUE(script.run([&] { convertFolder(nullptr, settings); })) << script.failedStep;

    ASSERT_EQ(seen.rows.size(), 25u);
    for (size_t i = 0; i < 25; ++i) {
        EXPECT_EQ(seen.rows[i][FOLDER_COLUMN_NAME], order[29 - i]) << i;
        EXPECT_FALSE(seen.rows[i][FOLDER_COLUMN_OUTPUT_SIZE].empty()) << i;
    }
    EXPECT_EQ(seen.position, 30);
    EXPECT_EQ(seen.status.rfind("処理 30 ｴﾗｰ 0 / 総増減 ", 0), 0u) << seen.status;
}

TEST(FolderDialogs, StopEndsTheRunAndTheButtonThenCloses)
{
    TempDir dir;
    const std::string in = joined(dir.path(), "in");
    const std::string out = joined(dir.path(), "out");
    makeFolder(in);
    makeFolder(out);
    const int files = 40;
    for (int i = 0; i < files; ++i)
        writeFileBytes(joined(in, "f" + std::to_string(i) + ".bmp"), encodeBmp24(testPicture(96, 96, 400, uint32_t(i))));

    AppSettings settings;
    settings.OptFlag = 0;   // the full search: each file takes a while
    Finished seen;
    bool stillOpenAfterStop = false;
    DWORD stoppedAt = 0;
    UiScript script;
    script.then("settings", startWith(in, out, DIR_BMP, false))
        .then("stop after the first file", [&] {
            HWND dialog = findDialog(kProgressCaption);
            if (!dialog || SendMessageA(GetDlgItem(dialog, IDC_FOLDER_PROGRESS), PBM_GETPOS, 0, 0) < 1)
                return false;
            clickButton(dialog, IDCANCEL);
            stoppedAt = GetTickCount();
            return true;
        })
        .then("the dialog stays", [&] {
            if (GetTickCount() - stoppedAt < 100)
                return false;
            stillOpenAfterStop = findDialog(kProgressCaption) != nullptr;
            return true;
        })
        .then("run ends", waitForEnd(seen))
        .then("closed", progressClosed());
    ASSERT_TRUE(script.run([&] { convertFolder(nullptr, settings); }, 120000)) << script.failedStep;

    EXPECT_TRUE(stillOpenAfterStop);
    EXPECT_GE(seen.position, 1);
    EXPECT_LT(seen.position, files);
    EXPECT_EQ(seen.rangeHigh, files);
    const size_t written = listFiles(out, ".png").size();
    EXPECT_EQ(written, size_t(seen.position)) << "every advanced file was written, no other";
    EXPECT_EQ(seen.status.rfind("処理 " + std::to_string(seen.position) + " ｴﾗｰ 0 / 総増減 -", 0), 0u)
        << seen.status;
    EXPECT_EQ(countEntries(out), written) << "no temporary file left behind";
}

TEST(FolderDialogs, EndRequestStopsTheRunAndEndsTheDialogWithoutTheButton)
{
    TempDir dir;
    const std::string in = joined(dir.path(), "in");
    makeFolder(in);
    const int files = 12;
    for (int i = 0; i < files; ++i)
        writeFileBytes(joined(in, "f" + std::to_string(i) + ".bmp"), encodeBmp24(testPicture(96, 96, 400, uint32_t(i))));

    // The request while the worker runs, and once it has ended ("終了" shown).
    for (const bool afterEnd : {false, true}) {
        SCOPED_TRACE(afterEnd ? "after the end" : "during the run");
        const std::string out = joined(dir.path(), afterEnd ? "out-end" : "out-run");
        makeFolder(out);
        AppSettings settings;
        settings.OptFlag = 0;   // the full search: each file takes a while
        ClosableRun* active = nullptr;
        bool namedWhileRunning = false;
        UiScript script;
        script.then("settings", startWith(in, out, DIR_BMP, false));
        if (afterEnd)
            script.then("run ends", [] {
                HWND dialog = findDialog(kProgressCaption);
                return dialog && dialogItemText(dialog, IDCANCEL) == "終了";
            });
        script
            .then("request the end", [&] {
                HWND dialog = findDialog(kProgressCaption);
                if (!dialog || SendMessageA(GetDlgItem(dialog, IDC_FOLDER_PROGRESS), PBM_GETPOS, 0, 0) < 1)
                    return false;
                namedWhileRunning = active != nullptr;
                if (active)
                    active->stopAndEnd();
                return true;
            })
            .then("closed by itself", progressClosed());
        ASSERT_TRUE(script.run([&] { convertFolder(nullptr, settings, &active); }, 120000)) << script.failedStep;

        EXPECT_TRUE(namedWhileRunning);
        EXPECT_EQ(active, nullptr) << "the ended dialog is still named";
        // The worker has been joined: nothing is written after the return.
        const std::vector<std::string> written = listFiles(out, ".png");
        Sleep(300);
        EXPECT_EQ(listFiles(out, ".png"), written);
        EXPECT_EQ(countEntries(out), written.size()) << "no temporary file left behind";
        if (afterEnd)
            EXPECT_EQ(written.size(), size_t(files));
        else
            EXPECT_LT(written.size(), size_t(files)) << "the run was not stopped";
        for (const std::string& name : written) {
            DibImage image;
            int32_t transparent = -1;
            EXPECT_TRUE(loadImageFile(image, joined(out, name).c_str(), transparent)) << name;
        }
    }
}

TEST(FolderDialogs, EmptyFolderEndsWithTheZeroSummary)
{
    TempDir dir;
    const std::string in = joined(dir.path(), "in");
    makeFolder(in);
    writeFileBytes(joined(in, "readme.txt"), {'x'});
    AppSettings settings;
    Finished seen;
    UiScript script;
    script.then("settings", startWith(in, "", kAllTypes, true)).then("run", waitForEnd(seen)).then("closed", progressClosed());
    ASSERT_TRUE(script.run([&] { convertFolder(nullptr, settings); })) << script.failedStep;
    EXPECT_TRUE(seen.rows.empty());
    EXPECT_EQ(seen.rangeHigh, 0);
    EXPECT_EQ(seen.status, "処理 0 ｴﾗｰ 0 / 総増減 +0.00KB");
    EXPECT_EQ(countEntries(in), 1u);
}

// Folders named in and outside the code page, dropped on the fields: the
// fields show them with stand-ins, the run takes the real folders and the
// results list shows the file's name as the code page can.
TEST(FolderDialogs, DroppedFoldersOfEveryNameConvertIntoTheRealFolder)
{
    for (const char* name : {u8"café", u8"图片", u8"사진", u8"🎨", u8"日本語"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string in = joined(dir.path(), std::string(name) + "-in");
        const std::string out = joined(dir.path(), std::string(name) + "-out");
        ASSERT_TRUE(createFolder(in.c_str()) && createFolder(out.c_str()));
        const std::string file = std::string(name) + ".bmp";
        ASSERT_TRUE(writeFileBytes(joined(in, file), encodeBmp24(testPicture(12, 9, 40, 6))));
        AppSettings settings;
        std::string shownIn, shownOut;
        Finished seen;
        UiScript script;
        script.then("drop the folders", onSettings([&](HWND d) {
                  dropPath(GetDlgItem(d, IDC_FOLDER_INPUT), in);
                  dropPath(GetDlgItem(d, IDC_FOLDER_OUTPUT), out);
              }))
            .then("start", [&] {
                HWND d = findDialog(kSettingsCaption);
                if (!d || dialogItemText(d, IDC_FOLDER_OUTPUT).empty())
                    return false;
                shownIn = dialogItemText(d, IDC_FOLDER_INPUT);
                shownOut = dialogItemText(d, IDC_FOLDER_OUTPUT);
                setCheck(d, IDC_FOLDER_TYPE_BMP, true);
                clickButton(d, IDOK);
                return true;
            })
            .then("run", waitForEnd(seen))
            .then("closed", progressClosed());
        ASSERT_TRUE(script.run([&] { convertFolder(nullptr, settings); })) << script.failedStep;
        EXPECT_EQ(shownIn, displayPath(in.c_str()));
        EXPECT_EQ(shownOut, displayPath(out.c_str()));
        ASSERT_EQ(seen.rows.size(), 1u);
        EXPECT_EQ(seen.rows[0][FOLDER_COLUMN_NAME], displayPath(file.c_str()));
        expectSamePixels(joined(in, file), joined(out, std::string(name) + ".png"), false);
    }
}
