#pragma once

#include <string>
#include <vector>

namespace omvar::sim::hamlog {

// The process's command-line arguments after the program name, as the stand-ins read them.
std::vector<std::wstring> commandLineArguments();

}  // namespace omvar::sim::hamlog
