#include "app/output_dialog.h"

#include <process.h>

#include "app/logic/app_settings.h"
#include "app/logic/output_dialog_rules.h"
#include "app/resource.h"
#include "core/dib_image.h"
#include "core/shared_flag.h"
#include "core/text_string.h"
#include "core/ui_text.h"
#include "framework/helpers.h"
#include "services/image_conversion.h"
#include "services/extended_report.h"

OutputDialog::~OutputDialog()
{
    if (!worker_)
        return;
    storeSharedFlag(&cancelRequested, 1);   // only matters if the dialog ended without the report
    WaitForSingleObject(worker_, INFINITE);
    CloseHandle(worker_);
}

int OutputDialog::onInitDialog(LRESULT& result)
{
    finished = 0;
    offeringClose_ = false;
    check(IDC_CLOSE_WHEN_DONE, (appSettings.OptFlag & OPT_CLOSE_OUTPUT_DIALOG) ? BST_CHECKED : BST_UNCHECKED);
    // No limit on the log beyond the control's own maximum.
    SendDlgItemMessageA(hwnd, IDC_LOG, EM_SETLIMITTEXT, 0, 0);
    worker_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, runConversion, this, 0, nullptr));
    if (!worker_)
        reportCompletion(hwnd, false);   // no worker: end as a failed run
    else if (endWhenFinished_)
        storeSharedFlag(&cancelRequested, 1);   // asked to end before the dialog was up
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

int OutputDialog::onUserMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_CONVERSION_DONE)
        return 0;
    // Not handled unless it is the worker's report: DM_SETDEFID, say, then
    // gets the dialog manager's own processing.
    if (!isWorkerCompletion(finished != 0, completion_.load(std::memory_order_acquire), wParam, lParam))
        return 0;
    finished = 1;
    switch (completionAction(wParam != 0, loadSharedFlag(&cancelRequested) != 0, isChecked(IDC_CLOSE_WHEN_DONE) == BST_CHECKED)) {
    case CompletionAction::ReportFailure:
        warningBox(uiText(Msg::OutputFailed));
        finishDialog(0);
        break;
    case CompletionAction::EndWithFailure:
        finishDialog(0);
        break;
    case CompletionAction::EndWithSuccess:
        finishDialog(1);
        break;
    case CompletionAction::OfferClose:
        if (endWhenFinished_) {
            finishDialog(1);
            break;
        }
        offeringClose_ = true;
        setItemText(IDCANCEL, uiText(Msg::ButtonClose));
        break;
    }
    return 1;
}

void OutputDialog::stopAndEnd()
{
    endWhenFinished_ = true;
    if (!finished) {
        storeSharedFlag(&cancelRequested, 1);   // the worker's report then ends the dialog
    } else if (offeringClose_) {
        offeringClose_ = false;   // once: a second request finds the dialog ended
        finishDialog(1);
    }
    // Otherwise the report is being handled (its failure box is up) and
    // ends the dialog itself.
}

void OutputDialog::finishDialog(INT_PTR dialogResult)
{
    if (!hwnd)
        return;   // ended already: the box can no longer be read
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

void OutputDialog::onProgress(const ProgressEvent& event)
{
    TextString piece(63);
    formatProgressPiece(piece, event);
    appendLog(piece.c_str());
}

unsigned __stdcall OutputDialog::runConversion(void* argument)
{
    auto* dialog = static_cast<OutputDialog*>(argument);
    const HWND window = dialog->hwnd;
    int ok = 0;
    {
        PngOptimizer optimizer;
        ImageConversion conversion;
        conversion.setProgress(dialog, &dialog->cancelRequested);
        ConversionOutput output;
        output.path = dialog->outputPath;
        ConversionSettings settings = conversionSettingsOf(appSettings.OptFlag, 0, appSettings.KeepChunks.c_str());
        KeptChunkSet keptSet;
        const bool chunksRead = !settings.keepChunks.empty() && dialog->inputPath &&
                                readKeptChunks(dialog->inputPath, settings.keepChunks, settings.options, keptSet);
        settings.keepTransparent = true;   // the colour the picker chose, or the file's
        // The image is no file's content as it stands: the file is written
        // whatever its size. An animation is converted from its file.
        bool loaded = true;
        if (dialog->animationPath)
            loaded = conversion.loadFile(dialog->animationPath, settings.options);
        else
            conversion.useImage(*dialog->image, dialog->transparentColour, dialog->keptChunks, dialog->wideSamples,
                                chunksRead ? &keptSet : nullptr);
        const ConversionReport& report =
            loaded ? conversion.convert(optimizer, output, settings) : conversion.report();
        ok = loaded && report.status == ConversionStatus::Converted;
        if (ok) {
            ConversionResult& result = dialog->result;
            result = conversionResultOf(report.result);
            TextString block(255);
            formatResultBlock(block, result);
            dialog->appendLog(block.c_str());
            char extended[256] = "\r\n";
            if (formatAnimationReport(report.result, extended + 2, sizeof extended - 2) > 0 ||
                formatExtendedReport(report.result, extended + 2, sizeof extended - 2) > 0)
                dialog->appendLog(extended);
            char choice[224] = "";
            formatExtendedChoice(report.result, choice, sizeof choice);
            dialog->extendedChoice.assign(choice);
        }
    }
    dialog->reportCompletion(window, ok != 0);
    return 0;
}

void OutputDialog::reportCompletion(HWND window, bool ok)
{
    const int outcome = ok ? 1 : 0;
    completion_.store(outcome, std::memory_order_release);
    // The dialog waits for this message and cannot end without it, so a full
    // message queue is waited out rather than dropped. Only locals from here.
    while (!PostMessageA(window, WM_CONVERSION_DONE, static_cast<WPARAM>(outcome), 0) && IsWindow(window))
        Sleep(50);
}
