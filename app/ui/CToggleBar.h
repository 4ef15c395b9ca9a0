#pragma once

#include "StatusBar.h"

namespace omvar::Vetrin {

// The status bar of the main frame. A left click in the target pane (the WPM pane) raises a
// flag that the frame's idle update of that pane answers by opening the speed slider.
class CToggleBar : public ui::StatusBar {
public:
    CToggleBar();

    bool clicked() const { return clicked_; }
    void clearClicked() { clicked_ = false; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    UINT targetPane_;
    bool clicked_ = false;
};

}  // namespace omvar::Vetrin
