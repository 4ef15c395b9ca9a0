#pragma once

#include "ControlBar.h"

#include <span>
#include <string>
#include <vector>

namespace omvar::ui {

// The status bar: pane 0 takes the room left and shows messages; every other pane is named by
// an id whose string resource gives its width (and, for the key indicators, its text).
class StatusBar : public ControlBar {
public:
    bool Create(FrameWindow& frame, UINT barId, std::span<const UINT> panes);
    int layoutHeight(int width) override;
    void updateCommands() override;

    int paneIndex(UINT id) const;
    void setPaneText(int index, const std::wstring& text);
    std::wstring paneText(int index) const;
    RECT paneRect(int index) const;
    // Widens or narrows a pane (pixels); the panes right of it keep their widths.
    void setPaneWidth(int index, int width);
    int textWidth(const std::wstring& text) const;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void applyParts();

    std::span<const UINT> panes_;
    std::vector<int> widths_;  // of panes 1.. (pane 0 stretches)
};

}  // namespace omvar::ui
