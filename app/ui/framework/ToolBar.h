#pragma once

#include "ControlBar.h"

#include <span>
#include <string>
#include <vector>

namespace omvar::ui {

// A tool bar from a bitmap resource of 16 x 15 pixel buttons (light grey shows as the button
// face). Each button's tool tip is field 1 of the string resource of its command id.
class ToolBar : public ControlBar {
public:
    // buttons: the command of each image in turn; 0 puts a separator (and uses no image).
    bool Create(FrameWindow& frame, UINT barId, UINT bitmapId, std::span<const UINT> buttons);
    int layoutHeight(int width) override;
    void updateCommands() override;

private:
    std::span<const UINT> buttons_;
};

}  // namespace omvar::ui
