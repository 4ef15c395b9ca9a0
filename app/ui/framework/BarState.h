#pragma once

#include "ControlBar.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace omvar::ui {

class Profile;

// One bar's entry in the saved bar state. What an entry lacks, or holds in a form that does not
// read, is absent here.
struct SavedBar {
    UINT id = 0;
    std::optional<bool> visible;
    // Its place: the edge and its place in that edge's order (where it docks again when it
    // floats), whether it floats, and where its floating window stood last.
    std::optional<DockEdge> edge;
    std::optional<int> order;
    std::optional<bool> floating;
    std::optional<POINT> floatPosition;
};

// The bar state under a name in the profile: section "<name>-Summary" holds the number of bars
// ("Bars"), and section "<name>-Bar<n>" bar n's "BarID", "Visible" and, for a bar that moves,
// "Edge" (0 top, 1 bottom, 2 left, 3 right), "Order", "Floating" and "XPos"/"YPos".
void writeBarState(const Profile& profile, const std::wstring& name,
                   const std::vector<SavedBar>& bars);
// The entries as they read. A summary that does not read, or counts more bars than any frame
// has, gives none.
std::vector<SavedBar> readBarState(const Profile& profile, const std::wstring& name);

}  // namespace omvar::ui
