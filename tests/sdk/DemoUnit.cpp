// The interface that the kit's example opens when it runs over the emulator: a unit is plugged in
// and the library's load work is done before main; when the program ends, the unit must have
// received 25 WPM and keyed all of "CQ TEST". A failed check ends the program with status 1.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "LibraryLifecycle.h"
#include "QuentraxEmulator.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Written out rather than looked up: the code tables' own objects may be gone at exit.
const Bytes kSpeed25Wpm = {0x24, 24, 0, 0, 0, 0, 0, 0};                  // dot length 24 x 2 ms
const Bytes kCqTest = {0x05, 0xA8, 0xD8, 0x80, 0xC0, 0x40, 0x10, 0xC0};  // C Q _ T E S T
constexpr int kCqTestElements = 14;

class DemoUnit {
public:
    DemoUnit() {
        omvar::quentrax::library_attach();
        unit_ = omvar::sim::QuentraxEmulator::attach(omvar::sim::UnitOptions::of(23));
    }

    ~DemoUnit() {
        const bool keyed = keyed_as_asked();
        std::fflush(stdout);
        if (!keyed) {
            std::_Exit(1);  // the only way to fail the program once main has returned
        }
    }

private:
    bool keyed_as_asked() const {
        bool speed = false;
        bool text = false;
        for (const auto& command : unit_->commands()) {
            speed = speed || command == kSpeed25Wpm;
            text = text || command == kCqTest;
        }
        int elements = 0;
        for (const auto& edge : unit_->key_timeline()) {
            elements += edge.down ? 1 : 0;
        }
        std::printf("emulated unit: 25 WPM %s, \"CQ TEST\" %s, %d of %d elements keyed, %s\n",
                    speed ? "set" : "NOT SET", text ? "sent" : "NOT SENT", elements,
                    kCqTestElements, unit_->open_handles() == 0 ? "closed" : "STILL OPEN");
        return speed && text && elements == kCqTestElements && unit_->open_handles() == 0;
    }

    std::shared_ptr<omvar::sim::QuentraxUnit> unit_;
};

const DemoUnit demo_unit;

}  // namespace
