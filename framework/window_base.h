#pragma once
// WindowBase: a platform window seen as an object with one virtual handler per
// window message.
//
// The platform's messages reach the object through the shared procedures
// (windowProcedure here, DialogBase::dialogProcedure, and windowProcedure again
// for attached controls). dispatchMessage routes each message to its handler
// with wParam/lParam unpacked; 16-bit halves are zero-extended, so coordinates
// and the wheel delta arrive as 0..65535 and a handler that needs signed
// values converts them itself. Every handler returns non-zero when it handled
// the message; some also receive the message result (0 on entry) to set.
//
// Ownership: the framework never creates or deletes objects. The owner keeps
// the object alive for as long as its window exists; the binding slot
// (GWLP_USERDATA) is never cleared, and hwnd keeps the handle after the
// window is destroyed. All objects belong to the thread that created their
// windows; other threads reach them only through SendMessage/PostMessage.

#include <windows.h>
// HDROP for onDropFiles.
#include <shellapi.h>

class WindowBase {
public:
    // The platform window; null until the object is bound.
    HWND hwnd = nullptr;

    // The window procedure of every registered class and of attached controls.
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Registers a class of this module whose windows use windowProcedure, with
    // no extra class or window bytes. The class atom, 0 when refused.
    static ATOM registerClass(const char* className, HICON icon, HICON smallIcon, HCURSOR cursor,
                              HBRUSH background, const char* menuName, UINT classStyle);

    // Creates a window of a class registered with registerClass, passing this
    // object as the creation parameter; stores the handle. True when created.
    bool createWindow(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                      int width, int height, HWND parent, HMENU menu);

    // Thin wrappers acting on hwnd.
    BOOL destroy();
    // The whole client area, without erasing the background.
    void invalidate();
    BOOL show(int showCommand);
    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // iconType is ICON_BIG or ICON_SMALL.
    void setIcon(WPARAM iconType, HICON icon);
    BOOL setText(const char* text);
    RECT windowRect() const;
    RECT clientRect() const;
    SIZE windowSize() const;
    SIZE clientSize() const;
    LONG_PTR windowLong(int index) const;
    LONG_PTR setWindowLong(int index, LONG_PTR value);
    // Moves the window's top-left corner, keeping size and z-order.
    BOOL move(int x, int y);

    // A task-modal, topmost warning box with the platform's default caption.
    void warningBox(const char* text) const;

    // Placement. Positions are the window's normal (restored) position.
    // False when the placement cannot be read.
    bool normalPosition(int& x, int& y) const;
    // Moves the normal position, keeping its size; a hidden window stays hidden.
    bool setNormalPosition(int x, int y);
    // Centres the window on reference (or on the work area when reference is
    // null) and keeps it on the virtual screen.
    void centreWindow(HWND reference);
    // Pulls a restored window back onto the virtual screen; leaves maximised
    // and minimised windows alone.
    void clampToScreen();
    // Centres the window when x or y equals sentinel, else puts it at (x, y)
    // and pulls it onto the screen.
    void restorePosition(int x, int y, int sentinel);

    // Message handling. Every default returns 0 (not handled) except onDestroy.
    virtual LRESULT dispatchMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The platform's processing after the handler: here DefWindowProcA for
    // unhandled messages, result for handled ones.
    virtual LRESULT finishMessage(int notHandled, LRESULT result, UINT message, WPARAM wParam, LPARAM lParam);
    // Sees every message first; non-zero means handled, and result is returned
    // with no further processing.
    virtual int preDispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // result TRUE lets the dialog manager set the initial focus.
    virtual int onInitDialog(LRESULT& result);
    virtual int onNcCreate(CREATESTRUCTA* create);
    virtual int onCreate(CREATESTRUCTA* create);
    virtual int onClose();
    virtual int onNcDestroy();
    // Returns 1 by default, so WM_DESTROY reaches neither DefWindowProcA nor an
    // attached control's own procedure.
    virtual int onDestroy();
    virtual int onEndSession(WPARAM ending);
    virtual int onInitMenu(HMENU menu);
    virtual int onInitMenuPopup(HMENU menu, unsigned position, unsigned isWindowMenu);
    virtual int onMenuSelect(unsigned item, unsigned flags, HMENU menu);
    virtual int onContextMenu(HWND window, unsigned x, unsigned y);
    virtual int onSysChar(WPARAM wParam, LPARAM lParam);
    virtual int onSysKeyUp(WPARAM wParam, LPARAM lParam);
    virtual int onSysKeyDown(WPARAM wParam, LPARAM lParam);
    virtual int onSysCommand(WPARAM command, unsigned x, unsigned y);
    virtual int onWindowPosChanging(WINDOWPOS* position);
    virtual int onWindowPosChanged(WINDOWPOS* position);
    virtual int onDropFiles(HDROP drop);
    virtual int onTimer(WPARAM timerId);
    virtual int onCommand(unsigned id, unsigned code, HWND control);
    virtual int onNcActivate(WPARAM wParam, LPARAM lParam);
    virtual int onActivate(unsigned state, HWND other, unsigned minimised);
    virtual int onActivateApp(WPARAM wParam, LPARAM lParam);
    virtual int onChildActivate();
    virtual int onEnterIdle(WPARAM wParam, LPARAM lParam);
    virtual int onKillFocus(HWND gaining);
    virtual int onSetFocus(HWND losing);
    virtual int onShowWindow(WPARAM wParam, LPARAM lParam);
    virtual int onMouseActivate(HWND topLevel, unsigned hitTest, unsigned mouseMessage, LRESULT& result);
    virtual int onNcMouseMove(WPARAM hitTest, unsigned x, unsigned y);
    virtual int onNcMButtonDblClk(WPARAM hitTest, unsigned x, unsigned y);
    virtual int onNcMButtonUp(WPARAM hitTest, unsigned x, unsigned y);
    virtual int onNcMButtonDown(WPARAM hitTest, unsigned x, unsigned y);
    virtual int onNcLButtonDblClk(WPARAM hitTest, unsigned x, unsigned y);
    virtual int onNcLButtonUp(WPARAM hitTest, unsigned x, unsigned y);
    virtual int onNcLButtonDown(WPARAM hitTest, unsigned x, unsigned y);
    virtual int onNcRButtonDblClk(WPARAM hitTest, unsigned x, unsigned y);
    virtual int onNcRButtonUp(WPARAM hitTest, unsigned x, unsigned y);
    virtual int onNcRButtonDown(WPARAM hitTest, unsigned x, unsigned y);
    virtual int onMouseMove(WPARAM keys, unsigned x, unsigned y);
    virtual int onMButtonDblClk(WPARAM keys, unsigned x, unsigned y);
    virtual int onMButtonUp(WPARAM keys, unsigned x, unsigned y);
    virtual int onMButtonDown(WPARAM keys, unsigned x, unsigned y);
    virtual int onLButtonDblClk(WPARAM keys, unsigned x, unsigned y);
    virtual int onLButtonUp(WPARAM keys, unsigned x, unsigned y);
    virtual int onLButtonDown(WPARAM keys, unsigned x, unsigned y);
    virtual int onRButtonDblClk(WPARAM keys, unsigned x, unsigned y);
    virtual int onRButtonUp(WPARAM keys, unsigned x, unsigned y);
    virtual int onRButtonDown(WPARAM keys, unsigned x, unsigned y);
    virtual int onSetCursor(HWND window, unsigned hitTest, unsigned mouseMessage);
    virtual int onMouseWheel(unsigned keys, unsigned delta, unsigned x, unsigned y);
    virtual int onCaptureChanged(HWND gaining);
    virtual int onMouseLeave();
    virtual int onMouseHover();
    virtual int onNcHitTest(unsigned x, unsigned y, LRESULT& result);
    virtual int onKeyUp(WPARAM wParam, LPARAM lParam);
    virtual int onKeyDown(WPARAM wParam, LPARAM lParam);
    virtual int onChar(WPARAM wParam, LPARAM lParam);
    virtual int onHotKey(WPARAM id, unsigned modifiers, unsigned virtualKey);
    virtual int onNcPaint();
    virtual int onPaint();
    virtual int onEraseBkgnd(HDC dc, LRESULT& result);
    virtual int onMeasureItem(MEASUREITEMSTRUCT* item);
    virtual int onDrawItem(DRAWITEMSTRUCT* item);
    virtual int onVScroll(unsigned request, unsigned thumb, HWND scrollBar);
    virtual int onHScroll(unsigned request, unsigned thumb, HWND scrollBar);
    virtual int onSize(WPARAM sizeType, unsigned width, unsigned height);
    virtual int onSizing(WPARAM edge, RECT* rect);
    virtual int onMove(unsigned x, unsigned y);
    virtual int onMoving(WPARAM wParam, RECT* rect);
    virtual int onNotify(WPARAM controlId, NMHDR* header, LRESULT& result);
    virtual int onParentNotify(unsigned event, unsigned childId, LPARAM lParam);
    // WM_USER (0x0400) to 0x7FFF. A handled message yields 0 (TRUE in a dialog).
    virtual int onUserMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual int onGetDlgCode(MSG* message, LRESULT& result);

private:
    // Calls the handler for message; 0 when it has none.
    int callHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
};
