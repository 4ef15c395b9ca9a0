#pragma once

#include <array>
#include <memory>
#include <mutex>

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
    // Calls on one nId may come from several threads: each change of the keyer block is read,
    // changed, sent and stored under this lock, so the block sent last is the block stored.
    std::mutex keyer_mutex;

    // The free slot of a fresh load (the device, if any, is destroyed).
    void reset() {
        device.reset();
        ptt = PTTParams{};
        std::lock_guard<std::mutex> lock(keyer_mutex);
        keyer = KeyerParams{};
    }
};

std::array<DeviceSlot, kMaxDevices>& device_table();

}  // namespace omvar::quentrax
