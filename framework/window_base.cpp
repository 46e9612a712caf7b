#include "framework/window_base.h"

#include "framework/helpers.h"
#include "framework/logic/geometry.h"
#include "framework/logic/message_routing.h"
#include "framework/multi_monitor.h"

namespace {

IntRect toIntRect(const RECT& r)
{
    return IntRect{r.left, r.top, r.right, r.bottom};
}

}  // namespace

LRESULT CALLBACK WindowBase::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowBase* object;
    if ((message == WM_NCCREATE || message == WM_CREATE) && lParam) {
        object = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        if (object)
            object->hwnd = window;
    } else {
        object = reinterpret_cast<WindowBase*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    if (!object)
        return DefWindowProcA(window, message, wParam, lParam);
    return object->dispatchMessage(message, wParam, lParam);
}

ATOM WindowBase::registerClass(const char* className, HICON icon, HICON smallIcon, HCURSOR cursor,
                               HBRUSH background, const char* menuName, UINT classStyle)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = classStyle;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = moduleInstance();
    windowClass.hIcon = icon;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.lpszMenuName = menuName;
    windowClass.lpszClassName = className;
    windowClass.hIconSm = smallIcon;
    return RegisterClassExA(&windowClass);
}

bool WindowBase::createWindow(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                              int width, int height, HWND parent, HMENU menu)
{
    HWND created = CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu,
                                   moduleInstance(), this);
    hwnd = created;
    return created != nullptr;
}

BOOL WindowBase::destroy()
{
    return DestroyWindow(hwnd);
}

void WindowBase::invalidate()
{
    InvalidateRect(hwnd, nullptr, FALSE);
}

BOOL WindowBase::show(int showCommand)
{
    return ShowWindow(hwnd, showCommand);
}

LRESULT WindowBase::send(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return SendMessageA(hwnd, message, wParam, lParam);
}

void WindowBase::setIcon(WPARAM iconType, HICON icon)
{
    send(WM_SETICON, iconType, reinterpret_cast<LPARAM>(icon));
}

BOOL WindowBase::setText(const char* text)
{
    return SetWindowTextA(hwnd, text);
}

RECT WindowBase::windowRect() const
{
    RECT r = {};
    GetWindowRect(hwnd, &r);
    return r;
}

RECT WindowBase::clientRect() const
{
    RECT r = {};
    GetClientRect(hwnd, &r);
    return r;
}

SIZE WindowBase::windowSize() const
{
    RECT r = windowRect();
    return SIZE{r.right - r.left, r.bottom - r.top};
}

SIZE WindowBase::clientSize() const
{
    RECT r = clientRect();
    return SIZE{r.right - r.left, r.bottom - r.top};
}

LONG_PTR WindowBase::windowLong(int index) const
{
    return GetWindowLongPtrA(hwnd, index);
}

LONG_PTR WindowBase::setWindowLong(int index, LONG_PTR value)
{
    return SetWindowLongPtrA(hwnd, index, value);
}

BOOL WindowBase::move(int x, int y)
{
    return SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
}

void WindowBase::warningBox(const char* text) const
{
    ::warningBox(text);
}

bool WindowBase::normalPosition(int& x, int& y) const
{
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(hwnd, &placement))
        return false;
    x = placement.rcNormalPosition.left;
    y = placement.rcNormalPosition.top;
    return true;
}

bool WindowBase::setNormalPosition(int x, int y)
{
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(hwnd, &placement))
        return false;
    OffsetRect(&placement.rcNormalPosition, x - placement.rcNormalPosition.left,
               y - placement.rcNormalPosition.top);
    if (!IsWindowVisible(hwnd))
        placement.showCmd = SW_HIDE;
    return SetWindowPlacement(hwnd, &placement) != FALSE;
}

void WindowBase::centreWindow(HWND reference)
{
    RECT workArea = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    SIZE size = windowSize();
    RECT box = workArea;
    if (reference)
        GetWindowRect(reference, &box);
    IntPoint p = centredOrigin(toIntRect(box), size.cx, size.cy, toIntRect(virtualScreenRect()));
    move(p.x, p.y);
}

void WindowBase::clampToScreen()
{
    if (IsZoomed(hwnd) || IsIconic(hwnd))
        return;
    int x = 0;
    int y = 0;
    if (!normalPosition(x, y))
        return;
    SIZE size = windowSize();
    IntPoint p = clampedOrigin(x, y, size.cx, size.cy, toIntRect(virtualScreenRect()));
    setNormalPosition(p.x, p.y);
}

void WindowBase::restorePosition(int x, int y, int sentinel)
{
    if (x == sentinel || y == sentinel) {
        centreWindow(nullptr);
        return;
    }
    setNormalPosition(x, y);
    clampToScreen();
}

LRESULT WindowBase::dispatchMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (preDispatch(message, wParam, lParam, result))
        return result;
    int handled = callHandler(message, wParam, lParam, result);
    return finishMessage(!handled, result, message, wParam, lParam);
}

int WindowBase::callHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const unsigned wLow = lowHalf(wParam);
    const unsigned wHigh = highHalf(wParam);
    const unsigned lLow = lowHalf(lParam);
    const unsigned lHigh = highHalf(lParam);
    HWND wWindow = reinterpret_cast<HWND>(wParam);
    HWND lWindow = reinterpret_cast<HWND>(lParam);
    switch (routeMessage(message)) {
    case MessageHandler::None: return 0;
    case MessageHandler::InitDialog: return onInitDialog(result);
    case MessageHandler::NcCreate: return onNcCreate(reinterpret_cast<CREATESTRUCTA*>(lParam));
    case MessageHandler::Create: return onCreate(reinterpret_cast<CREATESTRUCTA*>(lParam));
    case MessageHandler::Close: return onClose();
    case MessageHandler::NcDestroy: return onNcDestroy();
    case MessageHandler::Destroy: return onDestroy();
    case MessageHandler::EndSession: return onEndSession(wParam);
    case MessageHandler::InitMenu: return onInitMenu(reinterpret_cast<HMENU>(wParam));
    case MessageHandler::InitMenuPopup: return onInitMenuPopup(reinterpret_cast<HMENU>(wParam), lLow, lHigh);
    case MessageHandler::MenuSelect: return onMenuSelect(wLow, wHigh, reinterpret_cast<HMENU>(lParam));
    case MessageHandler::ContextMenu: return onContextMenu(wWindow, lLow, lHigh);
    case MessageHandler::SysChar: return onSysChar(wParam, lParam);
    case MessageHandler::SysKeyUp: return onSysKeyUp(wParam, lParam);
    case MessageHandler::SysKeyDown: return onSysKeyDown(wParam, lParam);
    case MessageHandler::SysCommand: return onSysCommand(wParam, lLow, lHigh);
    case MessageHandler::WindowPosChanging: return onWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
    case MessageHandler::WindowPosChanged: return onWindowPosChanged(reinterpret_cast<WINDOWPOS*>(lParam));
    case MessageHandler::DropFiles: return onDropFiles(reinterpret_cast<HDROP>(wParam));
    case MessageHandler::Timer: return onTimer(wParam);
    case MessageHandler::Command: return onCommand(wLow, wHigh, lWindow);
    case MessageHandler::NcActivate: return onNcActivate(wParam, lParam);
    case MessageHandler::Activate: return onActivate(wLow, lWindow, wHigh);
    case MessageHandler::ActivateApp: return onActivateApp(wParam, lParam);
    case MessageHandler::ChildActivate: return onChildActivate();
    case MessageHandler::EnterIdle: return onEnterIdle(wParam, lParam);
    case MessageHandler::KillFocus: return onKillFocus(wWindow);
    case MessageHandler::SetFocus: return onSetFocus(wWindow);
    case MessageHandler::ShowWindow: return onShowWindow(wParam, lParam);
    case MessageHandler::MouseActivate: return onMouseActivate(wWindow, lLow, lHigh, result);
    case MessageHandler::NcMouseMove: return onNcMouseMove(wParam, lLow, lHigh);
    case MessageHandler::NcMButtonDblClk: return onNcMButtonDblClk(wParam, lLow, lHigh);
    case MessageHandler::NcMButtonUp: return onNcMButtonUp(wParam, lLow, lHigh);
    case MessageHandler::NcMButtonDown: return onNcMButtonDown(wParam, lLow, lHigh);
    case MessageHandler::NcLButtonDblClk: return onNcLButtonDblClk(wParam, lLow, lHigh);
    case MessageHandler::NcLButtonUp: return onNcLButtonUp(wParam, lLow, lHigh);
    case MessageHandler::NcLButtonDown: return onNcLButtonDown(wParam, lLow, lHigh);
    case MessageHandler::NcRButtonDblClk: return onNcRButtonDblClk(wParam, lLow, lHigh);
    case MessageHandler::NcRButtonUp: return onNcRButtonUp(wParam, lLow, lHigh);
    case MessageHandler::NcRButtonDown: return onNcRButtonDown(wParam, lLow, lHigh);
    case MessageHandler::MouseMove: return onMouseMove(wParam, lLow, lHigh);
    case MessageHandler::MButtonDblClk: return onMButtonDblClk(wParam, lLow, lHigh);
    case MessageHandler::MButtonUp: return onMButtonUp(wParam, lLow, lHigh);
    case MessageHandler::MButtonDown: return onMButtonDown(wParam, lLow, lHigh);
    case MessageHandler::LButtonDblClk: return onLButtonDblClk(wParam, lLow, lHigh);
    case MessageHandler::LButtonUp: return onLButtonUp(wParam, lLow, lHigh);
    case MessageHandler::LButtonDown: return onLButtonDown(wParam, lLow, lHigh);
    case MessageHandler::RButtonDblClk: return onRButtonDblClk(wParam, lLow, lHigh);
    case MessageHandler::RButtonUp: return onRButtonUp(wParam, lLow, lHigh);
    case MessageHandler::RButtonDown: return onRButtonDown(wParam, lLow, lHigh);
    case MessageHandler::SetCursor: return onSetCursor(wWindow, lLow, lHigh);
    case MessageHandler::MouseWheel: return onMouseWheel(wLow, wHigh, lLow, lHigh);
    case MessageHandler::CaptureChanged: return onCaptureChanged(lWindow);
    case MessageHandler::MouseLeave: return onMouseLeave();
    case MessageHandler::MouseHover: return onMouseHover();
    case MessageHandler::NcHitTest: return onNcHitTest(lLow, lHigh, result);
    case MessageHandler::KeyUp: return onKeyUp(wParam, lParam);
    case MessageHandler::KeyDown: return onKeyDown(wParam, lParam);
    case MessageHandler::Char: return onChar(wParam, lParam);
    case MessageHandler::HotKey: return onHotKey(wParam, lLow, lHigh);
    case MessageHandler::NcPaint: return onNcPaint();
    case MessageHandler::Paint: return onPaint();
    case MessageHandler::EraseBkgnd: return onEraseBkgnd(reinterpret_cast<HDC>(wParam), result);
    case MessageHandler::MeasureItem: return onMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    case MessageHandler::DrawItem: return onDrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
    case MessageHandler::VScroll: return onVScroll(wLow, wHigh, lWindow);
    case MessageHandler::HScroll: return onHScroll(wLow, wHigh, lWindow);
    case MessageHandler::Size: return onSize(wParam, lLow, lHigh);
    case MessageHandler::Sizing: return onSizing(wParam, reinterpret_cast<RECT*>(lParam));
    case MessageHandler::Move: return onMove(lLow, lHigh);
    case MessageHandler::Moving: return onMoving(wParam, reinterpret_cast<RECT*>(lParam));
    case MessageHandler::Notify: return onNotify(wParam, reinterpret_cast<NMHDR*>(lParam), result);
    case MessageHandler::ParentNotify: return onParentNotify(wLow, wHigh, lParam);
    case MessageHandler::UserMessage: return onUserMessage(message, wParam, lParam);
    case MessageHandler::GetDlgCode: return onGetDlgCode(reinterpret_cast<MSG*>(lParam), result);
    }
    return 0;
}

LRESULT WindowBase::finishMessage(int notHandled, LRESULT result, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (notHandled)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    return result;
}

int WindowBase::preDispatch(UINT, WPARAM, LPARAM, LRESULT&) { return 0; }
int WindowBase::onInitDialog(LRESULT&) { return 0; }
int WindowBase::onNcCreate(CREATESTRUCTA*) { return 0; }
int WindowBase::onCreate(CREATESTRUCTA*) { return 0; }
int WindowBase::onClose() { return 0; }
int WindowBase::onNcDestroy() { return 0; }
int WindowBase::onDestroy() { return 1; }
int WindowBase::onEndSession(WPARAM) { return 0; }
int WindowBase::onInitMenu(HMENU) { return 0; }
int WindowBase::onInitMenuPopup(HMENU, unsigned, unsigned) { return 0; }
int WindowBase::onMenuSelect(unsigned, unsigned, HMENU) { return 0; }
int WindowBase::onContextMenu(HWND, unsigned, unsigned) { return 0; }
int WindowBase::onSysChar(WPARAM, LPARAM) { return 0; }
int WindowBase::onSysKeyUp(WPARAM, LPARAM) { return 0; }
int WindowBase::onSysKeyDown(WPARAM, LPARAM) { return 0; }
int WindowBase::onSysCommand(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onWindowPosChanging(WINDOWPOS*) { return 0; }
int WindowBase::onWindowPosChanged(WINDOWPOS*) { return 0; }
int WindowBase::onDropFiles(HDROP) { return 0; }
int WindowBase::onTimer(WPARAM) { return 0; }
int WindowBase::onCommand(unsigned, unsigned, HWND) { return 0; }
int WindowBase::onNcActivate(WPARAM, LPARAM) { return 0; }
int WindowBase::onActivate(unsigned, HWND, unsigned) { return 0; }
int WindowBase::onActivateApp(WPARAM, LPARAM) { return 0; }
int WindowBase::onChildActivate() { return 0; }
int WindowBase::onEnterIdle(WPARAM, LPARAM) { return 0; }
int WindowBase::onKillFocus(HWND) { return 0; }
int WindowBase::onSetFocus(HWND) { return 0; }
int WindowBase::onShowWindow(WPARAM, LPARAM) { return 0; }
int WindowBase::onMouseActivate(HWND, unsigned, unsigned, LRESULT&) { return 0; }
int WindowBase::onNcMouseMove(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onNcMButtonDblClk(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onNcMButtonUp(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onNcMButtonDown(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onNcLButtonDblClk(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onNcLButtonUp(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onNcLButtonDown(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onNcRButtonDblClk(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onNcRButtonUp(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onNcRButtonDown(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onMouseMove(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onMButtonDblClk(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onMButtonUp(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onMButtonDown(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onLButtonDblClk(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onLButtonUp(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onLButtonDown(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onRButtonDblClk(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onRButtonUp(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onRButtonDown(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onSetCursor(HWND, unsigned, unsigned) { return 0; }
int WindowBase::onMouseWheel(unsigned, unsigned, unsigned, unsigned) { return 0; }
int WindowBase::onCaptureChanged(HWND) { return 0; }
int WindowBase::onMouseLeave() { return 0; }
int WindowBase::onMouseHover() { return 0; }
int WindowBase::onNcHitTest(unsigned, unsigned, LRESULT&) { return 0; }
int WindowBase::onKeyUp(WPARAM, LPARAM) { return 0; }
int WindowBase::onKeyDown(WPARAM, LPARAM) { return 0; }
int WindowBase::onChar(WPARAM, LPARAM) { return 0; }
int WindowBase::onHotKey(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onNcPaint() { return 0; }
int WindowBase::onPaint() { return 0; }
int WindowBase::onEraseBkgnd(HDC, LRESULT&) { return 0; }
int WindowBase::onMeasureItem(MEASUREITEMSTRUCT*) { return 0; }
int WindowBase::onDrawItem(DRAWITEMSTRUCT*) { return 0; }
int WindowBase::onVScroll(unsigned, unsigned, HWND) { return 0; }
int WindowBase::onHScroll(unsigned, unsigned, HWND) { return 0; }
int WindowBase::onSize(WPARAM, unsigned, unsigned) { return 0; }
int WindowBase::onSizing(WPARAM, RECT*) { return 0; }
int WindowBase::onMove(unsigned, unsigned) { return 0; }
int WindowBase::onMoving(WPARAM, RECT*) { return 0; }
int WindowBase::onNotify(WPARAM, NMHDR*, LRESULT&) { return 0; }
int WindowBase::onParentNotify(unsigned, unsigned, LPARAM) { return 0; }
int WindowBase::onUserMessage(UINT, WPARAM, LPARAM) { return 0; }
int WindowBase::onGetDlgCode(MSG*, LRESULT&) { return 0; }
