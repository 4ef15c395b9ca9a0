#include "Snarel.h"

#include "RecordTransport.h"
#include "SharedSection.h"
#include "SnarelLogger.h"
#include "Watcher.h"

#include <exception>

namespace omvar::Snarel {
namespace {

// Runs the body of an entry point; an exception ends here as the failure result and an error
// line, so it never reaches the caller's module.
template <typename Result, typename Body>
Result guarded(const char* function, Result failure, Body&& body) noexcept {
    const char* what = "unknown error";
    try {
        return body();
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
    }
    try {
        detail::logger()->error("{}: {}", function, what);
    } catch (...) {
    }
    return failure;
}

}  // namespace

bool StartHook() {
    return guarded("StartHook", false, [] {
        detail::Watcher::instance().start([] { detail::logger()->debug("StartHook()"); });
        return true;
    });
}

bool StopHook() {
    return guarded("StopHook", false, [] {
        detail::logger()->debug("StopHook()");
        detail::storeNotifyWindow(nullptr);
        return detail::Watcher::instance().stop();
    });
}

void SetNotifyWindow(HWND window) {
    guarded("SetNotifyWindow", false, [window] {
        detail::logger()->debug("SetNotifyWindow()");
        detail::storeNotifyWindow(window);
        return true;
    });
}

unsigned int GetMessageDataId() {
    return guarded("GetMessageDataId", 0u, [] {
        detail::logger()->trace("GetMessageDataId()");
        return detail::messageDataId();
    });
}

void SetMessageFilter(const std::vector<unsigned int>& messages) {
    guarded("SetMessageFilter", false, [&messages] {
        detail::logger()->debug("SetMessageFilter()");
        detail::replaceFilter(messages);
        return true;
    });
}

bool SetLogger(std::shared_ptr<spdlog::logger> logger) {
    return guarded("SetLogger", false, [&logger] {
        detail::replaceLogger(std::move(logger));
        return true;
    });
}

}  // namespace omvar::Snarel
