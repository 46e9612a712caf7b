#include "console/command_line.h"

#include <windows.h>

void rawCommandLine(TextString& line, int argc, const char* const* argv)
{
    // The system's own text keeps the quoting the user typed.
    const char* text = GetCommandLineA();
    if (text != nullptr)
        line.assign(text);
    else
        joinCommandLine(line, argc, argv);
}
