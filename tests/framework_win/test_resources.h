// Resource ids of the window framework tests (shared by the .rc and the tests).
#pragma once

#define IDD_ITEMS 201
#define IDD_PLAIN 202
#define IDD_MISSING 299

#define IDC_EDIT 1001
#define IDC_CHECK 1002
#define IDC_BUTTON 1003
#define IDC_SWATCH 1004
#define IDC_LIST 1005
#define IDC_SCROLL 1006
#define IDC_SECOND_EDIT 1007

#define IDS_JAPANESE 301
#define IDS_LONG 302
#define IDS_MISSING 399

#define IDI_TEST 401
#define IDI_MISSING 499
