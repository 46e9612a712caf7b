#pragma once
// The texts of the folder conversion's progress dialog: the results list's
// columns and cells, the size formats, the trial shown in the status line and
// the closing summary.
//
// All texts are in the chosen language (core/ui_text.h) and the system code
// page. Pure functions; any thread.

#include <cstdint>

#include "core/ui_text.h"

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
    Msg title;
    int width;   // pixels
};
// Title and width of each column, indexed by FolderColumn.
extern const FolderColumnSpec kFolderColumns[kFolderColumnCount];

// The format cell of a file that did not end in a new PNG is one of the
// catalogue's Cell* texts (Msg::CellReadError: the file could not be read as
// an image, ...); Msg::CellFirstFrameNote follows the format of a PNG made
// from an animated GIF's first frame. A folder run into its own input folder
// prints Msg::FolderInPlaceTransparency before its rows: transparent colours
// are kept there whatever "-kt" says.

// out = size as "%.2fMB" from 1048576 bytes on, "%.2fKB" from 1024 bytes on,
// else in bytes (Msg::SizeBytes).
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
// extended step: Msg::StatusFilter, StatusParameters or StatusExtended.
// False, out untouched, for every other event.
bool formatTrialStatus(TextString& out, const ProgressEvent& event);
