#pragma once
// Wrappers for the common controls and menus the program's windows use. Each
// control class is a ControlWindow bound to a dialog item (not attached); its
// operations act on hwnd.

#include <windows.h>

#include <cstdint>

#include "framework/control_window.h"

class ListViewControl : public ControlWindow {
public:
    // Sets or clears the check-box, full-row-select and grid-line extended
    // styles, keeping every other extended style bit.
    void setExtendedStyle(bool checkBoxes, bool fullRowSelect, bool gridLines);
    // Inserts a column (format LVCFMT_LEFT, LVCFMT_RIGHT, ...); the new index or -1.
    int insertColumn(int index, const char* text, int width, int format);
    // Widens a column, where needed, so that every text in it shows whole.
    void widenColumnToFit(int column);
    // Inserts a row; a negative index appends. image -1 means no image.
    // The new index or -1.
    int insertItem(int index, const char* text, int image, LPARAM lParam);
    BOOL deleteItem(int index);
    BOOL setItemText(int item, int subItem, const char* text);
    int itemCount() const;
};

// Driven by sending it the platform's progress-bar messages (PBM_*).
class ProgressBarControl : public ControlWindow {};

// An owner-drawn push button showing a colour swatch. The parent's
// onDrawItem passes every DRAWITEMSTRUCT to drawSwatch.
class ColourButton : public ControlWindow {
public:
    // The platform colour 0x00BBGGRR.
    COLORREF colour = 0;

    // Store the colour and redraw the button (without erasing).
    void setColour(COLORREF value);
    // From 0x00RRGGBB (the top byte is ignored).
    void setColourRgb(uint32_t rgb);
    // The colour as 0x00RRGGBB.
    uint32_t colourRgb() const;
    // Draws the button with the swatch when item is this button's; returns 1
    // then, 0 (not handled) for any other item.
    int drawSwatch(const DRAWITEMSTRUCT* item) const;
};

// A window's own scroll bar (SB_HORZ, SB_VERT; hwnd is that window) or a
// scroll-bar control (SB_CTL; hwnd is the control).
class ScrollBarControl : public ControlWindow {
public:
    uint16_t barKind = SB_HORZ;

    void setUp(HWND window, int kind);
    void setRange(int min, int max, unsigned page, bool disableWhenNotNeeded, bool redraw);
    int position() const;
    // Carries out a scroll request of WM_HSCROLL/WM_VSCROLL (request, thumb
    // position, and the control handle of the message) and returns the new
    // position, or -1 when the message is not for this bar.
    int handleScroll(unsigned request, unsigned thumb, HWND control);
};

// A menu handle taken from WM_INITMENUPOPUP; not owned.
class MenuRef {
public:
    HMENU handle = nullptr;

    void setHandle(HMENU menu) { handle = menu; }
    // Checks or unchecks an item by command id or by position. The item's
    // previous check state, or -1 when there is no such item.
    DWORD checkItem(UINT item, bool byPosition, bool checked);
    // Marks checked, one of the commands first to last (one group of one
    // menu, found in a submenu too), with the radio mark and clears the others.
    // False when they are not in the menu.
    bool checkRadioItem(UINT first, UINT last, UINT checked);
};
