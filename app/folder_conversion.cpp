#include "app/folder_conversion.h"

#include "app/closable_run.h"
#include "app/folder_progress_dialog.h"
#include "app/folder_settings_dialog.h"
#include "app/logic/app_settings.h"
#include "app/logic/folder_dialog_ids.h"

void convertFolder(HWND owner, AppSettings& settings, ClosableRun** activeRun)
{
    FolderSettingsDialog settingsDialog(settings);
    if (settingsDialog.showModal(IDD_FOLDER_SETTINGS, owner) != 1)
        return;   // cancelled, or the dialog could not be shown
    FolderProgressDialog progressDialog(settings);
    progressDialog.inputFolder.assign(settingsDialog.inputFolder.c_str());
    progressDialog.outputFolder.assign(settingsDialog.outputFolder.c_str());
    const ActiveRunScope scope(activeRun, progressDialog);
    progressDialog.showModal(IDD_FOLDER_PROGRESS, owner);
}
