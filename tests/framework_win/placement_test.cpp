// The multi-monitor probe with its fallback, and the placement operations on
// real top-level windows.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/multi_monitor.h"
#include "framework/window_base.h"
#include "tests/framework_win/window_test_support.h"

namespace {

// A lookup that finds names from a list; records what it was asked.
struct FakeUser32 {
    std::vector<std::string> missing;
    std::vector<std::string> asked;
    FARPROC getSystemMetrics = nullptr;
};

int WINAPI fakeGetSystemMetrics(int index)
{
    return 1000 + index;
}

void neverCalled()
{
    ADD_FAILURE() << "only GetSystemMetrics may be called through the probe";
}

FARPROC fakeLookup(const char* name, void* context)
{
    auto* fake = static_cast<FakeUser32*>(context);
    fake->asked.push_back(name);
    for (const std::string& m : fake->missing) {
        if (m == name)
            return nullptr;
    }
    if (std::string(name) == "GetSystemMetrics")
        return fake->getSystemMetrics;
    return reinterpret_cast<FARPROC>(&neverCalled);
}

TEST(MultiMonitorProbe, AllFunctionsPresentUsesTheLookedUpGetSystemMetrics)
{
    FakeUser32 fake;
    fake.getSystemMetrics = reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&fakeGetSystemMetrics));
    MultiMonitorProbe probe(fakeLookup, &fake);
    EXPECT_TRUE(fake.asked.empty());  // nothing happens before first use
    EXPECT_TRUE(probe.supported());
    EXPECT_EQ(fake.asked.size(), 7u);
    EXPECT_EQ(probe.screenMetric(SM_CXVIRTUALSCREEN), 1000 + SM_CXVIRTUALSCREEN);
    EXPECT_EQ(probe.screenMetric(SM_CMONITORS), 1000 + SM_CMONITORS);
    RECT r = probe.virtualScreenRect();
    EXPECT_EQ(r.left, 1000 + SM_XVIRTUALSCREEN);
    EXPECT_EQ(r.top, 1000 + SM_YVIRTUALSCREEN);
    EXPECT_EQ(r.right, r.left + 1000 + SM_CXVIRTUALSCREEN);
    EXPECT_EQ(r.bottom, r.top + 1000 + SM_CYVIRTUALSCREEN);
    // The outcome is remembered.
    probe.supported();
    probe.screenMetric(SM_CYSCREEN);
    EXPECT_EQ(fake.asked.size(), 7u);
}

TEST(MultiMonitorProbe, OneMissingFunctionFallsBackToThePrimaryScreen)
{
    FakeUser32 fake;
    fake.getSystemMetrics = reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&fakeGetSystemMetrics));
    fake.missing = {"EnumDisplayMonitors"};
    MultiMonitorProbe probe(fakeLookup, &fake);
    EXPECT_FALSE(probe.supported());
    // The search stops at the first missing name.
    ASSERT_EQ(fake.asked.size(), 5u);
    EXPECT_EQ(fake.asked[0], "GetSystemMetrics");
    EXPECT_EQ(fake.asked[4], "EnumDisplayMonitors");

    RECT r = probe.virtualScreenRect();
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(probe.screenMetric(SM_CMONITORS), 1);
    EXPECT_EQ(probe.screenMetric(SM_SAMEDISPLAYFORMAT), 1);
    // Other metrics come from the imported function, not the looked-up one.
    EXPECT_EQ(probe.screenMetric(SM_CYCAPTION), GetSystemMetrics(SM_CYCAPTION));
}

TEST(MultiMonitorProbe, MissingLastFunctionAlsoFallsBack)
{
    FakeUser32 fake;
    fake.getSystemMetrics = reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&fakeGetSystemMetrics));
    fake.missing = {"EnumDisplayDevicesA"};
    MultiMonitorProbe probe(fakeLookup, &fake);
    EXPECT_FALSE(probe.supported());
    EXPECT_EQ(fake.asked.size(), 7u);
    EXPECT_EQ(probe.screenMetric(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CXSCREEN));
}

TEST(MultiMonitorProbe, RealUser32)
{
    MultiMonitorProbe& probe = multiMonitorProbe();
    EXPECT_TRUE(probe.supported());
    RECT r = virtualScreenRect();
    EXPECT_EQ(r.left, GetSystemMetrics(SM_XVIRTUALSCREEN));
    EXPECT_EQ(r.top, GetSystemMetrics(SM_YVIRTUALSCREEN));
    EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(r.bottom - r.top, GetSystemMetrics(SM_CYVIRTUALSCREEN));
    EXPECT_GT(r.right - r.left, 0);
}

class PlacementTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        screen = virtualScreenRect();
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
        ASSERT_TRUE(window.createWindow(0, testWindowClass(), "placement", WS_OVERLAPPEDWINDOW, 100, 100, 300,
                                        200, nullptr, nullptr));
    }
    void TearDown() override
    {
        if (IsWindow(window.hwnd))
            DestroyWindow(window.hwnd);
    }
    POINT position() const
    {
        int x = -1;
        int y = -1;
        EXPECT_TRUE(window.normalPosition(x, y));
        return POINT{x, y};
    }
    WindowBase window;
    RECT screen = {};
    RECT workArea = {};
};

TEST_F(PlacementTest, SetNormalPositionMovesAndKeepsAHiddenWindowHidden)
{
    ASSERT_TRUE(window.setNormalPosition(150, 120));
    POINT p = position();
    EXPECT_EQ(p.x, 150);
    EXPECT_EQ(p.y, 120);
    EXPECT_FALSE(IsWindowVisible(window.hwnd));
    SIZE size = window.windowSize();
    EXPECT_EQ(size.cx, 300);
    EXPECT_EQ(size.cy, 200);

    window.show(SW_SHOWNOACTIVATE);
    ASSERT_TRUE(window.setNormalPosition(60, 70));
    EXPECT_TRUE(IsWindowVisible(window.hwnd));
    RECT r = window.windowRect();
    EXPECT_EQ(r.left, 60);
    EXPECT_EQ(r.top, 70);
}

TEST_F(PlacementTest, NormalPositionFailsWithoutAWindow)
{
    WindowBase none;
    int x = 5;
    int y = 6;
    EXPECT_FALSE(none.normalPosition(x, y));
    EXPECT_FALSE(none.setNormalPosition(1, 2));
}

TEST_F(PlacementTest, CentreOnTheWorkArea)
{
    window.centreWindow(nullptr);
    RECT r = window.windowRect();
    EXPECT_EQ(r.left, workArea.left + (workArea.right - workArea.left - 300) / 2);
    EXPECT_EQ(r.top, workArea.top + (workArea.bottom - workArea.top - 200) / 2);
}

TEST_F(PlacementTest, CentreOnAReferenceWindow)
{
    WindowBase reference;
    ASSERT_TRUE(reference.createWindow(0, testWindowClass(), "ref", WS_OVERLAPPEDWINDOW, 200, 150, 500, 400,
                                       nullptr, nullptr));
    window.centreWindow(reference.hwnd);
    RECT r = window.windowRect();
    EXPECT_EQ(r.left, 200 + 100);
    EXPECT_EQ(r.top, 150 + 100);

    // A reference near the bottom-right corner: pulled back on screen.
    reference.move(screen.right - 100, screen.bottom - 50);
    window.centreWindow(reference.hwnd);
    r = window.windowRect();
    EXPECT_EQ(r.right, screen.right);
    EXPECT_EQ(r.bottom, screen.bottom);
    DestroyWindow(reference.hwnd);
}

// The windows are put off screen with move(): Wine's SetWindowPlacement
// would already pull the normal rectangle back on screen by itself.
TEST_F(PlacementTest, ClampPullsWindowsBackOnScreen)
{
    window.move(screen.left - 500, screen.top - 40);
    ASSERT_EQ(position().x, screen.left - 500);
    window.clampToScreen();
    POINT p = position();
    EXPECT_EQ(p.x, screen.left);
    EXPECT_EQ(p.y, screen.top);

    window.move(screen.right + 100, screen.bottom - 10);
    ASSERT_EQ(position().x, screen.right + 100);
    window.clampToScreen();
    p = position();
    EXPECT_EQ(p.x, screen.right - 300);
    EXPECT_EQ(p.y, screen.bottom - 200);

    window.move(40, 50);
    window.clampToScreen();
    p = position();
    EXPECT_EQ(p.x, 40);
    EXPECT_EQ(p.y, 50);
    EXPECT_FALSE(IsWindowVisible(window.hwnd));
}

TEST_F(PlacementTest, WindowLargerThanTheScreenGoesToItsTopLeft)
{
    SetWindowPos(window.hwnd, nullptr, 0, 0, screen.right - screen.left + 200, 100,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    window.move(screen.left + 50, 30);
    window.clampToScreen();
    POINT p = position();
    EXPECT_EQ(p.x, screen.left);
    EXPECT_EQ(p.y, 30);
}

TEST_F(PlacementTest, MinimisedWindowIsLeftAlone)
{
    window.move(screen.right + 100, screen.bottom + 100);
    ShowWindow(window.hwnd, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(window.hwnd));
    const POINT before = position();
    ASSERT_GE(before.x, screen.right);
    window.clampToScreen();
    POINT p = position();
    EXPECT_EQ(p.x, before.x);
    EXPECT_EQ(p.y, before.y);
}

TEST_F(PlacementTest, RestorePositionWithTheSentinelCentres)
{
    window.restorePosition(-10000, 300, -10000);
    RECT r = window.windowRect();
    EXPECT_EQ(r.left, workArea.left + (workArea.right - workArea.left - 300) / 2);
    EXPECT_EQ(r.top, workArea.top + (workArea.bottom - workArea.top - 200) / 2);

    window.move(0, 0);
    window.restorePosition(50, -10000, -10000);
    r = window.windowRect();
    EXPECT_EQ(r.left, workArea.left + (workArea.right - workArea.left - 300) / 2);
}

TEST_F(PlacementTest, RestorePositionPlacesAndClamps)
{
    window.restorePosition(120, 130, -10000);
    POINT p = position();
    EXPECT_EQ(p.x, 120);
    EXPECT_EQ(p.y, 130);
    window.restorePosition(screen.right + 4000, -3000, -10000);
    p = position();
    EXPECT_EQ(p.x, screen.right - 300);
    EXPECT_EQ(p.y, screen.top);
    EXPECT_FALSE(IsWindowVisible(window.hwnd));
}

}  // namespace
