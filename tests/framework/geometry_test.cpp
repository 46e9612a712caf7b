#include "framework/logic/geometry.h"

#include <gtest/gtest.h>

namespace {

IntRect rectAt(int32_t left, int32_t top, int32_t width, int32_t height)
{
    return IntRect{left, top, left + width, top + height};
}

void expectRect(const IntRect& r, int32_t left, int32_t top, int32_t width, int32_t height)
{
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.width(), width);
    EXPECT_EQ(r.height(), height);
}

TEST(FitRect, SmallPictureIsCentredWhenAsked)
{
    IntRect r = rectAt(0, 0, 100, 50);
    fitRectInBox(r, 400, 300, true);
    expectRect(r, 150, 125, 100, 50);
}

TEST(FitRect, SmallPictureIsScaledUpWithoutCentring)
{
    IntRect r = rectAt(0, 0, 100, 50);
    fitRectInBox(r, 400, 300, false);
    expectRect(r, 0, 50, 400, 200);
}

TEST(FitRect, TallPictureFillsTheHeight)
{
    IntRect r = rectAt(0, 0, 50, 200);
    fitRectInBox(r, 400, 300, false);
    // 50 * 300 / 200 = 75 wide, centred: (400 - 75) / 2 = 162.
    expectRect(r, 162, 0, 75, 300);
}

TEST(FitRect, BoxOriginIsKept)
{
    IntRect r = rectAt(10, 20, 1000, 1000);
    fitRectInBox(r, 300, 200, true);
    expectRect(r, 10 + 50, 20, 200, 200);
}

TEST(FitRect, ExactFitIsUnchanged)
{
    IntRect r = rectAt(5, 6, 400, 300);
    fitRectInBox(r, 400, 300, false);
    expectRect(r, 5, 6, 400, 300);
    IntRect c = rectAt(5, 6, 400, 300);
    fitRectInBox(c, 400, 300, true);
    expectRect(c, 5, 6, 400, 300);
}

TEST(FitRect, PictureFittingOneAxisOnlyIsScaled)
{
    IntRect r = rectAt(0, 0, 500, 100);
    fitRectInBox(r, 400, 300, true);
    // 500 * 300 / 100 = 1500 >= 400, so the width fills: 100 * 400 / 500 = 80.
    expectRect(r, 0, 110, 400, 80);
}

TEST(FitRect, TruncatesTowardZero)
{
    IntRect r = rectAt(0, 0, 3, 7);
    fitRectInBox(r, 10, 10, false);
    // 3 * 10 / 7 = 4 (4.28), left (10 - 4) / 2 = 3.
    expectRect(r, 3, 0, 4, 10);
}

TEST(FitRect, LargePicturesDoNotOverflow)
{
    IntRect r = rectAt(0, 0, 60000, 30000);
    fitRectInBox(r, 100000, 50000, false);
    // 60000 * 50000 does not fit 32 bits; the exact answer fills both axes.
    expectRect(r, 0, 0, 100000, 50000);
    IntRect t = rectAt(0, 0, 1, 2000000000);
    fitRectInBox(t, 40000, 40000, false);
    expectRect(t, 20000, 0, 0, 40000);
}

TEST(FitRect, EmptyPictureBecomesEmptyRectangleAtOrigin)
{
    IntRect r = rectAt(7, 8, 0, 50);
    fitRectInBox(r, 400, 300, false);
    expectRect(r, 7, 8, 0, 0);
    IntRect s = rectAt(7, 8, 50, 0);
    fitRectInBox(s, 400, 300, true);
    expectRect(s, 7, 8, 0, 0);
    IntRect n{7, 8, 2, 3};
    fitRectInBox(n, 400, 300, false);
    expectRect(n, 7, 8, 0, 0);
}

const IntRect kScreen{0, 0, 1024, 768};
const IntRect kTwoScreens{-1280, 0, 1024, 1024};

TEST(CentredOrigin, CentresOnTheBox)
{
    IntPoint p = centredOrigin(IntRect{0, 0, 1024, 738}, 400, 300, kScreen);
    EXPECT_EQ(p.x, 312);
    EXPECT_EQ(p.y, 219);
}

TEST(CentredOrigin, WindowNotSmallerThanBoxIsAlignedToIt)
{
    IntPoint p = centredOrigin(IntRect{100, 100, 300, 300}, 200, 250, kScreen);
    EXPECT_EQ(p.x, 100);  // same width: no centring along x
    EXPECT_EQ(p.y, 100);
}

TEST(CentredOrigin, IsPulledOntoTheScreen)
{
    // Reference window hanging off the bottom right corner.
    IntPoint p = centredOrigin(IntRect{900, 700, 1300, 1000}, 300, 200, kScreen);
    EXPECT_EQ(p.x, 1024 - 300);
    EXPECT_EQ(p.y, 768 - 200);
    // Off the top left.
    IntPoint q = centredOrigin(IntRect{-500, -400, -100, -100}, 300, 200, kScreen);
    EXPECT_EQ(q.x, 0);
    EXPECT_EQ(q.y, 0);
}

TEST(CentredOrigin, WindowLargerThanScreenKeepsItsTopLeftOnScreen)
{
    IntPoint p = centredOrigin(IntRect{0, 0, 1024, 768}, 2000, 1000, kScreen);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
}

TEST(CentredOrigin, NegativeVirtualScreen)
{
    IntPoint p = centredOrigin(IntRect{-1280, 0, 0, 1024}, 400, 300, kTwoScreens);
    EXPECT_EQ(p.x, -1280 + 440);
    EXPECT_EQ(p.y, 362);
}

TEST(CentredOrigin, OddDifferenceTruncates)
{
    IntPoint p = centredOrigin(IntRect{-11, -11, 0, 0}, 4, 4, IntRect{-100, -100, 100, 100});
    // -11 + 7 / 2 = -8.
    EXPECT_EQ(p.x, -8);
    EXPECT_EQ(p.y, -8);
}

TEST(ClampedOrigin, InsideIsUnchanged)
{
    IntPoint p = clampedOrigin(100, 200, 300, 200, kScreen);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 200);
}

TEST(ClampedOrigin, OffTheLeftTopComesBack)
{
    IntPoint p = clampedOrigin(-500, -20, 300, 200, kScreen);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
}

TEST(ClampedOrigin, OffTheRightBottomComesBack)
{
    IntPoint p = clampedOrigin(5000, 700, 300, 200, kScreen);
    EXPECT_EQ(p.x, 724);
    EXPECT_EQ(p.y, 568);
}

TEST(ClampedOrigin, WiderThanScreenStaysAtLeftEdge)
{
    IntPoint p = clampedOrigin(400, 300, 1500, 900, kScreen);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    IntPoint q = clampedOrigin(-400, -300, 1500, 900, kScreen);
    EXPECT_EQ(q.x, 0);
    EXPECT_EQ(q.y, 0);
}

TEST(ClampedOrigin, ExactlyScreenSizedWindowFillsTheScreen)
{
    IntPoint p = clampedOrigin(10, 10, 1024, 768, kScreen);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
}

TEST(ClampedOrigin, SecondMonitorOnTheLeft)
{
    IntPoint p = clampedOrigin(-1000, 100, 400, 300, kTwoScreens);
    EXPECT_EQ(p.x, -1000);
    EXPECT_EQ(p.y, 100);
    IntPoint q = clampedOrigin(-2000, 900, 400, 300, kTwoScreens);
    EXPECT_EQ(q.x, -1280);
    EXPECT_EQ(q.y, 724);
}

}  // namespace
