#pragma once

// The panel window's class and control ids: for the panel, and for tests and demos that find
// and press its controls.
#ifdef __cplusplus
namespace omvar::sim::virtual_unit {
inline constexpr wchar_t kPanelClass[] = L"VetrinVirtualQuentraxPanel";
}
#endif

#define IDC_PANEL_MESSAGE 1001
#define IDC_PANEL_SPEED_UP 1002
#define IDC_PANEL_SPEED_DOWN 1003
#define IDC_PANEL_PADDLE 1004
#define IDC_PANEL_STATUS 1005
#define IDC_PANEL_PLUG 1006
#define IDC_PANEL_FREEZE 1007
