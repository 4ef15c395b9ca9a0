#include "Announcements.h"

#include <algorithm>

#include "RecordTransport.h"
#include "SharedSection.h"
#include "SnarelLogger.h"

namespace omvar::Snarel::detail {
namespace {

constexpr std::chrono::milliseconds kFirstPause{200};
constexpr std::chrono::milliseconds kLongestPause{2000};

const char* nameOf(HookRecordKind kind) {
    return kind == HookRecordKind::hooksInstalled ? "hooks installed" : "hooks removed";
}

}  // namespace

void Announcements::add(HookRecordKind kind) {
    if (queue_.empty()) {
        due_ = {};
        pause_ = kFirstPause;
        warned_ = false;
    }
    queue_.push_back(kind);
}

void Announcements::turn(std::chrono::steady_clock::time_point now) {
    if (queue_.empty() || now < due_) {
        return;
    }
    const HWND receiver = notifyWindow();
    if (receiver == nullptr) {
        queue_.clear();
        return;
    }
    HookMessageRecord record{};
    record.kind = queue_.front();
    const auto answer = sendRecord(receiver, record);
    if (answer && *answer != 0) {
        queue_.pop_front();
        due_ = {};
        pause_ = kFirstPause;
        warned_ = false;
        return;
    }
    if (!warned_) {
        warned_ = true;
        logger()->warn("\"{}\" was not acknowledged by the program's window; sending it again",
                       nameOf(record.kind));
    }
    due_ = std::chrono::steady_clock::now() + pause_;
    pause_ = std::min(pause_ * 2, kLongestPause);
}

}  // namespace omvar::Snarel::detail
