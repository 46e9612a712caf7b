// The library's file call converting a file onto itself keeps what the file
// was, for every case of the console's in-place table.

#include <gtest/gtest.h>

#include "lib/tolvarinx.h"
#include "tests/common/animation_compositor.h"
#include "tests/common/image_file_builders.h"
#include "tests/common/in_place_cases.h"

TEST(LibraryInPlace, FileCallKeepsWhatTheFileWas)
{
    for (const InPlaceCase& c : kInPlaceCases) {
        TempDir dir;
        InPlaceFile file;
        std::string skipped;
        if (!c.prepare(dir.path(), file, skipped)) {
            EXPECT_FALSE(skipped.empty()) << c.name;
            continue;
        }
        const IdentitySnapshot before = identityOf(file);
        tlvx_settings settings = {};
        settings.options = TLVX_OPT_NO_DEFLATE_COMPARE;
        tlvx_result result = {};
        ASSERT_EQ(tlvx_convert_file(file.path.c_str(), file.path.c_str(), &settings, &result), TLVX_OK) << c.name;
        EXPECT_EQ(result.outcome, c.expect == InPlaceExpect::Smaller ? TLVX_OUTCOME_CONVERTED : TLVX_OUTCOME_KEPT)
            << c.name;
        expectConvertedInPlace(c, file, before, c.name);
    }
}

// An animated PNG in memory comes back whole: every frame rendered as before.
TEST(LibraryInPlace, MemoryCallPassesAnAnimationThrough)
{
    RgbaImage picture;
    picture.width = 4;
    picture.height = 3;
    picture.pixels.assign(4 * 3 * 4, 90);
    const std::vector<uint8_t> animation = encodeAnimatedPng(picture, 3);
    unsigned char* output = nullptr;
    size_t size = 0;
    tlvx_result result = {};
    ASSERT_EQ(tlvx_convert_memory(animation.data(), animation.size(), nullptr, &output, &size, &result), TLVX_OK);
    EXPECT_EQ(result.outcome, TLVX_OUTCOME_CONVERTED);
    RenderedAnimation before, after;
    ASSERT_TRUE(renderPng(animation, before) && renderPng(std::vector<uint8_t>(output, output + size), after));
    EXPECT_EQ(after.frames.size(), 3u);
    EXPECT_EQ(compareRendered(before, after), "");
    tlvx_free(output);
}

