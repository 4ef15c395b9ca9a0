#pragma once

#include "DelayedLibrary.h"

namespace omvar::Vetrin {

// The two libraries the program loads at their first use: quentrax.dll, whose 24 C functions
// (quentrax.h) the program defines over it, and Snarel.dll, whose six hook functions (Snarel.h)
// it defines the same way. Without quentrax.dll every function answers -1 (no interface); without
// Snarel.dll the hook functions do nothing and answer false or 0 (no HAMLOG).
DelayedLibrary& quentraxLibrary();
DelayedLibrary& snarelLibrary();

// At exit, after every thread that calls them has ended: Snarel.dll first, then quentrax.dll.
void unloadProgramLibraries();

}  // namespace omvar::Vetrin
