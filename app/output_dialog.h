#pragma once
// OutputDialog: the modal dialog "出力" in which one single-image conversion
// runs. It starts a worker thread when it opens; the worker runs the
// optimizer, appends every trial to the log, appends the result block and
// posts WM_CONVERSION_DONE. The dialog ends with 1 after a successful run and
// 0 after a failed or stopped one.
//
// The caller builds the object on its stack, fills image, transparentColour
// and outputPath, runs showModal and reads `result` and `extendedChoice`
// after a result of 1. Sharing between the two threads: the worker reads the
// inputs and writes `result` and `extendedChoice`, then records its outcome
// (its last use of the object) and posts its message; the window thread reads
// them only after that message, and the dialog cannot end before it (the
// stop button and stopAndEnd only set cancelRequested), so the object
// outlives every use by the worker. The destructor still joins the worker, so
// that no path can free the object under it.

#include <atomic>
#include <cstdint>

#include "app/closable_run.h"
#include "app/logic/conversion_text.h"
#include "app/logic/output_dialog_rules.h"
#include "core/byte_buffer.h"
#include "core/text_string.h"
#include "framework/dialog_base.h"
#include "services/progress_event.h"

class AppendBuffer;
class DibImage;

// Posted by the worker: wParam 1 when the conversion succeeded, else 0;
// lParam 0. The same number is the dialog manager's DM_SETDEFID, so the
// dialog takes it only as the report its own worker recorded.
constexpr UINT WM_CONVERSION_DONE = WM_USER + 1;

class OutputDialog : public DialogBase, public ClosableRun, private ProgressSink {
public:
    OutputDialog() = default;
    // Joins the worker (asking it to stop first when it still runs).
    ~OutputDialog();
    OutputDialog(const OutputDialog&) = delete;
    OutputDialog& operator=(const OutputDialog&) = delete;

    int16_t finished = 0;                   // 1 once WM_CONVERSION_DONE has arrived
    volatile int16_t cancelRequested = 0;   // the conversion's cancel flag; set by the stop button
    const DibImage* image = nullptr;        // owned by the main window
    const AppendBuffer* keptChunks = nullptr;   // owned by the main window; may be null
    const ByteBuffer* wideSamples = nullptr;    // the same
    int32_t transparentColour = -1;         // 0x00RRGGBB or -1
    const char* outputPath = nullptr;       // null: a test run that writes nothing
    const char* inputPath = nullptr;        // the image's file, whose chunks KeepChunks keeps; null for none
    // An animation's file, converted whole from the file instead of image
    // (which then only stood for it in the preview); null for none. Owned by
    // the main window.
    const char* animationPath = nullptr;
    ConversionResult result;                // valid after a result of 1
    TextString extendedChoice;              // valid after a result of 1: formatExtendedChoice, or empty

    int onInitDialog(LRESULT& result) override;
    int onCommand(unsigned id, unsigned code, HWND control) override;
    int onUserMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    void stopAndEnd() override;

private:
    // Copies the close box into OptFlag and ends the dialog.
    void finishDialog(INT_PTR dialogResult);
    // Appends text at the end of the log. Called on the worker thread; the
    // messages it sends are served by the window thread's modal loop.
    void appendLog(const char* text);

    // Records the worker's outcome, then posts WM_CONVERSION_DONE with it to
    // window (the dialog's handle, read before the run). After the record
    // the object is not touched again.
    void reportCompletion(HWND window, bool ok);

    static unsigned __stdcall runConversion(void* dialog);
    // Appends the event's piece to the log (worker thread).
    void onProgress(const ProgressEvent& event) override;

    HANDLE worker_ = nullptr;       // joined by the destructor
    // kNoCompletion until the worker records its outcome (0 or 1).
    std::atomic<int> completion_{kNoCompletion};
    bool endWhenFinished_ = false;  // stopAndEnd was called: no "閉じる" offer
    bool offeringClose_ = false;    // the run succeeded; the button reads "閉じる"
};
