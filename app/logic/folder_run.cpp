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

    fileSettings_ = conversionSettingsOf(settings.optFlag, settings.dirFlag, settings.keepChunks);
    // Outputs that replace their inputs are the only copy left: no pixel may change there.
    fileSettings_.keepTransparent = fileSettings_.keepTransparent || !separateOutput;
    file_.setProgress(this, cancelFlag);
}

void FolderRun::run(FolderFileList& list)
{
    // A stop pressed while the last file was finishing ends the run here.
    walk_.planOutputs(list);
    while (walk_.next(list, job_)) {
        if (stopRequested() || !processFile(job_))
            break;
    }
    showSummary();
}

bool FolderRun::processFile(const FolderJob& job)
{
    if (view_.insertTopRow(job.name.c_str()) > kFolderResultRows)
        view_.deleteRow(kFolderResultRows);

    if (!file_.loadFile(job.inputPath.c_str(), fileSettings_.options)) {
        setCell(FOLDER_COLUMN_FORMAT, uiText(Msg::CellReadError));
        ++errors;
        finishRow();
        return true;
    }
    folderCellText(cell_, FOLDER_COLUMN_SOURCE_SIZE, file_.report());
    setCell(FOLDER_COLUMN_SOURCE_SIZE, cell_.c_str());

    ConversionOutput output;
    output.path = job.outputPath.c_str();
    output.derivedName = job.derivedOutput;
    output.sharedName = job.sharedOutput;
    const ConversionReport& report = file_.convert(optimizer_, output, fileSettings_);
    if (report.status == ConversionStatus::Cancelled || (report.failed() && stopRequested()))
        return false;

    for (const int column : kResultColumns) {
        if (folderCellText(cell_, column, report))
            setCell(column, cell_.c_str());
    }
    if (report.failed()) {
        ++errors;
    } else {
        if (report.status == ConversionStatus::Converted)
            totalChange += report.sizeChange();
        ++processed;
    }
    finishRow();
    return true;
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

void FolderRun::onProgress(const ProgressEvent& event)
{
    if (formatTrialStatus(status_, event))
        view_.setStatus(status_.c_str());
}
