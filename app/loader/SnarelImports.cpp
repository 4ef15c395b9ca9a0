// The hook library's functions as the program calls them: each resolves its export from
// Snarel.dll at the first call and forwards to it; without the library HAMLOG is never hooked and
// each does nothing (false, 0).
#include "ProgramLibraries.h"

#include "Snarel.h"

#include <spdlog/logger.h>

#include <utility>

namespace omvar::Vetrin {

namespace {

enum Export : std::size_t {
    kStartHook,
    kStopHook,
    kSetNotifyWindow,
    kGetMessageDataId,
    kSetMessageFilter,
    kSetLogger,
};

// The exports are C++ functions: found by their mangled names, which are the same on both
// Windows architectures.
std::vector<std::string> exportNames() {
    return {
        "_ZN5omvar6Snarel9StartHookEv",
        "_ZN5omvar6Snarel8StopHookEv",
        "_ZN5omvar6Snarel15SetNotifyWindowEP6HWND__",
        "_ZN5omvar6Snarel16GetMessageDataIdEv",
        "_ZN5omvar6Snarel16SetMessageFilterERKSt6vectorIjSaIjEE",
        "_ZN5omvar6Snarel9SetLoggerESt10shared_ptrIN6spdlog6loggerEE",
    };
}

template <auto Declared>
auto resolve(Export index) {
    return snarelLibrary().function<decltype(Declared)>(index);
}

}  // namespace

DelayedLibrary& snarelLibrary() {
    static DelayedLibrary library(L"Snarel.dll", exportNames());
    return library;
}

}  // namespace omvar::Vetrin

namespace omvar::Snarel {

using Vetrin::resolve;

bool StartHook() {
    auto function = resolve<&StartHook>(Vetrin::kStartHook);
    return function != nullptr && function();
}

bool StopHook() {
    auto function = resolve<&StopHook>(Vetrin::kStopHook);
    return function != nullptr && function();
}

void SetNotifyWindow(HWND window) {
    if (auto function = resolve<&SetNotifyWindow>(Vetrin::kSetNotifyWindow)) {
        function(window);
    }
}

unsigned int GetMessageDataId() {
    auto function = resolve<&GetMessageDataId>(Vetrin::kGetMessageDataId);
    return function != nullptr ? function() : 0;
}

void SetMessageFilter(const std::vector<unsigned int>& messages) {
    if (auto function = resolve<&SetMessageFilter>(Vetrin::kSetMessageFilter)) {
        function(messages);
    }
}

bool SetLogger(std::shared_ptr<spdlog::logger> logger) {
    auto function = resolve<&SetLogger>(Vetrin::kSetLogger);
    return function != nullptr && function(std::move(logger));
}

}  // namespace omvar::Snarel
