#include "framework/shell_dialogs.h"

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/text_string.h"
#include "core/wide_path_win32.h"
#include "framework/logic/drive_root.h"

namespace {

// count bytes of code-page text (NULs included) in UTF-16.
std::wstring wideText(const char* text, int count)
{
    if (count <= 0)
        return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, 0, text, count, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, text, count, &wide[0], length);
    return wide;
}

// A filter list "name\0pattern\0...\0\0" of the code page in UTF-16, its
// ending NULs included.
std::wstring wideFilter(const char* filter)
{
    const char* end = filter;
    while (end[0] != 0 || end[1] != 0)
        ++end;
    return wideText(filter, static_cast<int>(end - filter) + 2);
}

}  // namespace

bool chooseSaveFile(HWND owner, const char* filter, const char* defaultExtension, const char* initialFolder,
                    bool intoFileName, bool overwritePrompt, TextString& file)
{
    // The dialog writes into a buffer of its own; the caller's string changes
    // only after a choice.
    const size_t capacity = file.capacity() > MAX_PATH ? static_cast<size_t>(file.capacity()) : MAX_PATH;
    std::vector<wchar_t> chosen(capacity + 1, L'\0');
    const std::wstring proposed = widePath(file.c_str());
    proposed.copy(chosen.data(), proposed.size() < capacity ? proposed.size() : capacity);
    const std::wstring wideFilterList = wideFilter(filter);
    const std::wstring wideFolder = widePath(initialFolder);
    const std::wstring wideExtension = widePath(defaultExtension);

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = wideFilterList.c_str();
    dialog.lpstrInitialDir = wideFolder.empty() ? nullptr : wideFolder.c_str();
    dialog.lpstrDefExt = wideExtension.c_str();
    // The dialog needs a full-path buffer even when only the name is wanted;
    // without one it refuses to open.
    std::vector<wchar_t> fullPath(MAX_PATH + 1, L'\0');
    if (intoFileName) {
        dialog.lpstrFile = chosen.data();
        dialog.nMaxFile = static_cast<DWORD>(chosen.size());
    } else {
        dialog.lpstrFile = fullPath.data();
        dialog.nMaxFile = static_cast<DWORD>(fullPath.size());
        dialog.lpstrFileTitle = chosen.data();
        dialog.nMaxFileTitle = static_cast<DWORD>(chosen.size());
    }
    dialog.Flags = OFN_HIDEREADONLY | (overwritePrompt ? OFN_OVERWRITEPROMPT : 0);
    if (!GetSaveFileNameW(&dialog))
        return false;
    chosen.back() = L'\0';
    file.assign(pathOfWide(chosen.data()).c_str());
    return true;
}

namespace {

int CALLBACK browseCallback(HWND browser, UINT event, LPARAM, LPARAM initialFolder)
{
    if (event == BFFM_INITIALIZED)
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, initialFolder);
    return 0;
}

}  // namespace

bool browseFolder(HWND owner, const char* title, const char* initialFolder, TextString& folder,
                  bool trimDrive)
{
    const std::wstring wideTitle = wideText(title, static_cast<int>(std::strlen(title)));
    const std::wstring wideFolder = widePath(initialFolder);
    BROWSEINFOW browse = {};
    browse.hwndOwner = owner;
    browse.lpszTitle = wideTitle.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    browse.lpfn = browseCallback;
    browse.lParam = reinterpret_cast<LPARAM>(wideFolder.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (!chosen)
        return false;
    wchar_t path[MAX_PATH + 1] = {};
    const bool havePath = SHGetPathFromIDListW(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    // A choice without a file-system path (a virtual folder) is no choice.
    if (!havePath || path[0] == 0)
        return false;
    std::string utf8 = pathOfWide(path);
    if (trimDrive)
        trimDriveRoot(&utf8[0]);
    folder.assign(utf8.c_str());
    return true;
}
