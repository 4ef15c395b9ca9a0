// The library against the emulated interface: the behaviour this library chose where the
// protocol leaves a choice (bounded waits, disconnection, throwing listeners, error mapping).
#include <gtest/gtest.h>
#include <spdlog/spdlog.h>

#include <future>
#include <stdexcept>
#include <thread>

#include "DeviceBehaviour.h"
#include "TextEncoding.h"

using namespace omvar::quentrax;
using omvar::sim::HidFailure;
using omvar::sim::platform_error_code;
using omvar::sim::QuentraxEmulator;
using testing_support::wait_for;

namespace {

// The shared device fixture; the trace sink is the "qxpacket" logger.
using DeviceCore = behaviour::DeviceBehaviour;
using behaviour::thrown_by;

TEST_F(DeviceCore, OpensSendsAndAsks) {
    auto unit = open_device(23);
    ASSERT_TRUE(device->is_open());
    EXPECT_EQ(device->get_version(), 23);
    EXPECT_EQ(device->get_path(), unit->path());
    EXPECT_NE(device->get_raw_handle(), nullptr);
    unit->clear_packets();

    device->output_CW_using_str(std::string("ABC"));
    ASSERT_TRUE(unit->wait_for_packets(1));
    EXPECT_EQ(unit->commands().front(),
              (std::vector<std::uint8_t>{0x05, 0x60, 0x88, 0xA8, 0, 0, 0, 0}));

    const KeyerParams params = device->get_keyer_params();
    EXPECT_EQ(params.keySpeed, 30);
    EXPECT_EQ(params.dashWeight, 6);
    EXPECT_EQ(params.sideTone, 7);

    device->close();
    EXPECT_FALSE(device->is_open());
    EXPECT_EQ(thrown_by([&] { device->get_version(); }), "runtime_error: The device is not open.");
    EXPECT_EQ(device->get_path(), unit->path());
}

TEST_F(DeviceCore, UnidentifiedVersionFailsInShiftJis) {
    auto options = omvar::sim::UnitOptions::of(23);
    options.product = L"QUENTRAX Ver.0.0";
    QuentraxEmulator::attach(options);
    auto devices = QUENTRAXDevice::list_devices(false);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(thrown_by([&] { devices.front()->open(); }),
              "runtime_error: " + wide_to_shift_jis(L"QUENTRAXのバージョンを特定できません。"));
}

TEST_F(DeviceCore, OpenGivesUpWhenTheClearAnswerNeverComesAndLeavesNothingOpen) {
    auto unit = QuentraxEmulator::attach(omvar::sim::UnitOptions::of(23));
    unit->drop_answers(2);
    auto devices = QUENTRAXDevice::list_devices(false);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(thrown_by([&] { devices.front()->open(); }), "runtime_error: Timeout Error");
    EXPECT_FALSE(devices.front()->is_open());
    EXPECT_TRUE(unit->wait_for_open(false));
}

TEST_F(DeviceCore, GetterGivesUpAfterItsBoundAndLaterAnswersStayPaired) {
    auto unit = open_device(23);
    unit->drop_answers(1);
    EXPECT_EQ(thrown_by([&] { device->get_status(); }), "runtime_error: Timeout Error");
    device->set_status(0x12, 0x34).get();
    const DeviceStatus status = device->get_status();
    EXPECT_EQ(status.bytes[0], 0x12);
    EXPECT_EQ(status.bytes[1], 0x34);
}

TEST_F(DeviceCore, UnplugFailsPendingRequestsAtOnce) {
    auto unit = open_device(23);
    unit->drop_answers(1);
    auto pending = device->output_CW({0x60});
    ASSERT_TRUE(unit->wait_for_packets(1));
    QuentraxEmulator::detach(unit);
    ASSERT_EQ(pending.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(thrown_by([&] { pending.get(); }), "runtime_error: Processing was interrupted.");
    EXPECT_TRUE(log->wait_for_line("The device has been disconnected"));
    EXPECT_FALSE(device->is_open());
    EXPECT_EQ(thrown_by([&] { device->output_CW({0x60}); }),
              "runtime_error: The device is not open.");
    device->close();  // nothing left to do, must not hang or throw
}

TEST_F(DeviceCore, ThrowingListenerIsLoggedAndReadingGoesOn) {
    auto unit = open_device(23);
    // Shared: the reader outlives this function's frame until TearDown.
    auto calls = std::make_shared<std::atomic<int>>(0);
    device->add_listener("read", [calls](QUENTRAXDeviceEvent) {
        ++*calls;
        throw std::runtime_error("boom");
    });
    ASSERT_TRUE(wait_for([&] { return *calls > 3; }));
    EXPECT_TRUE(log->wait_for_line("A listener of \"read\" failed: boom"));
    // The answer still reaches its request.
    EXPECT_EQ(device->get_keyer_params().keySpeed, 30);
}

TEST_F(DeviceCore, CommandFromAListenerFailsInsteadOfHanging) {
    auto unit = open_device(23);
    auto outcome = std::make_shared<std::promise<std::string>>();
    auto done = std::make_shared<std::atomic<bool>>(false);
    device->add_listener("read", [this, outcome, done](QUENTRAXDeviceEvent) {
        if (done->exchange(true)) {
            return;
        }
        outcome->set_value(thrown_by([&] { device->get_keyer_params(); }));
    });
    auto text = outcome->get_future();
    ASSERT_EQ(text.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(
        text.get(),
        "exception: A device command cannot be issued from a listener of the device's events.");
    // The reader is not held up: commands from other threads still work.
    EXPECT_EQ(device->get_keyer_params().keySpeed, 30);
}

TEST_F(DeviceCore, WriteFailuresAreMappedToRetryRules) {
    auto unit = open_device(23);
    trace->clear();
    unit->fail_writes(platform_error_code(HidFailure::not_functioning), 1);
    device->set_keyer_speed(20).get();
    // The answer may be in before the writer has logged its last attempt.
    EXPECT_TRUE(testing_support::wait_for([&] {
        return trace->count(
                   "\x1b[0;36m▌Write Packet\x1b[0m \x1b[0;33m[RETRY]\x1b[0m "
                   "24 14 00 00 00 00 00 00 \x1b[0m") == 1;
    }));
    EXPECT_EQ(trace->count("\x1b[0;36m▌Write Packet\x1b[0m \x1b[0;31m[ERROR]\x1b[0m "
                           "24 14 00 00 00 00 00 00 \x1b[0m"),
              1u);
    EXPECT_EQ(trace->count("\x1b[0;36m▌Write Packet\x1b[0m \x1b[0;33m[RETRY]\x1b[0m "
                           "24 14 00 00 00 00 00 00 \x1b[0m"),
              1u);

    unit->fail_writes(platform_error_code(HidFailure::disconnected), 1);
    try {
        // The call may come back before the write has failed; the failure reaches its future.
        device->set_keyer_speed(21).get();
        FAIL() << "no exception";
    } catch (const HIDDeviceError& e) {
        EXPECT_EQ(e.code, HIDDeviceError::kNotConnected);
        EXPECT_FALSE(e.is_timeout);
    }
}

TEST_F(DeviceCore, MissingLoggersAreHarmless) {
    spdlog::drop("quentrax");
    spdlog::drop("qxpacket");
    auto unit = open_device(21);
    ASSERT_TRUE(device->is_open());
    device->clear_generator_buffer().get();
    device->close();
}

}  // namespace
