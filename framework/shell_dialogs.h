#pragma once
// The platform's save-file dialog and folder browser. Both are modal, run on
// the user-interface thread, and write the caller's string only after a
// choice: on cancel or failure the string is left as it was. Paths (the
// folders, file) are UTF-8 (path_text.h); filter and title are texts of the
// code page. Both dialogs are the UTF-16 ones, so every name can be chosen.

#include <windows.h>

class TextString;

// Shows the save-file dialog (the OPENFILENAMEW layout of version 4, platform
// title). filter is the usual "name\0pattern\0...\0\0" list. The initial
// content of file is the proposed name; with intoFileName the chosen full
// path is returned in file, otherwise only the chosen name without its folder.
// overwritePrompt asks before an existing file is chosen. True when the user
// chose a file.
bool chooseSaveFile(HWND owner, const char* filter, const char* defaultExtension, const char* initialFolder,
                    bool intoFileName, bool overwritePrompt, TextString& file);

// Shows the folder browser (file-system folders only) with initialFolder
// selected. With trimDriveRoot a drive root comes back as "C:" rather than
// "C:\\". True when the user chose a folder. COM must be initialised on the
// calling thread.
bool browseFolder(HWND owner, const char* title, const char* initialFolder, TextString& folder,
                  bool trimDriveRoot);
