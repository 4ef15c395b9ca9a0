#pragma once

// Control ids of the virtual unit's panel window.
#define IDC_PANEL_MESSAGE 1001
#define IDC_PANEL_SPEED_UP 1002
#define IDC_PANEL_SPEED_DOWN 1003
#define IDC_PANEL_PADDLE 1004
#define IDC_PANEL_STATUS 1005
