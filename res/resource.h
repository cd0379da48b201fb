// Resource identifiers shared by the templates and the code.
#pragma once

#define IDR_MAINFRAME           128   // application icon

#define IDD_MP3SORVANE_DIALOG   102   // launcher
#define IDD_WORK_DIALOG         129
#define IDD_MODIFYTAG_DIALOG    130
#define IDD_UPDATE_DIALOG       132

// Launcher (102)
#define IDC_STATIC_INFO         1000
#define IDC_BTN_START           1001
#define IDC_BTN_EXIT            1002

// Work window (129)
#define IDC_BTN_MOVE_START      1001
#define IDC_FILE_LIST           1002
#define IDC_STATIC_STATUS       1003
#define IDC_PROGRESS            1004
#define IDC_STATIC_PROGRESS     1005
#define IDC_BTN_OPEN_FOLDER     1006
#define IDC_BTN_COPY_START      1007
#define IDC_BTN_WORK_EXIT       1008
#define IDC_BTN_STOP            1009
#define IDC_STATIC_PATHS        1010
#define IDC_BTN_ADD_LIST        1023

// Tag edit (130)
#define IDC_EDIT_ALBUM          1011
#define IDC_EDIT_TITLE          1012
#define IDC_EDIT_TRACK          1013
#define IDC_EDIT_ARTIST         1014
#define IDC_EDIT_YEAR           1015
#define IDC_EDIT_COMMENT        1017
#define IDC_BTN_SAVE            1018
#define IDC_BTN_CANCEL          1019
#define IDC_COMBO_GENRE         1020

// Update notice (132)
#define IDC_LINK_SITE           1022
#define IDC_LINK_VERSION        1023

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
