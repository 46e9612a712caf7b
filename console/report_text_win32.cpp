#include "console/report_text.h"

#include <windows.h>

#include <vector>

bool systemTextToUtf8(const char* text, std::string& utf8)
{
    utf8 = text;
    if (utf8.empty())
        return true;
    const int wideLength = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (wideLength <= 0)
        return false;
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, wide.data(), wideLength) != wideLength)
        return false;
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return false;
    std::vector<char> converted(static_cast<size_t>(length));
    if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, converted.data(), length, nullptr, nullptr) != length)
        return false;
    utf8.assign(converted.data());
    return true;
}
