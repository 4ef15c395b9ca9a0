#pragma once

namespace omvar::Vetrin {

// zLog for Windows, another logging program: when its main window ("TMainForm", "zLog for
// Windows") runs, sets the track bar found on this path to `position`: the first "TPanel" child,
// from there the next window twice, and in that one the first "TTrackBar" child. False when any
// window of the path is missing; then nothing happens.
bool setZlogTrackBar(int position);

}  // namespace omvar::Vetrin
