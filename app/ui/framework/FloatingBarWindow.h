#pragma once

#include "Window.h"

namespace omvar::ui {

class ControlBar;

// The small tool window a floating bar lies in, owned by the frame. It never takes the
// activation from the frame, so the keys stay where the operator types. Its caption drags the bar
// (to another place or back into the frame), a double click there docks the bar where it stood,
// and the close box hides the bar. The frame keeps it, hidden, while the bar is docked.
class FloatingBarWindow : public Window {
public:
    explicit FloatingBarWindow(ControlBar& bar);

    bool Create(HWND owner);
    // Moves the window there, sized to hold the bar.
    void placeAt(POINT topLeft);
    // The window's outer size for the bar.
    static SIZE sizeFor(ControlBar& bar);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    ControlBar& bar_;
};

}  // namespace omvar::ui
