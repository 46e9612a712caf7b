#include "app/logic/output_dialog_rules.h"

#include "app/logic/app_settings.h"

CompletionAction completionAction(bool succeeded, bool cancelRequested, bool closeBoxChecked)
{
    if (!succeeded)
        return cancelRequested ? CompletionAction::EndWithFailure : CompletionAction::ReportFailure;
    return closeBoxChecked ? CompletionAction::EndWithSuccess : CompletionAction::OfferClose;
}

bool isWorkerCompletion(bool finished, int recordedOutcome, uintptr_t wParam, intptr_t lParam)
{
    if (finished || lParam != 0)
        return false;
    if (recordedOutcome != 0 && recordedOutcome != 1)
        return false;   // the worker has not ended
    return wParam == static_cast<uintptr_t>(recordedOutcome);
}

uint16_t optFlagAfterOutputDialog(uint16_t optFlag, bool closeBoxChecked)
{
    optFlag &= static_cast<uint16_t>(~OPT_CLOSE_OUTPUT_DIALOG);
    if (closeBoxChecked)
        optFlag |= OPT_CLOSE_OUTPUT_DIALOG;
    return optFlag;
}
