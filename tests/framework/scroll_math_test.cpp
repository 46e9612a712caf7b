#include "framework/logic/scroll_math.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

ScrollState bar(int32_t min, int32_t max, uint32_t page, int32_t pos)
{
    ScrollState s;
    s.min = min;
    s.max = max;
    s.page = page;
    s.pos = pos;
    return s;
}

TEST(ScrollTarget, LineAndPageSteps)
{
    const ScrollState s = bar(0, 100, 10, 50);
    EXPECT_EQ(scrollTarget(s, kScrollLineUp, 0), 49);
    EXPECT_EQ(scrollTarget(s, kScrollLineDown, 0), 51);
    EXPECT_EQ(scrollTarget(s, kScrollPageUp, 0), 40);
    EXPECT_EQ(scrollTarget(s, kScrollPageDown, 0), 60);
}

TEST(ScrollTarget, StepsStopAtTheEnds)
{
    EXPECT_EQ(scrollTarget(bar(0, 100, 10, 0), kScrollLineUp, 0), 0);
    EXPECT_EQ(scrollTarget(bar(0, 100, 10, 3), kScrollPageUp, 0), 0);
    EXPECT_EQ(scrollTarget(bar(5, 100, 10, 5), kScrollLineUp, 0), 5);
    // The last full page starts at max - page + 1.
    EXPECT_EQ(scrollTarget(bar(0, 100, 10, 91), kScrollLineDown, 0), 91);
    EXPECT_EQ(scrollTarget(bar(0, 100, 10, 85), kScrollPageDown, 0), 91);
    EXPECT_EQ(scrollTarget(bar(0, 100, 0, 100), kScrollLineDown, 0), 100);
}

TEST(ScrollTarget, ThumbRequestsTakeTheSixteenBitThumb)
{
    const ScrollState s = bar(0, 1000, 100, 0);
    EXPECT_EQ(scrollTarget(s, kScrollThumbTrack, 300), 300);
    EXPECT_EQ(scrollTarget(s, kScrollThumbPosition, 450), 450);
    EXPECT_EQ(scrollTarget(s, kScrollThumbPosition, 0x10000 + 7), 7);
    EXPECT_EQ(scrollTarget(s, kScrollThumbTrack, 950), 901);
}

TEST(ScrollTarget, TopAndBottom)
{
    EXPECT_EQ(scrollTarget(bar(10, 100, 10, 50), kScrollTop, 0), 10);
    EXPECT_EQ(scrollTarget(bar(10, 100, 10, 50), kScrollBottom, 0), 91);
    EXPECT_EQ(scrollTarget(bar(10, 100, 0, 50), kScrollBottom, 0), 100);
    // An inverted range goes to max for the top and is not clamped.
    EXPECT_EQ(scrollTarget(bar(20, 10, 0, 15), kScrollTop, 0), 10);
}

TEST(ScrollTarget, EndScrollAndUnknownRequestsKeepThePosition)
{
    EXPECT_EQ(scrollTarget(bar(0, 100, 10, 42), kScrollEnd, 77), 42);
    EXPECT_EQ(scrollTarget(bar(0, 100, 10, 42), 99, 77), 42);
    // A stored position out of range is clamped on the way through.
    EXPECT_EQ(scrollTarget(bar(0, 100, 10, 500), kScrollEnd, 0), 91);
    EXPECT_EQ(scrollTarget(bar(0, 100, 10, -5), kScrollEnd, 0), 0);
}

TEST(ScrollTarget, PageLargerThanRangeGoesBelowMin)
{
    // Range 0..10 holds 11 units; a page of 20 leaves max - page + 1 = -9.
    for (unsigned request = kScrollLineUp; request <= kScrollEnd; ++request)
        EXPECT_EQ(scrollTarget(bar(0, 10, 20, 5), request, 3), -9) << "request " << request;
    EXPECT_EQ(scrollTarget(bar(5, 10, 6, 5), kScrollPageDown, 0), 5);
}

TEST(ScrollTarget, ExtremeValuesDoNotOverflow)
{
    const int32_t big = std::numeric_limits<int32_t>::max();
    const int32_t small = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(scrollTarget(bar(0, big, 0, big), kScrollLineDown, 0), big);
    EXPECT_EQ(scrollTarget(bar(small, 0, 0, small), kScrollLineUp, 0), small);
    EXPECT_EQ(scrollTarget(bar(0, big, 0xFFFFFFFFu, 0), kScrollPageDown, 0), big - int64_t(0xFFFFFFFFu) + 1);
    // Below the 32-bit range: limited to its lowest value.
    EXPECT_EQ(scrollTarget(bar(small, small, 0xFFFFFFFFu, small), kScrollEnd, 0), small);
    EXPECT_EQ(scrollTarget(bar(small, big, 0x80000000u, 0), kScrollPageDown, 0), 0);
}

}  // namespace
