#include "framework/control_window.h"

HWND ControlWindow::bindDialogItem(HWND dialog, int id)
{
    hwnd = GetDlgItem(dialog, id);
    return hwnd;
}

void ControlWindow::attach()
{
    // A second attach would save windowProcedure itself as the control's own
    // procedure, and unhandled messages would loop forever.
    if (!hwnd || savedProc)
        return;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    savedProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowBase::windowProcedure)));
}

void ControlWindow::detach()
{
    if (!savedProc)
        return;
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedProc));
    hwnd = nullptr;
    savedProc = nullptr;
}

LRESULT ControlWindow::finishMessage(int notHandled, LRESULT result, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!savedProc)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    if (notHandled)
        return CallWindowProcA(savedProc, hwnd, message, wParam, lParam);
    return result;
}
