// The control wrappers on real controls of a dialog template.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <string>

#include "framework/application.h"
#include "framework/controls.h"
#include "framework/dialog_base.h"
#include "framework/helpers.h"
#include "tests/framework_win/test_resources.h"
#include "tests/framework_win/window_test_support.h"

namespace {

class ControlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Application().startUp(nullptr, true); }
    void SetUp() override
    {
        ASSERT_TRUE(dialog.createModeless(IDD_ITEMS, nullptr));
    }
    void TearDown() override
    {
        if (IsWindow(dialog.hwnd))
            DestroyWindow(dialog.hwnd);
    }
    std::string listText(int item, int subItem)
    {
        char text[256] = {};
        LVITEMA cell = {};
        cell.iSubItem = subItem;
        cell.pszText = text;
        cell.cchTextMax = sizeof text;
        SendMessageA(dialog.item(IDC_LIST), LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(&cell));
        return text;
    }
    LPARAM listParam(int item)
    {
        LVITEMA row = {};
        row.mask = LVIF_PARAM;
        row.iItem = item;
        SendMessageA(dialog.item(IDC_LIST), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&row));
        return row.lParam;
    }
    DialogBase dialog;
};

TEST_F(ControlsTest, ListViewExtendedStyleKeepsOtherBits)
{
    ListViewControl list;
    ASSERT_NE(list.bindDialogItem(dialog.hwnd, IDC_LIST), nullptr);
    list.send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_HEADERDRAGDROP | LVS_EX_CHECKBOXES);
    list.setExtendedStyle(false, true, true);
    DWORD style = static_cast<DWORD>(list.send(LVM_GETEXTENDEDLISTVIEWSTYLE));
    EXPECT_TRUE(style & LVS_EX_HEADERDRAGDROP);
    EXPECT_FALSE(style & LVS_EX_CHECKBOXES);
    EXPECT_TRUE(style & LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(style & LVS_EX_GRIDLINES);
    list.setExtendedStyle(true, false, false);
    style = static_cast<DWORD>(list.send(LVM_GETEXTENDEDLISTVIEWSTYLE));
    EXPECT_TRUE(style & LVS_EX_HEADERDRAGDROP);
    EXPECT_TRUE(style & LVS_EX_CHECKBOXES);
    EXPECT_FALSE(style & LVS_EX_FULLROWSELECT);
    EXPECT_FALSE(style & LVS_EX_GRIDLINES);
}

TEST_F(ControlsTest, ListViewRowsAndColumns)
{
    ListViewControl list;
    list.bindDialogItem(dialog.hwnd, IDC_LIST);
    EXPECT_EQ(list.insertColumn(0, "ファイル", 120, LVCFMT_LEFT), 0);
    EXPECT_EQ(list.insertColumn(1, "サイズ", 60, LVCFMT_RIGHT), 1);
    LVCOLUMNA column = {};
    char title[64] = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.pszText = title;
    column.cchTextMax = sizeof title;
    ASSERT_TRUE(list.send(LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(title, "サイズ");
    EXPECT_EQ(column.cx, 60);
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_RIGHT);

    EXPECT_EQ(list.itemCount(), 0);
    EXPECT_EQ(list.insertItem(-1, "a.png", -1, 10), 0);
    EXPECT_EQ(list.insertItem(-1, "b.png", -1, 20), 1);
    // An explicit index inserts before the row there.
    EXPECT_EQ(list.insertItem(0, "first.bmp", -1, 30), 0);
    // -1 appends after the last row.
    EXPECT_EQ(list.insertItem(-1, "last.gif", 0, 40), 3);
    EXPECT_EQ(list.itemCount(), 4);
    EXPECT_EQ(listText(0, 0), "first.bmp");
    EXPECT_EQ(listText(3, 0), "last.gif");
    EXPECT_EQ(listParam(1), 10);
    EXPECT_EQ(listParam(3), 40);

    EXPECT_TRUE(list.setItemText(2, 1, "1,234"));
    EXPECT_EQ(listText(2, 1), "1,234");
    EXPECT_TRUE(list.setItemText(2, 0, "日本語.png"));
    EXPECT_EQ(listText(2, 0), "日本語.png");

    EXPECT_TRUE(list.deleteItem(0));
    EXPECT_EQ(list.itemCount(), 3);
    EXPECT_EQ(listText(0, 0), "a.png");
    EXPECT_FALSE(list.deleteItem(99));
}

TEST_F(ControlsTest, ProgressBarIsDrivenByItsMessages)
{
    ProgressBarControl bar;
    HWND progress = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 0, 0, 100, 10, dialog.hwnd,
                                    reinterpret_cast<HMENU>(2001), GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(bar.bindDialogItem(dialog.hwnd, 2001), progress);
    bar.send(PBM_SETRANGE32, 0, 50);
    bar.send(PBM_SETPOS, 20);
    EXPECT_EQ(bar.send(PBM_GETPOS), 20);
}

TEST_F(ControlsTest, ScrollBarControlHandlesEveryRequest)
{
    ScrollBarControl bar;
    HWND control = dialog.item(IDC_SCROLL);
    bar.setUp(control, SB_CTL);
    bar.setRange(0, 100, 10, false, false);
    auto scrollTo = [&](int pos) {
        SCROLLINFO info = {};
        info.cbSize = sizeof info;
        info.fMask = SIF_POS;
        info.nPos = pos;
        SetScrollInfo(control, SB_CTL, &info, FALSE);
    };
    struct Step {
        int from;
        unsigned request;
        unsigned thumb;
        int expected;
    } steps[] = {
        {50, SB_LINEUP, 0, 49},       {50, SB_LINEDOWN, 0, 51},      {50, SB_PAGEUP, 0, 40},
        {50, SB_PAGEDOWN, 0, 60},     {50, SB_THUMBPOSITION, 77, 77}, {50, SB_THUMBTRACK, 12, 12},
        {50, SB_TOP, 0, 0},           {50, SB_BOTTOM, 0, 91},        {50, SB_ENDSCROLL, 0, 50},
        {0, SB_LINEUP, 0, 0},         {5, SB_PAGEUP, 0, 0},          {91, SB_LINEDOWN, 0, 91},
        {88, SB_PAGEDOWN, 0, 91},     {50, SB_THUMBTRACK, 95, 91},
    };
    for (const Step& step : steps) {
        scrollTo(step.from);
        EXPECT_EQ(bar.handleScroll(step.request, step.thumb, control), step.expected)
            << "request " << step.request << " from " << step.from;
        EXPECT_EQ(bar.position(), step.expected);
    }
    // A message from another bar, or for the window's own bars, is not for it.
    scrollTo(50);
    EXPECT_EQ(bar.handleScroll(SB_LINEDOWN, 0, nullptr), -1);
    EXPECT_EQ(bar.handleScroll(SB_LINEDOWN, 0, dialog.item(IDC_EDIT)), -1);
    EXPECT_EQ(bar.position(), 50);
}

TEST_F(ControlsTest, PageLargerThanTheRange)
{
    ScrollBarControl bar;
    HWND control = dialog.item(IDC_SCROLL);
    bar.setUp(control, SB_CTL);
    bar.setRange(0, 10, 20, true, false);
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE;
    GetScrollInfo(control, SB_CTL, &info);
    // The platform keeps a page of at most the range; the position then is
    // max - page + 1 for every request.
    const int expected = info.nMax - static_cast<int>(info.nPage) + 1;
    for (unsigned request = SB_LINEUP; request <= SB_ENDSCROLL; ++request)
        EXPECT_EQ(bar.handleScroll(request, 5, control), expected) << request;
    EXPECT_LE(expected, 0);
}

TEST_F(ControlsTest, WindowOwnScrollBar)
{
    WindowBase window;
    ASSERT_TRUE(window.createWindow(0, testWindowClass(), "bars", WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL,
                                    0, 0, 200, 200, nullptr, nullptr));
    ScrollBarControl vertical;
    vertical.setUp(window.hwnd, SB_VERT);
    EXPECT_EQ(vertical.barKind, SB_VERT);
    vertical.setRange(0, 499, 100, true, true);
    EXPECT_EQ(vertical.handleScroll(SB_PAGEDOWN, 0, nullptr), 100);
    EXPECT_EQ(vertical.handleScroll(SB_BOTTOM, 0, nullptr), 400);
    EXPECT_EQ(vertical.position(), 400);
    // A scroll-bar control's message is not for the window's own bar.
    EXPECT_EQ(vertical.handleScroll(SB_TOP, 0, dialog.item(IDC_SCROLL)), -1);
    EXPECT_EQ(vertical.position(), 400);
    ScrollBarControl horizontal;
    horizontal.setUp(window.hwnd, SB_HORZ);
    horizontal.setRange(0, 99, 10, false, true);
    EXPECT_EQ(horizontal.handleScroll(SB_LINEDOWN, 0, nullptr), 1);
    EXPECT_EQ(vertical.position(), 400);
    DestroyWindow(window.hwnd);
}

// A 32-bit memory device context whose pixels can be read back.
class PixelCanvas {
public:
    PixelCanvas(int width, int height) : width_(width), height_(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        for (int i = 0; i < width * height; ++i)
            bits_[i] = 0x00ABCDEF;
    }
    ~PixelCanvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    // 0x00RRGGBB.
    uint32_t at(int x, int y) const
    {
        GdiFlush();
        return bits_[y * width_ + x] & 0x00FFFFFF;
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t* bits_ = nullptr;
};

TEST_F(ControlsTest, ColourButtonByteOrder)
{
    ColourButton button;
    button.bindDialogItem(dialog.hwnd, IDC_SWATCH);
    button.setColourRgb(0x00123456);  // red 0x12, green 0x34, blue 0x56
    EXPECT_EQ(button.colour, RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(GetRValue(button.colour), 0x12);
    EXPECT_EQ(GetBValue(button.colour), 0x56);
    EXPECT_EQ(button.colourRgb(), 0x00123456u);
    button.setColourRgb(0xFF000080);
    EXPECT_EQ(button.colour, RGB(0, 0, 0x80));
    button.setColour(RGB(1, 2, 3));
    EXPECT_EQ(button.colourRgb(), 0x00010203u);
}

TEST_F(ControlsTest, DrawSwatchPaintsFrameAndColour)
{
    ColourButton button;
    button.bindDialogItem(dialog.hwnd, IDC_SWATCH);
    button.colour = RGB(0x20, 0xC0, 0x40);
    PixelCanvas canvas(40, 30);
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.hwndItem = button.hwnd;
    item.hDC = canvas.dc();
    item.rcItem = RECT{0, 0, 40, 30};
    ASSERT_EQ(button.drawSwatch(&item), 1);
    // Black frame 5 pixels in, the colour inside it.
    EXPECT_EQ(canvas.at(5, 5), 0x000000u);
    EXPECT_EQ(canvas.at(34, 24), 0x000000u);
    EXPECT_EQ(canvas.at(6, 6), 0x20C040u);
    EXPECT_EQ(canvas.at(20, 15), 0x20C040u);
    EXPECT_EQ(canvas.at(33, 23), 0x20C040u);
    EXPECT_NE(canvas.at(4, 4), 0xABCDEFu);  // the button face was drawn too

    // Pressed: the inner box moves by one pixel.
    PixelCanvas pressed(40, 30);
    item.hDC = pressed.dc();
    item.itemState = ODS_SELECTED;
    ASSERT_EQ(button.drawSwatch(&item), 1);
    EXPECT_EQ(pressed.at(6, 6), 0x000000u);
    EXPECT_EQ(pressed.at(35, 25), 0x000000u);
    EXPECT_EQ(pressed.at(7, 7), 0x20C040u);
}

TEST_F(ControlsTest, DrawSwatchIgnoresOtherItems)
{
    ColourButton button;
    button.bindDialogItem(dialog.hwnd, IDC_SWATCH);
    PixelCanvas canvas(20, 20);
    DRAWITEMSTRUCT item = {};
    item.hwndItem = dialog.item(IDC_BUTTON);
    item.hDC = canvas.dc();
    item.rcItem = RECT{0, 0, 20, 20};
    EXPECT_EQ(button.drawSwatch(&item), 0);
    EXPECT_EQ(canvas.at(10, 10), 0xABCDEFu);
}

// Passes its owner-drawn items to the swatch, as the program's windows do.
class SwatchDialog : public DialogBase {
public:
    ColourButton swatch;
    int drawn = 0;
    int onDrawItem(DRAWITEMSTRUCT* item) override
    {
        int handled = swatch.drawSwatch(item);
        drawn += handled;
        return handled;
    }
};

TEST(ColourButtonInDialog, RedrawsThroughOnDrawItem)
{
    SwatchDialog dialog;
    ASSERT_TRUE(dialog.createModeless(IDD_ITEMS, nullptr));
    WindowGuard guard(dialog.hwnd);
    dialog.swatch.bindDialogItem(dialog.hwnd, IDC_SWATCH);
    ShowWindow(dialog.hwnd, SW_SHOWNOACTIVATE);
    UpdateWindow(dialog.hwnd);
    const int before = dialog.drawn;
    dialog.swatch.setColourRgb(0x00FF0000);
    UpdateWindow(dialog.hwnd);
    EXPECT_GT(dialog.drawn, before);
}

TEST(MenuRef, ChecksByCommandAndByPosition)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 100, "one");
    AppendMenuA(menu, MF_STRING, 200, "two");
    MenuRef ref;
    EXPECT_EQ(ref.handle, nullptr);
    ref.setHandle(menu);
    ref.checkItem(200, false, true);
    EXPECT_TRUE(GetMenuState(menu, 200, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(GetMenuState(menu, 100, MF_BYCOMMAND) & MF_CHECKED);
    ref.checkItem(0, true, true);
    EXPECT_TRUE(GetMenuState(menu, 100, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(ref.checkItem(1, true, false), DWORD(MF_CHECKED));
    EXPECT_FALSE(GetMenuState(menu, 200, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(ref.checkItem(999, false, true), DWORD(-1));
    DestroyMenu(menu);
}

TEST(MenuRef, RadioItemsOfASubmenuByCommand)
{
    HMENU menu = CreatePopupMenu();
    HMENU group = CreatePopupMenu();
    for (UINT id = 300; id <= 303; ++id)
        AppendMenuA(group, MF_STRING, id, "level");
    AppendMenuA(menu, MF_STRING, 100, "one");
    AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(group), "levels");
    MenuRef ref;
    ref.setHandle(menu);
    for (UINT checked : {302u, 300u}) {
        ASSERT_TRUE(ref.checkRadioItem(300, 303, checked));
        for (UINT id = 300; id <= 303; ++id) {
            EXPECT_EQ((GetMenuState(group, id, MF_BYCOMMAND) & MF_CHECKED) != 0, id == checked) << id;
        }
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE;
        ASSERT_TRUE(GetMenuItemInfoA(group, checked, FALSE, &info));
        EXPECT_TRUE(info.fType & MFT_RADIOCHECK);
    }
    EXPECT_FALSE(GetMenuState(menu, 100, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(ref.checkRadioItem(900, 903, 901));
    DestroyMenu(menu);
}

TEST(FitRect, PlatformRectangle)
{
    RECT r = {0, 0, 100, 50};
    fitRect(r, 400, 300, true);
    EXPECT_EQ(r.left, 150);
    EXPECT_EQ(r.top, 125);
    EXPECT_EQ(r.right, 250);
    EXPECT_EQ(r.bottom, 175);
    RECT s = {0, 0, 100, 50};
    fitRect(s, 400, 300, false);
    EXPECT_EQ(s.left, 0);
    EXPECT_EQ(s.top, 50);
    EXPECT_EQ(s.right, 400);
    EXPECT_EQ(s.bottom, 250);
}

}  // namespace
