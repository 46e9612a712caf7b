#pragma once
// The folder conversion of the desktop program ("フォルダ一括変換"): the
// settings dialog, then, when the user starts, the progress dialog that
// converts every listed file on a worker thread.

#include <windows.h>

struct AppSettings;
class ClosableRun;

// Runs the whole feature modally over owner (the main window) and returns
// when the user has closed the last dialog. DirFlag is taken from settings
// and rewritten when the user starts; OptFlag's engine bits and extended
// level choose the search.
// While the progress dialog runs, *activeRun (when given) names it, so that
// the owner can end the run when it is asked to close; null otherwise.
void convertFolder(HWND owner, AppSettings& settings, ClosableRun** activeRun = nullptr);
