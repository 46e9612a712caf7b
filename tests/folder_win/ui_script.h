#pragma once
// Driving the folder conversion's dialogs as a user would, from a thread
// timer that fires inside their modal loops: finding the dialogs and message
// boxes of this thread, typing, clicking, dropping, reading the results list,
// and taking a picture of a window.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Runs a sequence of steps while body sits in modal loops on this thread.
// Each step is polled every few milliseconds until it returns true; then the
// next one starts. Actions that open a modal window (clicks, closes) are
// posted, so a step never blocks.
class UiScript {
public:
    using Step = std::function<bool()>;

    UiScript& then(const std::string& label, Step step);
    // Calls body with the steps running. True when every step ran before
    // timeoutMs; otherwise every dialog of this thread is cancelled (until
    // body returns) and failedStep names the step that did not finish.
    bool run(const std::function<void()>& body, DWORD timeoutMs = 60000);

    std::string failedStep;

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD);
    void advance();

    std::vector<std::pair<std::string, Step>> steps_;
    size_t current_ = 0;
    DWORD deadline_ = 0;
    bool busy_ = false;
    bool timedOut_ = false;
};

// The visible dialog of this thread with caption, or null.
HWND findDialog(const char* caption);
// A visible dialog of this thread other than except, or null.
HWND findOtherDialog(HWND except);
// The visible message box of this thread, or null; text receives its message.
HWND findMessageBox(std::string* text = nullptr);
// The text of item id of dialog (system code page).
std::string dialogItemText(HWND dialog, int id);
// Types text into an edit box (replacing its content).
void typeInto(HWND dialog, int id, const std::string& text);
// Clicks check box id when its state differs from checked.
void setCheck(HWND dialog, int id, bool checked);
// Drops path on window as the shell does (WM_DROPFILES with a fresh drop
// handle that the receiver releases).
void dropPath(HWND window, const std::string& path);   // path in UTF-8
// Every row of a report list view, each with `columns` cells.
std::vector<std::vector<std::string>> listRows(HWND list, int columns);
// Saves what window shows on the screen as a PNG file at path.
bool saveWindowPicture(HWND window, const std::string& path);
