#include "app/open_file_dialog.h"

#include <commdlg.h>

#include <string>
#include <vector>

#include "app/logic/app_settings.h"
#include "app/preview_pane.h"
#include "app/resource.h"
#include "core/text_string.h"
#include "core/wide_path_win32.h"
#include "framework/helpers.h"

namespace {

// The pane of the dialog that is open; the hook has no other place for it.
PreviewPane* openPreview = nullptr;

// Centres the whole dialog (the hook dialog's parent) in the work area.
void centreInWorkArea(HWND dialog)
{
    RECT work;
    RECT box;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) || !GetWindowRect(dialog, &box))
        return;
    const int left = work.left + ((work.right - work.left) - (box.right - box.left)) / 2;
    const int top = work.top + ((work.bottom - work.top) - (box.bottom - box.top)) / 2;
    SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

bool previewEnabled()
{
    return (appSettings.OptFlag & OPT_OPEN_DIALOG_PREVIEW) != 0;
}

UINT_PTR CALLBACK openHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        const auto* request = reinterpret_cast<const OPENFILENAMEW*>(lParam);
        openPreview = reinterpret_cast<PreviewPane*>(request->lCustData);
        openPreview->attachTo(dialog, IDC_PREVIEW);
        if (previewEnabled())
            CheckDlgButton(dialog, IDC_PREVIEW_ENABLED, BST_CHECKED);
        centreInWorkArea(GetParent(dialog));
        return 1;
    }
    case WM_NOTIFY: {
        const auto* notice = reinterpret_cast<const OFNOTIFYW*>(lParam);
        if (notice->hdr.code != CDN_SELCHANGE || !previewEnabled() || !openPreview)
            return 0;
        wchar_t selected[512];
        const LRESULT n = SendMessageW(GetParent(dialog), CDM_GETFILEPATH, sizeof selected / sizeof selected[0],
                                       reinterpret_cast<LPARAM>(selected));
        // A folder, no selection or a path too long for the buffer: nothing to show.
        if (n <= 0 || n > static_cast<LRESULT>(sizeof selected / sizeof selected[0]))
            openPreview->clear();
        else
            openPreview->showFile(pathOfWide(selected).c_str());
        return 1;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) != IDC_PREVIEW_ENABLED)
            return 0;
        if (HIWORD(wParam) == BN_CLICKED) {
            // The box and the bit stay in step whatever toggled the box.
            if (IsDlgButtonChecked(dialog, IDC_PREVIEW_ENABLED) == BST_CHECKED) {
                appSettings.OptFlag |= OPT_OPEN_DIALOG_PREVIEW;
            } else {
                appSettings.OptFlag &= static_cast<uint16_t>(~OPT_OPEN_DIALOG_PREVIEW);
                if (openPreview)
                    openPreview->clear();
            }
        }
        return 1;
    default:
        return 0;
    }
}

}  // namespace

bool chooseOpenFile(HWND owner, const char* filter, const char* defaultExtension, const char* initialFolder,
                    TextString& path, PreviewPane& pane)
{
    // The filter is code-page text ending in two NULs; the paths are UTF-8.
    const char* filterEnd = filter;
    while (filterEnd[0] != 0 || filterEnd[1] != 0)
        ++filterEnd;
    const int filterBytes = static_cast<int>(filterEnd - filter) + 2;
    const int filterUnits = MultiByteToWideChar(CP_ACP, 0, filter, filterBytes, nullptr, 0);
    std::vector<wchar_t> wideFilter(static_cast<size_t>(filterUnits > 0 ? filterUnits : 0) + 2, L'\0');
    MultiByteToWideChar(CP_ACP, 0, filter, filterBytes, wideFilter.data(), filterUnits);
    const std::wstring wideFolder = widePath(initialFolder);
    const std::wstring wideExtension = widePath(defaultExtension);
    std::vector<wchar_t> chosen(static_cast<size_t>(path.bufferSize()), L'\0');
    const std::wstring proposed = widePath(path.c_str());
    proposed.copy(chosen.data(), proposed.size() < chosen.size() - 1 ? proposed.size() : chosen.size() - 1);

    OPENFILENAMEW request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    request.hwndOwner = owner;
    request.hInstance = moduleInstance();
    request.lpstrFilter = wideFilter.data();
    request.lpstrFile = chosen.data();
    request.nMaxFile = static_cast<DWORD>(chosen.size());
    request.lpstrInitialDir = wideFolder.empty() ? nullptr : wideFolder.c_str();
    request.lpstrDefExt = wideExtension.c_str();
    request.lpTemplateName = MAKEINTRESOURCEW(IDD_OPEN_PREVIEW);
    request.lpfnHook = openHook;
    request.lCustData = reinterpret_cast<LPARAM>(&pane);
    request.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_FILEMUSTEXIST |
                    OFN_HIDEREADONLY | OFN_ENABLESIZING;
    const bool taken = GetOpenFileNameW(&request) != FALSE;
    openPreview = nullptr;
    if (taken) {
        chosen.back() = L'\0';
        path.assign(pathOfWide(chosen.data()).c_str());
    }
    return taken;
}
