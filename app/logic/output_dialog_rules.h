#pragma once
// The output dialog's decisions that do not depend on the platform: when a
// message is the worker's completion and what it leads to, and how the
// dialog's "終了後、閉じる" box is carried into OptFlag.
//
// Pure functions; window thread. (The option bits a run passes are
// engineOptionsOf of app_settings.h.)

#include <cstdint>

// What the dialog does when the worker reports its end.
enum class CompletionAction {
    ReportFailure,   // show Msg::OutputFailed, then end with result 0
    EndWithFailure,  // the user stopped the run: end with result 0, no message
    EndWithSuccess,  // the close box is ticked: end with result 1 at once
    OfferClose,      // stay open with the log; the button becomes "閉じる"
};
CompletionAction completionAction(bool succeeded, bool cancelRequested, bool closeBoxChecked);

// The worker's outcome as the dialog sees it before the worker has recorded one.
constexpr int kNoCompletion = -1;
// Whether a completion message is the worker's own report, taken once: the
// dialog has not finished yet, the worker has recorded its outcome (0 or 1)
// and the message carries that outcome as wParam and 0 as lParam. Anything
// else with the same message number (the dialog manager's DM_SETDEFID, a
// second or forged report) is not the completion.
bool isWorkerCompletion(bool finished, int recordedOutcome, uintptr_t wParam, intptr_t lParam);

// OptFlag once the dialog ends: OPT_CLOSE_OUTPUT_DIALOG equals the box, every
// other bit as it was.
uint16_t optFlagAfterOutputDialog(uint16_t optFlag, bool closeBoxChecked);
