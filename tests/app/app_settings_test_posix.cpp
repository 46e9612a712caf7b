#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/logic/app_settings.h"
#include "tests/common/test_support.h"

TEST(AppSettingsSave, UnwritableFolderWritesNothingAndKeepsOldFile)
{
    TempDir dir;
    const std::string path = dir.file("Tolvarinx.ini");
    ASSERT_TRUE(writeFileBytes(path, {'O', 'K'}));
    ASSERT_EQ(chmod(dir.path().c_str(), 0500), 0);
    AppSettings settings;
    const bool saved = saveSettingsTo(path.c_str(), settings, WindowPosition{});
    chmod(dir.path().c_str(), 0700);
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser may write anywhere";
    EXPECT_FALSE(saved);
    EXPECT_EQ(readFileBytes(path), (std::vector<uint8_t>{'O', 'K'}));
}

