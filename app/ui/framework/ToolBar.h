#pragma once

#include "ControlBar.h"

#include <span>
#include <string>
#include <vector>

namespace omvar::ui {

// A tool bar from a bitmap resource of 16 x 15 pixel buttons (light grey shows as the button
// face). Each button's tool tip is field 1 of the string resource of its command id. Docked, its
// gripper is a strip of its non-client area: at the left end along the top or bottom edge, at
// the top along a side, where the buttons stand in as many columns as the height needs.
class ToolBar : public ControlBar {
public:
    // buttons: the command of each image in turn; 0 puts a separator (and uses no image).
    bool Create(FrameWindow& frame, UINT barId, UINT bitmapId, std::span<const UINT> buttons);
    void setStyle(BarStyle style, int length) override;
    int layoutHeight(int width) override;
    int layoutWidth(int height) override;
    SIZE floatingSize() override;
    void updateCommands() override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    SIZE buttonSize() const;
    int gripperThickness() const;
    // Along a side: how many buttons stand side by side so that the rows fit the height.
    int columnsFor(int height) const;
    // Puts the buttons in again, perRow of them to a row (0: one row with the separators).
    void fillButtons(int perRow);
    RECT gripperRect() const;  // window coordinates

    std::span<const UINT> buttons_;
    int images_ = 0;
    int perRow_ = -1;  // as last filled
    SIZE row_{};       // the buttons in one row
};

}  // namespace omvar::ui
