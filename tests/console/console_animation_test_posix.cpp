// The console on animations: an animated GIF with and without -a, an
// animated PNG optimized whole, a damaged one refused and left as it was;
// each output rendered by the test compositor as its input renders.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/common/animation_builders.h"
#include "tests/common/animation_compositor.h"
#include "tests/common/test_support.h"
#include "tests/console/console_test_support.h"

namespace {

// Three frames of a 12 x 8 screen: a bar moving over a two-colour field.
GifRecipe movingBar()
{
    GifRecipe gif;
    gif.width = 12;
    gif.height = 8;
    gif.globalPalette = {0x102030, 0xF0E0D0, 0x00FF00};
    gif.loops = 0;
    for (uint32_t f = 0; f < 3; ++f) {
        GifFrameRecipe frame;
        frame.width = 12;
        frame.height = 8;
        frame.delay = static_cast<uint16_t>(5 + f);
        for (uint32_t i = 0; i < 96; ++i)
            frame.indices.push_back(i % 12 == 3 * f ? 2 : i / 12 < 4 ? 0 : 1);
        gif.frames.push_back(frame);
    }
    return gif;
}

std::string renderedDifference(const std::string& input, const std::string& output)
{
    RenderedAnimation before, after;
    if (!renderAnimation(readFileBytes(input), before) || !renderAnimation(readFileBytes(output), after))
        return "not rendered";
    return compareRendered(before, after);
}

}  // namespace

TEST(ConsoleAnimation, WholeWhenAskedFirstFrameOtherwiseDamagedLeftAlone)
{
    TempDir dir;
    const std::string gif = dir.file("bar.gif");
    writeFileBytes(gif, gifBytes(movingBar()));
    const std::string animated = dir.file("animated.png");
    const std::string still = dir.file("still.png");

    const ConsoleRun whole = runConsoleLine("tolvarinxc -a -i \"" + gif + "\" -o \"" + animated + "\"");
    EXPECT_EQ(whole.status, 0) << whole.text;
    EXPECT_NE(whole.text.find("ｱﾆﾒｰｼｮﾝPNG 3ﾌﾚｰﾑ"), std::string::npos) << whole.text;
    EXPECT_EQ(renderedDifference(gif, animated), "");

    const ConsoleRun first = runConsoleLine("tolvarinxc -i \"" + gif + "\" -o \"" + still + "\" --json");
    EXPECT_EQ(first.status, 0) << first.text;
    EXPECT_NE(first.text.find("\"animation\":\"first_frame_only\""), std::string::npos) << first.text;
    RenderedAnimation stillShown;
    ASSERT_TRUE(renderAnimation(readFileBytes(still), stillShown));
    EXPECT_EQ(stillShown.frames.size(), 1u);

    // The animated PNG optimized again stays whole; JSON counts its frames.
    const std::string again = dir.file("again.png");
    const ConsoleRun optimized = runConsoleLine("tolvarinxc -i \"" + animated + "\" -o \"" + again + "\" --json");
    EXPECT_EQ(optimized.status, 0) << optimized.text;
    EXPECT_NE(optimized.text.find("\"frames\":3"), std::string::npos) << optimized.text;
    EXPECT_EQ(renderedDifference(gif, again), "");

    // acTL announcing one frame more than the file holds: refused, file untouched.
    std::vector<uint8_t> damaged = readFileBytes(animated);
    const std::string actl = "acTL";
    auto at = std::search(damaged.begin(), damaged.end(), actl.begin(), actl.end());
    ASSERT_NE(at, damaged.end());
    at[7] = static_cast<uint8_t>(at[7] + 1);   // num_frames' low byte (the CRC is not checked)
    const std::string broken = dir.file("broken.png");
    writeFileBytes(broken, damaged);
    const ConsoleRun refused = runConsoleLine("tolvarinxc -i \"" + broken + "\" -o \"" + broken + "\"");
    EXPECT_EQ(refused.status, 1) << refused.text;
    EXPECT_NE(refused.text.find("<ｱﾆﾒｰｼｮﾝが壊れているため変更なし>"), std::string::npos) << refused.text;
    EXPECT_EQ(readFileBytes(broken), damaged);
}
