// The zLog for Windows stand-in: presents the one window path Vetrin sets at start, a track bar
// under the main form's third panel, and nothing else of the program (README.md).
#include <windows.h>

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ParentWatch.h"
#include "ZlogWindows.h"

namespace {

// --parent=PID: quit when that process ends.
DWORD parentProcess(const std::vector<std::wstring>& args) {
    DWORD parent = 0;
    for (const std::wstring& arg : args) {
        constexpr std::wstring_view prefix = L"--parent=";
        if (arg.rfind(prefix, 0) != 0) {
            throw std::invalid_argument("unknown argument");
        }
        const std::wstring value = arg.substr(prefix.size());
        std::size_t used = 0;
        const unsigned long number = std::stoul(value, &used);
        if (used != value.size() || number == 0 || number > 0x7FFFFFFF) {
            throw std::invalid_argument("bad value in argument --parent");
        }
        parent = static_cast<DWORD>(number);
    }
    return parent;
}

int run() {
    const DWORD parent = parentProcess(omvar::sim::hamlog::commandLineArguments());
    omvar::sim::zlog::ZlogWindows windows;
    omvar::sim::hamlog::ParentWatch parentWatch(parent, windows.mainForm());
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    try {
        return run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zlog_standin: %s\n", error.what());
        return 1;
    }
}
