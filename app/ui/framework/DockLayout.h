#pragma once

#include "BarState.h"
#include "ControlBar.h"

#include <windows.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

namespace omvar::ui {

class FloatingBarWindow;
class FrameWindow;

// Where a dragged bar would go: docked at an edge, at a place of that edge's order; floating,
// its window's top-left at a screen point; or nowhere new.
struct DropTarget {
    enum class Kind { Stay, Dock, Float };
    Kind kind = Kind::Stay;
    DockEdge edge = DockEdge::Top;
    std::size_t index = 0;
    RECT outline{};  // screen coordinates of where the bar would be
};

// The frame's bars by place: each edge's bars in the order they stand there (top to bottom,
// left to right), each docked or floating in a small window of its own. A floating bar keeps its
// place in its edge's order, so that docking it again puts it back there.
class DockLayout {
public:
    explicit DockLayout(FrameWindow& frame);
    ~DockLayout();
    DockLayout(const DockLayout&) = delete;
    DockLayout& operator=(const DockLayout&) = delete;

    // Docks the bar at that place of the edge's order (the end when past it), out of any window
    // it floated in.
    void dock(ControlBar& bar, DockEdge edge, std::size_t index);
    // Floats the bar in its own window, the window's top-left there (screen coordinates).
    void floatAt(ControlBar& bar, POINT topLeft);
    // A floating bar back to its place; a docked one out to where it last floated, or to where
    // it stands.
    void toggleFloating(ControlBar& bar);
    void apply(ControlBar& bar, const DropTarget& target);

    bool isFloating(const ControlBar& bar) const;
    DockEdge edgeOf(const ControlBar& bar) const;
    std::size_t indexOf(const ControlBar& bar) const;
    // The floating window's top-left: where it is, or where it was last.
    std::optional<POINT> floatingPosition(const ControlBar& bar) const;
    // The floating windows show with their bars while the frame is shown.
    void showFloating(bool frameShown);
    // Their captions look active while the frame is: they never take the activation themselves.
    void activateFloating(bool active);

    // Each dockable bar's place, for saving.
    void save(std::vector<SavedBar>& bars) const;
    // Puts the dockable bars where the saved state says when it places every one of them once,
    // at an edge it may dock at, a floating one with its caption on a screen. Otherwise nothing
    // moves and the result is false.
    bool restore(const std::vector<SavedBar>& bars);

    // Places the shown docked bars inside the room (frame client coordinates): the top and bottom
    // edges' across it, the sides' between them. Returns the room left in the middle.
    RECT arrange(RECT room);
    // Where the bar would go if dropped at the screen point, grabbed that far from its top-left.
    DropTarget dropTarget(ControlBar& bar, POINT point, POINT grab) const;

private:
    struct Entry;
    struct Bands;

    Entry* find(const ControlBar& bar);
    const Entry* find(const ControlBar& bar) const;
    bool shown(const Entry& entry) const;
    // How far the shown docked bars of the edge reach in, leaving one bar out.
    int depth(DockEdge edge, const ControlBar* except, int length) const;
    // Places the edge's shown docked bars one after the other in the band, from its top or left.
    void stack(DockEdge edge, RECT band);
    Bands bandsWithout(const ControlBar& bar) const;
    DropTarget dockTarget(ControlBar& bar, DockEdge edge, POINT point, const Bands& bands) const;
    // Whether a floating window of the bar at that top-left would have its caption on a screen.
    bool onScreen(ControlBar& bar, POINT topLeft) const;

    FrameWindow& frame_;
    std::vector<Entry> entries_;  // each edge's bars in their order
    RECT room_{};                 // as last arranged
};

}  // namespace omvar::ui
