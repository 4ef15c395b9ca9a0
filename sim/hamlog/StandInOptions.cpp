#include "StandInOptions.h"

#include <stdexcept>
#include <string_view>

namespace omvar::sim::hamlog {

namespace {

std::string narrow(std::wstring_view text) {
    return std::string(text.begin(), text.end());  // arguments are ASCII; only used in errors
}

long parseNumber(std::wstring_view arg, std::wstring_view value, long low, long high) {
    try {
        std::size_t used = 0;
        const long number = std::stol(std::wstring(value), &used);
        if (used == value.size() && number >= low && number <= high) {
            return number;
        }
    } catch (const std::exception&) {
    }
    throw std::invalid_argument("bad value in argument " + narrow(arg));
}

}  // namespace

StandInOptions StandInOptions::parse(const std::vector<std::wstring>& args) {
    StandInOptions options;
    for (const std::wstring& arg : args) {
        const std::wstring_view view(arg);
        const auto eq = view.find(L'=');
        const std::wstring_view name = view.substr(0, eq);
        const std::wstring_view value = eq == std::wstring_view::npos ? L"" : view.substr(eq + 1);
        if (name == L"--logs") {
            options.logWindows = static_cast<int>(parseNumber(view, value, 1, 6));
        } else if (name == L"--children") {
            options.children = static_cast<int>(parseNumber(view, value, 23, 40));
        } else if (view == L"--plain-captions") {
            options.plainCaptions = true;
        } else if (name == L"--stall") {
            options.stallMs = static_cast<int>(parseNumber(view, value, 1, 60000));
        } else if (name == L"--parent") {
            options.parentProcess = static_cast<DWORD>(parseNumber(view, value, 1, 0x7FFFFFFF));
        } else {
            throw std::invalid_argument("unknown argument " + narrow(view));
        }
    }
    return options;
}

}  // namespace omvar::sim::hamlog
