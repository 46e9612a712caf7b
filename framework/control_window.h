#pragma once
// ControlWindow: a child control (normally a dialog item) wrapped as an object.
//
// bindDialogItem alone lets the control operations act on the control; its
// messages still go to its own procedure. attach routes every message of the
// control through the object's handlers first: unhandled messages go on to the
// control's own procedure, handled ones stop there. The object must outlive
// the control once attached (or be detached first).

#include "framework/window_base.h"

class ControlWindow : public WindowBase {
public:
    // The control's own window procedure while attached; null otherwise.
    WNDPROC savedProc = nullptr;

    // hwnd := the item id of dialog. Returns the handle (null when there is none).
    HWND bindDialogItem(HWND dialog, int id);
    // Routes the bound control's messages through this object. Does nothing
    // when nothing is bound or the object is already attached.
    void attach();
    // Gives the control its own procedure back and clears hwnd and savedProc.
    // Does nothing when not attached.
    void detach();

    // Attached: unhandled messages go to savedProc, handled ones return result.
    // Not attached: DefWindowProcA whatever the handler returned.
    LRESULT finishMessage(int notHandled, LRESULT result, UINT message, WPARAM wParam, LPARAM lParam) override;
};
