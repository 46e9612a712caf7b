#include "tests/folder_win/ui_script.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "core/dib_image.h"
#include "services/conversion.h"
#include "tests/framework_win/window_test_support.h"

namespace {

UiScript* activeScript = nullptr;

// The static control that carries a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;

struct WindowSearch {
    std::function<bool(HWND)> match;
    HWND found = nullptr;
};

BOOL CALLBACK considerWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpiA(className, "#32770") == 0 && IsWindowVisible(window) && search->match(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND findThreadWindow(const std::function<bool(HWND)>& match)
{
    WindowSearch search{match};
    EnumThreadWindows(GetCurrentThreadId(), considerWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK cancelWindow(HWND window, LPARAM)
{
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpiA(className, "#32770") == 0 && IsWindowVisible(window))
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

}  // namespace

UiScript& UiScript::then(const std::string& label, Step step)
{
    steps_.emplace_back(label, std::move(step));
    return *this;
}

bool UiScript::run(const std::function<void()>& body, DWORD timeoutMs)
{
    current_ = 0;
    timedOut_ = false;
    failedStep.clear();
    deadline_ = GetTickCount() + timeoutMs;
    activeScript = this;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, tick);
    body();
    // Steps may remain that check what is left after the dialogs closed.
    while (!timedOut_ && current_ < steps_.size() && static_cast<LONG>(GetTickCount() - deadline_) < 0) {
        pumpPending();
        advance();
        Sleep(10);
    }
    KillTimer(nullptr, timer);
    activeScript = nullptr;
    if (current_ < steps_.size() && failedStep.empty())
        failedStep = steps_[current_].first;
    return current_ == steps_.size() && !timedOut_;
}

void CALLBACK UiScript::tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (activeScript)
        activeScript->advance();
}

void UiScript::advance()
{
    if (busy_)
        return;
    busy_ = true;
    if (timedOut_) {
        EnumThreadWindows(GetCurrentThreadId(), cancelWindow, 0);
    } else if (current_ < steps_.size() && steps_[current_].second()) {
        ++current_;
    } else if (current_ < steps_.size() && static_cast<LONG>(GetTickCount() - deadline_) >= 0) {
        timedOut_ = true;
        failedStep = steps_[current_].first;
    }
    busy_ = false;
}

HWND findDialog(const char* caption)
{
    return findThreadWindow([caption](HWND window) {
        return windowText(window) == caption && !GetDlgItem(window, kMessageBoxTextId);
    });
}

HWND findOtherDialog(HWND except)
{
    return findThreadWindow([except](HWND window) { return window != except; });
}

HWND findMessageBox(std::string* text)
{
    HWND box = findThreadWindow([](HWND window) { return GetDlgItem(window, kMessageBoxTextId) != nullptr; });
    if (box && text)
        *text = dialogItemText(box, kMessageBoxTextId);
    return box;
}

std::string dialogItemText(HWND dialog, int id)
{
    return windowText(GetDlgItem(dialog, id));
}

void typeInto(HWND dialog, int id, const std::string& text)
{
    SetDlgItemTextA(dialog, id, text.c_str());
}

void setCheck(HWND dialog, int id, bool checked)
{
    if ((IsDlgButtonChecked(dialog, id) == BST_CHECKED) != checked)
        SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void dropPath(HWND window, const std::string& path)
{
    // UTF-16 paths, as the shell drops them; the block ends in two NULs (GHND zeroes it).
    const int units = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()), nullptr, 0);
    const size_t bytes = sizeof(DROPFILES) + (static_cast<size_t>(units) + 2) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()),
                        reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES)), units);
    GlobalUnlock(memory);
    PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

std::vector<std::vector<std::string>> listRows(HWND list, int columns)
{
    std::vector<std::vector<std::string>> rows;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::vector<std::string> row;
        for (int c = 0; c < columns; ++c) {
            char text[512] = {};
            LVITEMA item = {};
            item.iSubItem = c;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            row.emplace_back(text);
        }
        rows.push_back(row);
    }
    return rows;
}

bool saveWindowPicture(HWND window, const std::string& path)
{
    RECT r;
    GetWindowRect(window, &r);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    DibImage image;
    if (w <= 0 || h <= 0 || !image.create(w, h))
        return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, static_cast<HBITMAP>(image.bitmap));
    const BOOL copied = BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied)
        return false;
    image.makeOpaque();
    PngOptimizer optimizer;
    ConvertRequest request;
    fillConvertRequest(request, image, -1, OPT_NO_DEFLATE_COMPARE);
    return optimizer.convert(path.c_str(), request) == 1;
}
