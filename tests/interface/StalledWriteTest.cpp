// A unit whose OUT endpoint stalls for a while: every write waits out the HID layer's time-out
// and is cancelled, or goes in when the stall ends, or completes just as it is cancelled.
#include <future>

#include "DeviceBehaviour.h"
#include "NonBlockingHIDDevice.h"

namespace behaviour {
namespace {

using omvar::quentrax::HIDDevice;
using omvar::quentrax::NonBlockingHIDDevice;
using omvar::sim::QuentraxEmulator;
using omvar::sim::QuentraxUnit;
using omvar::sim::UnitOptions;
using Clock = std::chrono::steady_clock;

const std::string kWrite = "\x1b[0;36m\xE2\x96\x8CWrite Packet\x1b[0m ";
const std::string kError = "\x1b[0;31m[ERROR]\x1b[0m";
const std::string kRetry = "\x1b[0;33m[RETRY]\x1b[0m";

std::string write_line(const std::string& prefix, const Bytes& bytes) {
    return kWrite + prefix + " " + hex(bytes) + "\x1b[0m";
}

class StalledOutEndpoint : public DeviceBehaviour {
protected:
    // The unit has begun to take (and stall) this many more writes than before.
    bool writes_begun(std::size_t count) {
        const std::size_t target = writes_before + count;
        return testing_support::wait_for([&] { return unit->stats().writes >= target; });
    }

    void stall(std::chrono::milliseconds span, int completing_late = 0) {
        writes_before = unit->stats().writes;
        unit->stall_writes(span, completing_late);
    }

    std::size_t writes_before = 0;

    std::vector<std::string> write_lines() {
        std::vector<std::string> out;
        for (const auto& line : trace->lines()) {
            if (line.text.rfind(kWrite, 0) == 0) {
                out.push_back(line.text);
            }
        }
        return out;
    }

    // A command from the window thread comes back long before a stalled write times out.
    template <typename F>
    void expect_prompt(F&& command) {
        const auto t0 = Clock::now();
        command();
        EXPECT_LT(Clock::now() - t0, QuentraxUnit::write_timeout);
    }
};

// The keying packet outlives its time-out and completes as it is cancelled: written once, not
// again. The status command behind it times out within the stall and goes out on its retry.
TEST_F(StalledOutEndpoint, EveryWriteEndsWithItsOwnResultInOrderAndNothingTwice) {
    open_device(23);
    trace->clear();
    const Bytes cw = packet({0x05, 0x60});
    const Bytes status = packet({0x30, 0x21});
    stall(QuentraxUnit::write_timeout * 5 / 2, 1);
    // The model's worker keys; it waits for its packet.
    auto keyed = std::async(std::launch::async, [&] { return device->output_CW({0x60}); });
    ASSERT_TRUE(writes_begun(1));
    std::future<omvar::quentrax::QUENTRAXDevice::Packet> set;
    expect_prompt([&] { set = device->set_status(0x21, 0); });

    auto answer = keyed.get();  // written: no exception
    EXPECT_EQ(answer.get()[1], 0x60);
    EXPECT_EQ(set.get()[0], 0x30);
    EXPECT_EQ(device->get_status().bytes[0], 0x21);  // its own answer, after the stall
    EXPECT_EQ(sent(), (std::vector<Bytes>{cw, status, packet({0x31})}));
    // An answer may be in before the writer has logged its write.
    EXPECT_TRUE(testing_support::wait_for([&] { return write_lines().size() >= 4; }));
    EXPECT_EQ(write_lines(), (std::vector<std::string>{
                                 write_line("", cw), write_line(kError, status),
                                 write_line(kRetry, status), write_line("", packet({0x31}))}));
}

// An options dialog's OK and then Esc while the worker's packet is stalled: the window thread
// is held once, not per command; the packet is not tried again; the commands and the clear
// reach the unit in order when it takes writes again, and nothing is keyed.
TEST_F(StalledOutEndpoint, CommandsHoldTheWindowThreadOnceAndNothingQueuedBeforeEscIsKeyed) {
    open_device(23);
    stall(QuentraxUnit::write_timeout * 3 / 2);
    auto keyed = std::async(std::launch::async, [&] { return device->output_CW({0x60, 0x88}); });
    ASSERT_TRUE(writes_begun(1));
    std::future<omvar::quentrax::QUENTRAXDevice::Packet> cleared;
    const auto t0 = Clock::now();
    device->set_keyer_params(omvar::quentrax::KeyerParams{});
    device->set_keyer_speed(12);
    device->set_paddle_reverse(true);
    device->set_ptt_params(omvar::quentrax::PTTParams{});
    cleared = device->clear_generator_buffer();
    // Five waits of a command would take five times this; one is allowed for.
    EXPECT_LT(Clock::now() - t0, 3 * omvar::quentrax::QUENTRAXDevice::kCommandWriteWait);

    EXPECT_EQ(thrown_by([&] { keyed.get(); }), "runtime_error: Processing was interrupted.");
    EXPECT_EQ(cleared.get()[0], 0x34);
    EXPECT_EQ(sent(),
              (std::vector<Bytes>{packet({0x20, 30, 2, 6, 2, 7}), packet({0x24, 12}),
                                  packet({0x26, 0, 0, 1}), packet({0x25, 1}),
                                  packet({0x22, 25, 200}), packet({0x34}), packet({0x34})}));
    EXPECT_TRUE(unit->key_timeline().empty());
}

// Output queued behind a stalled write is taken back before it goes out; other commands stay.
TEST(StalledTransport, WithdrawnOutputNeverLeavesAndTheRestKeepsItsOrder) {
    auto unit = QuentraxEmulator::attach(UnitOptions::of(23));
    auto found = HIDDevice::enumerate();
    ASSERT_EQ(found.size(), 1u);
    NonBlockingHIDDevice transport(std::move(found[0]));
    transport.open();
    unit->stall_writes(QuentraxUnit::write_timeout * 3 / 2);
    NonBlockingHIDDevice::WriteOptions output;
    output.output = true;
    output.attempts = 4;
    output.retry_on = [](const HIDDeviceError& e) { return e.is_timeout; };
    auto in_flight = transport.write({0, 0x05, 0x60, 0, 0, 0, 0, 0, 0}, output);
    ASSERT_TRUE(testing_support::wait_for([&] { return unit->stats().writes >= 1; }));
    auto queued = transport.write({0, 0x05, 0x88, 0, 0, 0, 0, 0, 0}, output);
    auto speed = transport.write({0, 0x24, 0x0C, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(transport.withdraw_output(), 1u);
    EXPECT_EQ(queued.wait_for(0ms), std::future_status::ready);
    EXPECT_EQ(thrown_by([&] { queued.get(); }), "runtime_error: Processing was interrupted.");
    EXPECT_EQ(thrown_by([&] { in_flight.get(); }), "runtime_error: Processing was interrupted.");
    EXPECT_EQ(thrown_by([&] { speed.get(); }), "nothing");
    EXPECT_EQ(unit->commands(), std::vector<Bytes>{packet({0x24, 0x0C})});
    transport.close();
    QuentraxEmulator::detach_all();
}

}  // namespace
}  // namespace behaviour
