#pragma once

#include "Commands.h"

#include <windows.h>

#include <functional>

namespace omvar::ui {

// The standard Edit commands (undo, cut, copy, paste) on an EDIT control that `target` names
// when the command runs, with their updaters: undo while the control can undo, cut and copy
// while it has a selection, paste while the clipboard holds text.
void addEditCommands(CommandMap& commands, std::function<HWND()> target);

}  // namespace omvar::ui
