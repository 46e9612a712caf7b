#pragma once
// A window's answer to a file drop (WM_DROPFILES): the first path whole, or a
// warning. Window thread.

#include <windows.h>
// HDROP.
#include <shellapi.h>

// Copies the first path of drop into buffer (capacity bytes and a NUL) and
// finishes the drop. True when the path was taken whole; false when the drop
// held no path, or one longer than buffer holds: that one is refused with the
// warning tooLongText, since a cut path names another file or folder.
bool takeDroppedPathOrWarn(HDROP drop, char* buffer, unsigned capacity, const char* tooLongText);
