#include "services/folder_file_conversion.h"

#include "core/file_handle.h"
#include "services/folder_text.h"

void FolderFileConversion::setProgress(ProgressCallback callback, void* userData, volatile int16_t* cancelFlag)
{
    request_.callback = callback;
    request_.userData = userData;
    request_.cancelFlag = cancelFlag;
}

bool FolderFileConversion::load(const char* inputPath, uint16_t options)
{
    inputPath_.assign(inputPath);
    transparentColour_ = -1;
    inputSize_ = 0;
    if (!loadConversionInput(inputPath, options, image_, transparentColour_, colourChunks_)) {
        image_.release();
        return false;
    }
    inputSize_ = fileSizeByName(inputPath);
    return true;
}

FolderFileOutcome FolderFileConversion::convert(PngOptimizer& optimizer, const FolderJob& job,
                                                const FolderFileSettings& settings)
{
    fillConvertRequest(request_, image_, settings.keepTransparent ? transparentColour_ : -1, settings.options,
                       &colourChunks_);
    request_.extendedIterations = settings.extendedIterations;
    OutputTarget target;
    target.inputPath = inputPath_.c_str();
    target.inputSize = inputSize_;
    target.outputPath = job.outputPath.c_str();
    target.rules = static_cast<uint16_t>((settings.keepTimeStamps ? OUTPUT_KEEP_TIME_STAMPS : 0) |
                                         (settings.testRun ? OUTPUT_TEST_RUN : 0) |
                                         (job.derivedOutput ? OUTPUT_DERIVED_NAME : 0) |
                                         (job.sharedOutput ? OUTPUT_SHARED_NAME : 0) |
                                         (settings.replaceExisting ? OUTPUT_REPLACE_EXISTING : 0));
    outputOutcome_ = convertToFile(optimizer, request_, target, &notes_);
    switch (outputOutcome_) {
    case OutputOutcome::Converted:
        return FolderFileOutcome::Converted;
    case OutputOutcome::Copied:
        return FolderFileOutcome::Copied;
    case OutputOutcome::NoOutput:
        return FolderFileOutcome::NoOutput;
    case OutputOutcome::OutputExists:
    case OutputOutcome::SharedOutput:
        return FolderFileOutcome::Refused;
    default:
        return FolderFileOutcome::Failed;
    }
}

void formatFolderOutcome(TextString& out, FolderFileOutcome outcome, OutputOutcome outputOutcome, uint16_t notes,
                         const ConversionResult& result)
{
    switch (outcome) {
    case FolderFileOutcome::Converted:
        formatEncodingSummary(out, result);
        if (notes & CONVERSION_NOTE_FIRST_FRAME)
            out.append(kFolderNoteFirstFrame);
        break;
    case FolderFileOutcome::ReadError:
        out.assign(kFolderCellReadError);
        break;
    case FolderFileOutcome::Copied:
        out.assign((notes & CONVERSION_NOTE_ANIMATED_PNG) ? kFolderCellAnimationCopied : kFolderCellCopied);
        break;
    case FolderFileOutcome::NoOutput:
        out.assign((notes & CONVERSION_NOTE_ANIMATED_PNG) ? kFolderCellAnimationKept
                   : (notes & CONVERSION_NOTE_HARD_LINKS) ? kFolderCellHardLinksKept
                                                          : kFolderCellNoOutput);
        break;
    case FolderFileOutcome::Refused:
        out.assign(outputOutcome == OutputOutcome::SharedOutput ? kFolderCellSharedOutput : kFolderCellOutputExists);
        break;
    default:
        out.assign(kFolderCellFailed);
        break;
    }
}

bool folderCellText(TextString& out, int column, FolderFileOutcome outcome, const FolderFileConversion& file)
{
    if (outcome == FolderFileOutcome::Stopped)
        return false;
    switch (column) {
    case FOLDER_COLUMN_SOURCE_SIZE:
        if (outcome == FolderFileOutcome::ReadError)
            return false;
        formatFolderSize(out, file.inputSize());
        return true;
    case FOLDER_COLUMN_OUTPUT_SIZE:
        if (outcome != FolderFileOutcome::Converted)
            return false;
        formatFolderSize(out, file.request().fileSize);
        return true;
    case FOLDER_COLUMN_SIZE_CHANGE:
        if (outcome != FolderFileOutcome::Converted)
            return false;
        formatSizeChange(out, file.sizeChange());
        return true;
    case FOLDER_COLUMN_FORMAT:
        formatFolderOutcome(out, outcome, file.outputOutcome(), file.notes(), conversionResultOf(file.request()));
        return true;
    default:
        return false;
    }
}
