// The keeping options through the desktop program's settings: the list
// (KeepChunks) and OptFlag's cleaning bit survive a save and reach the
// conversions; a list the program cannot read keeps nothing. The submenu's
// items add and take out their group word and leave the rest of the list.

#include <gtest/gtest.h>

#include "app/logic/app_settings.h"
#include "app/logic/main_window_rules.h"
#include "services/image_conversion.h"
#include "tests/common/keep_option_cases.h"
#include "tests/common/memory_conversion.h"
#include "tests/common/test_support.h"

TEST(AppKeepOptions, EveryCaseOfTheTableThroughTheSettingsFile)
{
    const std::vector<uint8_t> input = keepOptionInput();
    for (const KeepOptionCase& c : kKeepOptionCases) {
        TempDir dir;
        const std::string path = dir.file("Tolvarinx.ini");
        AppSettings saved;
        saved.OptFlag = uint16_t(kDefaultOptFlag | (c.cleanAlpha ? OPT_CLEAN_ALPHA : 0));
        saved.KeepChunks.assign(c.list);
        ASSERT_TRUE(saveSettingsTo(path.c_str(), saved, WindowPosition{}));
        AppSettings loaded;
        loadSettingsFrom(path.c_str(), loaded);
        EXPECT_STREQ(loaded.KeepChunks.c_str(), c.list);
        const ConversionSettings settings = conversionSettingsOf(loaded.OptFlag, 0, loaded.KeepChunks.c_str());
        EXPECT_EQ(settings.keepChunks.empty(), !c.accepted || !*c.list) << c.list;
        ImageConversion conversion;
        ASSERT_TRUE(conversion.loadMemory(input.data(), uint32_t(input.size()), settings.options));
        const MemoryConversion converted = convertToMemory(conversion, settings);
        ASSERT_EQ(converted.report.status, ConversionStatus::Converted);
        const std::vector<uint8_t>& written = converted.png;
        EXPECT_EQ(ancillaryChunkNames(written), c.accepted ? c.kept : std::vector<std::string>{}) << c.list;
        EXPECT_EQ(invisibleColoursMerged(written), c.cleanAlpha) << c.list;
    }
}

TEST(AppKeepOptions, SubmenuItemsToggleTheirWordOnly)
{
    EXPECT_EQ(chunkListWith("", "text", true), "text");
    EXPECT_EQ(chunkListWith("TEXT,pHYs", "text", false), "pHYs");
    EXPECT_EQ(chunkListWith("pHYs", "exif", true), "pHYs,exif");
    EXPECT_EQ(chunkListWith("exif pHYs", "phys", false), "exif");   // a name that is a group's one chunk is that group
    EXPECT_EQ(chunkListWith("prVt", "time", true), "prVt,time");
    EXPECT_TRUE(chunkListHas("a b,ALL", "all"));
    EXPECT_FALSE(chunkListHas("safe", "all"));
    for (int i = 0; i < kKeepChunkCommandCount; ++i) {
        ChunkSelection selection;
        std::string bad;
        EXPECT_TRUE(parseChunkSelection(keepChunkWordOfCommand(ID_MENU_KEEP_FIRST + i), selection, bad)) << i;
    }
    EXPECT_EQ(keepChunkWordOfCommand(ID_MENU_KEEP_FIRST + kKeepChunkCommandCount), nullptr);
    EXPECT_EQ(optionBitOfCommand(ID_MENU_CLEAN_ALPHA), OPT_CLEAN_ALPHA);
}
