#pragma once
// The program's start-up check and message loop. One global instance; no state.

#include <windows.h>

class Application {
public:
    // Initialises the common controls when asked (ICC_WIN95_CLASSES |
    // ICC_USEREX_CLASSES), then, with a mutex name, takes the single-instance
    // guard: false when another holder of that name exists (or the mutex
    // cannot be made). The guard stays held for the life of the process.
    bool startUp(const char* mutexName, bool initialiseControls);
    // Runs the thread's message loop until WM_QUIT (or a GetMessage failure),
    // giving dialog-navigation keys to the modeless dialog first. Returns the
    // wParam of the last message read (the PostQuitMessage code).
    int runMessageLoop(HWND dialog);
};
