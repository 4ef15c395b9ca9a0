// Ids the window framework itself knows: standard commands, control-bar ids, status-bar
// indicators, the idle text, and the prompts the framework shows. Resource scripts include this
// file (through the program's resource.h), so it holds #define lines only.
#pragma once

// Application title (the caption of the framework's message boxes) and the status bar's idle
// text.
#define IDS_APP_TITLE 57344
#define IDS_IDLE_MESSAGE 57345
#define IDS_ALL_FILES_FILTER 61443
#define IDS_UNTITLED 61444

// File commands.
#define ID_FILE_NEW 57600
#define ID_FILE_OPEN 57601
#define ID_FILE_CLOSE 57602
#define ID_FILE_SAVE 57603
#define ID_FILE_SAVE_AS 57604
#define ID_FILE_PRINT 57607
#define ID_FILE_MRU_FILE1 57616
#define ID_FILE_MRU_FILE2 57617
#define ID_FILE_MRU_FILE3 57618
#define ID_FILE_MRU_FILE4 57619
#define ID_FILE_MRU_LAST 57631

// Edit commands.
#define ID_EDIT_COPY 57634
#define ID_EDIT_CUT 57635
#define ID_EDIT_PASTE 57637
#define ID_EDIT_SELECT_ALL 57642
#define ID_EDIT_UNDO 57643

// Application commands.
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665

// Control bars; the same ids toggle them from the View menu.
#define ID_VIEW_TOOLBAR 59392
#define ID_VIEW_STATUS_BAR 59393

// Status-bar indicator panes (their texts are string resources of the same ids).
#define ID_INDICATOR_CAPS 59137
#define ID_INDICATOR_NUM 59138
#define ID_INDICATOR_SCRL 59139
#define ID_INDICATOR_KANA 59142

// Prompts.
#define IDP_INVALID_FILENAME 61696
#define IDP_FAILED_TO_OPEN_DOC 61697
#define IDP_FAILED_TO_SAVE_DOC 61698
#define IDP_ASK_TO_SAVE 61699
#define IDP_FAILED_TO_CREATE_DOC 61700
#define IDP_PARSE_INT_RANGE 61714
#define IDP_PARSE_REAL_RANGE 61715
