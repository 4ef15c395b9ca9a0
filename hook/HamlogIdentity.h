#pragma once

#include <windows.h>

namespace omvar::Snarel::detail {

// One running HAMLOG: its application window, the thread that owns it and that thread's
// process. Thread ids, process ids and window handles are each reused once their owner is
// gone; the three together tell a restarted HAMLOG from the one hooked before.
struct HamlogIdentity {
    HWND window = nullptr;
    DWORD thread = 0;
    DWORD process = 0;

    // The top-level window of class "TApplication" captioned "Turbo HAMLOG/Win"; all zero when
    // there is none or its thread is unobtainable.
    static HamlogIdentity find();

    bool found() const { return thread != 0; }
    // The same running HAMLOG: its thread and process, and its application window or, when
    // another one was found (HAMLOG may make a second), the first still alive on that thread.
    bool sameAs(const HamlogIdentity& other) const;
};

}  // namespace omvar::Snarel::detail
