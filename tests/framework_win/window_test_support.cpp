#include "tests/framework_win/window_test_support.h"

#include <vector>

#include "framework/window_base.h"

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        pumpPending();
        if (done())
            return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed > 50 ? 50 : timeoutMs - elapsed, QS_ALLINPUT);
    }
}

void pumpPending()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

namespace {

struct DialogSearch {
    HWND except;
    HWND found;
};

BOOL CALLBACK considerWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<DialogSearch*>(context);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (window != search->except && lstrcmpiA(className, "#32770") == 0 && IsWindowVisible(window)) {
        search->found = window;  // keep the last: the newest dialog on top
    }
    return TRUE;
}

struct ChildSearch {
    const char* className;
    int id;
    HWND found;
};

BOOL CALLBACK considerChild(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<ChildSearch*>(context);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpiA(className, search->className) == 0 && (search->id == -1 || GetDlgCtrlID(window) == search->id)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

ModalDriver* activeDriver = nullptr;

}  // namespace

HWND findThreadDialog(HWND except)
{
    DialogSearch search{except, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), considerWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string windowText(HWND window)
{
    int length = GetWindowTextLengthA(window);
    std::vector<char> text(static_cast<size_t>(length) + 2, 0);
    GetWindowTextA(window, text.data(), length + 1);
    return std::string(text.data());
}

HWND findChild(HWND parent, const char* className, int id)
{
    ChildSearch search{className, id, nullptr};
    EnumChildWindows(parent, considerChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

ModalDriver::ModalDriver(std::function<bool(HWND)> act, DWORD timeoutMs)
    : act_(std::move(act)), deadline_(GetTickCount() + timeoutMs)
{
    activeDriver = this;
    timer_ = SetTimer(nullptr, 0, 20, tick);
}

ModalDriver::~ModalDriver()
{
    if (timer_)
        KillTimer(nullptr, timer_);
    activeDriver = nullptr;
}

void CALLBACK ModalDriver::tick(HWND, UINT, UINT_PTR, DWORD)
{
    ModalDriver* driver = activeDriver;
    if (!driver || driver->acted_)
        return;
    HWND dialog = findThreadDialog();
    if (dialog && driver->act_(dialog)) {
        driver->acted_ = true;
        return;
    }
    if (static_cast<LONG>(GetTickCount() - driver->deadline_) >= 0 && !driver->timedOut_) {
        driver->timedOut_ = true;
        if (dialog)
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
}

void clickButton(HWND dialog, int id)
{
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

const char* testWindowClass()
{
    static const char* name = [] {
        WindowBase::registerClass("TolvarinxTest", nullptr, nullptr, LoadCursor(nullptr, IDC_ARROW), nullptr,
                                  nullptr, 0);
        return "TolvarinxTest";
    }();
    return name;
}
