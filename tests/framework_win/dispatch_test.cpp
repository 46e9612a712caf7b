// The dispatcher reached through real windows: every handler by its message,
// arguments unpacked into zero-extended halves, and the three ways a message
// is finished.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/control_window.h"
#include "framework/dialog_base.h"
#include "framework/window_base.h"
#include "tests/framework_win/recorder.h"
#include "tests/framework_win/test_resources.h"
#include "tests/framework_win/window_test_support.h"

namespace {

struct Case {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    MessageHandler handler;
    std::vector<uint64_t> args;
    bool setsResult;
};

// Pointer-carrying messages point at these.
struct Payload {
    CREATESTRUCTA create = {};
    WINDOWPOS position = {};
    MEASUREITEMSTRUCT measure = {};
    DRAWITEMSTRUCT draw = {};
    RECT rect = {};
    NMHDR header = {};
    MSG msg = {};
};

LPARAM packed(int low, int high)
{
    return MAKELPARAM(low, high);
}

template <class T>
LPARAM ptr(T* p)
{
    return reinterpret_cast<LPARAM>(p);
}

std::vector<Case> allCases(Payload& p, void* object)
{
    p.create.lpCreateParams = object;  // windowProcedure binds from it
    const WPARAM hit = HTCAPTION;
    const LPARAM minusOneMinusTwo = packed(-1, -2);
    const WPARAM keys = MK_LBUTTON | MK_SHIFT;
    const LPARAM mouse = packed(-3, 40000);
    return {
        {WM_INITDIALOG, 0x11, 0x22, MessageHandler::InitDialog, {}, true},
        {WM_NCCREATE, 0, ptr(&p.create), MessageHandler::NcCreate, {arg(&p.create)}, false},
        {WM_CREATE, 0, ptr(&p.create), MessageHandler::Create, {arg(&p.create)}, false},
        {WM_CLOSE, 0, 0, MessageHandler::Close, {}, false},
        {WM_NCDESTROY, 0, 0, MessageHandler::NcDestroy, {}, false},
        {WM_DESTROY, 0, 0, MessageHandler::Destroy, {}, false},
        {WM_ENDSESSION, TRUE, LPARAM(ENDSESSION_LOGOFF), MessageHandler::EndSession, {1}, false},
        {WM_INITMENU, 0x1234, 0, MessageHandler::InitMenu, {0x1234}, false},
        {WM_INITMENUPOPUP, 0x2345, packed(3, 1), MessageHandler::InitMenuPopup, {0x2345, 3, 1}, false},
        {WM_MENUSELECT, MAKEWPARAM(0x9001, 0xFFFF), 0x3456, MessageHandler::MenuSelect, {0x9001, 0xFFFF, 0x3456}, false},
        {WM_CONTEXTMENU, 0x4567, packed(-5, 700), MessageHandler::ContextMenu, {0x4567, 65531, 700}, false},
        {WM_SYSCHAR, 'x', 0x20000001, MessageHandler::SysChar, {'x', 0x20000001}, false},
        {WM_SYSKEYUP, VK_F10, LPARAM(0xC0000001u), MessageHandler::SysKeyUp, {VK_F10, 0xC0000001}, false},
        {WM_SYSKEYDOWN, VK_MENU, 0x20000001, MessageHandler::SysKeyDown, {VK_MENU, 0x20000001}, false},
        {WM_SYSCOMMAND, SC_MOVE, packed(10, -20), MessageHandler::SysCommand, {SC_MOVE, 10, 65516}, false},
        {WM_WINDOWPOSCHANGING, 0, ptr(&p.position), MessageHandler::WindowPosChanging, {arg(&p.position)}, false},
        {WM_WINDOWPOSCHANGED, 0, ptr(&p.position), MessageHandler::WindowPosChanged, {arg(&p.position)}, false},
        {WM_DROPFILES, 0x5678, 0, MessageHandler::DropFiles, {0x5678}, false},
        {WM_TIMER, 77, 0, MessageHandler::Timer, {77}, false},
        {WM_COMMAND, MAKEWPARAM(1234, EN_CHANGE), 0x6789, MessageHandler::Command, {1234, EN_CHANGE, 0x6789}, false},
        {WM_NCACTIVATE, TRUE, 0, MessageHandler::NcActivate, {1, 0}, false},
        {WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 1), 0x789A, MessageHandler::Activate, {WA_CLICKACTIVE, 0x789A, 1}, false},
        {WM_ACTIVATEAPP, TRUE, 0x1111, MessageHandler::ActivateApp, {1, 0x1111}, false},
        {WM_CHILDACTIVATE, 0, 0, MessageHandler::ChildActivate, {}, false},
        {WM_ENTERIDLE, MSGF_MENU, 0x2222, MessageHandler::EnterIdle, {MSGF_MENU, 0x2222}, false},
        {WM_KILLFOCUS, 0x3333, 0, MessageHandler::KillFocus, {0x3333}, false},
        {WM_SETFOCUS, 0x4444, 0, MessageHandler::SetFocus, {0x4444}, false},
        {WM_SHOWWINDOW, TRUE, SW_PARENTOPENING, MessageHandler::ShowWindow, {1, SW_PARENTOPENING}, false},
        {WM_MOUSEACTIVATE, 0x5555, packed(HTCLIENT, WM_LBUTTONDOWN), MessageHandler::MouseActivate,
         {0x5555, HTCLIENT, WM_LBUTTONDOWN}, true},
        {WM_NCMOUSEMOVE, hit, minusOneMinusTwo, MessageHandler::NcMouseMove, {hit, 65535, 65534}, false},
        {WM_NCMBUTTONDBLCLK, hit, minusOneMinusTwo, MessageHandler::NcMButtonDblClk, {hit, 65535, 65534}, false},
        {WM_NCMBUTTONUP, hit, minusOneMinusTwo, MessageHandler::NcMButtonUp, {hit, 65535, 65534}, false},
        {WM_NCMBUTTONDOWN, hit, minusOneMinusTwo, MessageHandler::NcMButtonDown, {hit, 65535, 65534}, false},
        {WM_NCLBUTTONDBLCLK, hit, minusOneMinusTwo, MessageHandler::NcLButtonDblClk, {hit, 65535, 65534}, false},
        {WM_NCLBUTTONUP, hit, minusOneMinusTwo, MessageHandler::NcLButtonUp, {hit, 65535, 65534}, false},
        {WM_NCLBUTTONDOWN, hit, minusOneMinusTwo, MessageHandler::NcLButtonDown, {hit, 65535, 65534}, false},
        {WM_NCRBUTTONDBLCLK, hit, minusOneMinusTwo, MessageHandler::NcRButtonDblClk, {hit, 65535, 65534}, false},
        {WM_NCRBUTTONUP, hit, minusOneMinusTwo, MessageHandler::NcRButtonUp, {hit, 65535, 65534}, false},
        {WM_NCRBUTTONDOWN, hit, minusOneMinusTwo, MessageHandler::NcRButtonDown, {hit, 65535, 65534}, false},
        {WM_MOUSEMOVE, keys, mouse, MessageHandler::MouseMove, {keys, 65533, 40000}, false},
        {WM_MBUTTONDBLCLK, keys, mouse, MessageHandler::MButtonDblClk, {keys, 65533, 40000}, false},
        {WM_MBUTTONUP, keys, mouse, MessageHandler::MButtonUp, {keys, 65533, 40000}, false},
        {WM_MBUTTONDOWN, keys, mouse, MessageHandler::MButtonDown, {keys, 65533, 40000}, false},
        {WM_LBUTTONDBLCLK, keys, mouse, MessageHandler::LButtonDblClk, {keys, 65533, 40000}, false},
        {WM_LBUTTONUP, keys, mouse, MessageHandler::LButtonUp, {keys, 65533, 40000}, false},
        {WM_LBUTTONDOWN, keys, mouse, MessageHandler::LButtonDown, {keys, 65533, 40000}, false},
        {WM_RBUTTONDBLCLK, keys, mouse, MessageHandler::RButtonDblClk, {keys, 65533, 40000}, false},
        {WM_RBUTTONUP, keys, mouse, MessageHandler::RButtonUp, {keys, 65533, 40000}, false},
        {WM_RBUTTONDOWN, keys, mouse, MessageHandler::RButtonDown, {keys, 65533, 40000}, false},
        {WM_SETCURSOR, 0x6666, packed(HTCLIENT, WM_MOUSEMOVE), MessageHandler::SetCursor, {0x6666, HTCLIENT, WM_MOUSEMOVE}, false},
        {WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, -120), packed(-10, 20), MessageHandler::MouseWheel,
         {MK_CONTROL, 65416, 65526, 20}, false},
        {WM_CAPTURECHANGED, 0, 0x7777, MessageHandler::CaptureChanged, {0x7777}, false},
        {WM_MOUSELEAVE, 0, 0, MessageHandler::MouseLeave, {}, false},
        {WM_MOUSEHOVER, MK_LBUTTON, packed(4, 5), MessageHandler::MouseHover, {}, false},
        {WM_NCHITTEST, 0, packed(-1, 5), MessageHandler::NcHitTest, {65535, 5}, true},
        {WM_KEYUP, VK_RETURN, LPARAM(0xC01C0001u), MessageHandler::KeyUp, {VK_RETURN, 0xC01C0001}, false},
        {WM_KEYDOWN, VK_ESCAPE, 0x00010001, MessageHandler::KeyDown, {VK_ESCAPE, 0x00010001}, false},
        {WM_CHAR, 'q', 0x00100001, MessageHandler::Char, {'q', 0x00100001}, false},
        {WM_HOTKEY, 9, packed(MOD_CONTROL | MOD_ALT, 'K'), MessageHandler::HotKey, {9, MOD_CONTROL | MOD_ALT, 'K'}, false},
        {WM_NCPAINT, 1, 0, MessageHandler::NcPaint, {}, false},
        {WM_PAINT, 0, 0, MessageHandler::Paint, {}, false},
        {WM_ERASEBKGND, 0x8888, 0, MessageHandler::EraseBkgnd, {0x8888}, true},
        {WM_MEASUREITEM, 7, ptr(&p.measure), MessageHandler::MeasureItem, {arg(&p.measure)}, false},
        {WM_DRAWITEM, 7, ptr(&p.draw), MessageHandler::DrawItem, {arg(&p.draw)}, false},
        {WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 60000), 0x9999, MessageHandler::VScroll, {SB_THUMBTRACK, 60000, 0x9999}, false},
        {WM_HSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0, MessageHandler::HScroll, {SB_LINEDOWN, 0, 0}, false},
        {WM_SIZE, SIZE_MAXIMIZED, packed(640, 480), MessageHandler::Size, {SIZE_MAXIMIZED, 640, 480}, false},
        {WM_SIZING, WMSZ_RIGHT, ptr(&p.rect), MessageHandler::Sizing, {WMSZ_RIGHT, arg(&p.rect)}, false},
        {WM_MOVE, 0, packed(-20, 30), MessageHandler::Move, {65516, 30}, false},
        {WM_MOVING, 3, ptr(&p.rect), MessageHandler::Moving, {3, arg(&p.rect)}, false},
        {WM_NOTIFY, 1005, ptr(&p.header), MessageHandler::Notify, {1005, arg(&p.header)}, true},
        {WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, 1006), 0xAAAA, MessageHandler::ParentNotify, {WM_CREATE, 1006, 0xAAAA}, false},
        {WM_USER, 11, 22, MessageHandler::UserMessage, {WM_USER, 11, 22}, false},
        {WM_USER + 1, 1, 0, MessageHandler::UserMessage, {WM_USER + 1, 1, 0}, false},
        {0x7FFF, 0xABCD, 0x1234, MessageHandler::UserMessage, {0x7FFF, 0xABCD, 0x1234}, false},
        {WM_GETDLGCODE, VK_TAB, ptr(&p.msg), MessageHandler::GetDlgCode, {arg(&p.msg)}, true},
    };
}

TEST(Dispatch, TheCasesCoverEveryHandler)
{
    Payload payload;
    std::vector<bool> seen(static_cast<size_t>(MessageHandler::GetDlgCode) + 1, false);
    for (const Case& c : allCases(payload, nullptr))
        seen[static_cast<size_t>(c.handler)] = true;
    for (size_t h = 1; h < seen.size(); ++h)
        EXPECT_TRUE(seen[h]) << "no case for handler " << h;
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

TEST_F(PlainWindowTest, EveryHandlerReceivesItsArgumentsUnpacked)
{
    window.handled = 1;
    Payload payload;
    for (const Case& c : allCases(payload, &window)) {
        window.clear();
        LRESULT returned = SendMessageA(window.hwnd, c.message, c.wParam, c.lParam);
        SCOPED_TRACE("message 0x" + std::to_string(c.message));
        ASSERT_EQ(window.calls.size(), 1u);
        EXPECT_EQ(window.calls[0].handler, c.handler);
        EXPECT_EQ(window.calls[0].args, c.args);
        // Handled: the result when the handler sets one, else 0.
        EXPECT_EQ(returned, c.setsResult ? window.resultToSet : 0);
    }
}

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
