#pragma once
// The folder conversion of the desktop program ("フォルダ一括変換"): the
// settings dialog, then, when the user starts, the progress dialog that
// converts every listed file on a worker thread.

#include <windows.h>

struct AppSettings;

// Runs the whole feature modally over owner (the main window) and returns
// when the user has closed the last dialog. DirFlag is taken from settings
// and rewritten when the user starts; OptFlag's engine bits choose the search.
void convertFolder(HWND owner, AppSettings& settings);
