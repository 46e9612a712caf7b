#include "console/command_line.h"

#include <windows.h>

#include <string>

#include "core/wide_path_win32.h"

void rawCommandLine(TextString& line, int argc, const char* const* argv)
{
    // The system's own text keeps the quoting the user typed; taken in UTF-16
    // and held as UTF-8, so no name is cut down to the code page.
    const wchar_t* text = GetCommandLineW();
    if (text != nullptr)
        line.assign(pathOfWide(text).c_str());
    else
        joinCommandLine(line, argc, argv);
}
