// The dispatcher reached through real windows: operations on a window, its
// child, its controls and a dialog make the platform send its own messages,
// and each reaches the handler named for it with arguments that agree with
// what the platform reports; then the three ways a message is finished.

#include <gtest/gtest.h>

#include <windows.h>
// WC_LISTVIEWA and the list view messages.
#include <commctrl.h>
// DROPFILES.
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "framework/control_window.h"
#include "framework/dialog_base.h"
#include "framework/window_base.h"
#include "tests/framework_win/recorder.h"
#include "tests/framework_win/test_resources.h"
#include "tests/framework_win/window_test_support.h"

namespace {

using Args = std::vector<uint64_t>;
using H = MessageHandler;

// A handler call a step must cause on one recorder, with arguments for which
// holds() is true; holds() runs during the call, while pointers are valid.
struct Expect {
    const void* on;
    MessageHandler handler;
    std::function<bool(const Args&)> holds;
};

struct Step {
    const char* what;
    std::function<void()> act;
    std::vector<Expect> expects;
};

constexpr int kChildId = 21, kSpareId = 22, kButtonId = 23, kDrawnId = 24, kListId = 25, kListViewId = 26,
              kHBarId = 27, kVBarId = 28;

// A coordinate as handlers receive it: its 16 bits, zero-extended.
uint64_t half(LONG value)
{
    return static_cast<uint16_t>(value);
}

void CALLBACK endMenu(HWND, UINT, UINT_PTR, DWORD)
{
    EndMenu();
}

POINT onScreen(HWND window, int x, int y)
{
    POINT p{x, y};
    ClientToScreen(window, &p);
    return p;
}

// A top-level window of another thread, for activation between threads.
class ForeignWindow {
public:
    ForeignWindow()
        : thread_([this] {
              HWND made = CreateWindowExA(0, "STATIC", "foreign", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 300, 120,
                                          80, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
              threadId_ = GetCurrentThreadId();
              hwnd = made;
              ready_ = true;
              MSG message;
              while (GetMessageA(&message, nullptr, 0, 0) > 0)
                  DispatchMessageA(&message);
              DestroyWindow(made);
          })
    {
        while (!ready_)
            Sleep(1);
    }
    ~ForeignWindow()
    {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    std::atomic<HWND> hwnd{nullptr};

private:
    std::atomic<DWORD> threadId_{0};
    std::atomic<bool> ready_{false};
    std::thread thread_;
};

// A window with a child of the same class, both recording; the child's
// unhandled messages reach DefWindowProcA, which hands some to the parent.
class RealMessagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Partly left of the screen, so that screen coordinates come out
        // negative; topmost, so that windows of other suites on the same
        // desktop do not come between it and the pointer.
        ASSERT_TRUE(window.createWindow(WS_EX_TOPMOST, testWindowClass(), "dispatch", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                        -40, 20, 320, 240, nullptr, nullptr));
        ASSERT_TRUE(child.createWindow(0, testWindowClass(), "child", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP,
                                       4, 6, 80, 50, window.hwnd, reinterpret_cast<HMENU>(kChildId)));
        ASSERT_TRUE(other.createWindow(0, testWindowClass(), "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 20, 120,
                                       80, nullptr, nullptr));
        SetActiveWindow(window.hwnd);
        pumpPending();
        window.onRecord = [this](const HandlerCall& call) { saw(&window, call); };
        child.onRecord = [this](const HandlerCall& call) { saw(&child, call); };
        spare.onRecord = [this](const HandlerCall& call) { saw(&spare, call); };
        dialog.onRecord = [this](const HandlerCall& call) { saw(&dialog, call); };
    }
    void TearDown() override
    {
        for (HWND w : {window.hwnd, other.hwnd})
            if (IsWindow(w))
                DestroyWindow(w);
    }
    HWND control(const char* className, DWORD style, int id, int x, int y)
    {
        return CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | style, x, y, 60, 30, window.hwnd,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    }
    void saw(const void* on, const HandlerCall& call)
    {
        for (size_t i = 0; i < expects.size(); ++i)
            if (!met[i] && expects[i].on == on && expects[i].handler == call.handler && expects[i].holds(call.args))
                met[i] = true;
    }

    Recorder<WindowBase> window;
    Recorder<WindowBase> child;
    Recorder<WindowBase> spare;
    Recorder<DialogBase> dialog;
    WindowBase other;
    std::vector<Expect> expects;   // of the running step
    std::vector<bool> met;
};

TEST_F(RealMessagesTest, ReachTheirHandlersWithWhatThePlatformReports)
{
    const auto any = [](const Args&) { return true; };
    HWND button = nullptr, drawn = nullptr, listView = nullptr, hBar = nullptr, vBar = nullptr;
    HMENU menu = nullptr;
    POINT point = {};   // a point of the running step, in screen coordinates
    RECT frame = {};
    LRESULT hit = 0;    // the child's own answer to a hit test at point
    bool switchedBack = false;
    const char* const droppedPath = "C:\\pictures\\a.png";
    const auto createdSpare = [&](const Args& a) {
        const auto* create = reinterpret_cast<CREATESTRUCTA*>(a[0]);
        return std::strcmp(create->lpszName, "spare") == 0 && create->cx == 30 && create->hwndParent == window.hwnd;
    };
    const auto childPlaced = [&](const Args& a) {
        const auto* position = reinterpret_cast<WINDOWPOS*>(a[0]);
        return position->hwnd == child.hwnd && position->x == 12 && position->y == 9 && position->cx == 90 &&
               position->cy == 60;
    };
    // The point as the child's mouse handlers receive it, with keys down.
    const auto inChild = [&](WPARAM keys) {
        return [&, keys](const Args& a) {
            POINT client = point;
            ScreenToClient(child.hwnd, &client);
            return a == Args{keys, half(client.x), half(client.y)};
        };
    };
    // The point, with the child's own hit test answer, as its non-client mouse handlers receive it.
    const auto ncAtPoint = [&](const Args& a) { return a == Args{uint64_t(hit), half(point.x), half(point.y)}; };
    const auto fromListView = [&](UINT code) {
        return [&, code](const Args& a) {
            const auto* header = reinterpret_cast<NMHDR*>(a[1]);
            return a[0] == kListViewId && header->hwndFrom == listView && header->idFrom == kListViewId &&
                   header->code == code;
        };
    };
    const auto menuAtPoint = [&](const Args& a) { return a == Args{arg(child.hwnd), half(point.x), half(point.y)}; };

    const Step steps[] = {
        {"a second child is created",
         [&] {
             ASSERT_TRUE(spare.createWindow(0, testWindowClass(), "spare", WS_CHILD, 100, 10, 30, 20, window.hwnd,
                                            reinterpret_cast<HMENU>(kSpareId)));
         },
         {{&spare, H::NcCreate, createdSpare},
          {&spare, H::Create, createdSpare},
          {&window, H::ParentNotify, [&](const Args& a) { return a == Args{WM_CREATE, kSpareId, arg(spare.hwnd)}; }}}},
        {"the second child is closed from its system menu", [&] { spare.send(WM_SYSCOMMAND, SC_CLOSE, 0); },
         {{&spare, H::SysCommand, [](const Args& a) { return (a[0] & 0xFFF0) == SC_CLOSE; }},
          {&spare, H::Close, any},
          {&spare, H::Destroy, any},
          {&spare, H::NcDestroy, any},
          {&window, H::ParentNotify,
           [&](const Args& a) { return a == Args{WM_DESTROY, kSpareId, arg(spare.hwnd)}; }}}},
        {"a dialog opens",
         [&] {
             ASSERT_TRUE(dialog.createModeless(IDD_PLAIN, window.hwnd));
             DestroyWindow(dialog.hwnd);
         },
         {{&dialog, H::InitDialog, [&](const Args&) { return GetDlgItem(dialog.hwnd, IDC_EDIT) != nullptr; }}}},
        {"the child is moved and resized", [&] { SetWindowPos(child.hwnd, nullptr, 12, 9, 90, 60, SWP_NOZORDER); },
         {{&child, H::WindowPosChanging, childPlaced},
          {&child, H::WindowPosChanged, childPlaced},
          {&child, H::Size,
           [&](const Args& a) {
               const RECT client = child.clientRect();
               return a == Args{SIZE_RESTORED, uint64_t(client.right), uint64_t(client.bottom)};
           }},
          {&child, H::Move,
           [&](const Args& a) {
               POINT origin = {0, 0};
               MapWindowPoints(child.hwnd, window.hwnd, &origin, 1);
               return a == Args{half(origin.x), half(origin.y)};
           }},
          {&child, H::ChildActivate, any}}},
        {"the child is hidden and shown",
         [&] {
             ShowWindow(child.hwnd, SW_HIDE);
             ShowWindow(child.hwnd, SW_SHOW);
         },
         {{&child, H::ShowWindow, [](const Args& a) { return a == Args{FALSE, 0}; }},
          {&child, H::ShowWindow, [](const Args& a) { return a == Args{TRUE, 0}; }}}},
        {"the child is repainted with its frame",
         [&] { RedrawWindow(child.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW); },
         {{&child, H::NcPaint, any},
          {&child, H::EraseBkgnd,
           [&](const Args& a) { return WindowFromDC(reinterpret_cast<HDC>(a[0])) == child.hwnd; }},
          {&child, H::Paint, any}}},
        {"keys are typed into the child",
         [&] {
             child.handled = 1;   // keeps the default processing (menu mode on Alt) out
             PostMessageA(child.hwnd, WM_KEYDOWN, 'Q', 0x00100001);
             PostMessageA(child.hwnd, WM_KEYUP, 'Q', 0xC0100001);
             PostMessageA(child.hwnd, WM_SYSKEYDOWN, 'X', 0x202D0001);
             PostMessageA(child.hwnd, WM_SYSKEYUP, 'X', 0xE02D0001);
         },
         {{&child, H::KeyDown, [](const Args& a) { return a == Args{'Q', 0x00100001}; }},
          {&child, H::Char, [](const Args& a) { return a[0] == 'q'; }},   // made by TranslateMessage
          {&child, H::KeyUp, [](const Args& a) { return a == Args{'Q', 0xC0100001}; }},
          {&child, H::SysKeyDown, [](const Args& a) { return a == Args{'X', 0x202D0001}; }},
          {&child, H::SysChar, [](const Args& a) { return a[0] == 'x'; }},
          {&child, H::SysKeyUp, [](const Args& a) { return a == Args{'X', 0xE02D0001}; }}}},
        {"a button is clicked",
         [&] {
             button = control("BUTTON", BS_PUSHBUTTON, kButtonId, 150, 10);
             SendMessageA(button, BM_CLICK, 0, 0);
         },
         {{&window, H::Command, [&](const Args& a) { return a == Args{kButtonId, BN_CLICKED, arg(button)}; }}}},
        {"owner-drawn controls are measured and drawn",
         [&] {
             drawn = control("BUTTON", BS_OWNERDRAW, kDrawnId, 150, 50);
             UpdateWindow(drawn);
             control("LISTBOX", LBS_OWNERDRAWFIXED, kListId, 220, 50);
         },
         {{&window, H::DrawItem,
           [&](const Args& a) {
               const auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(a[0]);
               return item->CtlType == ODT_BUTTON && item->CtlID == kDrawnId && item->hwndItem == drawn;
           }},
          {&window, H::MeasureItem,
           [](const Args& a) {
               const auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(a[0]);
               return item->CtlType == ODT_LISTBOX && item->CtlID == kListId;
           }}}},
        {"a list view reports a new row, then asks before selecting it",
         [&] {
             listView = control(WC_LISTVIEWA, LVS_REPORT, kListViewId, 150, 90);
             LVITEMA item = {};
             item.mask = LVIF_TEXT;
             item.pszText = const_cast<char*>("row");
             SendMessageA(listView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
             window.handled = 1;
             window.resultToSet = TRUE;   // the window's answer refuses the change
             LVITEMA selected = {};
             selected.stateMask = selected.state = LVIS_SELECTED;
             SendMessageA(listView, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&selected));
             EXPECT_EQ(SendMessageA(listView, LVM_GETITEMSTATE, 0, LVIS_SELECTED), 0);
         },
         {{&window, H::Notify, fromListView(LVN_INSERTITEM)}, {&window, H::Notify, fromListView(LVN_ITEMCHANGING)}}},
        {"arrow keys move scroll bars",
         [&] {
             hBar = control("SCROLLBAR", SBS_HORZ, kHBarId, 150, 130);
             vBar = control("SCROLLBAR", SBS_VERT, kVBarId, 220, 130);
             for (HWND bar : {hBar, vBar})
                 SetScrollRange(bar, SB_CTL, 0, 10, FALSE);
             SendMessageA(hBar, WM_KEYDOWN, VK_RIGHT, 0);
             SendMessageA(vBar, WM_KEYDOWN, VK_DOWN, 0);
         },
         {{&window, H::HScroll, [&](const Args& a) { return a[0] == SB_LINEDOWN && a[2] == arg(hBar); }},
          {&window, H::VScroll, [&](const Args& a) { return a[0] == SB_LINEDOWN && a[2] == arg(vBar); }}}},
        {"the focus moves from the window to the child",
         [&] {
             SetFocus(window.hwnd);
             SetFocus(child.hwnd);
         },
         {{&window, H::KillFocus, [&](const Args& a) { return a[0] == arg(child.hwnd); }},
          {&child, H::SetFocus, [&](const Args& a) { return a[0] == arg(window.hwnd); }}}},
        {"another window is activated, then the window again",
         [&] {
             SetActiveWindow(other.hwnd);
             switchedBack = true;
             SetActiveWindow(window.hwnd);
         },
         {{&window, H::NcActivate, [](const Args& a) { return a[0] == FALSE; }},
          {&window, H::Activate, [&](const Args& a) { return a == Args{WA_INACTIVE, arg(other.hwnd), 0}; }},
          // Drawn as active again only while its program has the foreground.
          {&window, H::NcActivate,
           [&](const Args& a) { return switchedBack && a[0] == BOOL(GetForegroundWindow() == window.hwnd); }},
          {&window, H::Activate, [&](const Args& a) { return a == Args{WA_ACTIVE, arg(other.hwnd), 0}; }}}},
        {"a window of another thread takes the foreground and gives it back",
         [&] {
             ForeignWindow foreign;
             window.clear();
             const auto told = [&](BOOL active) {
                 return std::any_of(window.calls.begin(), window.calls.end(), [&](const HandlerCall& call) {
                     return call.handler == H::ActivateApp && call.args[0] == uint64_t(active);
                 });
             };
             // Other programs on the desktop may take the foreground meanwhile: retried.
             for (int attempt = 0; attempt < 5 && !(told(FALSE) && told(TRUE)); ++attempt) {
                 SetForegroundWindow(foreign.hwnd);
                 pumpUntil([&] { return told(FALSE); }, 1000);
                 SetForegroundWindow(window.hwnd);
                 pumpUntil([&] { return told(TRUE); }, 1000);
             }
         },
         {{&window, H::ActivateApp, [](const Args& a) { return a[0] == FALSE; }},
          {&window, H::ActivateApp, [](const Args& a) { return a[0] == TRUE; }}}},
        {"a timer of the child fires",
         [&] {
             SetTimer(child.hwnd, 42, 10, nullptr);
             pumpUntil([&] { return child.countOf(H::Timer) > 0; }, 3000);
             KillTimer(child.hwnd, 42);
         },
         {{&child, H::Timer, [](const Args& a) { return a[0] == 42; }}}},
        {"the mouse capture passes from the child to the window",
         [&] {
             SetCapture(child.hwnd);
             SetCapture(window.hwnd);
             ReleaseCapture();
         },
         {{&child, H::CaptureChanged, [&](const Args& a) { return a[0] == arg(window.hwnd); }},
          {&window, H::CaptureChanged, [](const Args& a) { return a[0] == 0; }}}},
        {"a popup menu opens and is dismissed",
         [&] {
             menu = CreatePopupMenu();
             AppendMenuA(menu, MF_STRING, 100, "item");
             const UINT_PTR closer = SetTimer(nullptr, 0, 100, endMenu);
             TrackPopupMenu(menu, TPM_RETURNCMD, 100, 100, 0, window.hwnd, nullptr);
             KillTimer(nullptr, closer);
             DestroyMenu(menu);
         },
         {{&window, H::InitMenu, [&](const Args& a) { return a[0] == arg(menu); }},
          {&window, H::InitMenuPopup, [&](const Args& a) { return a == Args{arg(menu), 0, FALSE}; }},
          {&window, H::EnterIdle, [](const Args& a) { return a[0] == MSGF_MENU; }},
          {&window, H::MenuSelect, [](const Args& a) { return a[1] == 0xFFFF && a[2] == 0; }}}},
        {"the right button is released over a part of the child left of the screen",
         [&] {
             point = onScreen(child.hwnd, 3, 4);
             ASSERT_LT(point.x, 0);
             child.send(WM_RBUTTONUP, 0, MAKELPARAM(3, 4));
         },
         {{&child, H::RButtonUp, [](const Args& a) { return a == Args{0, 3, 4}; }},
          // The platform's default asks the child, then the window, for a context menu.
          {&child, H::ContextMenu, menuAtPoint},
          {&window, H::ContextMenu, menuAtPoint}}},
        {"the wheel turned over the child reaches the window",
         [&] {
             point = onScreen(child.hwnd, 5, 6);
             child.send(WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, -WHEEL_DELTA), MAKELPARAM(point.x, point.y));
         },
         {{&window, H::MouseWheel,
           [&](const Args& a) {
               return a == Args{MK_CONTROL, half(-WHEEL_DELTA), half(point.x), half(point.y)};
           }}}},
        {"the child is hit-tested and asked for a cursor",
         [&] {
             point = onScreen(child.hwnd, 5, 6);
             hit = child.send(WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
             EXPECT_EQ(hit, HTCLIENT);
             child.send(WM_SETCURSOR, reinterpret_cast<WPARAM>(child.hwnd), MAKELPARAM(hit, WM_MOUSEMOVE));
         },
         {{&child, H::NcHitTest, [&](const Args& a) { return a == Args{half(point.x), half(point.y)}; }},
          {&window, H::SetCursor, [&](const Args& a) { return a == Args{arg(child.hwnd), HTCLIENT, WM_MOUSEMOVE}; }}}},
        {"the window decides whether a click in the child activates",
         [&] {
             window.handled = 1;
             window.resultToSet = MA_NOACTIVATE;
             EXPECT_EQ(child.send(WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(window.hwnd),
                                  MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
                       MA_NOACTIVATE);
         },
         {{&window, H::MouseActivate,
           [&](const Args& a) { return a == Args{arg(window.hwnd), HTCLIENT, WM_LBUTTONDOWN}; }}}},
        {"mouse buttons in the child",
         [&] {
             point = onScreen(child.hwnd, 7, 8);
             const LPARAM at = MAKELPARAM(7, 8);
             for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_MBUTTONDOWN,
                                  WM_MBUTTONUP, WM_MBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK})
                 child.send(message, MK_SHIFT, at);
         },
         {{&child, H::MouseMove, inChild(MK_SHIFT)},
          {&child, H::LButtonDown, inChild(MK_SHIFT)},
          {&child, H::LButtonUp, inChild(MK_SHIFT)},
          {&child, H::LButtonDblClk, inChild(MK_SHIFT)},
          {&child, H::MButtonDown, inChild(MK_SHIFT)},
          {&child, H::MButtonUp, inChild(MK_SHIFT)},
          {&child, H::MButtonDblClk, inChild(MK_SHIFT)},
          {&child, H::RButtonDown, inChild(MK_SHIFT)},
          {&child, H::RButtonDblClk, inChild(MK_SHIFT)}}},
        {"mouse buttons on the child's border",
         [&] {
             const RECT edges = child.windowRect();
             point = {edges.left, edges.top + 10};
             hit = child.send(WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
             EXPECT_EQ(hit, HTBORDER);
             for (UINT message : {WM_NCMOUSEMOVE, WM_NCLBUTTONDOWN, WM_NCLBUTTONUP, WM_NCLBUTTONDBLCLK,
                                  WM_NCMBUTTONDOWN, WM_NCMBUTTONUP, WM_NCMBUTTONDBLCLK, WM_NCRBUTTONDOWN,
                                  WM_NCRBUTTONUP, WM_NCRBUTTONDBLCLK})
                 child.send(message, hit, MAKELPARAM(point.x, point.y));
         },
         {{&child, H::NcMouseMove, ncAtPoint},
          {&child, H::NcLButtonDown, ncAtPoint},
          {&child, H::NcLButtonUp, ncAtPoint},
          {&child, H::NcLButtonDblClk, ncAtPoint},
          {&child, H::NcMButtonDown, ncAtPoint},
          {&child, H::NcMButtonUp, ncAtPoint},
          {&child, H::NcMButtonDblClk, ncAtPoint},
          {&child, H::NcRButtonDown, ncAtPoint},
          {&child, H::NcRButtonUp, ncAtPoint},
          {&child, H::NcRButtonDblClk, ncAtPoint}}},
        {"a file is dropped on the child",
         [&] {
             HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + 64);
             auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
             drop->pFiles = sizeof(DROPFILES);
             std::strcpy(reinterpret_cast<char*>(drop + 1), droppedPath);
             GlobalUnlock(memory);
             child.send(WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
             GlobalFree(memory);
         },
         {{&child, H::DropFiles,
           [&](const Args& a) {
               char path[MAX_PATH] = {};
               DragQueryFileA(reinterpret_cast<HDROP>(a[0]), 0, path, MAX_PATH);
               return std::strcmp(path, droppedPath) == 0;
           }}}},
        {"the pointer rests on the child, then leaves it",
         [&] {
             point = onScreen(child.hwnd, 60, 20);
             // Tracking ends whenever the pointer leaves; retried so that a window
             // of another program crossing the point does not matter.
             pumpUntil([&] {
                 SetCursorPos(point.x, point.y);
                 TRACKMOUSEEVENT track = {sizeof track, TME_HOVER | TME_LEAVE, child.hwnd, 1};
                 TrackMouseEvent(&track);
                 return pumpUntil([&] { return child.countOf(H::MouseHover) > 0; }, 200);
             }, 5000);
             SetCursorPos(point.x + 400, point.y + 400);
         },
         {{&child, H::MouseHover, any}, {&child, H::MouseLeave, any}}},
        {"the window as a dialog asks the child which keys it wants",
         [&] {
             child.handled = 1;
             child.resultToSet = DLGC_WANTTAB;
             MSG tab = {};
             tab.hwnd = child.hwnd;
             tab.message = WM_KEYDOWN;
             tab.wParam = VK_TAB;
             IsDialogMessageA(window.hwnd, &tab);
         },
         {{&child, H::GetDlgCode,
           [&](const Args& a) {
               const auto* message = reinterpret_cast<MSG*>(a[0]);
               return message->hwnd == child.hwnd && message->wParam == VK_TAB;
           }},
          // Wanted, the tab goes to the child instead of moving the focus.
          {&child, H::KeyDown, [](const Args& a) { return a[0] == VK_TAB; }}}},
        {"the session ends, a hot key is pressed, private messages arrive",
         [&] {
             window.send(WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
             window.send(WM_HOTKEY, 9, MAKELPARAM(MOD_CONTROL | MOD_ALT, 'K'));
             PostMessageA(window.hwnd, WM_USER, 11, 22);
             PostMessageA(window.hwnd, 0x7FFF, 33, 44);
         },
         {{&window, H::EndSession, [](const Args& a) { return a[0] == TRUE; }},
          {&window, H::HotKey, [](const Args& a) { return a == Args{9, MOD_CONTROL | MOD_ALT, 'K'}; }},
          {&window, H::UserMessage, [](const Args& a) { return a == Args{WM_USER, 11, 22}; }},
          {&window, H::UserMessage, [](const Args& a) { return a == Args{0x7FFF, 33, 44}; }}}},
        // Sent as the platform's sizing and moving loops send them: those loops
        // end whenever another program takes the foreground.
        {"the window's frame is dragged",
         [&] {
             frame = window.windowRect();
             window.send(WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&frame));
             window.send(WM_MOVING, 0, reinterpret_cast<LPARAM>(&frame));
         },
         {{&window, H::Sizing, [&](const Args& a) { return a == Args{WMSZ_BOTTOMRIGHT, arg(&frame)}; }},
          {&window, H::Moving, [&](const Args& a) { return a == Args{0, arg(&frame)}; }}}},
    };

    std::vector<bool> reached(static_cast<size_t>(H::GetDlgCode) + 1, false);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        expects = step.expects;
        met.assign(expects.size(), false);
        step.act();
        pumpUntil([&] { return std::count(met.begin(), met.end(), false) == 0; }, 3000);
        for (size_t i = 0; i < expects.size(); ++i) {
            EXPECT_TRUE(met[i]) << "expectation " << i << ", handler " << int(expects[i].handler);
            if (met[i])
                reached[static_cast<size_t>(expects[i].handler)] = true;
        }
        expects.clear();
        window.handled = child.handled = 0;
        window.resultToSet = child.resultToSet = 0x5A;
    }
    for (size_t h = 1; h < reached.size(); ++h)
        EXPECT_TRUE(reached[h]) << "no real message reached handler " << h;
}

class PlainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.createWindow(0, testWindowClass(), "dispatch", WS_OVERLAPPEDWINDOW, 10, 10, 200, 150,
                                        nullptr, nullptr));
        window.clear();
    }
    void TearDown() override
    {
        window.handled = 0;
        if (IsWindow(window.hwnd))
            DestroyWindow(window.hwnd);
    }
    Recorder<WindowBase> window;
};

TEST_F(PlainWindowTest, UnhandledMessagesGoToDefWindowProc)
{
    // WM_CLOSE not handled: the platform's default destroys the window.
    SendMessageA(window.hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(window.countOf(MessageHandler::Close), 1);
    EXPECT_FALSE(IsWindow(window.hwnd));
}

TEST_F(PlainWindowTest, HandledMessagesSkipDefWindowProc)
{
    window.handled = 1;
    SendMessageA(window.hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window.hwnd));
    // The hit test answers with the handler's result instead of the default.
    window.resultToSet = HTCAPTION;
    RECT r = window.windowRect();
    EXPECT_EQ(SendMessageA(window.hwnd, WM_NCHITTEST, 0, MAKELPARAM(r.left + 50, r.top + 60)), HTCAPTION);
    window.handled = 0;
    EXPECT_EQ(SendMessageA(window.hwnd, WM_NCHITTEST, 0, MAKELPARAM(r.left + 50, r.top + 60)), HTCLIENT);
}

// Records how each message was finished.
class FinishRecorder : public WindowBase {
public:
    struct Finish {
        UINT message;
        int notHandled;
    };
    std::vector<Finish> finishes;
    int userCalls = 0;
    int preDispatchAnswer = 0;
    int closeCalls = 0;

    LRESULT finishMessage(int notHandled, LRESULT result, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        finishes.push_back(Finish{message, notHandled});
        return WindowBase::finishMessage(notHandled, result, message, wParam, lParam);
    }
    int preDispatch(UINT message, WPARAM, LPARAM, LRESULT& result) override
    {
        if (message == WM_CLOSE && preDispatchAnswer) {
            result = 0x77;
            return 1;
        }
        return 0;
    }
    int onUserMessage(UINT, WPARAM, LPARAM) override { return ++userCalls, 1; }
    int onClose() override { return ++closeCalls, 1; }

    int lastNotHandled(UINT message) const
    {
        for (auto it = finishes.rbegin(); it != finishes.rend(); ++it) {
            if (it->message == message)
                return it->notHandled;
        }
        return -1;
    }
};

class FinishTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.createWindow(0, testWindowClass(), "finish", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                        nullptr, nullptr));
    }
    void TearDown() override
    {
        if (IsWindow(window.hwnd))
            DestroyWindow(window.hwnd);
    }
    FinishRecorder window;
};

TEST_F(FinishTest, RoutedRangeWithoutHandlerIsNotHandled)
{
    SendMessageA(window.hwnd, WM_DEADCHAR, 'a', 0);
    EXPECT_EQ(window.lastNotHandled(WM_DEADCHAR), 1);
    // WM_SETTEXT (in a routed range, no handler) is done by DefWindowProcA.
    SendMessageA(window.hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("new title"));
    EXPECT_EQ(window.lastNotHandled(WM_SETTEXT), 1);
    EXPECT_EQ(windowText(window.hwnd), "new title");
}

TEST_F(FinishTest, UserRangeReachesOnUserMessageButAppRangeDoesNot)
{
    SendMessageA(window.hwnd, WM_USER + 100, 0, 0);
    EXPECT_EQ(window.userCalls, 1);
    EXPECT_EQ(window.lastNotHandled(WM_USER + 100), 0);
    SendMessageA(window.hwnd, 0x7FFF, 0, 0);
    EXPECT_EQ(window.userCalls, 2);
    SendMessageA(window.hwnd, WM_APP, 0, 0);
    SendMessageA(window.hwnd, WM_APP + 5, 0, 0);
    const UINT registered = RegisterWindowMessageA("TolvarinxTestMessage");
    SendMessageA(window.hwnd, registered, 0, 0);
    SendMessageA(window.hwnd, WM_NULL, 0, 0);
    EXPECT_EQ(window.userCalls, 2);
    EXPECT_EQ(window.lastNotHandled(WM_APP), 1);
    EXPECT_EQ(window.lastNotHandled(WM_APP + 5), 1);
    EXPECT_EQ(window.lastNotHandled(registered), 1);
    EXPECT_EQ(window.lastNotHandled(WM_NULL), 1);
}

TEST_F(FinishTest, PreDispatchCanTakeAMessage)
{
    window.preDispatchAnswer = 1;
    window.finishes.clear();
    EXPECT_EQ(SendMessageA(window.hwnd, WM_CLOSE, 0, 0), 0x77);
    EXPECT_EQ(window.closeCalls, 0);
    EXPECT_EQ(window.lastNotHandled(WM_CLOSE), -1);  // not finished at all
    window.preDispatchAnswer = 0;
    SendMessageA(window.hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(window.closeCalls, 1);
}

TEST_F(FinishTest, DestroyIsHandledByDefault)
{
    DestroyWindow(window.hwnd);
    EXPECT_EQ(window.lastNotHandled(WM_DESTROY), 0);
    EXPECT_EQ(window.lastNotHandled(WM_NCDESTROY), 1);
}

TEST(WindowCreation, BindsFromCreationAndSeesRealMessages)
{
    Recorder<WindowBase> window;
    ASSERT_TRUE(window.createWindow(WS_EX_TOOLWINDOW, testWindowClass(), "created", WS_OVERLAPPEDWINDOW, 30, 40,
                                    300, 200, nullptr, nullptr));
    WindowGuard guard(window.hwnd);
    ASSERT_NE(window.hwnd, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(window.hwnd, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&window));
    ASSERT_GE(window.calls.size(), 2u);
    EXPECT_EQ(window.calls[0].handler, MessageHandler::NcCreate);
    EXPECT_EQ(window.countOf(MessageHandler::Create), 1);
    for (const HandlerCall& call : window.calls) {
        if (call.handler == MessageHandler::Create || call.handler == MessageHandler::NcCreate) {
            auto* create = reinterpret_cast<CREATESTRUCTA*>(call.args[0]);
            EXPECT_EQ(create->lpCreateParams, &window);
            EXPECT_STREQ(create->lpszName, "created");
            EXPECT_EQ(create->cx, 300);
        }
    }

    // Real size and move messages carry client sizes and positions.
    window.clear();
    SetWindowPos(window.hwnd, nullptr, 0, 0, 320, 240, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    EXPECT_GE(window.countOf(MessageHandler::WindowPosChanging), 1);
    EXPECT_GE(window.countOf(MessageHandler::WindowPosChanged), 1);
    RECT client = window.clientRect();
    bool sawSize = false;
    for (const HandlerCall& call : window.calls) {
        if (call.handler == MessageHandler::Size) {
            sawSize = true;
            EXPECT_EQ(call.args[1], uint64_t(client.right));
            EXPECT_EQ(call.args[2], uint64_t(client.bottom));
        }
    }
    EXPECT_TRUE(sawSize);

    // A posted mouse message left of and above the client area arrives
    // zero-extended.
    window.clear();
    PostMessageA(window.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-1, -300));
    ASSERT_TRUE(pumpUntil([&] { return window.countOf(MessageHandler::LButtonDown) > 0; }));
    for (const HandlerCall& call : window.calls) {
        if (call.handler == MessageHandler::LButtonDown) {
            EXPECT_EQ(call.args, (std::vector<uint64_t>{MK_LBUTTON, 65535, 65236}));
        }
    }

    // A timer of the window arrives at onTimer with its id.
    window.clear();
    SetTimer(window.hwnd, 42, 10, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return window.countOf(MessageHandler::Timer) > 0; }));
    KillTimer(window.hwnd, 42);
    for (const HandlerCall& call : window.calls) {
        if (call.handler == MessageHandler::Timer) {
            EXPECT_EQ(call.args[0], 42u);
        }
    }

    window.clear();
    DestroyWindow(window.hwnd);
    EXPECT_EQ(window.countOf(MessageHandler::Destroy), 1);
    EXPECT_EQ(window.countOf(MessageHandler::NcDestroy), 1);
    // hwnd keeps the stale handle.
    EXPECT_NE(window.hwnd, nullptr);
}

TEST(WindowCreation, UnregisteredClassFails)
{
    WindowBase window;
    EXPECT_FALSE(window.createWindow(0, "NoSuchTolvarinxClass", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr));
    EXPECT_EQ(window.hwnd, nullptr);
}

TEST(WindowCreation, RegisteringAClassTwiceFails)
{
    testWindowClass();
    EXPECT_EQ(WindowBase::registerClass(testWindowClass(), nullptr, nullptr, nullptr, nullptr, nullptr, 0), 0);
    EXPECT_NE(WindowBase::registerClass("TolvarinxTestOther", nullptr, nullptr, LoadCursor(nullptr, IDC_ARROW),
                                        nullptr, nullptr, CS_DBLCLKS),
              0);
    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "TolvarinxTestOther", &info));
    EXPECT_EQ(info.lpfnWndProc, &WindowBase::windowProcedure);
    EXPECT_EQ(info.style, UINT(CS_DBLCLKS));
    EXPECT_EQ(info.cbWndExtra, 0);
}

TEST(WindowCreation, WrappersActOnTheWindow)
{
    WindowBase window;
    ASSERT_TRUE(window.createWindow(0, testWindowClass(), "wrappers", WS_OVERLAPPEDWINDOW, 50, 60, 240, 180,
                                    nullptr, nullptr));
    EXPECT_TRUE(window.setText("renamed"));
    EXPECT_EQ(windowText(window.hwnd), "renamed");
    SIZE size = window.windowSize();
    EXPECT_EQ(size.cx, 240);
    EXPECT_EQ(size.cy, 180);
    SIZE client = window.clientSize();
    EXPECT_GT(client.cx, 0);
    EXPECT_LE(client.cx, 240);
    EXPECT_TRUE(window.move(70, 80));
    RECT r = window.windowRect();
    EXPECT_EQ(r.left, 70);
    EXPECT_EQ(r.top, 80);
    EXPECT_EQ(r.right - r.left, 240);
    window.setWindowLong(GWL_EXSTYLE, window.windowLong(GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
    EXPECT_TRUE(window.windowLong(GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    HICON icon = LoadIcon(nullptr, IDI_APPLICATION);
    window.setIcon(ICON_BIG, icon);
    EXPECT_EQ(reinterpret_cast<HICON>(window.send(WM_GETICON, ICON_BIG)), icon);
    EXPECT_FALSE(IsWindowVisible(window.hwnd));
    window.show(SW_SHOWNA);
    EXPECT_TRUE(IsWindowVisible(window.hwnd));
    window.invalidate();
    RECT update = {};
    EXPECT_TRUE(GetUpdateRect(window.hwnd, &update, FALSE));
    EXPECT_TRUE(window.destroy());
    EXPECT_FALSE(IsWindow(window.hwnd));
}

}  // namespace
