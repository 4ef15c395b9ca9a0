#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace omvar::sim::hamlog {

// What the stand-in presents, from its command line:
//   --logs=N      log windows A.. (1 to 6, default 1)
//   --children=N  direct children of each log window (23 or 24 as HAMLOG has; up to 40)
//   --parent=PID  quit when that process ends (the driving test or demo)
//   --plain-captions  log windows captioned "Form_A", "Form_A_1", ... instead of "ＬＯＧ-[Ａ]", ...
//   --stall=MS    takes no messages for MS (1 to 60000) right after making the application
//                 window, before any other window exists, as a HAMLOG slow to start does
struct StandInOptions {
    int logWindows = 1;
    int children = 23;
    bool plainCaptions = false;
    int stallMs = 0;
    DWORD parentProcess = 0;

    // Throws std::invalid_argument naming the offending argument.
    static StandInOptions parse(const std::vector<std::wstring>& args);
};

}  // namespace omvar::sim::hamlog
