// Paths on POSIX are shown as the bytes they are.

#include "core/path_text.h"

std::string displayPath(const char* path)
{
    return path;
}

bool pathFromSystemText(const char* text, std::string& path)
{
    path = text;
    return true;
}
