#include "DeviceTable.h"

namespace omvar::quentrax {

namespace {
std::array<DeviceSlot, kMaxDevices> table;
}

std::array<DeviceSlot, kMaxDevices>& device_table() {
    return table;
}

}  // namespace omvar::quentrax
