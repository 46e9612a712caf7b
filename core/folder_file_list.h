#pragma once
// FolderFileList: the work list of a folder conversion, built once before the
// run by scanning the input folder (and, when asked, its sub-folders
// depth-first) and walked front to back by the worker.
//
// The list is one byte-packed buffer of variable-length records, grown in
// fixed steps; there is no allocation per file. Record layout:
//   byte 0      kind (FolderItemKind)
//   bytes 1-2   n = length of the text including its NUL, little-endian
//   bytes 3..   the text, NUL-terminated
// ITEM_END is the kind byte alone. ITEM_FILE holds a bare file name,
// ITEM_ENTER_FOLDER the full path of the sub-folder entered, ITEM_LEAVE_FOLDER
// the full path of the folder that is current again.
//
// Built on one thread; afterwards only read (nextItem moves the read position,
// so one reader at a time). Not copyable.

#include <cstdint>

#include "core/byte_buffer.h"
#include "core/text_string.h"

struct FolderEntry;

enum FolderItemKind : uint8_t {
    ITEM_FILE = 0,
    ITEM_ENTER_FOLDER = 1,
    ITEM_LEAVE_FOLDER = 0xFE,
    ITEM_END = 0xFF,
};

// typeMask bits: which extensions are listed (DirFlag's type bits >> 6).
constexpr uint16_t FOLDER_TYPE_BMP = 0x1;
constexpr uint16_t FOLDER_TYPE_PNG = 0x2;
constexpr uint16_t FOLDER_TYPE_GIF = 0x4;

constexpr uint32_t kFolderListInitialBytes = 0x4000;
constexpr uint32_t kFolderListGrowBytes = 0x4000;

class FolderFileList {
public:
    FolderFileList() = default;
    FolderFileList(const FolderFileList&) = delete;
    FolderFileList& operator=(const FolderFileList&) = delete;

    // Lists root's matching files (and its sub-folders' when includeSubfolders),
    // closes the list with ITEM_END and rewinds it. A root that cannot be
    // listed gives an empty list. False when the record buffer cannot be
    // allocated or grown: the list is then released and reads as empty.
    // excludedFolder, when given, is a folder that is never entered (the
    // output tree of a run whose output folder lies inside its input tree):
    // a sub-folder that is that existing folder under any name is skipped.
    bool build(const char* root, uint16_t typeMask, bool includeSubfolders, const char* excludedFolder = nullptr);
    // Appends the records of folder: its matching files and, when sub-folders
    // are included, each sub-folder (except those whose name begins with '.')
    // as ENTER, its records, LEAVE, at the point the listing meets it.
    // False when the buffer could not take a record.
    bool scanFolder(const char* folder);
    // True when name's extension (the text after its last '.') is one the
    // type mask asks for, compared without regard to case.
    bool matchesTypes(const char* name);
    // Reads the record at the read position: copies its text into text and
    // moves on. ITEM_END (text untouched) at the end and for every call after.
    uint8_t nextItem(TextString& text);

    int32_t includeSubfolders = 0;
    uint16_t typeMask = 0;
    AppendBuffer records;
    uint32_t fileCount = 0;      // ITEM_FILE records
    uint32_t readPosition = 0;   // offset of the next record in records

private:
    static bool visitEntry(const FolderEntry& entry, void* userData);
    bool appendRecord(uint8_t kind, const char* text);

    // The folder being listed while scanFolder runs (its visitor's context).
    const char* currentFolder_ = nullptr;
    TextString excludedFolder_;   // empty: every sub-folder is entered
    bool failed_ = false;
    TextString name_;        // scratch for matchesTypes
    TextString extension_;   // scratch for matchesTypes
};
