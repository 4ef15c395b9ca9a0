#pragma once

#include "Window.h"

namespace omvar::ui {

class FrameWindow;

// The frame's edges a bar can dock at.
enum class DockEdge { Top, Bottom, Left, Right };

// Where a bar may go: a mask of these (ControlBar::enableDocking).
constexpr unsigned kDockTop = 1u << static_cast<int>(DockEdge::Top);
constexpr unsigned kDockBottom = 1u << static_cast<int>(DockEdge::Bottom);
constexpr unsigned kDockLeft = 1u << static_cast<int>(DockEdge::Left);
constexpr unsigned kDockRight = 1u << static_cast<int>(DockEdge::Right);
constexpr unsigned kDockAnyEdge = kDockTop | kDockBottom | kDockLeft | kDockRight;
constexpr unsigned kDockFloat = 1u << 4;

// How a bar lies: along the top or bottom edge, along a side, or in a floating window.
enum class BarStyle { Horizontal, Vertical, Floating };

// A bar of the frame. The frame docks it at one of its edges (or floats it in a small window of
// its own), shows, hides and lays it out; at idle time each bar updates the state of its controls
// from the frame's commands. A bar that may move has a gripper: a press there hands the bar to
// the frame's drag.
class ControlBar : public Window {
public:
    UINT barId() const { return barId_; }
    FrameWindow* frame() const { return frame_; }

    // Where the bar may go (kDock... flags). Without any it stays where the frame puts it and
    // has no gripper.
    void enableDocking(unsigned allowed) { docking_ = allowed; }
    bool isDockable() const { return (docking_ & kDockAnyEdge) != 0; }
    bool canDock(DockEdge edge) const { return (docking_ & (1u << static_cast<int>(edge))) != 0; }
    bool canFloat() const { return (docking_ & kDockFloat) != 0; }

    BarStyle style() const { return style_; }
    // Lays the bar's contents out for how it lies, along an edge of the given length (0 when
    // floating). The frame calls it whenever it places the bar.
    virtual void setStyle(BarStyle style, int length);
    // The height the bar takes along the top or bottom edge, given the width there.
    virtual int layoutHeight(int width);
    // The width it takes along a side, given the height there.
    virtual int layoutWidth(int height);
    // The size of its floating window's client area.
    virtual SIZE floatingSize();

    virtual void updateCommands() {}
    virtual bool translateDialogInput(MSG&) { return false; }

protected:
    void setBar(FrameWindow& frame, UINT barId);
    // A press at the screen point on the gripper: the frame's drag takes over the mouse.
    void beginDrag(POINT screenPoint);
    // A raised line along the middle of the rectangle, across it when vertical.
    static void drawGripper(HDC dc, RECT area, bool vertical);

private:
    FrameWindow* frame_ = nullptr;
    UINT barId_ = 0;
    unsigned docking_ = 0;
    BarStyle style_ = BarStyle::Horizontal;
};

// A bar made from a dialog template: the dialog's controls on a child window the template's
// height. Their commands and notifications go to the frame, and Tab moves between them. It lies
// along the top or bottom edge only; its gripper is drawn in the left margin of the template,
// and a press anywhere on the bar between its controls drags it.
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
