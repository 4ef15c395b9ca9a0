#include "LiveSettings.h"

namespace omvar::Vetrin {

void LiveSettings::load() {
    std::lock_guard held(mutex_);
    loadSettings(settings_);
}

AppSettings LiveSettings::snapshot() const {
    std::lock_guard held(mutex_);
    return settings_;
}

bool LiveSettings::apply(const AppSettings& settings) {
    std::lock_guard held(mutex_);
    AppSettings next = settings;
    next.noReduceDeviceFreezes = settings_.noReduceDeviceFreezes;
    next.sendBufferMaxCount = settings_.sendBufferMaxCount;
    next.sendBufferThreshold = settings_.sendBufferThreshold;
    settings_ = std::move(next);
    return saveSettings(settings_);
}

bool LiveSettings::save() const {
    std::lock_guard held(mutex_);
    return saveSettings(settings_);
}

}  // namespace omvar::Vetrin
