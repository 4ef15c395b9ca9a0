#include "Snarel.h"

#include "RecordTransport.h"
#include "SharedSection.h"
#include "SnarelLogger.h"
#include "Watcher.h"

namespace omvar::Snarel {

void StartHook() {
    detail::Watcher::instance().start([] { detail::logger()->debug("StartHook()"); });
}

bool StopHook() {
    detail::logger()->debug("StopHook()");
    detail::storeNotifyWindow(nullptr);
    return detail::Watcher::instance().stop();
}

void SetNotifyWindow(HWND window) {
    detail::logger()->debug("SetNotifyWindow()");
    detail::storeNotifyWindow(window);
}

unsigned int GetMessageDataId() {
    detail::logger()->trace("GetMessageDataId()");
    return detail::messageDataId();
}

void SetMessageFilter(const std::vector<unsigned int>& messages) {
    detail::logger()->debug("SetMessageFilter()");
    detail::replaceFilter(messages);
}

void SetLogger(std::shared_ptr<spdlog::logger> logger) {
    detail::replaceLogger(std::move(logger));
}

}  // namespace omvar::Snarel
