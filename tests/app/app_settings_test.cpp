#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/logic/app_settings.h"
#include "app/logic/main_window_rules.h"
#include "core/codepage.h"
#include "core/file_handle.h"
#include "core/path_text.h"
#include "tests/common/test_support.h"

namespace {

std::string readText(const std::string& path)
{
    const std::vector<uint8_t> bytes = readFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

bool writeText(const std::string& path, const std::string& text)
{
    return writeFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// Settings with values other than the defaults, to see that a load overwrites them.
void scribble(AppSettings& settings)
{
    settings.OptFlag = 0x1234;
    settings.DirFlag = 0x4321;
    settings.OpenDir.assign("stale open");
    settings.SaveDir.assign("stale save");
}

void expectDefaults(const AppSettings& settings, WindowPosition position)
{
    EXPECT_EQ(position.x, kNoWindowPosition);
    EXPECT_EQ(position.y, kNoWindowPosition);
    EXPECT_EQ(settings.OptFlag, 256);
    EXPECT_EQ(settings.DirFlag, 0);
    EXPECT_STREQ(settings.OpenDir.c_str(), "");
    EXPECT_STREQ(settings.SaveDir.c_str(), "");
}

}  // namespace

TEST(AppSettingsLoad, MissingFileGivesDefaults)
{
    TempDir dir;
    AppSettings settings;
    scribble(settings);
    expectDefaults(settings, loadSettingsFrom(dir.file("Tolvarinx.ini").c_str(), settings));
}

TEST(AppSettingsLoad, EmptyPathGivesDefaults)
{
    AppSettings settings;
    scribble(settings);
    expectDefaults(settings, loadSettingsFrom("", settings));
}

TEST(AppSettingsLoad, LowerCaseHeaderGivesDefaults)
{
    TempDir dir;
    const std::string path = dir.file("Tolvarinx.ini");
    ASSERT_TRUE(writeText(path, "[tolvarinx3]\r\nWinX=1\r\nWinY=2\r\nOptFlag=7\r\nDirFlag=3\r\n"
                                "OpenDir=a\r\nSaveDir=b\r\n"));
    AppSettings settings;
    scribble(settings);
    expectDefaults(settings, loadSettingsFrom(path.c_str(), settings));
}

TEST(AppSettingsLoad, ReadsAllKeysAndReservesFolderRoom)
{
    TempDir dir;
    const std::string path = dir.file("Tolvarinx.ini");
    ASSERT_TRUE(writeText(path, "[Tolvarinx3]\nWinX=-1200\nWinY=35\nOptFlag=519\nDirFlag=449\n"
                                "OpenDir=C:\\Users\\me\\Pictures\nSaveDir=\n"));
    AppSettings settings;
    const WindowPosition position = loadSettingsFrom(path.c_str(), settings);
    EXPECT_EQ(position.x, -1200);
    EXPECT_EQ(position.y, 35);
    EXPECT_EQ(settings.OptFlag, 519);
    EXPECT_EQ(settings.DirFlag, 449);
    EXPECT_STREQ(settings.OpenDir.c_str(), "C:\\Users\\me\\Pictures");
    EXPECT_STREQ(settings.SaveDir.c_str(), "");
    EXPECT_GE(settings.OpenDir.capacity(), 255);
    EXPECT_GE(settings.SaveDir.capacity(), 255);
}

TEST(AppSettingsLoad, OneMissingCoordinateStaysTheSentinel)
{
    TempDir dir;
    const std::string path = dir.file("Tolvarinx.ini");
    ASSERT_TRUE(writeText(path, "[Tolvarinx3]\r\nWinX = 100\r\nWinY=200\r\n"));
    AppSettings settings;
    const WindowPosition position = loadSettingsFrom(path.c_str(), settings);
    EXPECT_EQ(position.x, kNoWindowPosition);
    EXPECT_EQ(position.y, 200);
    EXPECT_EQ(settings.OptFlag, 256);   // missing key: default
}

TEST(AppSettingsLoad, LongFolderGrowsTheString)
{
    TempDir dir;
    const std::string path = dir.file("Tolvarinx.ini");
    const std::string folder = "D:\\" + std::string(600, 'x');
    ASSERT_TRUE(writeText(path, "[Tolvarinx3]\r\nSaveDir=" + folder + "\r\n"));
    AppSettings settings;
    loadSettingsFrom(path.c_str(), settings);
    EXPECT_EQ(settings.SaveDir.c_str(), folder);
}

TEST(AppSettingsSave, WritesExactlySevenLines)
{
    TempDir dir;
    const std::string path = dir.file("Tolvarinx.ini");
    AppSettings settings;
    settings.OptFlag = 0x0203;
    settings.DirFlag = 0x01C7;
    settings.OpenDir.assign("C:\\in dir");
    settings.SaveDir.assign("");
    ASSERT_TRUE(saveSettingsTo(path.c_str(), settings, WindowPosition{-8, 120}));
    EXPECT_EQ(readText(path),
              "[Tolvarinx3]\r\nWinX=-8\r\nWinY=120\r\nOptFlag=515\r\nDirFlag=455\r\n"
              "OpenDir=C:\\in dir\r\nSaveDir=\r\n");
}

TEST(AppSettingsSave, DefaultPositionIsWrittenAsTheSentinel)
{
    TempDir dir;
    const std::string path = dir.file("Tolvarinx.ini");
    AppSettings settings;
    ASSERT_TRUE(saveSettingsTo(path.c_str(), settings, WindowPosition{}));
    EXPECT_NE(readText(path).find("\r\nWinX=-10000\r\nWinY=-10000\r\n"), std::string::npos);
}

TEST(AppSettingsRoundTrip, OptFlagKeepsLow16BitsAndUnknownBits)
{
    struct Case {
        const char* stored;
        uint16_t read;
        const char* written;
    };
    const Case cases[] = {
        {"70000", 4464, "OptFlag=4464\r\n"},
        {"-1", 0xFFFF, "OptFlag=65535\r\n"},
        {"33024", 0x8100, "OptFlag=33024\r\n"},   // 0x8000 has no meaning and survives
        {"12abc", 12, "OptFlag=12\r\n"},
        {"abc", 0, "OptFlag=0\r\n"},
    };
    TempDir dir;
    const std::string path = dir.file("Tolvarinx.ini");
    for (const Case& c : cases) {
        ASSERT_TRUE(writeText(path, std::string("[Tolvarinx3]\r\nOptFlag=") + c.stored + "\r\n"));
        AppSettings settings;
        const WindowPosition position = loadSettingsFrom(path.c_str(), settings);
        EXPECT_EQ(settings.OptFlag, c.read) << c.stored;
        ASSERT_TRUE(saveSettingsTo(path.c_str(), settings, position));
        EXPECT_NE(readText(path).find(c.written), std::string::npos) << c.stored;
    }
}

TEST(AppSettingsRoundTrip, SavedFileLoadsBackUnchanged)
{
    TempDir dir;
    const std::string path = dir.file("Tolvarinx.ini");
    AppSettings saved;
    saved.OptFlag = 0xFFFF;
    saved.DirFlag = 0x8001;
    saved.OpenDir.assign("\xE7\x94\xBB\xE5\x83\x8F \\ [x]=y");   // UTF-8 text, brackets, '='
    saved.SaveDir.assign("/home/me/out");
    ASSERT_TRUE(saveSettingsTo(path.c_str(), saved, WindowPosition{-32000, 2147483647}));

    AppSettings loaded;
    const WindowPosition position = loadSettingsFrom(path.c_str(), loaded);
    EXPECT_EQ(position.x, -32000);
    EXPECT_EQ(position.y, 2147483647);
    EXPECT_EQ(loaded.OptFlag, saved.OptFlag);
    EXPECT_EQ(loaded.DirFlag, saved.DirFlag);
    EXPECT_STREQ(loaded.OpenDir.c_str(), saved.OpenDir.c_str());
    EXPECT_STREQ(loaded.SaveDir.c_str(), saved.SaveDir.c_str());
}

TEST(AppSettingsSave, ReplacesAnOldFileCompletely)
{
    TempDir dir;
    const std::string path = dir.file("Tolvarinx.ini");
    ASSERT_TRUE(writeText(path, std::string(5000, 'z')));
    AppSettings settings;
    ASSERT_TRUE(saveSettingsTo(path.c_str(), settings, WindowPosition{1, 2}));
    EXPECT_EQ(readText(path).rfind("[Tolvarinx3]\r\n", 0), 0u);
    EXPECT_EQ(readText(path).size(), std::string("[Tolvarinx3]\r\nWinX=1\r\nWinY=2\r\nOptFlag=0\r\n"
                                                 "DirFlag=0\r\nOpenDir=\r\nSaveDir=\r\n")
                                          .size());
    EXPECT_EQ(countEntries(dir.path()), 1u);   // no temporary file left behind
}

TEST(AppSettingsSave, MissingFolderWritesNothing)
{
    TempDir dir;
    AppSettings settings;
    EXPECT_FALSE(saveSettingsTo(dir.file("gone").append("/Tolvarinx.ini").c_str(), settings,
                                WindowPosition{}));
    EXPECT_EQ(countEntries(dir.path()), 0u);
}

TEST(AppSettingsSave, EmptyPathWritesNothing)
{
    AppSettings settings;
    EXPECT_FALSE(saveSettingsTo("", settings, WindowPosition{}));
}

TEST(AppSettingsPath, LiesBesideTheProgram)
{
    TextString path;
    settingsPath(path);
    const std::string text = path.c_str();
    const std::string name = std::string(1, kPathSeparator) + "Tolvarinx.ini";
    ASSERT_GT(text.size(), name.size());
    EXPECT_EQ(text.substr(text.size() - name.size()), name);
    EXPECT_TRUE(isDirectory(text.substr(0, text.size() - name.size()).c_str()));
}

TEST(AppSettingsRoundTrip, ExtendedSearchIsOptFlagBit8)
{
    // A file of a version without the extended search: its OptFlag values never
    // carry 0x8, so it loads with the search off and, saved without a change,
    // is written back byte for byte. Switched on, the same seven lines carry
    // the bit, which every version reads as a number.
    const std::string oldFile = "[Tolvarinx3]\r\nWinX=10\r\nWinY=20\r\nOptFlag=775\r\nDirFlag=449\r\n"
                                "OpenDir=C:\\in\r\nSaveDir=C:\\out\r\n";
    TempDir dir;
    const std::string path = dir.file("Tolvarinx.ini");
    ASSERT_TRUE(writeText(path, oldFile));
    AppSettings settings;
    WindowPosition position = loadSettingsFrom(path.c_str(), settings);
    EXPECT_EQ(settings.OptFlag & OPT_EXTENDED_SEARCH, 0);
    EXPECT_EQ(conversionSettingsOf(settings.OptFlag, settings.DirFlag).options, 0x0007);
    ASSERT_TRUE(saveSettingsTo(path.c_str(), settings, position));
    EXPECT_EQ(readText(path), oldFile);

    struct Step {
        bool extendedSearch;
        const char* optFlagLine;
    };
    for (const Step& step : {Step{true, "OptFlag=783\r\n"}, Step{false, "OptFlag=775\r\n"}}) {
        settings.OptFlag = uint16_t(step.extendedSearch ? settings.OptFlag | OPT_EXTENDED_SEARCH
                                                        : settings.OptFlag & ~OPT_EXTENDED_SEARCH);
        ASSERT_TRUE(saveSettingsTo(path.c_str(), settings, position));
        EXPECT_NE(readText(path).find(step.optFlagLine), std::string::npos) << readText(path);
        AppSettings loaded;
        position = loadSettingsFrom(path.c_str(), loaded);
        EXPECT_EQ((loaded.OptFlag & OPT_EXTENDED_SEARCH) != 0, step.extendedSearch);
        EXPECT_EQ(loaded.OptFlag, settings.OptFlag);
    }
    EXPECT_EQ(readText(path), oldFile);
}

// Each item of the submenu "拡張探索(&X)", chosen from the default settings:
// the level it sets, the OptFlag line the file keeps, the level and option
// bit a conversion gets after the file is read back, and the item then
// checked. Level 2 is stored as the bit alone, which is what a file from
// before the levels holds with the search on: such a file opens at level 2.
TEST(AppSettingsRoundTrip, ExtendedLevelMenuItemsAndTheirFile)
{
    struct Case {
        int command;
        int32_t level;
        const char* optFlagLine;
    };
    const Case cases[] = {
        {40010, 0, "\r\nOptFlag=256\r\n"},
        {40011, 1, "\r\nOptFlag=1288\r\n"},
        {40012, 2, "\r\nOptFlag=264\r\n"},
        {40013, 3, "\r\nOptFlag=3336\r\n"},
    };
    TempDir dir;
    const std::string path = dir.file("Tolvarinx.ini");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        ASSERT_EQ(extendedLevelOfCommand(c.command), c.level);
        AppSettings settings;
        settings.OptFlag = kDefaultOptFlag;
        // Chosen twice, and over another level: the same flag.
        const uint16_t chosen = optFlagWithExtendedLevel(kDefaultOptFlag, c.level);
        EXPECT_EQ(optFlagWithExtendedLevel(chosen, c.level), chosen);
        EXPECT_EQ(optFlagWithExtendedLevel(optFlagWithExtendedLevel(chosen, (c.level + 1) % 4), c.level), chosen);
        settings.OptFlag = chosen;
        ASSERT_TRUE(saveSettingsTo(path.c_str(), settings, WindowPosition{}));
        EXPECT_NE(readText(path).find(c.optFlagLine), std::string::npos) << readText(path);
        AppSettings loaded;
        loadSettingsFrom(path.c_str(), loaded);
        EXPECT_EQ(extendedLevelOfOptFlag(loaded.OptFlag), c.level);
        EXPECT_EQ(extendedCommandOf(loaded.OptFlag), c.command);
        const ConversionSettings conversion = conversionSettingsOf(loaded.OptFlag, 0);
        EXPECT_EQ((conversion.options & OPT_EXTENDED_SEARCH) != 0, c.level != 0);
        EXPECT_EQ(conversion.extendedLevel, c.level);
        EXPECT_EQ(loaded.OptFlag & ~(OPT_EXTENDED_SEARCH | OPT_EXTENDED_LEVEL_MASK), kDefaultOptFlag);
    }
    // The animated-GIF item survives a save and reaches the folder run's settings.
    AppSettings animated;
    animated.OptFlag = uint16_t(kDefaultOptFlag | OPT_ANIMATE_GIF);
    ASSERT_TRUE(saveSettingsTo(path.c_str(), animated, WindowPosition{}));
    AppSettings reloaded;
    loadSettingsFrom(path.c_str(), reloaded);
    EXPECT_TRUE(conversionSettingsOf(reloaded.OptFlag, 0).animateGif);
    EXPECT_FALSE(conversionSettingsOf(kDefaultOptFlag, 0).animateGif);
    // Level bits without the search are no level; the other commands choose none.
    EXPECT_EQ(extendedLevelOfOptFlag(uint16_t(kDefaultOptFlag | OPT_EXTENDED_LEVEL_MASK)), 0);
    for (int other : {40008, 40009, 40014, 40003, 0})
        EXPECT_EQ(extendedLevelOfCommand(other), -1) << other;
}

TEST(AppSettingsLoad, FileFromBeforeTheLevelsOpensAtLevelTwoOrOff)
{
    TempDir dir;
    const std::string path = dir.file("Tolvarinx.ini");
    for (const auto& [optFlag, level] : {std::pair<const char*, int32_t>{"783", 2}, {"775", 0}, {"264", 2}}) {
        const std::string file = std::string("[Tolvarinx3]\r\nWinX=10\r\nWinY=20\r\nOptFlag=") + optFlag +
                                 "\r\nDirFlag=449\r\nOpenDir=C:\\in\r\nSaveDir=C:\\out\r\n";
        ASSERT_TRUE(writeText(path, file));
        AppSettings settings;
        const WindowPosition position = loadSettingsFrom(path.c_str(), settings);
        EXPECT_EQ(extendedLevelOfOptFlag(settings.OptFlag), level) << optFlag;
        EXPECT_EQ(conversionSettingsOf(settings.OptFlag, settings.DirFlag).extendedLevel, level) << optFlag;
        // Saved without a change, it is written back byte for byte.
        ASSERT_TRUE(saveSettingsTo(path.c_str(), settings, position));
        EXPECT_EQ(readText(path), file);
    }
}

// Folders under names of every kind survive a restart; the file keeps the
// code-page line an older program reads (its shown form), and without the
// UTF-8 line (an older program's file) the code-page line is what loads.
TEST(AppSettingsRoundTrip, FoldersOfEveryNameSurviveARestart)
{
    TempDir dir;
    const std::string path = dir.file("Tolvarinx.ini");
    for (const char* folder : {u8"C:\\café", u8"C:\\图片", u8"C:\\사진 %41", u8"C:\\🎨", u8"C:\\日本語", "C:\\x"}) {
        AppSettings saved;
        saved.OpenDir.assign(folder);
        saved.SaveDir.assign(folder);
        ASSERT_TRUE(saveSettingsTo(path.c_str(), saved, WindowPosition{}));
        const std::string text = readText(path);
        AppSettings loaded;
        loadSettingsFrom(path.c_str(), loaded);
        EXPECT_STREQ(loaded.OpenDir.c_str(), folder);
        EXPECT_STREQ(loaded.SaveDir.c_str(), folder);
        EXPECT_NE(text.find("\r\nOpenDir=" + displayPath(folder) + "\r\n"), std::string::npos) << text;

        std::string older;   // the file without its UTF-8 lines
        for (size_t start = 0, end; start < text.size(); start = end + 2) {
            end = text.find("\r\n", start);
            const std::string line = text.substr(start, end - start);
            if (line.find("DirUtf8=") == std::string::npos)
                older += line + "\r\n";
        }
        std::string expected;
        ASSERT_TRUE(pathFromSystemText(displayPath(folder).c_str(), expected));
        ASSERT_TRUE(writeText(path, older + "OpenDirUtf8=%E5%9B\r\n"));   // a cut escape is no folder
        loadSettingsFrom(path.c_str(), loaded);
        EXPECT_EQ(loaded.OpenDir.c_str(), expected);
        EXPECT_EQ(expected == folder, text.find("Utf8=") == std::string::npos) << text;
    }
}
