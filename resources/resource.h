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

// Drop-down menus of the toolbar buttons.
#define IDR_MENU_ZOOM 111
#define IDR_MENU_CROP 112
#define IDR_MENU_ROTATE 113
#define IDR_MENU_UNDO 114
#define IDR_MENU_SAVE 115
#define IDR_MENU_RETOUCH 116

#define IDM_QUIT 40001
#define IDM_ZOOMIN 40002
#define IDM_ZOOMOUT 40003
#define IDM_FIT 40004
#define IDM_ROTATEL90 40008
#define IDM_ROTATER90 40009
#define IDM_HFLIP 40010
#define IDM_VFLIP 40011
#define IDM_UNDOLAST 40012
#define IDM_UNDOALL 40013
#define IDM_SAVEFILE 40014
#define IDM_SAVEASFILE 40015
#define IDM_BALANCE 40016
#define IDM_AUTOCONTRAST 40017
#define IDM_AUTOLEVELS 40018
#define IDM_BLUR 40019
#define IDM_ENHANCE 40020
#define IDM_BINARY 40021
#define IDM_SEPIA 40022
#define IDM_ADDTEXT 40023
#define IDM_REDEYES 40024
#define IDM_PORTRAIT 40025
#define IDM_FORMAT_9X13 40026
#define IDM_FORMAT_10X15 40027
#define IDM_FORMAT_13X18 40028
#define IDM_FORMAT_13X19 40029
#define IDM_FORMAT_15X21 40030
#define IDM_FORMAT_20X27 40031
#define IDM_FORMAT_20X30 40032
#define IDM_FORMAT_10X13 40033
#define IDM_FORMAT_11X15 40034
#define IDM_FORMAT_13X17 40035
#define IDM_FORMAT_15X20 40036

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

// ---- The adjust-colours dialog and the add-text dialog ---------------------------------------
#define IDD_ADJUST 119
#define IDD_FONT 124

// Adjust colours: captions, preview frames, then slider and value field of each setting.
#define IDC_BEFORE 1027
#define IDC_AFTER 1028
#define IDC_BEFORE_FRAME 1029
#define IDC_AFTER_FRAME 1030
#define IDC_TBRIGHTNESS 1011
#define IDC_TCONTRAST 1013
#define IDC_TGAMMA 1016
#define IDC_TRED 1019
#define IDC_TGREEN 1025
#define IDC_TBLUE 1022
#define IDC_BRIGHTNESS 1009
#define IDC_CONTRAST 1012
#define IDC_GAMMA 1015
#define IDC_RED 1018
#define IDC_GREEN 1024
#define IDC_BLUE 1021
#define IDC_BRIGHTNESS_VALUE 1010
#define IDC_CONTRAST_VALUE 1014
#define IDC_GAMMA_VALUE 1017
#define IDC_RED_VALUE 1020
#define IDC_GREEN_VALUE 1026
#define IDC_BLUE_VALUE 1023

// Add text.
#define IDC_COLOR 1005
#define IDC_BOLD 1006
#define IDC_UNDER 1007
#define IDC_ITALIC 1008
#define IDC_STRIKE 1009
#define IDC_FONTNAMES 1031
#define IDC_FONTSIZES 1032
#define IDC_TEXT 1033
#define IDC_FONT 1035
#define IDC_ATTR 1036
#define IDC_FONTNAME 1037
#define IDC_FONTSIZE 1038
