// Paths on Windows: UTF-16 at the W functions, the system code page for display.

#include "core/path_text.h"

#include <windows.h>

#include <cwchar>

#include "core/wide_path_win32.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows names are UTF-16");

bool widePathOf(const char* path, std::wstring& wide)
{
    std::u16string units;
    if (!utf16FromUtf8(path, units)) {
        wide.clear();
        return false;
    }
    wide.assign(reinterpret_cast<const wchar_t*>(units.data()), units.size());
    return true;
}

std::wstring widePath(const char* path)
{
    std::wstring wide;
    widePathOf(path, wide);
    return wide;
}

std::string pathOfWide(const wchar_t* wide)
{
    return utf8FromUtf16(reinterpret_cast<const char16_t*>(wide), std::wcslen(wide));
}

namespace {

// Appends the code-page bytes of codePoint when the code page holds it
// exactly: no default character and no best-fit look-alike (é as e), so the
// bytes convert back to the same character.
bool codePageForm(uint32_t codePoint, std::string& out)
{
    wchar_t units[2];
    int count = 1;
    if (codePoint >= 0x10000) {
        units[0] = static_cast<wchar_t>(0xD800 + ((codePoint - 0x10000) >> 10));
        units[1] = static_cast<wchar_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
        count = 2;
    } else {
        units[0] = static_cast<wchar_t>(codePoint);
    }
    char bytes[8];
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, count, bytes, sizeof bytes, nullptr,
                                      &usedDefault);
    if (n <= 0 || usedDefault)
        return false;
    wchar_t back[4];
    const int m = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, n, back, 4);
    if (m != count || back[0] != units[0] || (count == 2 && back[1] != units[1]))
        return false;
    out.append(bytes, static_cast<size_t>(n));
    return true;
}

}  // namespace

std::string displayPath(const char* path)
{
    return displayPathWith(path, codePageForm);
}

bool pathFromSystemText(const char* text, std::string& path)
{
    path.clear();
    if (*text == 0)
        return true;
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 0)
        return false;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, &wide[0], length) != length)
        return false;
    path = pathOfWide(wide.c_str());
    return true;
}
