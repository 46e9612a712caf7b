#pragma once
// The file-system pieces of the folder conversion that differ by platform:
// listing a folder's entries and creating one folder level.
//
// Paths are UTF-8 text (path_text.h). Used by one thread at a time;
// nothing here keeps state between calls.

// One entry of a folder listing. name is the bare entry name and stays valid
// only during the visitor call.
struct FolderEntry {
    const char* name;
    bool isFolder;   // a folder that may be entered (a link to a folder is not one on POSIX)
};

// Called for every entry; returning false stops the listing.
using FolderEntryVisitor = bool (*)(const FolderEntry& entry, void* userData);

// Lists folder's entries in the order the file system returns them, without
// sorting ("." and ".." included where the platform reports them). The
// listing stays open while the visitor runs, so the visitor may list a
// sub-folder in turn. False when the folder cannot be listed or the visitor
// stopped the listing.
bool forEachFolderEntry(const char* folder, FolderEntryVisitor visit, void* userData);

// Creates the folder at path; its parent must exist. True when it was created.
bool createFolder(const char* path);
