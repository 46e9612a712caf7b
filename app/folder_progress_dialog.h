#pragma once
// FolderProgressDialog: dialog 108 "フォルダ変換", in which one folder
// conversion runs. When it opens it lists the input folder (on the window
// thread, before it is shown) and starts folderWorker, which converts the
// listed files and fills the results list, the progress bar and the status
// line. "中止" asks the worker to stop; once the worker has ended (or could
// not run at all) the summary is shown and the button, now "終了", closes
// the dialog.
//
// Threads: the worker reaches the controls only through sent messages and
// announces its end by setting workerEnded_ and then posting one WM_COMMAND
// ID_WORKER_DONE; after setting the flag it touches nothing of the dialog.
// The dialog takes that command only once the flag is set and cannot end
// before it, so the object (on convertFolder's stack) outlives the worker;
// the destructor joins the worker all the same. The stop flags and
// workerEnded_ are the only data both threads write.

#include <atomic>
#include <cstdint>

#include "app/closable_run.h"
#include "core/folder_file_list.h"
#include "app/logic/folder_run.h"
#include "core/text_string.h"
#include "engine/png_optimizer.h"
#include "framework/controls.h"
#include "framework/dialog_base.h"

struct AppSettings;

class FolderProgressDialog : public DialogBase, public ClosableRun {
public:
    explicit FolderProgressDialog(AppSettings& settings) : settings_(settings) {}
    // Joins the worker (asking it to stop first when it still runs).
    ~FolderProgressDialog();
    FolderProgressDialog(const FolderProgressDialog&) = delete;
    FolderProgressDialog& operator=(const FolderProgressDialog&) = delete;

    // Set before showModal.
    TextString inputFolder;
    TextString outputFolder;

    // The optimizer's cancel flag: it clears it when each conversion starts.
    volatile int16_t cancelRequested = 0;
    // The user's stop request for the whole run; only the button sets it.
    volatile int16_t stopRequested = 0;
    // 1 once the worker has ended (or never started): the button closes.
    int16_t finished = 0;

    int onInitDialog(LRESULT& result) override;
    int onCommand(unsigned id, unsigned code, HWND control) override;

    void stopAndEnd() override;

private:
    // What the run shows, sent to the dialog's controls from the worker.
    class ProgressView : public FolderRunView {
    public:
        explicit ProgressView(FolderProgressDialog& dialog) : dialog_(dialog) {}
        int insertTopRow(const char* name) override;
        void deleteRow(int index) override;
        void setTopRowCell(int column, const char* text) override;
        void stepProgress() override;
        void setStatus(const char* text) override;

    private:
        FolderProgressDialog& dialog_;
    };

    static unsigned __stdcall folderWorker(void* dialog);
    void markFinished();
    void requestStop();

    AppSettings& settings_;
    FolderFileList fileList_;
    ListViewControl resultsList_;
    ProgressBarControl progressBar_;
    PngOptimizer optimizer_;
    ProgressView view_{*this};
    FolderRun run_{optimizer_, view_};
    HANDLE worker_ = nullptr;              // joined by the destructor
    std::atomic<bool> workerEnded_{false};  // set by the worker just before ID_WORKER_DONE
    bool endWhenFinished_ = false;         // stopAndEnd was called: no "終了" to press
};
