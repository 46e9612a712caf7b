#include "console/command_line.h"

#include <cstring>

void joinCommandLine(TextString& line, int argc, const char* const* argv)
{
    line.clear();
    for (int i = 0; i < argc; ++i) {
        const char* argument = argv[i] != nullptr ? argv[i] : "";
        if (i > 0)
            line.appendChar(' ');
        // A byte 0x20 is never a trail byte in the code pages in use, so a
        // plain byte search is enough here.
        const bool quote = argument[0] == 0 || std::strchr(argument, ' ') != nullptr;
        if (quote)
            line.appendChar('"');
        line.append(argument);
        if (quote)
            line.appendChar('"');
    }
}
