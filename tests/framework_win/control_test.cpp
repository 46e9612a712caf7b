// Attached controls: messages pass the object's handlers first, unhandled
// ones reach the control's own procedure, and WM_DESTROY stops at the default
// onDestroy.

#include <gtest/gtest.h>

#include <vector>

#include "framework/control_window.h"
#include "framework/window_base.h"
#include "tests/framework_win/recorder.h"
#include "tests/framework_win/window_test_support.h"

namespace {

// The "own procedure" of a test control class: it records what reaches it.
std::vector<UINT> ownProcedureMessages;

LRESULT CALLBACK ownProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ownProcedureMessages.push_back(message);
    if (message == WM_USER + 50)
        return 0x1234;
    return DefWindowProcA(window, message, wParam, lParam);
}

const char* ownClass()
{
    static const char* name = [] {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = ownProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "TolvarinxOwnControl";
        RegisterClassExA(&windowClass);
        return "TolvarinxOwnControl";
    }();
    return name;
}

int countOwn(UINT message)
{
    int n = 0;
    for (UINT m : ownProcedureMessages)
        n += m == message;
    return n;
}

class AttachTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(parent.createWindow(0, testWindowClass(), "parent", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                        nullptr, nullptr));
        child = CreateWindowExA(0, ownClass(), "", WS_CHILD, 0, 0, 50, 50, parent.hwnd,
                                reinterpret_cast<HMENU>(77), GetModuleHandleA(nullptr), nullptr);
        edit = CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 60, 100, 20, parent.hwnd, reinterpret_cast<HMENU>(78),
                               GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(child, nullptr);
        ASSERT_NE(edit, nullptr);
        ownProcedureMessages.clear();
    }
    void TearDown() override
    {
        if (IsWindow(parent.hwnd))
            DestroyWindow(parent.hwnd);
    }
    WindowBase parent;
    HWND child = nullptr;
    HWND edit = nullptr;
};

TEST_F(AttachTest, BindingAloneLeavesMessagesToTheControl)
{
    Recorder<ControlWindow> control;
    EXPECT_EQ(control.bindDialogItem(parent.hwnd, 77), child);
    SendMessageA(child, WM_USER + 50, 0, 0);
    EXPECT_TRUE(control.calls.empty());
    EXPECT_EQ(countOwn(WM_USER + 50), 1);
    EXPECT_EQ(control.bindDialogItem(parent.hwnd, 999), nullptr);
}

TEST_F(AttachTest, HandledMessagesStopAndOthersGoOn)
{
    Recorder<ControlWindow> control;
    control.bindDialogItem(parent.hwnd, 77);
    WindowGuard guard(parent.hwnd);
    control.attach();
    ASSERT_NE(control.savedProc, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(child, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&control));

    control.handled = 0;
    EXPECT_EQ(SendMessageA(child, WM_USER + 50, 0, 0), 0x1234);  // the own procedure's answer
    EXPECT_EQ(control.countOf(MessageHandler::UserMessage), 1);
    EXPECT_EQ(countOwn(WM_USER + 50), 1);

    control.handled = 1;
    control.resultToSet = 0x99;
    EXPECT_EQ(SendMessageA(child, WM_NCHITTEST, 0, 0), 0x99);
    EXPECT_EQ(SendMessageA(child, WM_USER + 50, 0, 0), 0);
    EXPECT_EQ(countOwn(WM_NCHITTEST), 0);
    EXPECT_EQ(countOwn(WM_USER + 50), 1);

    // Unrouted messages always go on.
    SendMessageA(child, WM_APP + 1, 0, 0);
    EXPECT_EQ(countOwn(WM_APP + 1), 1);
}

TEST_F(AttachTest, DestroyStopsAtTheDefaultHandlerButNcDestroyPasses)
{
    ControlWindow control;  // default handlers: onDestroy handles
    control.bindDialogItem(parent.hwnd, 77);
    WindowGuard guard(parent.hwnd);
    control.attach();
    DestroyWindow(child);
    EXPECT_EQ(countOwn(WM_DESTROY), 0);
    EXPECT_EQ(countOwn(WM_NCDESTROY), 1);
}

class PassDestroy : public ControlWindow {
public:
    int onDestroy() override { return 0; }
};

TEST_F(AttachTest, DestroyPassesWhenTheClassDeclinesIt)
{
    PassDestroy control;
    control.bindDialogItem(parent.hwnd, 77);
    WindowGuard guard(parent.hwnd);
    control.attach();
    DestroyWindow(child);
    EXPECT_EQ(countOwn(WM_DESTROY), 1);
    EXPECT_EQ(countOwn(WM_NCDESTROY), 1);
}

class EatDigits : public ControlWindow {
public:
    int onChar(WPARAM ch, LPARAM) override { return ch >= '0' && ch <= '9'; }
};

TEST_F(AttachTest, AttachedStandardControlKeepsWorking)
{
    EatDigits control;
    control.bindDialogItem(parent.hwnd, 78);
    WindowGuard guard(parent.hwnd);
    control.attach();
    for (char ch : std::string("a1b2c"))
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(ch), 1);
    EXPECT_EQ(windowText(edit), "abc");
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("日本語"));
    EXPECT_EQ(windowText(edit), "日本語");
}

TEST_F(AttachTest, DetachRestoresTheOwnProcedure)
{
    Recorder<ControlWindow> control;
    control.bindDialogItem(parent.hwnd, 77);
    WindowGuard guard(parent.hwnd);
    control.attach();
    WNDPROC saved = control.savedProc;
    control.detach();
    EXPECT_EQ(control.hwnd, nullptr);
    EXPECT_EQ(control.savedProc, nullptr);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(child, GWLP_WNDPROC)), saved);
    control.handled = 1;
    SendMessageA(child, WM_USER + 50, 0, 0);
    EXPECT_TRUE(control.calls.empty());
    EXPECT_EQ(countOwn(WM_USER + 50), 1);
    control.detach();  // not attached: nothing happens
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(child, GWLP_WNDPROC)), saved);
}

TEST_F(AttachTest, SecondAttachIsIgnored)
{
    Recorder<ControlWindow> control;
    control.bindDialogItem(parent.hwnd, 77);
    WindowGuard guard(parent.hwnd);
    control.attach();
    WNDPROC saved = control.savedProc;
    control.attach();
    EXPECT_EQ(control.savedProc, saved);
    // An unhandled message still ends in the own procedure (no loop).
    EXPECT_EQ(SendMessageA(child, WM_USER + 50, 0, 0), 0x1234);
    EXPECT_EQ(countOwn(WM_USER + 50), 1);

    ControlWindow unbound;
    unbound.attach();
    EXPECT_EQ(unbound.savedProc, nullptr);
}

TEST(UnattachedControl, UsesDefWindowProcWhateverTheHandlerSays)
{
    // A ControlWindow created from a registered class has no own procedure:
    // its messages end in DefWindowProcA even when handled.
    Recorder<ControlWindow> control;
    ASSERT_TRUE(control.createWindow(0, testWindowClass(), "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr));
    WindowGuard guard(control.hwnd);
    control.handled = 1;
    control.resultToSet = HTCAPTION;
    RECT r = control.windowRect();
    EXPECT_EQ(SendMessageA(control.hwnd, WM_NCHITTEST, 0, MAKELPARAM(r.left + 10, r.top + 10)), HTCLIENT);
    EXPECT_EQ(control.countOf(MessageHandler::NcHitTest), 1);
}

}  // namespace
