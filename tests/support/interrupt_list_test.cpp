// The interrupt list of replacing_file.h: a temporary file is listed exactly
// while it exists (its removal by a handler is in file_test_posix.cpp, where
// an open file's name goes at once).

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/replacing_file.h"
#include "tests/common/test_support.h"

namespace {

enum class Ending { Commit, Abandon, Destroy };

struct EndingCase {
    const char* name;
    Ending ending;
    std::vector<uint8_t> expectedTarget;   // after the ending; the original is {7}
};

} // namespace

TEST(InterruptList, ListsATemporaryFileExactlyWhileItExists)
{
    const EndingCase cases[] = {
        {"commit", Ending::Commit, {1, 2, 3}},
        {"abandon", Ending::Abandon, {7}},
        {"destroy", Ending::Destroy, {7}},
    };
    for (const EndingCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string target = dir.file("t.png");
        ASSERT_TRUE(writeFileBytes(target, {7}));
        const int before = listedTempFileCount();
        {
            auto out = std::make_unique<ReplacingFile>();
            ASSERT_TRUE(out->begin(target.c_str()));
            EXPECT_EQ(listedTempFileCount(), before + 1);
            const uint8_t bytes[] = {1, 2, 3};
            ASSERT_EQ(out->file().write(bytes, 3), 3u);
            if (c.ending == Ending::Commit)
                EXPECT_TRUE(out->commit());
            else if (c.ending == Ending::Abandon)
                out->abandon();
            else
                out.reset();
            EXPECT_EQ(listedTempFileCount(), before);
        }
        EXPECT_EQ(readFileBytes(target), c.expectedTarget);
        EXPECT_EQ(countEntries(dir.path()), 1u);
    }
}

// More temporary files at once than the list holds: the extra ones are not
// listed, and writing them works as ever.
TEST(InterruptList, FilesBeyondItsLimitsStillWork)
{
    TempDir dir;
    const int before = listedTempFileCount();
    std::vector<std::unique_ptr<ReplacingFile>> open;
    for (int i = 0; i < kMaxListedTempFiles + 2; ++i) {
        open.push_back(std::make_unique<ReplacingFile>());
        ASSERT_TRUE(open.back()->begin(dir.file("f" + std::to_string(i) + ".png").c_str()));
    }
    EXPECT_EQ(listedTempFileCount(), kMaxListedTempFiles);
    for (auto& out : open)
        EXPECT_TRUE(out->commit());
    EXPECT_EQ(listedTempFileCount(), before);
    EXPECT_EQ(countEntries(dir.path()), size_t(kMaxListedTempFiles + 2));
}
