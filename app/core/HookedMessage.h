#pragma once

#include "HookMessageRecord.h"

#include <windows.h>

#include <cstdint>

namespace omvar::Vetrin {

// Ctrl, Shift and Alt as the operator holds them.
struct Modifiers {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

// The modifiers as HAMLOG's own key messages leave them: every key record passes here, in the
// order HAMLOG took the keys, so a function key finds Shift, Ctrl and Alt as they were when HAMLOG
// took it. This process's own view of the keyboard lags behind keys typed into another program
// (Wine keeps it up to 50 ms old, Windows updates it only for this thread's own input), so it is
// asked only when HAMLOG comes to the front, for keys already held then; a HAMLOG sent to the back
// gets no key-ups, and what it held is forgotten.
class HeldModifiers {
public:
    void follow(UINT message, std::uint32_t key);
    void reset(Modifiers held) { state_ = held; }
    // The state for a key message with this lParam (the context bit of a system key says Alt).
    Modifiers forKey(UINT message, std::uint32_t keyParam) const;

private:
    Modifiers state_;
};

// Samples the modifiers on the calling thread: for keys typed into the program's own window, and
// for those already held when HAMLOG comes to the front. The key state of this thread (GetKeyState)
// follows keys typed into another program under Wine, which syncs it with the desktop's, but
// Windows documents it as changing only as the thread reads its own key messages; the asynchronous
// state follows the keyboard on Windows, while Wine caches a released key for up to 50 ms in a
// process that gets no key input. A modifier is taken as held when either says so.
Modifiers sampleModifiers();
bool keyHeld(int virtualKey);

// A key the tracker forwards to the program's window arrives posted, perhaps well after the
// operator let go of Ctrl or Shift (the window's thread may be busy), so it carries the modifiers
// HAMLOG held with the key, in key-message bits Windows reserves (25 to 28) and never
// sets. The window takes them from there, and samples its own only for keys typed into it.
LPARAM forwardedKeyParam(LPARAM keyParam, Modifiers modifiers);
Modifiers modifiersOfKey(UINT message, LPARAM keyParam);

// One forwarded message as the tracker's rules see it.
struct HookedMessage {
    HWND hwnd = nullptr;
    UINT message = 0;
    std::uint32_t wParam = 0;
    std::uint32_t lParam = 0;
    std::uint32_t time = 0;
    std::int32_t ptX = 0;
    std::int32_t ptY = 0;
    HWND focusWindow = nullptr;
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    bool cancel = false;  // set by the rules: take the message away from HAMLOG
    bool post = false;    // false: taken from the queue; true: after the window procedure

    static HookedMessage from(const Snarel::HookMessageRecord& record, Modifiers modifiers);
};

}  // namespace omvar::Vetrin
