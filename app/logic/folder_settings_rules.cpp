#include "app/logic/folder_settings_rules.h"

#include "app/logic/app_settings.h"
#include "app/logic/folder_dialog_ids.h"
#include "core/folder_file_list.h"
#include "core/file_handle.h"
#include "core/text_string.h"
#include "core/ui_text.h"

const DirFlagBox kDirFlagBoxes[kDirFlagBoxCount] = {
    {IDC_FOLDER_SUBFOLDERS, DIR_SUBFOLDERS}, {IDC_FOLDER_KEEP_TIMESTAMP, DIR_KEEP_TIMESTAMP},
    {IDC_FOLDER_KEEP_TRANSPARENT, DIR_KEEP_TRANSPARENT}, {IDC_FOLDER_TYPE_BMP, DIR_BMP},
    {IDC_FOLDER_TYPE_PNG, DIR_PNG}, {IDC_FOLDER_TYPE_GIF, DIR_GIF},
};

namespace {

// The type bits sit this far up in DirFlag.
constexpr int kTypeBitsShift = 6;

}  // namespace

FolderProblem checkFolderPath(const char* text)
{
    if (text[0] == 0)
        return FolderProblem::Empty;
    if (!fileExists(text))
        return FolderProblem::Missing;
    if (!isDirectory(text))
        return FolderProblem::NotFolder;
    return FolderProblem::None;
}

void folderProblemText(TextString& out, FolderField field, FolderProblem problem)
{
    const bool input = field == FOLDER_FIELD_INPUT;
    switch (problem) {
    case FolderProblem::None:
        out.clear();
        return;
    case FolderProblem::Empty:
        out.assign(uiText(input ? Msg::InputFolderEmpty : Msg::OutputFolderEmpty));
        return;
    case FolderProblem::Missing:
        out.assign(uiText(input ? Msg::InputFolderMissing : Msg::OutputFolderMissing));
        return;
    case FolderProblem::NotFolder:
        out.assign(uiText(input ? Msg::InputFolderNotFolder : Msg::OutputFolderNotFolder));
        return;
    }
}

FolderDropAction decideFolderDrop(const char* path)
{
    switch (checkFolderPath(path)) {
    case FolderProblem::None:
        return FolderDropAction::SetText;
    case FolderProblem::NotFolder:
        return FolderDropAction::WarnNotFolder;
    case FolderProblem::Empty:
    case FolderProblem::Missing:
        break;
    }
    return FolderDropAction::Ignore;
}

bool hasTargetFormat(uint16_t dirFlag)
{
    return (dirFlag & (DIR_BMP | DIR_PNG | DIR_GIF)) != 0;
}

uint16_t folderTypeMask(uint16_t dirFlag)
{
    return static_cast<uint16_t>(dirFlag >> kTypeBitsShift) & (FOLDER_TYPE_BMP | FOLDER_TYPE_PNG | FOLDER_TYPE_GIF);
}
