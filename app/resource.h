#pragma once
// Resource ids of the desktop program, shared by Tolvarinx.rc and the code.

// Dialog templates, menu, icon, cursor.
#define IDD_MAIN 101
#define IDR_MAIN_MENU 102
#define IDD_ABOUT 103
#define IDI_PROGRAM 104
#define IDD_OPEN_PREVIEW 105
#define IDC_PICKER_CURSOR 105
#define IDD_OUTPUT 106

// Main window (101) controls.
#define IDC_PREVIEW 1001
#define IDC_OPEN_FILE 1051
#define IDC_PASTE_OPAQUE 1052
#define IDC_PASTE_32BIT 1053
#define IDC_SWATCH 1054
#define IDC_OVERWRITE 1055
#define IDC_SAVE_AS 1056
#define IDC_TEST 1057
#define IDC_INFO_LIST 1101
#define IDC_USE_TRANSPARENT 1151

// About box (103): the home-page button.
#define IDC_HOME_PAGE 1051

// Open-file dialog template (105): placeholder of the standard controls,
// preview pane (IDC_PREVIEW) and preview check box.
#define IDC_STANDARD_CONTROLS 1119
#define IDC_PREVIEW_ENABLED 1002

// Output dialog (106): the log and the close-when-finished box (1151).
#define IDC_LOG 1201
#define IDC_CLOSE_WHEN_DONE 1151

// Menu commands.
#define IDM_CONVERT_FOLDER 40001
#define IDM_EXIT 40002
#define IDM_NO_FILTER_COMPARE 40003
#define IDM_NO_DEFLATE_COMPARE 40004
#define IDM_ABOUT 40005
#define IDM_NO_8BIT_COMPARE 40006
#define IDM_CLOSE_OUTPUT_DIALOG 40007
// The radio items of the submenu "拡張探索(&X)": off, levels 1 to 3.
#define IDM_EXTENDED_OFF 40010
#define IDM_EXTENDED_LEVEL1 40011
#define IDM_EXTENDED_LEVEL2 40012
#define IDM_EXTENDED_LEVEL3 40013
#define IDM_ANIMATE_GIF 40014
#define IDM_CLEAN_ALPHA 40015
// The check items of the submenu "ﾁｬﾝｸを保持(&K)", one per group word of -kc.
#define IDM_KEEP_TEXT 40020
#define IDM_KEEP_COLOUR 40021
#define IDM_KEEP_EXIF 40022
#define IDM_KEEP_PHYS 40023
#define IDM_KEEP_TIME 40024
#define IDM_KEEP_SAFE 40025
#define IDM_KEEP_ALL 40026

// Strings.
#define IDS_OPEN_FILTER 20000
#define IDS_TEXT_LANGUAGE 20001   // the code of the resources' language ("ja", "en")
#define IDS_CLIPBOARD_BASE 20999   // + clipboard result code 1..3
#define IDS_CLIPBOARD_EMPTY 21000
#define IDS_CLIPBOARD_NOT_32BIT 21001
#define IDS_CLIPBOARD_FAILED 21002
