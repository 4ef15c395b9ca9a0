// Decoding of the reports: buffer size, paddle characters, encoder, button, the freeze watch,
// and the events and notifications they raise.
#include <atomic>

#include "DeviceBehaviour.h"
#include "NotificationRecorder.h"

namespace behaviour {
namespace {

using omvar::quentrax::QUENTRAXDeviceEvent;

constexpr int kStatus = 0xFF;  // byte 0 of the unit's unsolicited reports

Bytes report(int b4, int b5, int b6, int b7, int code = kStatus) {
    return packet({code, 0, 0, 0, b4, b5, b6, b7});
}

// Listens to the three subscribable events and notes the buffer size each one saw.
class Decoded : public DeviceBehaviour {
protected:
    struct Seen {
        std::string name;
        unsigned int size;
        std::uint8_t value;
        std::string text;
    };

    void open_quiet(int firmware = 23) {
        open_device(firmware, 0ms);  // reports only as the test injects them
        device->set_callback_window(notifications.handle(), NotificationRecorder::kMessage);
        for (const char* name : {"read", "change_buffer_size", "input"}) {
            device->add_listener(name, [this](QUENTRAXDeviceEvent e) {
                std::lock_guard<std::mutex> lock(mutex_);
                if (e.name == "read") {
                    ++reads_;
                }
                seen_.push_back({e.name, device->get_buffer_size(), e.value, e.text});
            });
        }
    }

    // Injects the reports and waits until the device has decoded all of them.
    void feed(const std::vector<Bytes>& reports) {
        const std::size_t target = reads() + reports.size();
        for (const auto& r : reports) {
            unit->inject_report(r);
        }
        ASSERT_TRUE(testing_support::wait_for([&] { return reads() >= target; }));
    }

    std::size_t reads() {
        std::lock_guard<std::mutex> lock(mutex_);
        return reads_;
    }

    std::vector<Seen> take() {
        std::lock_guard<std::mutex> lock(mutex_);
        auto out = std::move(seen_);
        seen_.clear();
        return out;
    }

    static std::vector<std::string> names(const std::vector<Seen>& seen) {
        std::vector<std::string> out;
        for (const auto& s : seen) {
            out.push_back(s.name);
        }
        return out;
    }

    std::size_t kicks() const {
        std::size_t n = 0;
        for (const auto& c : sent()) {
            n += c == packet({0x33}) ? 1 : 0;
        }
        return n;
    }

    NotificationRecorder notifications;
    std::mutex mutex_;
    std::size_t reads_ = 0;
    std::vector<Seen> seen_;
};

TEST_F(Decoded, BufferSizeDropsToZeroOnlyAfterTwoReportsOrAClearAnswer) {
    open_quiet();
    take();
    feed({report(0, 0, 0xFF, 0x30), report(0, 0, 0xFF, 0x00), report(0, 0, 0xFF, 0x00)});
    auto seen = take();
    EXPECT_EQ(names(seen), (std::vector<std::string>{"read", "change_buffer_size", "read", "read",
                                                     "change_buffer_size"}));
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].size, 3u);
    EXPECT_EQ(seen[2].size, 3u);
    EXPECT_EQ(seen[3].size, 0u);

    feed({report(0, 0, 0xFF, 0x50), report(0, 0, 0xFF, 0x50, 0x34)});
    seen = take();
    EXPECT_EQ(names(seen), (std::vector<std::string>{"read", "change_buffer_size", "read",
                                                     "change_buffer_size"}));
    EXPECT_EQ(device->get_buffer_size(), 0u);
    EXPECT_TRUE(notifications.pairs().empty());  // sizes are no notification
}

TEST_F(Decoded, FirstReportWithoutSizeAfterOpeningReadsFifteenFromTheInitialState) {
    // Reports the system kept from before opening come first. The encoder turn in each makes
    // a notification whose lParam shows the size decoded from that report.
    unit = omvar::sim::QuentraxEmulator::attach(omvar::sim::UnitOptions::of(23, 0ms));
    unit->inject_on_open(report(0, 0, 0x40, 0x00));
    unit->inject_on_open(report(0, 0, 0x60, 0x00));
    unit->inject_on_open(report(0, 0, 0x40, 0x00));
    auto devices = omvar::quentrax::QUENTRAXDevice::list_devices();
    ASSERT_EQ(devices.size(), 1u);
    device = std::move(devices[0]);
    device->set_callback_window(notifications.handle(), NotificationRecorder::kMessage);
    device->open();
    ASSERT_TRUE(testing_support::wait_for([&] { return notifications.pairs().size() >= 2; }));
    EXPECT_EQ(notifications.pairs(),
              (std::vector<NotificationRecorder::Pair>{{0x10000, 15}, {0x10000, 0}}));
}

TEST_F(Decoded, PaddleCharactersCountFromTheSecondSequenceNumber) {
    open_quiet();
    take();
    feed({report(7, 0x40, 0xFF, 0xF0)});
    auto seen = take();
    EXPECT_EQ(names(seen), (std::vector<std::string>{"read", "change_buffer_size"}));
    EXPECT_TRUE(device->is_used_paddle());
    feed({report(8, 0x60, 0xFF, 0xF0), report(8, 0x60, 0xFF, 0xF0), report(9, 0x94, 0xFF, 0xF0)});
    seen = take();
    ASSERT_EQ(names(seen), (std::vector<std::string>{"read", "input", "read", "read", "input"}));
    EXPECT_EQ(seen[1].value, 0x60);
    EXPECT_EQ(seen[1].text, ".-");
    EXPECT_EQ(seen[4].value, 0x94);
    EXPECT_EQ(seen[4].text, "-..-.");
    ASSERT_TRUE(testing_support::wait_for([&] { return notifications.pairs().size() >= 2; }));
    EXPECT_EQ(notifications.pairs(),
              (std::vector<NotificationRecorder::Pair>{{0x60, 15}, {0x94, 15}}));
}

TEST_F(Decoded, EncoderTurnsNeedBothLinesHighBefore) {
    open_quiet();
    feed({report(0, 0, 0x60, 0x00), report(0, 0, 0x40, 0x00),    // up
          report(0, 0, 0x60, 0x00), report(0, 0, 0x20, 0x00),    // down
          report(0, 0, 0x60, 0x00), report(0, 0, 0x00, 0x00),    // both changed: nothing
          report(0, 0, 0x40, 0x00), report(0, 0, 0x00, 0x00),    // not from both high: nothing
          report(0, 0, 0x60, 0x00), report(0, 0, 0x60, 0x00)});  // no change: nothing
    ASSERT_TRUE(testing_support::wait_for([&] { return notifications.pairs().size() >= 2; }));
    feed({report(0, 0, 0x60, 0x00)});
    EXPECT_EQ(notifications.pairs(),
              (std::vector<NotificationRecorder::Pair>{{0x10000, 0}, {0x20000, 0}}));
}

TEST_F(Decoded, MessageButtonFiresOnItsRisingEdge) {
    open_quiet();
    feed({report(0, 0, 0xFF, 0x00), report(0, 0, 0xFF, 0x02), report(0, 0, 0xFF, 0x02),
          report(0, 0, 0xFF, 0x00), report(0, 0, 0xFF, 0x32)});
    ASSERT_TRUE(testing_support::wait_for([&] { return notifications.pairs().size() >= 2; }));
    feed({report(0, 0, 0xFF, 0x30)});
    EXPECT_EQ(notifications.pairs(),
              (std::vector<NotificationRecorder::Pair>{{0x30000, 0}, {0x30000, 3}}));
}

TEST_F(Decoded, OneReportRaisesPaddleEncoderAndButtonInThatOrder) {
    open_quiet();
    feed({report(1, 0x00, 0x60, 0xF0)});
    take();
    feed({report(2, 0x88, 0x40, 0xF2)});
    EXPECT_EQ(names(take()), (std::vector<std::string>{"read", "input"}));
    ASSERT_TRUE(testing_support::wait_for([&] { return notifications.pairs().size() >= 3; }));
    EXPECT_EQ(notifications.pairs(),
              (std::vector<NotificationRecorder::Pair>{{0x88, 15}, {0x10088, 15}, {0x30088, 15}}));
}

TEST_F(Decoded, FrozenBufferIsKickedAfterTwoHundredUnchangedReports) {
    open_quiet();
    unit->clear_packets();
    log->clear();
    feed({report(0, 0, 0xFF, 0x30)});
    feed(std::vector<Bytes>(200, report(0, 0, 0xFF, 0x30)));
    EXPECT_EQ(kicks(), 0u);
    feed({report(0, 0, 0xFF, 0x30)});
    ASSERT_TRUE(unit->wait_for_packets(1));
    EXPECT_EQ(kicks(), 1u);
    const auto lines = log->lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "バッファサイズがしばらく変化せず(2000ミリ秒)。フリーズした可能性");
    EXPECT_EQ(lines[0].level, spdlog::level::warn);
    EXPECT_EQ(lines[1].text, "パケットを投げて符号生成を再開させる");
    EXPECT_EQ(lines[1].level, spdlog::level::info);

    // The count starts again: the kick's own answer (size still 3 by the two-report rule) is
    // the first report of the next round.
    ASSERT_TRUE(testing_support::wait_for([&] { return reads() >= 1 + 200 + 1 + 1; }));
    feed(std::vector<Bytes>(199, report(0, 0, 0xFF, 0x30)));
    EXPECT_EQ(kicks(), 1u);
    feed({report(0, 0, 0xFF, 0x30)});
    ASSERT_TRUE(unit->wait_for_packets(2));
    EXPECT_EQ(kicks(), 2u);
}

TEST_F(Decoded, FreezeWatchWithoutRecoverySendsNothing) {
    open_quiet();
    device->set_freeze_recovery(false);
    unit->clear_packets();
    log->clear();
    feed({report(0, 0, 0xFF, 0x30)});
    feed(std::vector<Bytes>(450, report(0, 0, 0xFF, 0x30)));
    // Idle or paddle mode is no freeze however long it lasts, with recovery on as well.
    device->set_freeze_recovery(true);
    feed(std::vector<Bytes>(2, report(0, 0, 0xFF, 0x00)));
    feed(std::vector<Bytes>(450, report(0, 0, 0xFF, 0x00)));
    feed({report(5, 0, 0xFF, 0xF0)});
    feed(std::vector<Bytes>(450, report(5, 0, 0xFF, 0xF0)));
    EXPECT_EQ(kicks(), 0u);
    EXPECT_FALSE(log->contains("パケットを投げて符号生成を再開させる"));
}

TEST_F(Decoded, ListenersAreRefusedForOtherEventsAndWindowsMustBeGiven) {
    open_quiet();
    EXPECT_EQ(thrown_by([&] { device->add_listener("push_msg_button", [](auto) {}); }),
              "invalid_argument: An unsupported event name was specified");
    EXPECT_EQ(thrown_by([&] { device->add_listener("wpm_encorder_up", [](auto) {}); }),
              "invalid_argument: An unsupported event name was specified");
    EXPECT_EQ(thrown_by([&] { device->set_callback_window(nullptr, 1); }),
              "invalid_argument: Please specify HWND.");
    const unsigned int id = device->add_listener("read", [](auto) {});
    EXPECT_EQ(thrown_by([&] { device->remove_listener(id); }), "nothing");
    device->close();
    EXPECT_EQ(thrown_by([&] { device->add_listener("input", [](auto) {}); }),
              "runtime_error: The device is not open.");
    EXPECT_EQ(thrown_by([&] { device->get_buffer_size(); }),
              "runtime_error: The device is not open.");
    EXPECT_EQ(thrown_by([&] { device->is_used_paddle(); }),
              "runtime_error: The device is not open.");
}

TEST_F(Decoded, AThrowingListenerIsLoggedAndReadingGoesOn) {
    open_quiet();
    device->add_listener("read", [](QUENTRAXDeviceEvent) { throw std::runtime_error("boom"); });
    feed({report(0, 0, 0xFF, 0x30), report(0, 0, 0xFF, 0x40)});
    EXPECT_EQ(device->get_buffer_size(), 4u);
    bool logged = false;
    for (const auto& line : log->lines()) {
        logged = logged ||
                 (line.level == spdlog::level::err && line.text.find("boom") != std::string::npos);
    }
    EXPECT_TRUE(logged);
}

}  // namespace
}  // namespace behaviour
