#pragma once

#include <string>

namespace omvar::demo {

// The folder of the running executable, without the separator that ends it: the build's bin/,
// where Vetrin.exe, its libraries and the stand-ins are built.
std::wstring programFolder();

}  // namespace omvar::demo
