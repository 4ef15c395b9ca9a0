// Resource ids of the program; Vetrin.rc and the code share them. The framework's own ids
// (standard commands, indicators, prompts) come from StandardIds.h.
#pragma once

#include "../framework/StandardIds.h"

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialogs.
#define IDD_ABOUTBOX 100
#define IDD_OPTION_PAGE1 103
#define IDD_OPTION_PAGE2 104
#define IDD_OPTION_PAGE3 105
#define IDD_MESSAGE_BAR 130
#define IDD_SET_WPM 131
#define IDD_CW_BAR 132
#define IDD_EDIT_FN_MESSAGE 134

// Strings.
#define IDS_OPTION_SHEET_CAPTION 102
// Refusals of an empty number field of the options (%1, %2: the range).
#define IDS_EMPTY_INT_RANGE 140
#define IDS_EMPTY_REAL_RANGE 141

// The document template: menu, accelerators, icon, tool bar bitmap, document string.
#define IDR_MAINFRAME 127

// Control-bar ids of the two dialog bars.
#define IDW_MESSAGE_BAR 59397
#define IDW_CW_BAR 59398

// Menu commands.
#define ID_VIEW_MESSAGE_BAR 32771
#define ID_INDICATOR_WPM 32772
#define ID_VIEW_TOP_MOST 32773
#define ID_VIEW_FN8 32774
#define ID_VIEW_FN12 32775
#define ID_OPTIONS 32776
#define ID_HALF_WIDTH_KANA 32777
#define ID_TOGGLE_BANK 32778
#define ID_HELP_MANUAL 32779
#define ID_VIEW_CW_BAR 32780

// Controls of the message bar (dialog 130): F1 .. F12.
#define IDC_FN_KEY01 1000
#define IDC_FN_KEY02 1001
#define IDC_FN_KEY03 1002
#define IDC_FN_KEY04 1003
#define IDC_FN_KEY05 1004
#define IDC_FN_KEY06 1005
#define IDC_FN_KEY07 1006
#define IDC_FN_KEY08 1007
#define IDC_FN_KEY09 1008
#define IDC_FN_KEY10 1009
#define IDC_FN_KEY11 1010
#define IDC_FN_KEY12 1011

// Options page 1 (dialog 103): the twelve message edits, bank radios, profile.
#define IDC_MSG_F01 1012
#define IDC_MSG_F02 1013
#define IDC_MSG_F03 1014
#define IDC_MSG_F04 1015
#define IDC_MSG_F05 1016
#define IDC_MSG_F06 1017
#define IDC_MSG_F07 1018
#define IDC_MSG_F08 1019
#define IDC_MSG_F09 1020
#define IDC_MSG_F10 1021
#define IDC_MSG_F11 1022
#define IDC_MSG_F12 1023
#define IDC_BANK_A 1024
#define IDC_BANK_B 1025
#define IDC_MY_CALLSIGN 1026
#define IDC_REPLACE1 1027
#define IDC_REPLACE9 1028
#define IDC_CQ_INTERVAL 1029
#define IDC_REPLACE0 1030
#define IDC_NUMBER 1049

// Options page 2 (dialog 104): keyer.
#define IDC_PTT_DELAY_BEFORE 1031
#define IDC_PTT_DELAY_AFTER 1032
#define IDC_WEIGHT_DOT 1033
#define IDC_WEIGHT_DASH 1034
#define IDC_PTT 1037
#define IDC_PADDLE_REVERSE 1038
#define IDC_SIDE_TONE 1039
#define IDC_TONE_LEVEL 1040
#define IDC_PADDLE_KEYBOARD 1041
#define IDC_PTT_CQ_MACHINE 1042
#define IDC_WPM 1044

// Options page 3 (dialog 105): other options.
#define IDC_LOG_TIME 1041
#define IDC_VIEW_TOP 1042
#define IDC_SHOW_FN8 1043
#define IDC_SHOW_FN12 1045
#define IDC_ZLOG_KEY 1048
#define IDC_CLOSE_ANYWAY 1050
#define IDC_CW_ALWAYS 1051
#define IDC_HOOK_ANYWAY 1052
#define IDC_END_GM 1054
#define IDC_END_GA 1055
#define IDC_END_GE 1057
#define IDC_SPY_HL_KEY 1058

// Message editor (dialog 134).
#define IDC_FN_MESSAGE 1053

// Speed slider (dialog 131).
#define IDC_WPM_SLIDER 1046
#define IDC_WPM_TEXT 1047

// CW bar (dialog 132).
#define IDC_CW_WPM 1044
#define IDC_CW_TEXT 1046
#define IDC_OPTION_BUTTON 1059
#define IDC_WPM_SPIN 1060
#define IDC_SEND 1061
#define IDC_CLEAR 1062
#define IDC_BANK 1063

// About box (dialog 100).
#define IDC_ABOUT_TEXT 1064
