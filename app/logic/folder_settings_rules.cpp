#include "app/logic/folder_settings_rules.h"

#include "app/logic/app_settings.h"
#include "app/logic/folder_dialog_ids.h"
#include "core/folder_file_list.h"
#include "core/file_handle.h"
#include "core/text_string.h"

const char* const kNoTargetFormatText = "対象形式を指定してください";
const char* const kDroppedNotFolderText = "ﾌｫﾙﾀﾞではありません";
const char* const kFolderBrowseTitle = "ﾌｫﾙﾀﾞ指定";

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
    out.clear();
    const char* tail = nullptr;
    switch (problem) {
    case FolderProblem::None:
        return;
    case FolderProblem::Empty:
        tail = "を指定してください";
        break;
    case FolderProblem::Missing:
        tail = "が存在しません";
        break;
    case FolderProblem::NotFolder:
        tail = "がﾌｫﾙﾀﾞではありません";
        break;
    }
    out.assign(field == FOLDER_FIELD_INPUT ? "入力ﾌｫﾙﾀﾞ" : "出力ﾌｫﾙﾀﾞ");
    out.append(tail);
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
