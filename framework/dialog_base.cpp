#include "framework/dialog_base.h"

#include "core/text_string.h"
#include "framework/helpers.h"

INT_PTR CALLBACK DialogBase::dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    DialogBase* object;
    if (message == WM_INITDIALOG) {
        object = reinterpret_cast<DialogBase*>(lParam);
        if (object)
            object->hwnd = dialog;
        SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(object));
    } else {
        object = reinterpret_cast<DialogBase*>(GetWindowLongPtrA(dialog, DWLP_USER));
    }
    if (!object)
        return FALSE;
    return object->dispatchMessage(message, wParam, lParam);
}

INT_PTR DialogBase::showModal(int templateId, HWND owner)
{
    return DialogBoxParamA(moduleInstance(), MAKEINTRESOURCEA(templateId), owner, dialogProcedure,
                           reinterpret_cast<LPARAM>(this));
}

bool DialogBase::createModeless(int templateId, HWND owner)
{
    return CreateDialogParamA(moduleInstance(), MAKEINTRESOURCEA(templateId), owner, dialogProcedure,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

BOOL DialogBase::endDialog(INT_PTR result)
{
    BOOL ended = EndDialog(hwnd, result);
    hwnd = nullptr;
    return ended;
}

HWND DialogBase::item(int id) const
{
    return GetDlgItem(hwnd, id);
}

BOOL DialogBase::enableItem(int id, bool enable)
{
    return EnableWindow(item(id), enable ? TRUE : FALSE);
}

int DialogBase::itemText(int id, TextString& text) const
{
    return static_cast<int>(GetDlgItemTextA(hwnd, id, text.buffer(), text.bufferSize()));
}

BOOL DialogBase::setItemText(int id, const char* text)
{
    return SetDlgItemTextA(hwnd, id, text);
}

UINT DialogBase::isChecked(int id) const
{
    return IsDlgButtonChecked(hwnd, id);
}

BOOL DialogBase::check(int id, UINT value)
{
    return CheckDlgButton(hwnd, id, value);
}

LRESULT DialogBase::finishMessage(int notHandled, LRESULT result, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG)
        return result;
    return notHandled ? FALSE : TRUE;
}
