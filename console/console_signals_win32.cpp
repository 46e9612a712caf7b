#include "console/console_signals.h"

#include <windows.h>

#include "core/replacing_file.h"

namespace {

// Runs on a thread the system starts for the event while the conversion goes
// on. removeListedTempFiles takes the lock every change to the list holds, and
// the process ends before the conversion could begin another file.
BOOL WINAPI endOnControlEvent(DWORD)
{
    removeListedTempFiles();
    ExitProcess(STATUS_CONTROL_C_EXIT);
    return TRUE;
}

} // namespace

void installConsoleSignalHandling()
{
    SetConsoleCtrlHandler(endOnControlEvent, TRUE);
}
