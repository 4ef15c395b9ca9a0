#pragma once

#include <chrono>
#include <cstdio>
#include <memory>
#include <utility>

#include "QUENTRAXDevice.h"
#include "QuentraxEmulator.h"

// What both benchmarks measure against: one emulated unit sending status reports every 10 ms
// and the library's device for it, open. Set the loggers up first: the device takes them when
// it is made.
struct BenchDevice {
    std::shared_ptr<omvar::sim::QuentraxUnit> unit;
    std::unique_ptr<omvar::quentrax::QUENTRAXDevice> device;  // null when none was found
};

inline BenchDevice open_bench_device() {
    BenchDevice bench;
    bench.unit = omvar::sim::QuentraxEmulator::attach(
        omvar::sim::UnitOptions::of(23, std::chrono::milliseconds(10)));
    auto devices = omvar::quentrax::QUENTRAXDevice::list_devices();
    if (devices.empty()) {
        std::fprintf(stderr, "no interface\n");
        return bench;
    }
    bench.device = std::move(devices.front());
    bench.device->open();
    return bench;
}
