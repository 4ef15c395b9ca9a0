#include "CToggleBar.h"

#include "resource.h"

#include <windowsx.h>

namespace omvar::Vetrin {

CToggleBar::CToggleBar() : targetPane_(ID_INDICATOR_WPM) {}

LRESULT CToggleBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN) {
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const RECT pane = paneRect(paneIndex(targetPane_));
        if (PtInRect(&pane, point)) {
            clicked_ = true;
        }
    }
    return StatusBar::WindowProc(message, wParam, lParam);
}

}  // namespace omvar::Vetrin
