#include "framework/controls.h"

#include <commctrl.h>

#include "framework/logic/colour_bytes.h"
#include "framework/logic/scroll_math.h"

void ListViewControl::setExtendedStyle(bool checkBoxes, bool fullRowSelect, bool gridLines)
{
    DWORD style = static_cast<DWORD>(send(LVM_GETEXTENDEDLISTVIEWSTYLE));
    auto apply = [&style](DWORD bit, bool on) { style = on ? (style | bit) : (style & ~bit); };
    apply(LVS_EX_CHECKBOXES, checkBoxes);
    apply(LVS_EX_FULLROWSELECT, fullRowSelect);
    apply(LVS_EX_GRIDLINES, gridLines);
    send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style);
}

int ListViewControl::insertColumn(int index, const char* text, int width, int format)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<char*>(text);
    return static_cast<int>(send(LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column)));
}

void ListViewControl::widenColumnToFit(int column)
{
    const LRESULT width = send(LVM_GETCOLUMNWIDTH, column);
    send(LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE);
    if (send(LVM_GETCOLUMNWIDTH, column) < width)
        send(LVM_SETCOLUMNWIDTH, column, width);
}

int ListViewControl::insertItem(int index, const char* text, int image, LPARAM lParam)
{
    LVITEMA row = {};
    row.mask = LVIF_TEXT | LVIF_PARAM;
    if (image != -1) {
        row.mask |= LVIF_IMAGE;
        row.iImage = image;
    }
    row.iItem = index < 0 ? itemCount() : index;
    row.pszText = const_cast<char*>(text);
    row.lParam = lParam;
    return static_cast<int>(send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row)));
}

BOOL ListViewControl::deleteItem(int index)
{
    return static_cast<BOOL>(send(LVM_DELETEITEM, index));
}

BOOL ListViewControl::setItemText(int item, int subItem, const char* text)
{
    LVITEMA cell = {};
    cell.iSubItem = subItem;
    cell.pszText = const_cast<char*>(text);
    return static_cast<BOOL>(send(LVM_SETITEMTEXTA, item, reinterpret_cast<LPARAM>(&cell)));
}

int ListViewControl::itemCount() const
{
    return static_cast<int>(send(LVM_GETITEMCOUNT));
}

void ColourButton::setColour(COLORREF value)
{
    colour = value;
    invalidate();
}

void ColourButton::setColourRgb(uint32_t rgb)
{
    setColour(colourRefFromRgb(rgb));
}

uint32_t ColourButton::colourRgb() const
{
    return rgbFromColourRef(colour);
}

int ColourButton::drawSwatch(const DRAWITEMSTRUCT* item) const
{
    if (item->hwndItem != hwnd)
        return 0;
    const bool pressed = (item->itemState & ODS_SELECTED) != 0;
    RECT outer = item->rcItem;
    RECT inner = outer;
    InflateRect(&inner, -5, -5);
    if (pressed)
        OffsetRect(&inner, 1, 1);
    DrawFrameControl(item->hDC, &outer, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    FrameRect(item->hDC, &inner, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&inner, -1, -1);
    HBRUSH fill = CreateSolidBrush(colour);
    if (fill) {
        FillRect(item->hDC, &inner, fill);
        DeleteObject(fill);
    }
    return 1;
}

void ScrollBarControl::setUp(HWND window, int kind)
{
    hwnd = window;
    barKind = static_cast<uint16_t>(kind);
}

void ScrollBarControl::setRange(int min, int max, unsigned page, bool disableWhenNotNeeded, bool redraw)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | (disableWhenNotNeeded ? SIF_DISABLENOSCROLL : 0);
    info.nMin = min;
    info.nMax = max;
    info.nPage = page;
    SetScrollInfo(hwnd, barKind, &info, redraw ? TRUE : FALSE);
}

int ScrollBarControl::position() const
{
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    GetScrollInfo(hwnd, barKind, &info);
    return info.nPos;
}

int ScrollBarControl::handleScroll(unsigned request, unsigned thumb, HWND control)
{
    if (barKind == SB_CTL ? control != hwnd : control != nullptr)
        return -1;
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
    GetScrollInfo(hwnd, barKind, &info);
    ScrollState state;
    state.min = info.nMin;
    state.max = info.nMax;
    state.page = info.nPage;
    state.pos = info.nPos;
    const int pos = scrollTarget(state, request, thumb);
    info.fMask = SIF_POS;
    info.nPos = pos;
    SetScrollInfo(hwnd, barKind, &info, TRUE);
    return pos;
}

DWORD MenuRef::checkItem(UINT item, bool byPosition, bool checked)
{
    return CheckMenuItem(handle, item, (byPosition ? MF_BYPOSITION : MF_BYCOMMAND) | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool MenuRef::checkRadioItem(UINT first, UINT last, UINT checked)
{
    return CheckMenuRadioItem(handle, first, last, checked, MF_BYCOMMAND) != FALSE;
}
