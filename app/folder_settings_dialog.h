#pragma once
// FolderSettingsDialog: dialog 107 "フォルダ一括変換", where the user picks
// the input and output folders, the options and the file types of a folder
// conversion. It ends with 1 once both folders exist and a file type is
// chosen; DirFlag is rewritten from the check boxes at that point (and
// already when only the file type is missing). The folders are not
// remembered: both fields start empty every time.
//
// Window thread only.

#include <string>

#include "core/text_string.h"
#include "framework/control_window.h"
#include "framework/dialog_base.h"

struct AppSettings;

// An edit box of the dialog that takes a folder dropped on it. The box shows
// a folder in the code page (path_text.h); the folder it was given stays
// behind it, so a name the code page lacks comes back whole while the box
// still shows what was put there. Text typed into it is taken as typed.
class FolderEdit : public ControlWindow {
public:
    int onDropFiles(HDROP drop) override;
    // Shows path (UTF-8) and keeps it.
    void setPath(const char* path);
    // out = the folder the box names (UTF-8).
    void getPath(TextString& out) const;

private:
    std::string path_;    // the folder last given to the box
    std::string shown_;   // the box's text for it
};

class FolderSettingsDialog : public DialogBase {
public:
    explicit FolderSettingsDialog(AppSettings& settings) : settings_(settings) {}

    // The chosen folders, exactly as typed; valid after a result of 1.
    TextString inputFolder;
    TextString outputFolder;

    int onInitDialog(LRESULT& result) override;
    int onCommand(unsigned id, unsigned code, HWND control) override;
    // Checks the field of index (0 input, 1 output) and warns about what is
    // wrong with it. True when it names an existing folder.
    bool validateFolder(int index);

private:
    // Checks both fields and the file types and takes the folders; false
    // (dialog stays open) after a warning.
    bool startCheck();
    void browse(int editId);

    AppSettings& settings_;
    FolderEdit inputEdit_;
    FolderEdit outputEdit_;
};
