#include "HamlogIdentity.h"

namespace omvar::Snarel::detail {

HamlogIdentity HamlogIdentity::find() {
    HamlogIdentity hamlog;
    hamlog.window = FindWindowExW(nullptr, nullptr, L"TApplication", L"Turbo HAMLOG/Win");
    if (hamlog.window == nullptr) {
        return {};
    }
    hamlog.thread = GetWindowThreadProcessId(hamlog.window, &hamlog.process);
    return hamlog.thread != 0 ? hamlog : HamlogIdentity{};
}

bool HamlogIdentity::sameAs(const HamlogIdentity& other) const {
    if (thread != other.thread || process != other.process) {
        return false;
    }
    return window == other.window ||
           (IsWindow(window) && GetWindowThreadProcessId(window, nullptr) == thread);
}

}  // namespace omvar::Snarel::detail
