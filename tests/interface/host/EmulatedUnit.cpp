#include "EmulatedUnit.h"

#include <chrono>
#include <memory>

#include "QuentraxEmulator.h"

namespace {
std::shared_ptr<omvar::sim::QuentraxUnit> unit;
}

void emulated_unit_plug_in() {
    unit = omvar::sim::QuentraxEmulator::attach();
}

void emulated_unit_unplug() {
    if (unit) {
        omvar::sim::QuentraxEmulator::detach(unit);
        unit.reset();
    }
}

int emulated_unit_open_handles() {
    return unit ? unit->open_handles() : 0;
}

void emulated_unit_stall_writes(int ms) {
    if (unit) {
        unit->stall_writes(std::chrono::milliseconds(ms));
    }
}

int emulated_unit_writes() {
    return unit ? static_cast<int>(unit->stats().writes) : 0;
}
