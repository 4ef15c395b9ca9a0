#include "QuentraxEmulator.h"

#include "EmulatedBus.h"

namespace omvar::sim {

std::shared_ptr<QuentraxUnit> QuentraxEmulator::attach(UnitOptions options) {
    return std::make_shared<QuentraxUnit>(EmulatedBus::instance().attach(std::move(options)));
}

void QuentraxEmulator::detach(const std::shared_ptr<QuentraxUnit>& unit) {
    EmulatedBus::instance().detach(unit->model());
}

void QuentraxEmulator::detach_all() {
    EmulatedBus::instance().detach_all();
}

std::vector<std::shared_ptr<QuentraxUnit>> QuentraxEmulator::units() {
    std::vector<std::shared_ptr<QuentraxUnit>> out;
    for (auto& model : EmulatedBus::instance().units()) {
        out.push_back(std::make_shared<QuentraxUnit>(model));
    }
    return out;
}

}  // namespace omvar::sim
