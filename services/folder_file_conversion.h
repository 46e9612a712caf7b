#pragma once
// The per-file work of a folder conversion, shared by the desktop program's
// folder run and the console's folder mode: loading one listed file (its
// paths come from folder_walk.h), converting it under the output rules of
// conversion.h, and the texts of its result row.
//
// A FolderFileConversion holds one file's image and request; one object per
// thread, files one after another.

#include <cstdint>

#include "core/dib_image.h"
#include "core/text_string.h"
#include "services/conversion.h"
#include "services/folder_walk.h"

// How one file ended.
enum class FolderFileOutcome {
    ReadError,   // not readable as an image
    Failed,      // conversion (or the copy of an unshrinkable PNG) failed
    Copied,      // PNG not made smaller: copied unchanged to the output folder
    NoOutput,    // PNG not made smaller, output in place: left alone
    Converted,   // a new PNG was written
    Stopped,     // the user stopped the run during this file; no result
    Refused,     // the output name is another file's or another input's (OutputExists, SharedOutput)
};

// What every file of one folder conversion is converted with.
struct FolderFileSettings {
    uint16_t options = 0;          // OPT_* bits (others are ignored)
    int32_t extendedIterations = 0;   // ConvertRequest::extendedIterations
    bool keepTimeStamps = false;   // outputs get their inputs' time stamps
    bool keepTransparent = false;  // a PNG/GIF input's transparent colour is kept
    bool testRun = false;          // search only: nothing is written (OUTPUT_TEST_RUN)
    bool replaceExisting = false;  // OUTPUT_REPLACE_EXISTING
};

class FolderFileConversion {
public:
    FolderFileConversion() = default;
    FolderFileConversion(const FolderFileConversion&) = delete;
    FolderFileConversion& operator=(const FolderFileConversion&) = delete;

    // The request's progress and control fields, kept for every file.
    void setProgress(ProgressCallback callback, void* userData, volatile int16_t* cancelFlag);
    // Loads inputPath (copied) as a conversion with options reads it (see
    // loadConversionInput) and reads its size. False when it is not readable
    // as an image (the outcome is then ReadError).
    bool load(const char* inputPath, uint16_t options);
    // Converts the loaded file into job.outputPath (a name the program
    // derived when job.derivedOutput). Never ReadError or Stopped.
    FolderFileOutcome convert(PngOptimizer& optimizer, const FolderJob& job, const FolderFileSettings& settings);

    // How the last convert ended under the output rules (Failed: the
    // conversion itself, CopyFailed: the copy after it).
    OutputOutcome outputOutcome() const { return outputOutcome_; }
    // The CONVERSION_NOTE_* bits of the last convert.
    uint16_t notes() const { return notes_; }
    uint32_t inputSize() const { return inputSize_; }
    // Pixels of the loaded image (0 after a failed load).
    int64_t pixelCount() const { return static_cast<int64_t>(image_.width) * image_.height; }
    const ConvertRequest& request() const { return request_; }
    // Output minus input bytes of a converted file.
    int64_t sizeChange() const { return static_cast<int64_t>(request_.fileSize) - static_cast<int64_t>(inputSize_); }

private:
    DibImage image_;
    AppendBuffer colourChunks_;   // kept by the extended search
    ConvertRequest request_;
    TextString inputPath_;
    int32_t transparentColour_ = -1;
    uint32_t inputSize_ = 0;
    OutputOutcome outputOutcome_ = OutputOutcome::Failed;
    uint16_t notes_ = 0;
};

// out = the "出力形式" cell of a file that ended with outcome (its output
// outcome and CONVERSION_NOTE_* bits as the conversion reported them).
void formatFolderOutcome(TextString& out, FolderFileOutcome outcome, OutputOutcome outputOutcome, uint16_t notes,
                         const ConversionResult& result);

// out = the text of a result row's column (FolderColumn other than the name)
// once the file ended with outcome, in the folder dialog's formats. False,
// out untouched, for a cell that stays empty for that outcome: every cell of
// a stopped file, the sizes of a file that could not be read, the output
// size and difference of a file that was not converted.
bool folderCellText(TextString& out, int column, FolderFileOutcome outcome, const FolderFileConversion& file);
