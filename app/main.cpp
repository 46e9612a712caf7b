// Entry of the desktop program: one instance only, settings, the main window,
// an image named on the command line, and the message loop.

#include <windows.h>
#include <objbase.h>

#include "app/colour_picker_window.h"
#include "app/logic/app_settings.h"
#include "app/main_window.h"
#include "engine/png_optimizer.h"
#include "framework/application.h"
#include "services/worker_threads.h"

namespace {

Application application;
MainWindow mainWindow;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    if (!application.startUp("*Tolvarinx*", true))
        return 0;
    setWorkerThreadCount(workerThreadsFromEnvironment());   // else one per core
    const WindowPosition position = loadSettings();
    WindowBase::registerClass(kPickerWindowClass, nullptr, nullptr, LoadCursorA(nullptr, IDC_ARROW), nullptr,
                              nullptr, 0);
    if (!mainWindow.create())
        return 0;
    mainWindow.restorePosition(position.x, position.y, kNoWindowPosition);
    mainWindow.show(SW_SHOWNORMAL);
    if (commandLine && commandLine[0])
        mainWindow.openImage(commandLine);
    const bool comReady = SUCCEEDED(CoInitialize(nullptr));
    const int exitCode = application.runMessageLoop(mainWindow.hwnd);
    if (comReady)
        CoUninitialize();
    return exitCode;
}
