#include "framework/shell_dialogs.h"

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include "core/text_string.h"
#include "framework/logic/drive_root.h"

bool chooseSaveFile(HWND owner, const char* filter, const char* defaultExtension, const char* initialFolder,
                    bool intoFileName, bool overwritePrompt, TextString& file)
{
    // The dialog writes into a copy: on a too-small buffer it stores the size
    // it needs into the first bytes, which must not reach the caller's string.
    TextString chosen(file.c_str());
    chosen.reserve(file.capacity() > MAX_PATH ? file.capacity() : MAX_PATH);

    OPENFILENAMEA dialog = {};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrInitialDir = initialFolder;
    dialog.lpstrDefExt = defaultExtension;
    // The dialog needs a full-path buffer even when only the name is wanted;
    // without one it refuses to open.
    TextString fullPath(MAX_PATH);
    if (intoFileName) {
        dialog.lpstrFile = chosen.buffer();
        dialog.nMaxFile = static_cast<DWORD>(chosen.bufferSize());
    } else {
        dialog.lpstrFile = fullPath.buffer();
        dialog.nMaxFile = static_cast<DWORD>(fullPath.bufferSize());
        dialog.lpstrFileTitle = chosen.buffer();
        dialog.nMaxFileTitle = static_cast<DWORD>(chosen.bufferSize());
    }
    dialog.Flags = OFN_HIDEREADONLY | (overwritePrompt ? OFN_OVERWRITEPROMPT : 0);
    if (!GetSaveFileNameA(&dialog))
        return false;
    file.assign(chosen.c_str());
    return true;
}

namespace {

int CALLBACK browseCallback(HWND browser, UINT event, LPARAM, LPARAM initialFolder)
{
    if (event == BFFM_INITIALIZED)
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, initialFolder);
    return 0;
}

}  // namespace

bool browseFolder(HWND owner, const char* title, const char* initialFolder, TextString& folder,
                  bool trimDrive)
{
    BROWSEINFOA browse = {};
    browse.hwndOwner = owner;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    browse.lpfn = browseCallback;
    browse.lParam = reinterpret_cast<LPARAM>(initialFolder);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&browse);
    if (!chosen)
        return false;
    char path[MAX_PATH + 1] = {};
    const bool havePath = SHGetPathFromIDListA(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    // A choice without a file-system path (a virtual folder) is no choice.
    if (!havePath || path[0] == 0)
        return false;
    if (trimDrive)
        trimDriveRoot(path);
    folder.assign(path);
    return true;
}
