#pragma once
// FolderRun: the work of one folder conversion, independent of the windows
// that show it. It walks a FolderFileList (folder_walk.h), converts every listed file with the PNG optimizer and tells a
// FolderRunView what to show: one row per file (newest on top, at most
// kFolderResultRows), the progress, the trial under way and the summary.
//
// Threads: run() runs on the worker thread. The only data
// another thread touches meanwhile are the two 16-bit flags passed to begin(),
// which the user-interface thread sets to 1 to stop (relaxed atomic stores,
// core/shared_flag.h; no lock).
// The view's operations are called on the worker thread.

#include <cstdint>

#include "core/shared_flag.h"
#include "core/text_string.h"
#include "services/image_conversion.h"
#include "services/folder_walk.h"

class FolderFileList;

// The results list holds the newest files only.
constexpr int kFolderResultRows = 25;

// What the run shows. Row texts go to the top row, which the last call of
// insertTopRow made.
class FolderRunView {
public:
    // Inserts a row at the top of the results list with name in its first
    // column; returns the number of rows the list holds now.
    virtual int insertTopRow(const char* name) = 0;
    virtual void deleteRow(int index) = 0;
    // Sets the text of column (FolderColumn) of the top row.
    virtual void setTopRowCell(int column, const char* text) = 0;
    // Advances the progress bar by one file.
    virtual void stepProgress() = 0;
    virtual void setStatus(const char* text) = 0;

protected:
    ~FolderRunView() = default;
};

struct FolderRunSettings {
    const char* inputRoot = "";
    const char* outputRoot = "";   // may equal inputRoot (compared without regard to case)
    uint16_t dirFlag = 0;          // DIR_* bits
    uint16_t optFlag = 0;          // only the engine's option bits and the extended level are used
    const char* keepChunks = "";   // AppSettings::KeepChunks
};

class FolderRun : private ProgressSink {
public:
    FolderRun(PngOptimizer& optimizer, FolderRunView& view) : optimizer_(optimizer), view_(view) {}
    FolderRun(const FolderRun&) = delete;
    FolderRun& operator=(const FolderRun&) = delete;

    // Prepares a run: the walk starts from the roots and the counters are
    // cleared. cancelFlag ends the conversion under way (it is only read);
    // stopFlag is the user's stop request for the whole run. Nothing here
    // clears either; both must stay valid until the run ends.
    void begin(const FolderRunSettings& settings, volatile int16_t* cancelFlag, volatile int16_t* stopFlag);
    // Walks list from its read position to ITEM_END, then shows the summary.
    // A stop request ends the walk before the next file, or at once when it
    // interrupted a conversion.
    void run(FolderFileList& list);
    // Shows the summary line of what was done so far.
    void showSummary();

    uint32_t processed = 0;
    uint32_t errors = 0;
    int64_t totalChange = 0;   // bytes, output minus input of the converted files
    bool separateOutput = false;

private:
    // Shows the trial under way in the status line.
    void onProgress(const ProgressEvent& event) override;
    // Converts the job's file and reports it as the top row of the view;
    // false when a stop request ended it.
    bool processFile(const FolderJob& job);
    bool stopRequested() const { return stopFlag_ && loadSharedFlag(stopFlag_) != 0; }
    // Advances the progress bar and clears the status line after a file.
    void finishRow();
    void setCell(int column, const char* text) { view_.setTopRowCell(column, text); }

    PngOptimizer& optimizer_;
    FolderRunView& view_;
    volatile int16_t* cancelFlag_ = nullptr;
    volatile int16_t* stopFlag_ = nullptr;
    ConversionSettings fileSettings_;
    ImageConversion file_;
    FolderWalk walk_;
    FolderJob job_;
    TextString cell_;
    TextString status_;
};
