#pragma once

#include <array>
#include <memory>

#include "QUENTRAXDevice.h"
#include "QUENTRAXTypes.h"

// The C interface's table of open interfaces, indexed by nId. It lives as long as the library;
// it has no lock: opening and closing a slot must not overlap with other calls on that nId.
namespace omvar::quentrax {

constexpr int kMaxDevices = 16;

struct DeviceSlot {
    std::unique_ptr<QUENTRAXDevice> device;  // empty: the slot is free
    PTTParams ptt;                           // kept for the slot, never sent from here
    KeyerParams keyer;                       // the keyer block last sent through the slot
};

std::array<DeviceSlot, kMaxDevices>& device_table();

}  // namespace omvar::quentrax
