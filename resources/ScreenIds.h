// Resource and control ids of the screens, shared by the resource scripts
// and the code. Plain macros so that windres can read them.
#ifndef KORVANE_SCREEN_IDS_H
#define KORVANE_SCREEN_IDS_H

// Dialog templates.
#define IDD_LICENCE_SCREEN 102
#define IDD_DRIVE_SCREEN 301
#define IDD_PROGRESS_SCREEN 302

// The licence document, an RTF file of the named resource type "BIN".
#define IDR_LICENCE 130

// Bitmaps.
#define IDB_PRODUCT_LOGO 134
#define IDB_LICENCE_BACKGROUND 300
#define IDB_PLAIN_BACKGROUND 301
#define IDB_SMALL_BACKGROUND 302
#define IDB_HELP_NORMAL 303
#define IDB_HELP_PRESSED 304
#define IDB_HELP_HOVER 305
#define IDB_CLOSE_NORMAL 306
#define IDB_CLOSE_PRESSED 307
#define IDB_CLOSE_HOVER 308
#define IDB_ACCEPT_TILE 309
#define IDB_DECLINE_TILE 310
#define IDB_REFRESH 311
#define IDB_INSTALL_DISABLED_TILE 315
#define IDB_MAKER_NORMAL 317
#define IDB_MAKER_PRESSED 318
#define IDB_MAKER_HOVER 319

// Controls every screen has (the title bar).
#define IDC_HELP_BUTTON 1007
#define IDC_CLOSE_BUTTON 1008
#define IDC_MAKER_LINK 1012
#define IDC_PRODUCT_LOGO 1010

// Licence screen.
#define IDC_ACCEPT 1001
#define IDC_DECLINE 1002
#define IDC_LICENCE_TEXT 1005
#define IDC_DESCRIPTION 1011

// Drive screen.
#define IDC_DRIVE_LIST 1002
#define IDC_REFRESH 1004
#define IDC_INSTALL 1009
#define IDC_DRIVE_HEADING 1013

// Progress screen.
#define IDC_PROGRESS 1006
#define IDC_COMPLETION_TEXT 1011
#define IDC_RUN_BUTTON 1013
#define IDC_STATUS_TEXT 1014
#define IDC_PROGRESS_DETAIL 1015

#endif
