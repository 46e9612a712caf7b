#pragma once
// The open-file dialog of the desktop program: the platform's Explorer-style
// dialog extended by template 105 with a preview pane and a "プレビュー" check
// box. While OptFlag's OPT_OPEN_DIALOG_PREVIEW bit is set, each file the user
// selects is previewed; the check box toggles the bit, so the choice survives
// in the settings. One dialog at a time; window thread.

#include <windows.h>

class PreviewPane;
class TextString;

// Shows the dialog (the UTF-16 one, so every name can be chosen). filter is
// the "name\0pattern\0...\0\0" list in the code page; path (UTF-8) holds the
// proposed name on entry (as many UTF-16 units as its buffer has bytes are
// offered to the dialog) and the chosen file on return. pane is the template's preview, attached while
// the dialog runs. True when the user chose a file.
bool chooseOpenFile(HWND owner, const char* filter, const char* defaultExtension, const char* initialFolder,
                    TextString& path, PreviewPane& pane);
