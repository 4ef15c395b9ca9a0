#pragma once

#include "AppSettings.h"

#include <mutex>
#include <type_traits>
#include <utility>

namespace omvar::Vetrin {

// The model's live settings. Applying, saving and changing single values share one lock, so a
// save from the worker (reconnection) and one from the GUI thread (options confirmed) never
// interleave their writes and the file always holds one whole record.
class LiveSettings {
public:
    LiveSettings() = default;
    LiveSettings(const LiveSettings&) = delete;
    LiveSettings& operator=(const LiveSettings&) = delete;

    // Reads the settings file into the live record (once, at start).
    void load();
    AppSettings snapshot() const;
    // Takes every field of settings except noReduceDeviceFreezes, sendBufferMaxCount and
    // sendBufferThreshold, which are changed only in the file and keep their loaded values, then
    // saves. Returns what saveSettings returned.
    bool apply(const AppSettings& settings);
    bool save() const;

    // Runs fn(AppSettings&) on the live record under the lock and returns its result; fn must not
    // call back into this object. The change reaches the file at the next apply or save.
    template <typename Fn>
    auto update(Fn&& fn) -> std::invoke_result_t<Fn&, AppSettings&> {
        std::lock_guard held(mutex_);
        return std::forward<Fn>(fn)(settings_);
    }

private:
    mutable std::mutex mutex_;
    AppSettings settings_;
};

}  // namespace omvar::Vetrin
