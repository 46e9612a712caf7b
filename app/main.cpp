// Entry of the desktop program: one instance only, settings, the main window,
// an image named on the command line, and the message loop.

#include <windows.h>
#include <objbase.h>

#include <string>

#include "app/colour_picker_window.h"
#include "app/logic/app_settings.h"
#include "app/main_window.h"
#include "app/resource.h"
#include "core/text_string.h"
#include "core/ui_text.h"
#include "core/wide_path_win32.h"
#include "engine/png_optimizer.h"
#include "framework/application.h"
#include "services/worker_threads.h"

namespace {

Application application;
MainWindow mainWindow;

// The command line after the program's name (quoted or not) and the blanks
// that follow it, as UTF-8: the path of an image to open, or empty.
std::string commandLineTail()
{
    const wchar_t* p = GetCommandLineW();
    if (p == nullptr)
        return std::string();
    if (*p == L'"') {
        for (++p; *p != 0 && *p != L'"'; ++p) {
        }
        if (*p == L'"')
            ++p;
    } else {
        while (*p > L' ')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return pathOfWide(p);
}

// The texts the code shows follow the resources: the language whose
// resources Windows loads for the user names itself.
void chooseResourcesTextLanguage()
{
    TextString language(15);
    if (language.loadResource(IDS_TEXT_LANGUAGE))
        chooseTextLanguage(language.c_str());
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    chooseResourcesTextLanguage();
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
    const std::string imagePath = commandLineTail();
    if (!imagePath.empty())
        mainWindow.openImage(imagePath.c_str());
    const bool comReady = SUCCEEDED(CoInitialize(nullptr));
    const int exitCode = application.runMessageLoop(mainWindow.hwnd);
    if (comReady)
        CoUninitialize();
    return exitCode;
}
