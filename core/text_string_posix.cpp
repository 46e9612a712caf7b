// POSIX parts of TextString: comparisons, string resources and the program's path.

#include "core/text_string.h"

#include <strings.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "core/codepage.h"

int TextString::compareNoCase(const char* text) const
{
    return strcasecmp(c_str(), text);
}

int TextString::compare(const char* text) const
{
    return std::strcmp(c_str(), text);
}

bool TextString::loadResource(unsigned)
{
    // Programs on POSIX carry no string resources.
    clear();
    return false;
}

bool TextString::setToModuleFolder(const char* name)
{
    reserve(511);
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return false;
    path[n] = 0;
    assign(path);
    truncateToFolder();
    if (name) {
        appendChar(kPathSeparator);
        append(name);
    }
    return true;
}
