#pragma once

#include <string>

// What the virtual QUENTRAX does beyond emulating the unit, from environment variables read
// when a program opens it (README.md):
//   QUENTRAX_VIRTUAL_FIRMWARE  firmware version as two digits (23 for 2.3, the default)
//   QUENTRAX_VIRTUAL_TIMELINE  file that receives the key timeline
//   QUENTRAX_VIRTUAL_WAV       file that receives the side tone as a WAV file
//   QUENTRAX_VIRTUAL_SOUND     0: no side tone through the sound output
//   QUENTRAX_VIRTUAL_PANEL     0: no control panel window
//   QUENTRAX_VIRTUAL_PLUGGED   0: the unit starts unplugged (first session after loading only)
namespace omvar::sim::virtual_unit {

struct VirtualSettings {
    int firmware = 23;
    std::wstring timelinePath;  // empty: no timeline
    std::wstring wavPath;       // empty: no WAV file
    bool sound = true;
    bool panel = true;
    bool plugged = true;

    // Values that cannot be used (a firmware outside 1..99) keep their defaults; the problems
    // are listed for the log.
    static VirtualSettings fromEnvironment(std::wstring& problems);
};

}  // namespace omvar::sim::virtual_unit
