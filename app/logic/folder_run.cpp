#include "app/logic/folder_run.h"

#include "app/logic/app_settings.h"
#include "core/folder_file_list.h"
#include "services/folder_text.h"

namespace {

// The cells a finished file fills after its source size, in the order the
// view has always received them.
constexpr int kResultColumns[] = {FOLDER_COLUMN_FORMAT, FOLDER_COLUMN_OUTPUT_SIZE, FOLDER_COLUMN_SIZE_CHANGE};

}  // namespace

void FolderRun::begin(const FolderRunSettings& settings, volatile int16_t* cancelFlag, volatile int16_t* stopFlag)
{
    cancelFlag_ = cancelFlag;
    stopFlag_ = stopFlag;
    walk_.start(settings.inputRoot, settings.outputRoot);
    separateOutput = walk_.separateOutput();
    processed = 0;
    errors = 0;
    totalChange = 0;

    fileSettings_.options = engineOptionsOf(settings.optFlag);
    fileSettings_.keepTimeStamps = (settings.dirFlag & DIR_KEEP_TIMESTAMP) != 0;
    // Outputs that replace their inputs are the only copy left: no pixel may change there.
    fileSettings_.keepTransparent = (settings.dirFlag & DIR_KEEP_TRANSPARENT) != 0 || !separateOutput;
    file_.setProgress(&FolderRun::showTrialStatus, this, cancelFlag);
}

void FolderRun::run(FolderFileList& list)
{
    // A stop pressed while the last file was finishing (or while a file was
    // being loaded, before the optimizer cleared its flag) ends the run here.
    walk_.planOutputs(list);
    while (walk_.next(list, job_)) {
        if (stopRequested() || processFile(job_) == FolderFileOutcome::Stopped)
            break;
    }
    showSummary();
}

FolderFileOutcome FolderRun::processFile(const FolderJob& job)
{
    if (view_.insertTopRow(job.name.c_str()) > kFolderResultRows)
        view_.deleteRow(kFolderResultRows);

    if (!file_.load(job.inputPath.c_str(), fileSettings_.options)) {
        setCell(FOLDER_COLUMN_FORMAT, kFolderCellReadError);
        ++errors;
        finishRow();
        return FolderFileOutcome::ReadError;
    }
    folderCellText(cell_, FOLDER_COLUMN_SOURCE_SIZE, FolderFileOutcome::Converted, file_);
    setCell(FOLDER_COLUMN_SOURCE_SIZE, cell_.c_str());

    // The optimizer clears its cancel flag when it starts, so a stop pressed
    // while this file was loading is only seen in the run's own flag.
    if (stopRequested())
        return FolderFileOutcome::Stopped;
    const FolderFileOutcome outcome = file_.convert(optimizer_, job, fileSettings_);
    if (file_.outputOutcome() == OutputOutcome::Failed && ((cancelFlag_ && loadSharedFlag(cancelFlag_)) || stopRequested()))
        return FolderFileOutcome::Stopped;

    for (const int column : kResultColumns) {
        if (folderCellText(cell_, column, outcome, file_))
            setCell(column, cell_.c_str());
    }
    if (outcome == FolderFileOutcome::Failed || outcome == FolderFileOutcome::Refused) {
        ++errors;
    } else {
        if (outcome == FolderFileOutcome::Converted)
            totalChange += file_.sizeChange();
        ++processed;
    }
    finishRow();
    return outcome;
}

void FolderRun::finishRow()
{
    view_.stepProgress();
    view_.setStatus("");
}

void FolderRun::showSummary()
{
    formatFolderSummary(status_, processed, errors, totalChange);
    view_.setStatus(status_.c_str());
}

void FolderRun::showTrialStatus(int32_t bitDepth, int32_t windowBits, int32_t memLevel, int32_t filter,
                                int32_t size, void* userData)
{
    auto* run = static_cast<FolderRun*>(userData);
    if (formatTrialStatus(run->status_, bitDepth, windowBits, memLevel, filter, size))
        run->view_.setStatus(run->status_.c_str());
}
