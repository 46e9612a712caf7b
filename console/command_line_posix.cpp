#include "console/command_line.h"

void rawCommandLine(TextString& line, int argc, const char* const* argv)
{
    joinCommandLine(line, argc, argv);
}
