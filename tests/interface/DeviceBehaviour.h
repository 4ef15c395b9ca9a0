#pragma once

#include <gtest/gtest.h>
#include <spdlog/spdlog.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "CapturingSink.h"
#include "QUENTRAXDevice.h"
#include "QuentraxEmulator.h"
#include "WaitFor.h"

namespace behaviour {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// 8 command or report bytes, the rest 0.
inline Bytes packet(std::initializer_list<int> bytes) {
    Bytes out(8, 0);
    std::size_t i = 0;
    for (int b : bytes) {
        out[i++] = static_cast<std::uint8_t>(b);
    }
    return out;
}

inline std::string hex(const Bytes& bytes) {
    std::string out;
    char text[4];
    for (auto b : bytes) {
        std::snprintf(text, sizeof text, "%02X ", b);
        out += text;
    }
    return out;
}

// An error no retry applies to: ERROR_ACCESS_DENIED on Windows, EACCES natively.
inline int refusal_code() {
#ifdef _WIN32
    return 5;
#else
    return EACCES;
#endif
}

// What the call threw: "<type>: <what>" with the type among the ones the library uses.
template <typename F>
std::string thrown_by(F&& f) {
    try {
        f();
    } catch (const omvar::quentrax::NotSupportVerError& e) {
        return std::string("NotSupportVerError: ") + e.what();
    } catch (const HIDDeviceError& e) {
        return std::string("HIDDeviceError: ") + e.what();
    } catch (const std::length_error& e) {
        return std::string("length_error: ") + e.what();
    } catch (const std::out_of_range& e) {
        return std::string("out_of_range: ") + e.what();
    } catch (const std::invalid_argument& e) {
        return std::string("invalid_argument: ") + e.what();
    } catch (const std::runtime_error& e) {
        return std::string("runtime_error: ") + e.what();
    } catch (const std::exception& e) {
        return std::string("exception: ") + e.what();
    }
    return "nothing";
}

// A device object on an emulated unit, with the library's two loggers captured.
class DeviceBehaviour : public ::testing::Test {
protected:
    void SetUp() override {
        spdlog::drop("quentrax");
        spdlog::drop("qxpacket");
        auto [logger, sink] = testing_support::capturing_logger("quentrax");
        auto [packet_logger, packet_sink] = testing_support::capturing_logger("qxpacket");
        spdlog::register_logger(logger);
        spdlog::register_logger(packet_logger);
        log = sink;
        trace = packet_sink;
    }

    void TearDown() override {
        // Closing first stops the reader while `device` still points at the object, for
        // listeners that use it.
        if (device) {
            device->close();
        }
        device.reset();
        omvar::sim::QuentraxEmulator::detach_all();
        spdlog::drop("quentrax");
        spdlog::drop("qxpacket");
    }

    // Attaches a unit, opens it through the library and forgets what opening sent.
    std::shared_ptr<omvar::sim::QuentraxUnit> open_device(omvar::sim::UnitOptions options,
                                                          bool clear_after_open = true) {
        unit = omvar::sim::QuentraxEmulator::attach(std::move(options));
        auto devices = omvar::quentrax::QUENTRAXDevice::list_devices(false);
        if (devices.size() != 1) {
            ADD_FAILURE() << "one interface expected, found " << devices.size();
            return unit;
        }
        device = std::move(devices.front());
        device->open();
        if (clear_after_open) {
            unit->clear_packets();
        }
        return unit;
    }

    std::shared_ptr<omvar::sim::QuentraxUnit> open_device(int firmware,
                                                          std::chrono::milliseconds period = 10ms) {
        return open_device(omvar::sim::UnitOptions::of(firmware, period));
    }

    std::vector<Bytes> sent() const { return unit->commands(); }

    // State that listeners write: members, so that it outlives the device (reset in TearDown).
    std::mutex observed_mutex;
    std::vector<unsigned int> observed_sizes;
    std::atomic<std::size_t> observed_reads{0};
    std::atomic<std::size_t> observed_bad{0};

    std::shared_ptr<testing_support::CapturingSink> log;    // "quentrax"
    std::shared_ptr<testing_support::CapturingSink> trace;  // "qxpacket"
    std::shared_ptr<omvar::sim::QuentraxUnit> unit;
    std::unique_ptr<omvar::quentrax::QUENTRAXDevice> device;
};

}  // namespace behaviour
