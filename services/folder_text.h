#pragma once
// The texts of the folder conversion's progress dialog: the results list's
// columns and cells, the size formats, the trial shown in the status line and
// the closing summary.
//
// All texts are in the system code page. Pure functions; any thread.

#include <cstdint>

class TextString;
struct ConversionReport;
struct ProgressEvent;

// Columns of the results list, left to right.
enum FolderColumn : int {
    FOLDER_COLUMN_NAME = 0,
    FOLDER_COLUMN_SOURCE_SIZE = 1,
    FOLDER_COLUMN_OUTPUT_SIZE = 2,
    FOLDER_COLUMN_SIZE_CHANGE = 3,
    FOLDER_COLUMN_FORMAT = 4,
};
constexpr int kFolderColumnCount = 5;

struct FolderColumnSpec {
    const char* title;
    int width;   // pixels
};
// Title and width of each column, indexed by FolderColumn.
extern const FolderColumnSpec kFolderColumns[kFolderColumnCount];

// The "出力形式" cell of a file that did not end in a new PNG.
extern const char* const kFolderCellReadError;   // the file could not be read as an image
extern const char* const kFolderCellFailed;      // conversion or copy failed
extern const char* const kFolderCellCopied;      // not smaller: copied unchanged
extern const char* const kFolderCellNoOutput;    // not smaller: left alone in place
extern const char* const kFolderCellAnimationKept;     // an animated PNG left alone in place
extern const char* const kFolderCellAnimationCopied;   // an animated PNG copied unchanged
extern const char* const kFolderCellHardLinksKept;     // a file with other names left alone in place
extern const char* const kFolderCellOutputExists;      // the output name is another existing file's
extern const char* const kFolderCellSharedOutput;      // another input derives the same output name
// Appended to the format of a PNG made from an animated GIF's first frame.
extern const char* const kFolderNoteFirstFrame;
// The line a folder run into its own input folder prints before its rows:
// transparent colours are kept there whatever "-kt" says.
extern const char* const kFolderInPlaceTransparencyLine;

// out = size as "%.2fMB" from 1048576 bytes on, "%.2fKB" from 1024 bytes on,
// else "%uByte".
void formatFolderSize(TextString& out, uint32_t size);
// out = change in bytes with an explicit sign ("+12", "-536", "+0").
void formatSizeChange(TextString& out, int64_t change);
// out = the summary line: processed and error counts and the total change in
// KB with two decimals and an explicit sign.
void formatFolderSummary(TextString& out, uint32_t processed, uint32_t errors, int64_t totalChange);
// out = the text of a result row's column (FolderColumn other than the name)
// once the file's conversion ended as report says, in the folder dialog's
// formats. False, out untouched, for a cell that stays empty: every cell of a
// cancelled file, the sizes of a file that could not be read, the output
// size and difference of a file that was not converted.
bool folderCellText(TextString& out, int column, const ConversionReport& report);

// out = the status-line text for a progress event that starts a trial or an
// extended step: "filter %d ... ", "zw %d zm %d ... " or "拡張探索 ... ".
// False, out untouched, for every other event.
bool formatTrialStatus(TextString& out, const ProgressEvent& event);
