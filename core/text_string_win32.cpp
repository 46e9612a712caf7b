// Windows parts of TextString: locale comparisons, string resources and the program's path.

#include "core/text_string.h"

#include <windows.h>

#include "core/codepage.h"

int TextString::compareNoCase(const char* text) const
{
    return lstrcmpiA(c_str(), text);
}

int TextString::compare(const char* text) const
{
    return lstrcmpA(c_str(), text);
}

bool TextString::loadResource(unsigned id)
{
    const int n = LoadStringA(GetModuleHandleA(nullptr), id, buffer(), bufferSize());
    if (n <= 0) {
        clear();
        return false;
    }
    return true;
}

bool TextString::setToModuleFolder(const char* name)
{
    reserve(511);
    const DWORD n = GetModuleFileNameA(nullptr, buffer(), static_cast<DWORD>(bufferSize()));
    if (n == 0 || n >= static_cast<DWORD>(bufferSize()))
        return false;
    truncateToFolder();
    if (name) {
        appendChar(kPathSeparator);
        append(name);
    }
    return true;
}
