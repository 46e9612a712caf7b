#include "framework/application.h"

#include <commctrl.h>

bool Application::startUp(const char* mutexName, bool initialiseControls)
{
    if (initialiseControls) {
        INITCOMMONCONTROLSEX controls = {};
        controls.dwSize = sizeof controls;
        controls.dwICC = ICC_WIN95_CLASSES | ICC_USEREX_CLASSES;
        InitCommonControlsEx(&controls);
    }
    if (mutexName) {
        SetLastError(0);
        HANDLE guard = CreateMutexA(nullptr, FALSE, mutexName);
        if (!guard)
            return false;
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            // Our own handle to the other instance's mutex; closing it leaves
            // that instance's guard in place.
            CloseHandle(guard);
            return false;
        }
        // Kept open on purpose: the guard lasts until the process ends.
    }
    return true;
}

int Application::runMessageLoop(HWND dialog)
{
    MSG message = {};
    for (;;) {
        BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        if (!IsDialogMessageA(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
