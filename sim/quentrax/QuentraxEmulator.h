#pragma once

#include <memory>
#include <vector>

#include "QuentraxUnit.h"

// QUENTRAX emulator: a library that defines hidapi's C functions over emulated QUENTRAX units
// (vendor 0x0BFE, product 0x0E00), linked into test programs in place of hidapi. Failures look
// like those of hidapi 0.13.1 of the platform: on Windows the Win32 last error is set and
// hid_error gives "<operation>: (0x%08X) <system text>" ("WriteFile",
// "hid_write/WaitForSingleObject" for code 997, "hid_read_timeout/GetOverlappedResult");
// natively errno is set and hid_error gives the strerror text, or "hid_read_timeout:
// unexpected poll error (device disconnected)" for a read from an unplugged unit (errno left
// untouched there, as hidapi does).
//
// Typical use:
//   auto unit = omvar::sim::QuentraxEmulator::attach({.firmware = 23});
//   ... open the interface through the library, send ...
//   unit->wait_for_packets(2);
//   auto sent = unit->commands();
//   omvar::sim::QuentraxEmulator::detach(unit);   // unplug
namespace omvar::sim {

class QuentraxEmulator {
public:
    // Plugs in a new unit; hid_enumerate lists units in the order they were attached.
    static std::shared_ptr<QuentraxUnit> attach(UnitOptions options = {});
    // Unplugs the unit: it leaves the enumeration, open handles fail as disconnected.
    static void detach(const std::shared_ptr<QuentraxUnit>& unit);
    // Unplugs every unit (between tests).
    static void detach_all();
    static std::vector<std::shared_ptr<QuentraxUnit>> units();
};

}  // namespace omvar::sim
