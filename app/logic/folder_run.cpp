#include "app/logic/folder_run.h"

#include <cstring>

#include "app/logic/app_settings.h"
#include "app/logic/conversion_text.h"
#include "app/logic/folder_file_list.h"
#include "app/logic/folder_scan.h"
#include "app/logic/folder_text.h"
#include "core/codepage.h"
#include "core/file_handle.h"
#include "core/image_loader.h"
#include "core/replacing_file.h"

namespace {

bool hasPngExtension(const TextString& path)
{
    TextString extension;
    path.getExtension(extension);
    return extension.compareNoCase("png") == 0;
}

void joinPath(TextString& out, const char* folder, const char* name)
{
    out.assign(folder);
    out.appendChar(kPathSeparator);
    out.append(name);
}

// The three time stamps of an input file, when they could be read.
struct SavedTimes {
    bool valid = false;
    FileTime creation = 0;
    FileTime lastAccess = 0;
    FileTime lastWrite = 0;
};

}  // namespace

bool isSameFolderText(const char* a, const char* b)
{
    return TextString(a).compareNoCase(b) == 0;
}

void mirrorFolder(TextString& out, const char* outputRoot, const char* path, int rootLength)
{
    out.assign(outputRoot);
    if (rootLength >= 0 && std::strlen(path) > static_cast<size_t>(rootLength))
        out.append(path + rootLength);
}

void folderOutputPath(TextString& out, const char* folder, const char* name)
{
    joinPath(out, folder, name);
    out.replaceExtension("png");
}

void FolderRun::begin(const FolderRunSettings& settings, volatile int16_t* cancelFlag, volatile int16_t* stopFlag)
{
    cancelFlag_ = cancelFlag;
    stopFlag_ = stopFlag;
    dirFlag_ = settings.dirFlag;
    inputRoot_.assign(settings.inputRoot);
    outputRoot_.assign(settings.outputRoot);
    inputFolder_.assign(settings.inputRoot);
    outputFolder_.assign(settings.outputRoot);
    separateOutput = !isSameFolderText(settings.inputRoot, settings.outputRoot);
    processed = 0;
    errors = 0;
    totalChange = 0;

    request_ = ConvertRequest();
    request_.options = settings.optFlag & OPT_ENGINE_BITS;
    request_.callback = &FolderRun::showTrialStatus;
    request_.userData = this;
    request_.cancelFlag = cancelFlag;
}

void FolderRun::run(FolderFileList& list)
{
    TextString text;
    for (;;) {
        const uint8_t kind = list.nextItem(text);
        if (kind == ITEM_END)
            break;
        if (kind == ITEM_ENTER_FOLDER || kind == ITEM_LEAVE_FOLDER) {
            setCurrentFolder(text.c_str(), kind == ITEM_ENTER_FOLDER);
        } else if (kind == ITEM_FILE) {
            // A stop pressed while the last file was finishing (or while a
            // file was being loaded, before the optimizer cleared its flag)
            // ends the run here.
            if (stopRequested() || processFile(text.c_str()) == FolderFileOutcome::Stopped)
                break;
        }
    }
    showSummary();
}

void FolderRun::setCurrentFolder(const char* path, bool entering)
{
    inputFolder_.assign(path);
    mirrorFolder(outputFolder_, outputRoot_.c_str(), path, inputRoot_.length());
    // A folder that cannot be created is not reported here: the conversions
    // into it fail and say so.
    if (entering && separateOutput && !fileExists(outputFolder_.c_str()))
        createFolder(outputFolder_.c_str());
}

FolderFileOutcome FolderRun::processFile(const char* name)
{
    if (view_.insertTopRow(name) > kFolderResultRows)
        view_.deleteRow(kFolderResultRows);

    joinPath(inputPath_, inputFolder_.c_str(), name);
    int32_t transparentColour = -1;
    if (!loadImageFile(image_, inputPath_.c_str(), transparentColour)) {
        setCell(FOLDER_COLUMN_FORMAT, kFolderCellReadError);
        ++errors;
        finishRow();
        return FolderFileOutcome::ReadError;
    }
    const uint32_t inputSize = fileSizeByName(inputPath_.c_str());
    formatFolderSize(cell_, inputSize);
    setCell(FOLDER_COLUMN_SOURCE_SIZE, cell_.c_str());

    SavedTimes times;
    if (dirFlag_ & DIR_KEEP_TIMESTAMP)
        times.valid = getFileTimes(inputPath_.c_str(), &times.creation, &times.lastAccess, &times.lastWrite);

    request_.pixels = image_.bits;
    request_.width = image_.width;
    request_.height = image_.height;
    request_.hasAlpha = image_.hasAlpha;
    request_.transparentColour = (dirFlag_ & DIR_KEEP_TRANSPARENT) ? transparentColour : -1;
    request_.sizeToBeat = hasPngExtension(inputPath_) ? inputSize : 0xFFFFFFFFu;
    folderOutputPath(outputPath_, outputFolder_.c_str(), name);

    // The optimizer clears its cancel flag when it starts, so a stop pressed
    // while this file was loading is only seen in the run's own flag.
    if (stopRequested())
        return FolderFileOutcome::Stopped;
    const int converted = optimizer_.convert(outputPath_.c_str(), request_);
    if (!converted && ((cancelFlag_ && loadSharedFlag(cancelFlag_)) || stopRequested()))
        return FolderFileOutcome::Stopped;

    FolderFileOutcome outcome;
    if (converted && request_.notWritten)
        outcome = finishUnchanged(inputPath_.c_str(), outputPath_.c_str());
    else
        outcome = converted ? FolderFileOutcome::Converted : FolderFileOutcome::Failed;

    // A failed file keeps whatever was at the output path, times included.
    if (times.valid && (outcome == FolderFileOutcome::Converted || outcome == FolderFileOutcome::Copied))
        setFileTimes(outputPath_.c_str(), &times.creation, &times.lastAccess, &times.lastWrite);

    switch (outcome) {
    case FolderFileOutcome::Converted: {
        ConversionResult result;
        result.windowBits = request_.windowBits;
        result.memLevel = request_.memLevel;
        result.filter = request_.filter;
        result.dataSize = request_.dataSize;
        result.bitDepth = request_.bitDepth;
        result.fileSize = request_.fileSize;
        formatEncodingSummary(cell_, result);
        setCell(FOLDER_COLUMN_FORMAT, cell_.c_str());
        formatFolderSize(cell_, request_.fileSize);
        setCell(FOLDER_COLUMN_OUTPUT_SIZE, cell_.c_str());
        const int64_t change = static_cast<int64_t>(request_.fileSize) - static_cast<int64_t>(inputSize);
        formatSizeChange(cell_, change);
        setCell(FOLDER_COLUMN_SIZE_CHANGE, cell_.c_str());
        totalChange += change;
        ++processed;
        break;
    }
    case FolderFileOutcome::Copied:
        setCell(FOLDER_COLUMN_FORMAT, kFolderCellCopied);
        ++processed;
        break;
    case FolderFileOutcome::NoOutput:
        setCell(FOLDER_COLUMN_FORMAT, kFolderCellNoOutput);
        ++processed;
        break;
    default:
        setCell(FOLDER_COLUMN_FORMAT, kFolderCellFailed);
        ++errors;
        break;
    }
    finishRow();
    return outcome;
}

void FolderRun::finishRow()
{
    view_.stepProgress();
    view_.setStatus("");
}

FolderFileOutcome FolderRun::finishUnchanged(const char* inputPath, const char* outputPath)
{
    // In place, or an output path that is the input itself under another
    // spelling: the input already is the result.
    if (!separateOutput || isSameFile(inputPath, outputPath))
        return FolderFileOutcome::NoOutput;
    if (!copyFileReplacing(inputPath, outputPath))
        return FolderFileOutcome::Failed;
    // Like a platform copy, the copy keeps its source's last-write time.
    FileTime lastWrite = 0;
    if (getFileTimes(inputPath, nullptr, nullptr, &lastWrite))
        setFileTimes(outputPath, nullptr, nullptr, &lastWrite);
    return FolderFileOutcome::Copied;
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
