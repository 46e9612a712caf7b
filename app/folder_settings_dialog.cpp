#include "app/folder_settings_dialog.h"

#include "app/file_drop.h"
#include "app/logic/app_settings.h"
#include "app/logic/drop_rules.h"
#include "app/logic/folder_dialog_ids.h"
#include "app/logic/folder_settings_rules.h"
#include "framework/helpers.h"
#include "framework/shell_dialogs.h"

namespace {

// Room for a folder typed or dropped: longer than any path the ANSI file
// functions accept, so what is checked is what is used.
constexpr int kFolderTextCapacity = kDroppedPathCapacity;

}  // namespace

int FolderEdit::onDropFiles(HDROP drop)
{
    char path[kFolderTextCapacity + 1];
    // A path the field cannot hold is no folder to take.
    if (!takeDroppedPathOrWarn(drop, path, kFolderTextCapacity, kDroppedNotFolderText))
        return 1;
    switch (decideFolderDrop(path)) {
    case FolderDropAction::SetText:
        setText(path);
        break;
    case FolderDropAction::WarnNotFolder:
        warningBox(kDroppedNotFolderText);
        break;
    case FolderDropAction::Ignore:
        break;
    }
    return 1;
}

int FolderSettingsDialog::onInitDialog(LRESULT& result)
{
    inputEdit_.bindDialogItem(hwnd, IDC_FOLDER_INPUT);
    inputEdit_.attach();
    outputEdit_.bindDialogItem(hwnd, IDC_FOLDER_OUTPUT);
    outputEdit_.attach();
    for (const DirFlagBox& box : kDirFlagBoxes)
        check(box.controlId, (settings_.DirFlag & box.bit) ? BST_CHECKED : BST_UNCHECKED);
    result = TRUE;
    return 1;
}

int FolderSettingsDialog::onCommand(unsigned id, unsigned, HWND)
{
    switch (id) {
    case IDOK:
        if (startCheck())
            endDialog(1);
        return 1;
    case IDCANCEL:
        endDialog(0);
        return 1;
    case IDC_FOLDER_BROWSE_INPUT:
        browse(IDC_FOLDER_INPUT);
        return 1;
    case IDC_FOLDER_BROWSE_OUTPUT:
        browse(IDC_FOLDER_OUTPUT);
        return 1;
    case IDC_FOLDER_SAME_AS_INPUT:
        enableItem(IDC_FOLDER_OUTPUT, isChecked(IDC_FOLDER_SAME_AS_INPUT) != BST_CHECKED);
        return 1;
    default:
        return 0;
    }
}

bool FolderSettingsDialog::validateFolder(int index)
{
    TextString text(kFolderTextCapacity);
    itemText(IDC_FOLDER_INPUT + index, text);
    const FolderProblem problem = checkFolderPath(text.c_str());
    if (problem == FolderProblem::None)
        return true;
    TextString message;
    folderProblemText(message, index == 0 ? FOLDER_FIELD_INPUT : FOLDER_FIELD_OUTPUT, problem);
    warningBox(message.c_str());
    return false;
}

bool FolderSettingsDialog::startCheck()
{
    const bool sameAsInput = isChecked(IDC_FOLDER_SAME_AS_INPUT) == BST_CHECKED;
    if (!validateFolder(0) || (!sameAsInput && !validateFolder(1)))
        return false;
    uint16_t dirFlag = 0;
    for (const DirFlagBox& box : kDirFlagBoxes) {
        if (isChecked(box.controlId) == BST_CHECKED)
            dirFlag |= box.bit;
    }
    settings_.DirFlag = dirFlag;
    if (!hasTargetFormat(dirFlag)) {
        warningBox(kNoTargetFormatText);
        return false;
    }
    inputFolder.reserve(kFolderTextCapacity);
    itemText(IDC_FOLDER_INPUT, inputFolder);
    outputFolder.reserve(kFolderTextCapacity);
    itemText(sameAsInput ? IDC_FOLDER_INPUT : IDC_FOLDER_OUTPUT, outputFolder);
    return true;
}

void FolderSettingsDialog::browse(int editId)
{
    TextString initial(kFolderTextCapacity);
    itemText(editId, initial);
    TextString chosen(kFolderTextCapacity);
    if (browseFolder(hwnd, kFolderBrowseTitle, initial.c_str(), chosen, true))
        setItemText(editId, chosen.c_str());
}
