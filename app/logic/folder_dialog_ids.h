#pragma once
// Resource ids of the folder conversion's two dialogs, shared by
// folder_dialogs.rc and the code. Plain #defines so that the resource
// compiler can read them.

// Templates.
#define IDD_FOLDER_SETTINGS 107
#define IDD_FOLDER_PROGRESS 108

// Folder settings dialog (107).
#define IDC_FOLDER_BROWSE_INPUT 1051
#define IDC_FOLDER_BROWSE_OUTPUT 1052
#define IDC_FOLDER_SAME_AS_INPUT 1151
#define IDC_FOLDER_SUBFOLDERS 1152
#define IDC_FOLDER_KEEP_TIMESTAMP 1153
#define IDC_FOLDER_KEEP_TRANSPARENT 1154
#define IDC_FOLDER_TYPE_BMP 1155
#define IDC_FOLDER_TYPE_PNG 1156
#define IDC_FOLDER_TYPE_GIF 1157
// The output edit is IDC_FOLDER_INPUT + 1.
#define IDC_FOLDER_INPUT 1201
#define IDC_FOLDER_OUTPUT 1202

// Folder progress dialog (108).
#define IDC_FOLDER_RESULTS 1101
#define IDC_FOLDER_PROGRESS 1251
#define IDC_FOLDER_STATUS 1301

// The worker's end, sent to the progress dialog as WM_COMMAND with this id.
#define ID_WORKER_DONE 9000
