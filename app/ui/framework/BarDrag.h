#pragma once

#include "DockLayout.h"
#include "Window.h"

namespace omvar::ui {

class ControlBar;

// A bar on the move. From the press on its gripper (or on its floating window's caption) the
// mouse is this window's; once it has moved past the system's drag distance, this window is an
// outline of where the bar would go, and the release puts the bar there. A press and release
// without a move, or a lost capture, leave the bar where it was.
class BarDrag : public Window {
public:
    explicit BarDrag(DockLayout& layout);

    void begin(ControlBar& bar, POINT screenPoint);
    bool active() const { return bar_ != nullptr; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void track(POINT point);
    void end(bool drop);

    DockLayout& layout_;
    ControlBar* bar_ = nullptr;
    POINT start_{};
    POINT grab_{};  // from the bar's (or its floating window's) top-left
    bool moving_ = false;
    DropTarget target_;
};

}  // namespace omvar::ui
