#pragma once

// Windows only.
#include "win32/ExecutableFolder.h"

#include <string>

namespace testing_support {

// The folder of the running executable, ending in its separator: the build's bin/, where the
// program, its libraries and the stand-ins are built beside the test programs.
inline std::wstring programFolder() {
    return omvar::win32::executableFolder();
}

}  // namespace testing_support
