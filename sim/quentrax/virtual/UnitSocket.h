#pragma once

#include <memory>
#include <mutex>

#include "QuentraxEmulator.h"

// The USB socket of the virtual QUENTRAX and what happens to the unit in it: plugged in,
// unplugged, frozen. Plugging in attaches a new unit at the same path with its power-on state,
// as a replugged interface comes back; unplugging detaches it, and what its generator still
// held is lost. A frozen unit's generator stops while the unit goes on reporting, its buffer
// count unchanged: the state the interface library's freeze watch recognises. A generator-
// buffer query gets it going again, as it does the real unit; otherwise it stays frozen until
// it is unplugged. Every method is thread-safe (the panel's thread, the remote control's
// thread and the session's worker use one socket).
namespace omvar::sim::virtual_unit {

class UnitSocket {
public:
    UnitSocket(UnitOptions options, bool plugged);
    ~UnitSocket();  // detaches the unit
    UnitSocket(const UnitSocket&) = delete;
    UnitSocket& operator=(const UnitSocket&) = delete;

    // The unit in the socket; null while unplugged.
    std::shared_ptr<QuentraxUnit> unit() const;
    bool plugged() const;
    bool frozen() const;

    // Each logs what happened to the unit; each does nothing (and returns false) where it
    // does not apply: plugging in a plugged unit, unplugging an empty socket, freezing a
    // frozen or absent unit.
    bool plugIn();
    bool unplug();
    bool freeze();

private:
    const UnitOptions options_;
    mutable std::mutex mutex_;
    std::shared_ptr<QuentraxUnit> unit_;
};

}  // namespace omvar::sim::virtual_unit
