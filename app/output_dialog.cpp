#include "app/output_dialog.h"

#include <process.h>

#include "app/logic/app_settings.h"
#include "app/logic/output_dialog_rules.h"
#include "app/resource.h"
#include "core/dib_image.h"
#include "core/shared_flag.h"
#include "core/text_string.h"
#include "engine/png_optimizer.h"
#include "framework/helpers.h"

int OutputDialog::onInitDialog(LRESULT& result)
{
    finished = 0;
    check(IDC_CLOSE_WHEN_DONE, (appSettings.OptFlag & OPT_CLOSE_OUTPUT_DIALOG) ? BST_CHECKED : BST_UNCHECKED);
    // No limit on the log beyond the control's own maximum.
    SendDlgItemMessageA(hwnd, IDC_LOG, EM_SETLIMITTEXT, 0, 0);
    const uintptr_t thread = _beginthreadex(nullptr, 0, runConversion, this, 0, nullptr);
    if (thread)
        CloseHandle(reinterpret_cast<HANDLE>(thread));
    else
        PostMessageA(hwnd, WM_CONVERSION_DONE, 0, 0);   // no worker: end as a failed run
    result = TRUE;
    return 1;
}

int OutputDialog::onCommand(unsigned id, unsigned, HWND)
{
    if (id != IDCANCEL)
        return 0;
    if (finished)
        finishDialog(1);
    else
        storeSharedFlag(&cancelRequested, 1);
    return 1;
}

int OutputDialog::onUserMessage(UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_CONVERSION_DONE)
        return 0;
    finished = 1;
    switch (completionAction(wParam != 0, loadSharedFlag(&cancelRequested) != 0, isChecked(IDC_CLOSE_WHEN_DONE) == BST_CHECKED)) {
    case CompletionAction::ReportFailure:
        warningBox(kOutputFailedText);
        finishDialog(0);
        break;
    case CompletionAction::EndWithFailure:
        finishDialog(0);
        break;
    case CompletionAction::EndWithSuccess:
        finishDialog(1);
        break;
    case CompletionAction::OfferClose:
        setItemText(IDCANCEL, "閉じる");
        break;
    }
    return 1;
}

void OutputDialog::finishDialog(INT_PTR dialogResult)
{
    appSettings.OptFlag =
        optFlagAfterOutputDialog(appSettings.OptFlag, isChecked(IDC_CLOSE_WHEN_DONE) == BST_CHECKED);
    endDialog(dialogResult);
}

void OutputDialog::appendLog(const char* text)
{
    HWND log = GetDlgItem(hwnd, IDC_LOG);
    const int end = GetWindowTextLengthA(log);
    SendMessageA(log, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
    SendMessageA(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}

void OutputDialog::logProgress(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter,
                               int32_t size, void* dialog)
{
    TextString piece(63);
    formatProgressPiece(piece, bitDepth, windowBits, memLevel, filter, size);
    static_cast<OutputDialog*>(dialog)->appendLog(piece.c_str());
}

unsigned __stdcall OutputDialog::runConversion(void* argument)
{
    auto* dialog = static_cast<OutputDialog*>(argument);
    const HWND window = dialog->hwnd;
    int ok = 0;
    {
        PngOptimizer optimizer;
        ConvertRequest request;
        request.pixels = dialog->image->bits;
        request.width = dialog->image->width;
        request.height = dialog->image->height;
        request.hasAlpha = dialog->image->hasAlpha;
        request.transparentColour = dialog->transparentColour;
        request.options = engineOptionsOf(appSettings.OptFlag);
        request.callback = logProgress;
        request.userData = dialog;
        request.cancelFlag = &dialog->cancelRequested;
        request.sizeToBeat = 0xFFFFFFFFu;   // the file is written whatever its size
        ok = optimizer.convert(dialog->outputPath, request);
        if (ok) {
            ConversionResult& result = dialog->result;
            result.windowBits = request.windowBits;
            result.memLevel = request.memLevel;
            result.filter = request.filter;
            result.dataSize = request.dataSize;
            result.bitDepth = request.bitDepth;
            result.fileSize = request.fileSize;
            TextString block(255);
            formatResultBlock(block, result);
            dialog->appendLog(block.c_str());
        }
    }
    // The dialog waits for this message and cannot end without it, so a full
    // message queue is waited out rather than dropped. Nothing touches the
    // dialog after a successful post.
    while (!PostMessageA(window, WM_CONVERSION_DONE, ok ? 1 : 0, 0) && IsWindow(window))
        Sleep(50);
    return 0;
}
