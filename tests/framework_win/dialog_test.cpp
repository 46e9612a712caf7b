// Dialogs from templates: binding at WM_INITDIALOG, the dialog finishing
// rule, modal results, and the item operations.

#include <gtest/gtest.h>

#include <string>

#include "core/text_string.h"
#include "framework/dialog_base.h"
#include "tests/framework_win/recorder.h"
#include "tests/framework_win/test_resources.h"
#include "tests/framework_win/window_test_support.h"

namespace {

// Ends itself from onInitDialog's posted command, or on IDOK.
class EndingDialog : public DialogBase {
public:
    INT_PTR endWith = 0;
    HWND seenInInit = nullptr;
    int firstMessage = -1;
    bool sawSetFont = false;

    int preDispatch(UINT message, WPARAM, LPARAM, LRESULT&) override
    {
        if (firstMessage < 0)
            firstMessage = static_cast<int>(message);
        sawSetFont = sawSetFont || message == WM_SETFONT;
        return 0;
    }
    int onInitDialog(LRESULT& result) override
    {
        seenInInit = hwnd;
        PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
        result = TRUE;
        return 1;
    }
    int onCommand(unsigned id, unsigned, HWND) override
    {
        if (id != IDOK)
            return 0;
        endDialog(endWith);
        return 1;
    }
};

TEST(ModalDialog, ReturnsTheValueGivenToEndDialog)
{
    EndingDialog dialog;
    dialog.endWith = 1234;
    EXPECT_EQ(dialog.showModal(IDD_PLAIN, nullptr), 1234);
    EXPECT_NE(dialog.seenInInit, nullptr);
    EXPECT_EQ(dialog.hwnd, nullptr);  // endDialog unbinds
    // The object is bound from WM_INITDIALOG on: WM_SETFONT came before it.
    EXPECT_EQ(dialog.firstMessage, WM_INITDIALOG);
    EXPECT_FALSE(dialog.sawSetFont);
}

TEST(ModalDialog, MissingTemplateGivesMinusOne)
{
    EndingDialog dialog;
    EXPECT_EQ(dialog.showModal(IDD_MISSING, nullptr), -1);
    EXPECT_FALSE(dialog.createModeless(IDD_MISSING, nullptr));
    EXPECT_EQ(dialog.seenInInit, nullptr);
}

class ModelessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dialog.createModeless(IDD_ITEMS, nullptr));
        ASSERT_NE(dialog.hwnd, nullptr);
        dialog.clear();
    }
    void TearDown() override
    {
        dialog.handled = 0;
        if (IsWindow(dialog.hwnd))
            DestroyWindow(dialog.hwnd);
    }
    Recorder<DialogBase> dialog;
};

TEST_F(ModelessTest, BoundInDialogUserSlot)
{
    EXPECT_EQ(GetWindowLongPtrA(dialog.hwnd, DWLP_USER), reinterpret_cast<LONG_PTR>(&dialog));
    EXPECT_EQ(windowText(dialog.hwnd), "項目のテスト");
}

TEST_F(ModelessTest, InitDialogWithoutOverrideReturnsFalse)
{
    // A dialog that does not override onInitDialog answers FALSE, so the
    // dialog manager does not set the initial focus.
    DialogBase plain;
    HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PLAIN), nullptr,
                                     DialogBase::dialogProcedure, reinterpret_cast<LPARAM>(&plain));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(DialogBase::dialogProcedure(window, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&plain)), FALSE);
    DestroyWindow(window);

    // A handler that sets TRUE gets TRUE through.
    dialog.handled = 1;
    dialog.resultToSet = TRUE;
    EXPECT_EQ(DialogBase::dialogProcedure(dialog.hwnd, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&dialog)), TRUE);
    dialog.resultToSet = 0x5A;
    EXPECT_EQ(DialogBase::dialogProcedure(dialog.hwnd, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&dialog)), 0x5A);
}

TEST_F(ModelessTest, HandledIsTrueAndUnhandledIsFalse)
{
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } messages[] = {
        {WM_COMMAND, MAKEWPARAM(IDC_BUTTON, BN_CLICKED), 0},
        {WM_NCHITTEST, 0, MAKELPARAM(5, 5)},  // sets a result, yet the answer is TRUE
        {WM_USER + 7, 1, 2},
        {WM_MOUSEMOVE, 0, MAKELPARAM(1, 1)},
    };
    for (const auto& m : messages) {
        dialog.handled = 1;
        EXPECT_EQ(DialogBase::dialogProcedure(dialog.hwnd, m.message, m.wParam, m.lParam), TRUE) << m.message;
        dialog.handled = 0;
        EXPECT_EQ(DialogBase::dialogProcedure(dialog.hwnd, m.message, m.wParam, m.lParam), FALSE) << m.message;
    }
    // Not routed at all: FALSE.
    EXPECT_EQ(DialogBase::dialogProcedure(dialog.hwnd, WM_APP, 0, 0), FALSE);
    // The message result slot is never written.
    SetWindowLongPtrA(dialog.hwnd, DWLP_MSGRESULT, 0);
    dialog.handled = 1;
    DialogBase::dialogProcedure(dialog.hwnd, WM_NCHITTEST, 0, 0);
    EXPECT_EQ(GetWindowLongPtrA(dialog.hwnd, DWLP_MSGRESULT), 0);
}

TEST_F(ModelessTest, MessagesBeforeBindingGetFalse)
{
    // A dialog whose user slot is empty (as before WM_INITDIALOG).
    SetWindowLongPtrA(dialog.hwnd, DWLP_USER, 0);
    dialog.handled = 1;
    EXPECT_EQ(DialogBase::dialogProcedure(dialog.hwnd, WM_COMMAND, IDOK, 0), FALSE);
    EXPECT_TRUE(dialog.calls.empty());
    SetWindowLongPtrA(dialog.hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(&dialog));
}

TEST_F(ModelessTest, ButtonClickArrivesAsCommand)
{
    SendMessageA(GetDlgItem(dialog.hwnd, IDC_BUTTON), BM_CLICK, 0, 0);
    ASSERT_TRUE(pumpUntil([&] { return dialog.countOf(MessageHandler::Command) > 0; }));
    bool found = false;
    for (const HandlerCall& call : dialog.calls) {
        if (call.handler == MessageHandler::Command && call.args[0] == IDC_BUTTON) {
            found = true;
            EXPECT_EQ(call.args[1], uint64_t(BN_CLICKED));
            EXPECT_EQ(call.args[2], arg(GetDlgItem(dialog.hwnd, IDC_BUTTON)));
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(ModelessTest, ItemTextFillsTheStringUpToItsCapacity)
{
    EXPECT_TRUE(dialog.setItemText(IDC_EDIT, "C:\\画像\\sample.png"));
    TextString text;
    EXPECT_EQ(dialog.itemText(IDC_EDIT, text), int(std::string("C:\\画像\\sample.png").size()));
    EXPECT_STREQ(text.c_str(), "C:\\画像\\sample.png");

    // Longer than the string can hold: cut at its capacity, still terminated.
    std::string longText(100, 'x');
    dialog.setItemText(IDC_EDIT, longText.c_str());
    TextString small;  // capacity 63
    ASSERT_EQ(small.capacity(), 63);
    EXPECT_EQ(dialog.itemText(IDC_EDIT, small), 63);
    EXPECT_EQ(std::string(small.c_str()), std::string(63, 'x'));

    dialog.setItemText(IDC_EDIT, "");
    EXPECT_EQ(dialog.itemText(IDC_EDIT, text), 0);
    EXPECT_TRUE(text.isEmpty());
}

TEST_F(ModelessTest, CheckPassesFlagBitsThrough)
{
    EXPECT_EQ(dialog.isChecked(IDC_CHECK), UINT(BST_UNCHECKED));
    dialog.check(IDC_CHECK, 0x4);  // a flag bit of a settings word
    EXPECT_EQ(dialog.isChecked(IDC_CHECK), UINT(BST_CHECKED));
    dialog.check(IDC_CHECK, 0);
    EXPECT_EQ(dialog.isChecked(IDC_CHECK), UINT(BST_UNCHECKED));
    dialog.check(IDC_CHECK, 1);
    EXPECT_EQ(dialog.isChecked(IDC_CHECK), UINT(BST_CHECKED));
}

TEST_F(ModelessTest, EnableItem)
{
    EXPECT_EQ(dialog.item(IDC_BUTTON), GetDlgItem(dialog.hwnd, IDC_BUTTON));
    dialog.enableItem(IDC_BUTTON, false);
    EXPECT_FALSE(IsWindowEnabled(dialog.item(IDC_BUTTON)));
    dialog.enableItem(IDC_BUTTON, true);
    EXPECT_TRUE(IsWindowEnabled(dialog.item(IDC_BUTTON)));
    EXPECT_EQ(dialog.item(4242), nullptr);
}

}  // namespace
