#include "app/folder_progress_dialog.h"

#include <commctrl.h>
#include <process.h>

#include "app/logic/app_settings.h"
#include "app/logic/folder_dialog_ids.h"
#include "app/logic/folder_settings_rules.h"
#include "core/path_text.h"
#include "core/shared_flag.h"
#include "services/folder_text.h"

FolderProgressDialog::~FolderProgressDialog()
{
    if (!worker_)
        return;
    requestStop();   // only matters if the dialog ended before the worker
    WaitForSingleObject(worker_, INFINITE);
    CloseHandle(worker_);
}

int FolderProgressDialog::onInitDialog(LRESULT& result)
{
    storeSharedFlag(&cancelRequested, 0);
    storeSharedFlag(&stopRequested, 0);
    finished = 0;
    workerEnded_ = false;
    resultsList_.bindDialogItem(hwnd, IDC_FOLDER_RESULTS);
    for (int i = 0; i < kFolderColumnCount; ++i)
        resultsList_.insertColumn(i, uiText(kFolderColumns[i].title), kFolderColumns[i].width, LVCFMT_LEFT);

    const uint16_t dirFlag = settings_.DirFlag;
    // An output folder inside the input tree is never read as input.
    const bool separate = !isSameFolderText(inputFolder.c_str(), outputFolder.c_str());
    const bool listed = fileList_.build(inputFolder.c_str(), folderTypeMask(dirFlag), (dirFlag & DIR_SUBFOLDERS) != 0,
                                        separate ? outputFolder.c_str() : nullptr);

    progressBar_.bindDialogItem(hwnd, IDC_FOLDER_PROGRESS);
    progressBar_.send(PBM_SETRANGE32, 0, static_cast<LPARAM>(fileList_.fileCount));
    progressBar_.send(PBM_SETPOS, 0);
    progressBar_.send(PBM_SETSTEP, 1);

    FolderRunSettings runSettings;
    runSettings.inputRoot = inputFolder.c_str();
    runSettings.outputRoot = outputFolder.c_str();
    runSettings.dirFlag = dirFlag;
    runSettings.optFlag = settings_.OptFlag;
    runSettings.keepChunks = settings_.KeepChunks.c_str();
    run_.begin(runSettings, &cancelRequested, &stopRequested);

    // Without a complete list or a worker nothing is converted; the dialog
    // shows the (empty) summary at once rather than wait for an end that
    // would never come.
    if (listed)
        worker_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, folderWorker, this, 0, nullptr));
    if (!worker_) {
        run_.showSummary();
        markFinished();
        if (endWhenFinished_)
            endDialog(0);
    } else if (endWhenFinished_) {
        requestStop();   // asked to end before the dialog was up
    }
    result = TRUE;
    return 1;
}

int FolderProgressDialog::onCommand(unsigned id, unsigned, HWND)
{
    switch (id) {
    case IDCANCEL:
        if (finished)
            endDialog(0);
        else
            requestStop();
        return 1;
    case ID_WORKER_DONE:
        // Taken once, and only as the worker's own report: a command with
        // this id from elsewhere must not let the dialog end under the worker.
        if (finished || !workerEnded_.load(std::memory_order_acquire))
            return 1;
        markFinished();
        if (endWhenFinished_)
            endDialog(0);
        return 1;
    default:
        return 0;
    }
}

void FolderProgressDialog::stopAndEnd()
{
    endWhenFinished_ = true;
    if (!finished)
        requestStop();   // the worker's report then ends the dialog
    else if (hwnd)
        endDialog(0);    // (a second request finds it ended: hwnd is null then)
}

void FolderProgressDialog::requestStop()
{
    storeSharedFlag(&stopRequested, 1);
    storeSharedFlag(&cancelRequested, 1);
}

void FolderProgressDialog::markFinished()
{
    finished = 1;
    setItemText(IDCANCEL, uiText(Msg::ButtonDone));
}

unsigned __stdcall FolderProgressDialog::folderWorker(void* argument)
{
    auto* dialog = static_cast<FolderProgressDialog*>(argument);
    const HWND window = dialog->hwnd;
    dialog->run_.run(dialog->fileList_);
    dialog->workerEnded_.store(true, std::memory_order_release);
    // The dialog waits for this message and cannot end without it, so a full
    // message queue is waited out rather than dropped. Only locals from here.
    while (!PostMessageA(window, WM_COMMAND, MAKEWPARAM(ID_WORKER_DONE, 0), 0) && IsWindow(window))
        Sleep(50);
    return 0;
}

int FolderProgressDialog::ProgressView::insertTopRow(const char* name)
{
    dialog_.resultsList_.insertItem(0, displayPath(name).c_str(), -1, 0);
    return dialog_.resultsList_.itemCount();
}

void FolderProgressDialog::ProgressView::deleteRow(int index)
{
    dialog_.resultsList_.deleteItem(index);
}

void FolderProgressDialog::ProgressView::setTopRowCell(int column, const char* text)
{
    dialog_.resultsList_.setItemText(0, column, text);
}

void FolderProgressDialog::ProgressView::stepProgress()
{
    dialog_.progressBar_.send(PBM_STEPIT);
}

void FolderProgressDialog::ProgressView::setStatus(const char* text)
{
    SetDlgItemTextA(dialog_.hwnd, IDC_FOLDER_STATUS, text);
}
