#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "UnitModel.h"

namespace omvar::sim {

// The emulated USB bus: the attached units in plugging order and hidapi's global error text.
// One per process, as the hidapi functions it stands behind are free functions.
class EmulatedBus {
public:
    static EmulatedBus& instance();

    std::shared_ptr<UnitModel> attach(UnitOptions options);
    void detach(const std::shared_ptr<UnitModel>& unit);
    void detach_all();
    std::vector<std::shared_ptr<UnitModel>> units() const;
    std::shared_ptr<UnitModel> find(const std::string& path) const;

    void set_global_error(std::wstring text);
    void clear_global_error();
    const wchar_t* global_error() const;  // "Success" when none

private:
    EmulatedBus() = default;

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<UnitModel>> units_;
    int plugged_ = 0;
    std::unique_ptr<std::wstring> global_error_;
};

}  // namespace omvar::sim
