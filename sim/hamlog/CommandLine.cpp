#include "CommandLine.h"

#include <windows.h>
#include <shellapi.h>

namespace omvar::sim::hamlog {

std::vector<std::wstring> commandLineArguments() {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> result;
    for (int i = 1; i < count; ++i) {
        result.emplace_back(argv[i]);
    }
    LocalFree(argv);
    return result;
}

}  // namespace omvar::sim::hamlog
