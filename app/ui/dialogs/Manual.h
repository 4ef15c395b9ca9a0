#pragma once

#include <windows.h>

namespace omvar::Vetrin {

// Opens the manual "Vetrin.txt" (beside the program, the working directory) in Notepad. A
// missing file is Notepad's to report. False when Notepad could not be started.
bool openManual(HWND owner);

}  // namespace omvar::Vetrin
