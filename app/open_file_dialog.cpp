#include "app/open_file_dialog.h"

#include <commdlg.h>

#include "app/logic/app_settings.h"
#include "app/preview_pane.h"
#include "app/resource.h"
#include "core/text_string.h"
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
        const auto* request = reinterpret_cast<const OPENFILENAMEA*>(lParam);
        openPreview = reinterpret_cast<PreviewPane*>(request->lCustData);
        openPreview->attachTo(dialog, IDC_PREVIEW);
        if (previewEnabled())
            CheckDlgButton(dialog, IDC_PREVIEW_ENABLED, BST_CHECKED);
        centreInWorkArea(GetParent(dialog));
        return 1;
    }
    case WM_NOTIFY: {
        const auto* notice = reinterpret_cast<const OFNOTIFYA*>(lParam);
        if (notice->hdr.code != CDN_SELCHANGE || !previewEnabled() || !openPreview)
            return 0;
        char selected[512];
        const LRESULT n = SendMessageA(GetParent(dialog), CDM_GETFILEPATH, sizeof selected,
                                       reinterpret_cast<LPARAM>(selected));
        // A folder, no selection or a path too long for the buffer: nothing to show.
        if (n <= 0 || n > static_cast<LRESULT>(sizeof selected))
            openPreview->clear();
        else
            openPreview->showFile(selected);
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
    OPENFILENAMEA request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = owner;
    request.hInstance = moduleInstance();
    request.lpstrFilter = filter;
    request.lpstrFile = path.buffer();
    request.nMaxFile = static_cast<DWORD>(path.bufferSize());
    request.lpstrInitialDir = initialFolder;
    request.lpstrDefExt = defaultExtension;
    request.lpTemplateName = MAKEINTRESOURCEA(IDD_OPEN_PREVIEW);
    request.lpfnHook = openHook;
    request.lCustData = reinterpret_cast<LPARAM>(&pane);
    request.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_FILEMUSTEXIST |
                    OFN_HIDEREADONLY | OFN_ENABLESIZING;
    const bool chosen = GetOpenFileNameA(&request) != FALSE;
    openPreview = nullptr;
    return chosen;
}
