#include <gtest/gtest.h>

#include "app/logic/settings_file.h"

TEST(SettingsNames, LocaleComparisonIsExactAndCaseSensitive)
{
    EXPECT_TRUE(settingsNamesEqual("Tolvarinx3", "Tolvarinx3", 10));
    EXPECT_FALSE(settingsNamesEqual("tolvarinx3", "Tolvarinx3", 10));
    EXPECT_FALSE(settingsNamesEqual("TOLVARINX3", "Tolvarinx3", 10));
    EXPECT_FALSE(settingsNamesEqual("Win-", "WinX", 4));
    // Only the first n bytes take part.
    EXPECT_TRUE(settingsNamesEqual("WinX=12", "WinXY", 4));
}

TEST(SettingsNames, HeaderOfAnotherCaseIsNoSectionUnderTheLocale)
{
    SettingsFile file;
    const char text[] = "[TOLVARINX3]\r\nWinX=1\r\n[Tolvarinx3]\r\nWinX=2\r\n";
    ASSERT_TRUE(file.loadText(text, sizeof text - 1));
    file.selectSection("Tolvarinx3");
    EXPECT_EQ(file.section, 2);
    EXPECT_EQ(file.getInt("WinX", 0), 2);
}
