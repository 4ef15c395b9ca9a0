#include "LivenessProbe.h"

#include "HookProcedures.h"
#include "SharedSection.h"

namespace omvar::Snarel::detail {
namespace {

// Quiet this long, the hooks are asked.
constexpr std::chrono::milliseconds kQuiet{3000};
// A running HAMLOG takes a posted message within this; then it is asked whether it takes any.
constexpr std::chrono::milliseconds kProbeWait{1000};
constexpr UINT kAnswerBoundMs = 500;

}  // namespace

void LivenessProbe::restart(std::chrono::steady_clock::time_point now) {
    activity_ = activity();
    aliveAt_ = now;
    sentAt_.reset();
    answered_ = false;
}

bool LivenessProbe::hooksDead(HWND application, std::chrono::steady_clock::time_point now) {
    const std::uint32_t seen = activity();
    if (seen != activity_ || (sentAt_ && probeSeen() == sequence_)) {
        restart(now);
        return false;
    }
    if (!sentAt_) {
        if (now - aliveAt_ >= kQuiet) {
            post(application, now);
        }
        return false;
    }
    if (answered_) {
        // HAMLOG took a sent message after the probe had been waiting for a second, and the
        // probe has still not passed the hook a turn later.
        return true;
    }
    if (now - *sentAt_ >= kProbeWait) {
        DWORD_PTR result = 0;
        answered_ = SendMessageTimeoutW(application, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                        kAnswerBoundMs, &result) != 0;
        if (!answered_) {
            sentAt_ = now;  // busy or hung: the probe waits in its queue
        }
    }
    return false;
}

void LivenessProbe::post(HWND application, std::chrono::steady_clock::time_point now) {
    sequence_ = probeSeen() + 1;
    if (PostMessageW(application, WM_NULL, kProbeTag, static_cast<LPARAM>(sequence_))) {
        sentAt_ = now;
        answered_ = false;
    } else {
        aliveAt_ = now;  // the window is going; the watcher will see it gone
    }
}

}  // namespace omvar::Snarel::detail
