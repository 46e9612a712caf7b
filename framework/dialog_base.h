#pragma once
// DialogBase: a dialog (modal or modeless) from a template of the program's
// resources, handled by the same virtual handlers as a plain window.
//
// The object is bound at WM_INITDIALOG (stored in DWLP_USER); messages before
// that get FALSE. For WM_INITDIALOG the procedure returns the result set by
// onInitDialog (TRUE lets the dialog manager set the initial focus); for every
// other message TRUE when a handler handled it, FALSE to let the dialog
// manager do its own processing. DWLP_MSGRESULT is never set.

#include "framework/window_base.h"

class TextString;

class DialogBase : public WindowBase {
public:
    // The dialog procedure of every DialogBase.
    static INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    // Runs a modal dialog from template templateId. The value passed to
    // endDialog, or -1 when the dialog could not be created.
    INT_PTR showModal(int templateId, HWND owner);
    // Creates a modeless dialog from template templateId; true when created.
    bool createModeless(int templateId, HWND owner);
    // Ends a modal dialog with result and unbinds hwnd.
    BOOL endDialog(INT_PTR result);

    // Operations on the items of this dialog.
    HWND item(int id) const;
    BOOL enableItem(int id, bool enable);
    // Reads the item's text into text's buffer (up to its capacity); returns
    // the number of bytes read.
    int itemText(int id, TextString& text) const;
    BOOL setItemText(int id, const char* text);
    UINT isChecked(int id) const;
    // 0 clears the box; any non-zero value (a flag bit, say) checks it.
    BOOL check(int id, UINT value);

    LRESULT finishMessage(int notHandled, LRESULT result, UINT message, WPARAM wParam, LPARAM lParam) override;
};
