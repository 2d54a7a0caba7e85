// Resource identifiers shared by the resource script and the program.
#pragma once

#define IDI_LUMEVA 117

#define IDB_TOOLBAR 103
#define IDB_SPLASH 107
#define IDB_MAKER_LINK 125
#define IDB_PRODUCT_LINK 126

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

#define IDD_ABOUT 122
#define IDC_ABOUT_TEXT 1201

#define IDS_QUIT 1
#define IDS_CROP 2
#define IDS_ZOOM 3
#define IDS_ROTATE 4
#define IDS_UNDO 5
#define IDS_RETOUCH 6
#define IDS_SAVE 7
#define IDS_BACK 8
#define IDS_STATUS 9
#define IDS_STATUS_VIEW 10
#define IDS_STATUS_CROP 11
#define IDS_STATUS_REDEYES 12
#define IDS_SAVEQUESTION 13
#define IDS_ABOUT 14
#define IDS_SAVEAS 15
#define IDS_SAVE_WARNING 16
#define IDS_SAVE_PROBLEM 17
#define IDS_STATUS_TEXT 18
#define IDS_ZOOMIN 19
#define IDS_ZOOMOUT 20
#define IDS_FIT 21
#define IDS_CLOSE_WARNING 22
#define IDS_ADDTEXT 23
#define IDS_REMOVEREDEYES 24
#define IDS_INFO_GREEN 25
#define IDS_INFO_YELLOW 26
#define IDS_INFO_RED 27
