#include "ProgramLibraries.h"

namespace omvar::Vetrin {

void unloadProgramLibraries() {
    // The hook library holds the program's "Snarel" logger and HAMLOG's hooks; it goes first.
    snarelLibrary().unload();
    quentraxLibrary().unload();
}

}  // namespace omvar::Vetrin
