#pragma once

#include "Window.h"

namespace omvar::ui {

class FrameWindow;

// A bar docked in the frame: the frame stacks the visible top bars from the top of its client
// area in the order they were added and puts the status bar at the bottom. The frame shows,
// hides and lays them out; at idle time each bar updates the state of its controls from the
// frame's commands.
class ControlBar : public Window {
public:
    UINT barId() const { return barId_; }
    FrameWindow* frame() const { return frame_; }
    // The height the bar takes when given the whole client width.
    virtual int layoutHeight(int width);
    virtual void updateCommands() {}
    virtual bool translateDialogInput(MSG&) { return false; }

protected:
    void setBar(FrameWindow& frame, UINT barId);

private:
    FrameWindow* frame_ = nullptr;
    UINT barId_ = 0;
};

// A bar made from a dialog template: the dialog's controls on a child window the template's
// height. Their commands and notifications go to the frame, and Tab moves between them.
class DialogBar : public ControlBar {
public:
    bool Create(FrameWindow& frame, UINT templateId, UINT barId);
    int layoutHeight(int width) override;
    void updateCommands() override;
    // Tab, arrows and mnemonics inside the bar. The frame calls it after its own keyboard
    // handling, for keys typed in the bar.
    bool translateDialogInput(MSG& message) override;
    HWND item(int id) const { return GetDlgItem(hwnd(), id); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int height_ = 0;
};

}  // namespace omvar::ui
