#include "app/folder_settings_dialog.h"

#include "app/file_drop.h"

#include <vector>

#include "app/logic/app_settings.h"
#include "app/logic/drop_rules.h"
#include "app/logic/folder_dialog_ids.h"
#include "app/logic/folder_settings_rules.h"
#include "framework/helpers.h"
#include "core/path_text.h"
#include "core/ui_text.h"
#include "framework/shell_dialogs.h"

namespace {

// Room for a folder typed or dropped: longer than any path the file
// functions accept, so what is checked is what is used.
constexpr int kFolderTextCapacity = kDroppedPathCapacity;

}  // namespace

int FolderEdit::onDropFiles(HDROP drop)
{
    char path[kFolderTextCapacity + 1];
    // A path the field cannot hold is no folder to take.
    if (!takeDroppedPathOrWarn(drop, path, kFolderTextCapacity, uiText(Msg::DroppedNotFolder)))
        return 1;
    switch (decideFolderDrop(path)) {
    case FolderDropAction::SetText:
        setPath(path);
        break;
    case FolderDropAction::WarnNotFolder:
        warningBox(uiText(Msg::DroppedNotFolder));
        break;
    case FolderDropAction::Ignore:
        break;
    }
    return 1;
}

void FolderEdit::setPath(const char* path)
{
    path_ = path;
    shown_ = displayPath(path);
    setText(shown_.c_str());
}

void FolderEdit::getPath(TextString& out) const
{
    const int length = GetWindowTextLengthA(hwnd);
    std::vector<char> text(static_cast<size_t>(length > 0 ? length : 0) + 1, 0);
    GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
    std::string path;
    if (!shown_.empty() && shown_ == text.data())
        path = path_;
    else if (!pathFromSystemText(text.data(), path))
        path.clear();
    out.assign(path.c_str());
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
    (index == 0 ? inputEdit_ : outputEdit_).getPath(text);
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
        warningBox(uiText(Msg::NoTargetFormat));
        return false;
    }
    inputFolder.reserve(kFolderTextCapacity);
    inputEdit_.getPath(inputFolder);
    outputFolder.reserve(kFolderTextCapacity);
    (sameAsInput ? inputEdit_ : outputEdit_).getPath(outputFolder);
    return true;
}

void FolderSettingsDialog::browse(int editId)
{
    FolderEdit& edit = editId == IDC_FOLDER_INPUT ? inputEdit_ : outputEdit_;
    TextString initial(kFolderTextCapacity);
    edit.getPath(initial);
    TextString chosen(kFolderTextCapacity);
    if (browseFolder(hwnd, uiText(Msg::FolderBrowseTitle), initial.c_str(), chosen, true))
        edit.setPath(chosen.c_str());
}
