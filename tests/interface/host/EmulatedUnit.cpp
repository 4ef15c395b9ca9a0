#include "EmulatedUnit.h"

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
