// Windows parts of TextString: path comparisons, string resources and the program's path.

#include "core/text_string.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "core/codepage.h"
#include "core/wide_path_win32.h"

namespace {

// Ordinal comparison of the UTF-16 names; a malformed text compares by its
// bytes, so it is never equal to another text.
int comparePaths(const char* a, const char* b, bool ignoreCase)
{
    std::wstring wideA, wideB;
    if (!widePathOf(a, wideA) || !widePathOf(b, wideB)) {
        const int order = std::strcmp(a, b);
        return order < 0 ? -1 : order > 0 ? 1 : 0;
    }
    const int result = CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                            static_cast<int>(wideB.size()), ignoreCase ? TRUE : FALSE);
    return result == 0 ? std::strcmp(a, b) : result - CSTR_EQUAL;
}

}  // namespace

int TextString::compareNoCase(const char* text) const
{
    return comparePaths(c_str(), text, true);
}

int TextString::compare(const char* text) const
{
    return comparePaths(c_str(), text, false);
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
    wchar_t path[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH)
        return false;
    path[n] = 0;
    const std::string utf8 = pathOfWide(path);
    reserve(static_cast<int>(utf8.size()) > 511 ? static_cast<int>(utf8.size()) : 511);
    assign(utf8.c_str());
    truncateToFolder();
    if (name) {
        appendChar(kPathSeparator);
        append(name);
    }
    return true;
}
