#pragma once
// The folder settings dialog's decisions that do not depend on the platform:
// checking a typed folder, the warning texts, what a dropped path does, and
// the DirFlag bits behind its check boxes.
//
// Pure functions apart from asking the file system about a path; window thread.

#include <cstdint>

class TextString;

// What is wrong with a folder field.
enum class FolderProblem {
    None,        // an existing folder
    Empty,       // nothing typed
    Missing,     // the file system knows no such path
    NotFolder,   // the path names a file
};

// Checks text exactly as typed (no trimming, no separator handling).
FolderProblem checkFolderPath(const char* text);

// The field a problem belongs to.
enum FolderField { FOLDER_FIELD_INPUT = 0, FOLDER_FIELD_OUTPUT = 1 };
// out = the warning for problem in field (Msg::InputFolderEmpty, ...,
// OutputFolderNotFolder); empty for None.
void folderProblemText(TextString& out, FolderField field, FolderProblem problem);

// The warning when none of the target formats is checked is
// Msg::NoTargetFormat, the one when a file rather than a folder is dropped on
// a folder field Msg::DroppedNotFolder; Msg::FolderBrowseTitle titles the
// folder browser.

// What a path dropped on a folder field does.
enum class FolderDropAction {
    Ignore,          // the path does not exist: nothing happens
    SetText,         // a folder: it becomes the field's text
    WarnNotFolder,   // a file: warning Msg::DroppedNotFolder, field unchanged
};
FolderDropAction decideFolderDrop(const char* path);

// The DirFlag bit of each option check box, in dialog order.
struct DirFlagBox {
    int controlId;
    uint16_t bit;
};
constexpr int kDirFlagBoxCount = 6;
extern const DirFlagBox kDirFlagBoxes[kDirFlagBoxCount];

// True when at least one of DIR_BMP, DIR_PNG, DIR_GIF is set.
bool hasTargetFormat(uint16_t dirFlag);
// The file list's type mask (FOLDER_TYPE_* bits) of dirFlag's type bits.
uint16_t folderTypeMask(uint16_t dirFlag);
