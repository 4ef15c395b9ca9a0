#include "EmulatedBus.h"

#include <algorithm>
#include <cstdio>

namespace omvar::sim {

EmulatedBus& EmulatedBus::instance() {
    static EmulatedBus bus;
    return bus;
}

std::shared_ptr<UnitModel> EmulatedBus::attach(UnitOptions options) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int number = ++plugged_;
    std::string path = options.path;
    if (path.empty()) {
        char text[96];
#ifdef _WIN32
        std::snprintf(text, sizeof text,
                      "\\\\?\\HID#VID_0BFE&PID_0E00#7&emu%04d&0&0000#{4d1e55b2-f16f-11cf-88cb-"
                      "001111000030}",
                      number);
#else
        std::snprintf(text, sizeof text, "/dev/hidraw-quentrax-emu%d", number);
#endif
        path = text;
    }
    std::wstring serial = options.serial;
    if (serial.empty()) {
        wchar_t text[16];
        std::swprintf(text, sizeof text / sizeof text[0], L"QX%04d", number);
        serial = text;
    }
    auto unit = std::make_shared<UnitModel>(std::move(options), std::move(path), std::move(serial));
    units_.push_back(unit);
    return unit;
}

void EmulatedBus::detach(const std::shared_ptr<UnitModel>& unit) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        units_.erase(std::remove(units_.begin(), units_.end(), unit), units_.end());
    }
    unit->unplug();
}

void EmulatedBus::detach_all() {
    std::vector<std::shared_ptr<UnitModel>> gone;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        gone.swap(units_);
    }
    for (auto& unit : gone) {
        unit->unplug();
    }
}

std::vector<std::shared_ptr<UnitModel>> EmulatedBus::units() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return units_;
}

std::shared_ptr<UnitModel> EmulatedBus::find(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& unit : units_) {
        if (unit->path() == path) {
            return unit;
        }
    }
    return nullptr;
}

void EmulatedBus::set_global_error(std::wstring text) {
    std::lock_guard<std::mutex> lock(mutex_);
    global_error_ = std::make_unique<std::wstring>(std::move(text));
}

void EmulatedBus::clear_global_error() {
    std::lock_guard<std::mutex> lock(mutex_);
    global_error_.reset();
}

const wchar_t* EmulatedBus::global_error() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return global_error_ ? global_error_->c_str() : L"Success";
}

}  // namespace omvar::sim
