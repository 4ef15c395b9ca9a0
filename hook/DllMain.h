#pragma once

#include <windows.h>

namespace omvar::Snarel::detail {

// This library's module, stored at process attach; the hooks are installed with it so that
// Windows maps the library into the hooked process.
HINSTANCE moduleHandle();

}  // namespace omvar::Snarel::detail
