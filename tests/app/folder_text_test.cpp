// Texts and rules of the folder conversion: size formats, summary and status
// line, the settings dialog's warnings and decisions, and the path rules of
// the run.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/logic/app_settings.h"
#include "app/logic/folder_run.h"
#include "app/logic/folder_settings_rules.h"
#include "core/codepage.h"
#include "core/folder_file_list.h"
#include "core/text_string.h"
#include "services/folder_text.h"
#include "services/progress_event.h"
#include "tests/app/folder_test_support.h"

namespace {

std::string sizeText(uint32_t size)
{
    TextString out;
    formatFolderSize(out, size);
    return out.c_str();
}

std::string changeText(int64_t change)
{
    TextString out;
    formatSizeChange(out, change);
    return out.c_str();
}

std::string summary(uint32_t processed, uint32_t errors, int64_t total)
{
    TextString out;
    formatFolderSummary(out, processed, errors, total);
    return out.c_str();
}

std::string problemText(FolderField field, FolderProblem problem)
{
    TextString out("old");
    folderProblemText(out, field, problem);
    return out.c_str();
}

const std::string sep(1, kPathSeparator);

}  // namespace

TEST(FolderText, SizesInBytesKilobytesAndMegabytes)
{
    EXPECT_EQ(sizeText(0), "0Byte");
    EXPECT_EQ(sizeText(1000), "1000Byte");
    EXPECT_EQ(sizeText(1023), "1023Byte");
    EXPECT_EQ(sizeText(1024), "1.00KB");
    EXPECT_EQ(sizeText(1536), "1.50KB");
    EXPECT_EQ(sizeText(1048575), "1024.00KB");   // rounds up but stays in KB
    EXPECT_EQ(sizeText(1048576), "1.00MB");
    EXPECT_EQ(sizeText(5u * 1048576 + 524288), "5.50MB");
    EXPECT_EQ(sizeText(0xFFFFFFFFu), "4096.00MB");
}

TEST(FolderText, SizeChangeHasAnExplicitSign)
{
    EXPECT_EQ(changeText(1000 - 1536), "-536");
    EXPECT_EQ(changeText(0), "+0");
    EXPECT_EQ(changeText(12), "+12");
    EXPECT_EQ(changeText(-4294967295LL), "-4294967295");
}

TEST(FolderText, SummaryShowsCountsAndTheTotalInKilobytes)
{
    EXPECT_EQ(summary(0, 0, 0), "処理 0 ｴﾗｰ 0 / 総増減 +0.00KB");
    EXPECT_EQ(summary(3, 1, -12636), "処理 3 ｴﾗｰ 1 / 総増減 -12.34KB");
    EXPECT_EQ(summary(1, 0, -536), "処理 1 ｴﾗｰ 0 / 総増減 -0.52KB");
    EXPECT_EQ(summary(2, 0, 2048), "処理 2 ｴﾗｰ 0 / 総増減 +2.00KB");
    // Totals beyond 32 bits (thousands of large files) stay exact.
    EXPECT_EQ(summary(5000, 0, -3LL * 1024 * 1024 * 1024), "処理 5000 ｴﾗｰ 0 / 総増減 -3145728.00KB");
}

TEST(FolderText, StatusLineShowsOnlyTrialStarts)
{
    TextString out("untouched");
    EXPECT_TRUE(formatTrialStatus(out, decodeProgress(-1, -1, -1, 3, -1)));
    EXPECT_STREQ(out.c_str(), "filter 3 ... ");
    EXPECT_TRUE(formatTrialStatus(out, decodeProgress(-1, -1, -1, 0, -1)));
    EXPECT_STREQ(out.c_str(), "filter 0 ... ");
    EXPECT_TRUE(formatTrialStatus(out, decodeProgress(-1, 15, 9, -1, -1)));
    EXPECT_STREQ(out.c_str(), "zw 15 zm 9 ... ");
    out.assign("untouched");
    EXPECT_FALSE(formatTrialStatus(out, decodeProgress(8, -1, -1, -1, -1)));    // bit depth heading
    EXPECT_FALSE(formatTrialStatus(out, decodeProgress(-1, -1, -1, 3, 777)));   // filter trial done
    EXPECT_FALSE(formatTrialStatus(out, decodeProgress(-1, 12, 7, -1, 0)));     // parameter trial done (size 0)
    EXPECT_STREQ(out.c_str(), "untouched");
}

TEST(FolderSettingsRules, WarningTextsPerFieldAndProblem)
{
    EXPECT_EQ(problemText(FOLDER_FIELD_INPUT, FolderProblem::Empty), "入力ﾌｫﾙﾀﾞを指定してください");
    EXPECT_EQ(problemText(FOLDER_FIELD_INPUT, FolderProblem::Missing), "入力ﾌｫﾙﾀﾞが存在しません");
    EXPECT_EQ(problemText(FOLDER_FIELD_INPUT, FolderProblem::NotFolder), "入力ﾌｫﾙﾀﾞがﾌｫﾙﾀﾞではありません");
    EXPECT_EQ(problemText(FOLDER_FIELD_OUTPUT, FolderProblem::Empty), "出力ﾌｫﾙﾀﾞを指定してください");
    EXPECT_EQ(problemText(FOLDER_FIELD_OUTPUT, FolderProblem::Missing), "出力ﾌｫﾙﾀﾞが存在しません");
    EXPECT_EQ(problemText(FOLDER_FIELD_OUTPUT, FolderProblem::NotFolder), "出力ﾌｫﾙﾀﾞがﾌｫﾙﾀﾞではありません");
    EXPECT_EQ(problemText(FOLDER_FIELD_OUTPUT, FolderProblem::None), "");
}

TEST(FolderSettingsRules, CheckingAndDroppingRealPaths)
{
    TempDir dir;
    const std::string file = dir.file("picture.png");
    writeFileBytes(file, {1, 2});
    const std::string missing = dir.file("gone");

    EXPECT_EQ(checkFolderPath(""), FolderProblem::Empty);
    EXPECT_EQ(checkFolderPath(missing.c_str()), FolderProblem::Missing);
    EXPECT_EQ(checkFolderPath(file.c_str()), FolderProblem::NotFolder);
    EXPECT_EQ(checkFolderPath(dir.path().c_str()), FolderProblem::None);
    // Used exactly as typed: a leading blank makes another path.
    EXPECT_EQ(checkFolderPath((" " + dir.path()).c_str()), FolderProblem::Missing);

    EXPECT_EQ(decideFolderDrop(dir.path().c_str()), FolderDropAction::SetText);
    EXPECT_EQ(decideFolderDrop(file.c_str()), FolderDropAction::WarnNotFolder);
    EXPECT_EQ(decideFolderDrop(missing.c_str()), FolderDropAction::Ignore);
    // A dropped file is refused in the words a typed one's warning ends with,
    // and the missing-format warning reads as none of the folder warnings.
    const std::string dropped = uiText(Msg::DroppedNotFolder);
    ASSERT_FALSE(dropped.empty());
    for (FolderField field : {FOLDER_FIELD_INPUT, FOLDER_FIELD_OUTPUT}) {
        const std::string typed = problemText(field, checkFolderPath(file.c_str()));
        EXPECT_EQ(typed.substr(typed.size() - std::min(typed.size(), dropped.size())), dropped);
        for (FolderProblem problem : {FolderProblem::Empty, FolderProblem::Missing, FolderProblem::NotFolder})
            EXPECT_NE(problemText(field, problem), uiText(Msg::NoTargetFormat));
    }
    EXPECT_STRNE(uiText(Msg::NoTargetFormat), "");
}

TEST(FolderSettingsRules, TargetFormatsAndTypeMask)
{
    EXPECT_FALSE(hasTargetFormat(0));
    EXPECT_FALSE(hasTargetFormat(DIR_SUBFOLDERS | DIR_KEEP_TIMESTAMP | DIR_KEEP_TRANSPARENT | 0x0038 | 0xFE00));
    EXPECT_TRUE(hasTargetFormat(DIR_GIF));
    EXPECT_EQ(folderTypeMask(DIR_BMP), FOLDER_TYPE_BMP);
    EXPECT_EQ(folderTypeMask(DIR_PNG | DIR_SUBFOLDERS), FOLDER_TYPE_PNG);
    EXPECT_EQ(folderTypeMask(DIR_GIF), FOLDER_TYPE_GIF);
    EXPECT_EQ(folderTypeMask(0xFFFF), FOLDER_TYPE_BMP | FOLDER_TYPE_PNG | FOLDER_TYPE_GIF);
    EXPECT_EQ(folderTypeMask(0x003F), 0);
    // Every option box has its own bit, and they make up all six used bits.
    uint16_t all = 0;
    for (const DirFlagBox& box : kDirFlagBoxes) {
        EXPECT_EQ(all & box.bit, 0) << box.controlId;
        all |= box.bit;
    }
    EXPECT_EQ(all, DIR_SUBFOLDERS | DIR_KEEP_TIMESTAMP | DIR_KEEP_TRANSPARENT | DIR_BMP | DIR_PNG | DIR_GIF);
}

TEST(FolderPaths, SameFolderIgnoresCase)
{
    EXPECT_TRUE(isSameFolderText("D:\\pics", "d:\\PICS"));
    EXPECT_TRUE(isSameFolderText("", ""));
    EXPECT_FALSE(isSameFolderText("D:\\pics", "D:\\pics\\"));
    EXPECT_FALSE(isSameFolderText("D:\\pics", "D:\\pict"));
}

TEST(FolderPaths, OutputFoldersMirrorTheInputTree)
{
    const std::string in = "in";
    const std::string out = "other" + sep + "out";
    TextString folder;
    mirrorFolder(folder, out.c_str(), in.c_str(), int(in.size()));
    EXPECT_EQ(std::string(folder.c_str()), out);
    const std::string deep = in + sep + "a" + sep + "b";
    mirrorFolder(folder, out.c_str(), deep.c_str(), int(in.size()));
    EXPECT_EQ(std::string(folder.c_str()), out + sep + "a" + sep + "b");
    // A drive root typed as "C:" leads to paths such as "C:\\name".
    mirrorFolder(folder, "E:", "C:\\name", 2);
    EXPECT_STREQ(folder.c_str(), "E:\\name");
}

TEST(FolderPaths, OutputFileTakesThePngExtension)
{
    TextString path;
    folderOutputPath(path, "out", "photo.BMP");
    EXPECT_EQ(std::string(path.c_str()), "out" + sep + "photo.png");
    folderOutputPath(path, "out", "two.dots.gif");
    EXPECT_EQ(std::string(path.c_str()), "out" + sep + "two.dots.png");
    folderOutputPath(path, "C:", "x.PNG");
    EXPECT_EQ(std::string(path.c_str()), "C:" + sep + "x.png");
    // A dot in a folder name is not the file's extension dot.
    folderOutputPath(path, "my.pics", "scan.gif");
    EXPECT_EQ(std::string(path.c_str()), "my.pics" + sep + "scan.png");
}
