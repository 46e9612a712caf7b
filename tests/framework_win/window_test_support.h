#pragma once
// Helpers for the window framework tests: message pumping with deadlines,
// finding the dialogs the platform shows, and driving a modal call from a
// thread timer. Everything runs on the test's thread.

#include <windows.h>

#include <functional>
#include <string>

// Handles messages of this thread until done() is true or timeoutMs has
// passed; returns done(). Waits for messages, never sleeps a fixed time.
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Handles every message already queued for this thread.
void pumpPending();

// A visible top-level dialog-class window of this thread other than except.
HWND findThreadDialog(HWND except = nullptr);
// The text of a window as the program sees it (system code page).
std::string windowText(HWND window);
// The first descendant of parent of window class className (case-insensitive)
// and, when id is not -1, with that control id.
HWND findChild(HWND parent, const char* className, int id = -1);

// Drives a modal call: while it exists, a thread timer polls every few
// milliseconds and calls act with the newest dialog of this thread until act
// returns true. When nothing has been done after timeoutMs it closes the
// dialog with IDCANCEL so that a failing test ends instead of hanging.
class ModalDriver {
public:
    explicit ModalDriver(std::function<bool(HWND dialog)> act, DWORD timeoutMs = 20000);
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    bool acted() const { return acted_; }
    bool timedOut() const { return timedOut_; }

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);

    std::function<bool(HWND)> act_;
    DWORD deadline_;
    UINT_PTR timer_ = 0;
    bool acted_ = false;
    bool timedOut_ = false;
};

// Destroys a window when the scope ends. Declare it after the window object so
// that the window goes before the object its procedure points at.
class WindowGuard {
public:
    explicit WindowGuard(HWND window) : window_(window) {}
    ~WindowGuard()
    {
        if (IsWindow(window_))
            DestroyWindow(window_);
    }
    WindowGuard(const WindowGuard&) = delete;
    WindowGuard& operator=(const WindowGuard&) = delete;

private:
    HWND window_;
};

// Presses a dialog's button as the user would (BM_CLICK on the item).
void clickButton(HWND dialog, int id);

// A top-level window class for tests whose windows use the framework's
// procedure; registered once per process. Returns its name.
const char* testWindowClass();
