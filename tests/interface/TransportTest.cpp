// The HID transport: enumeration, the reader thread's read time-outs, read failures,
// disconnection, queued writes.
#include <algorithm>
#include <cmath>
#include <future>

#include "DeviceBehaviour.h"
#include "NonBlockingHIDDevice.h"

namespace behaviour {
namespace {

using omvar::quentrax::HIDDevice;
using omvar::quentrax::NonBlockingHIDDevice;
using omvar::quentrax::NonBlockingHIDDeviceErrorEvent;
using omvar::sim::HidFailure;
using omvar::sim::platform_error_code;
using omvar::sim::QuentraxEmulator;
using omvar::sim::UnitOptions;

// A transport on one emulated unit, recording its events in order.
class Transport : public DeviceBehaviour {
protected:
    struct Event {
        std::string name;
        Bytes data;
        int code = 0;
    };

    void start(UnitOptions options) {
        unit = QuentraxEmulator::attach(std::move(options));
        auto found = HIDDevice::enumerate();
        ASSERT_EQ(found.size(), 1u);
        transport = std::make_unique<NonBlockingHIDDevice>(std::move(found[0]));
        transport->add_listener("read", [this](Bytes data) { record({"read", data, 0}); });
        transport->EventEmitter::add_listener("error",
                                              std::function<void(NonBlockingHIDDeviceErrorEvent)>(
                                                  [this](NonBlockingHIDDeviceErrorEvent e) {
                                                      EXPECT_EQ(e.name, "read_error");
                                                      record({"error", e.data, e.error.code});
                                                  }));
        transport->open();
    }

    void TearDown() override {
        transport.reset();
        DeviceBehaviour::TearDown();
    }

    void record(Event e) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(e));
    }

    std::vector<Event> events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

    std::size_t count(const std::string& name) {
        std::size_t n = 0;
        for (const auto& e : events()) {
            n += e.name == name ? 1 : 0;
        }
        return n;
    }

    std::vector<std::string> error_lines() {
        std::vector<std::string> out;
        for (const auto& line : log->lines()) {
            if (line.level == spdlog::level::err) {
                out.push_back(line.text);
            }
        }
        return out;
    }

    std::unique_ptr<NonBlockingHIDDevice> transport;
    std::mutex mutex_;
    std::vector<Event> events_;
};

TEST_F(Transport, EnumerationListsEveryUnitInBusOrder) {
    EXPECT_TRUE(HIDDevice::enumerate().empty());
    auto a = QuentraxEmulator::attach(UnitOptions::of(23));
    auto b = QuentraxEmulator::attach(UnitOptions::of(20));
    auto found = HIDDevice::enumerate();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0]->path(), a->path());
    EXPECT_EQ(found[1]->path(), b->path());
    QuentraxEmulator::detach(a);
    found = HIDDevice::enumerate();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->path(), b->path());
}

TEST_F(Transport, APathThatCannotBeOpenedLeavesTheTransportClosed) {
    NonBlockingHIDDevice gone(std::make_unique<HIDDevice>("no-such-interface"));
    EXPECT_EQ(thrown_by([&] { gone.open(); }), "nothing");
    EXPECT_TRUE(testing_support::wait_for([&] { return !gone.is_open(); }));
    gone.close();
    gone.close();
    EXPECT_EQ(thrown_by([&] { gone.add_listener("error", [](Bytes) {}); }),
              "invalid_argument: An unsupported event name was specified");
}

TEST_F(Transport, ReadTimeOutFollowsTheReportRate) {
    start(UnitOptions::of(23, 25ms));
    ASSERT_TRUE(testing_support::wait_for([&] { return count("read") >= 40; }));
    unit->withhold_reports(600ms);
    ASSERT_TRUE(unit->wait_for_status_reports(30));
    const auto reads = unit->reads();
    std::size_t after_data = 0;
    std::size_t after_idle = 0;
    for (std::size_t i = 1; i < reads.size(); ++i) {
        const auto& prev = reads[i - 1];
        const int timeout = reads[i].timeout_ms;
        if (prev.result == 0) {
            EXPECT_EQ(timeout, 200) << "read " << i;
            ++after_idle;
        } else if (prev.result > 0) {
            // The reader measures the previous read itself, to the millisecond: at least as long
            // as the unit saw it, at most until the next read began (longer when the reader's
            // thread waited for a core meanwhile).
            const double d = std::chrono::duration<double, std::milli>(prev.duration).count();
            const double gap =
                std::chrono::duration<double, std::milli>(reads[i].start - prev.start).count();
            bool plausible = false;
            for (int e = static_cast<int>(std::floor(d)) - 2;
                 e <= static_cast<int>(std::ceil(gap)) + 2; ++e) {
                const int expected = e == 0 ? 200 : (2 * e <= 10 ? 10 : 2 * e);
                plausible = plausible || expected == timeout;
            }
            EXPECT_TRUE(plausible) << "read " << i << " took " << d << " ms, " << gap
                                   << " ms to the next, which waits " << timeout;
            ++after_data;
        }
    }
    EXPECT_GE(after_data, 30u);
    EXPECT_GE(after_idle, 1u);
    EXPECT_EQ(reads.front().timeout_ms, 200);
    EXPECT_EQ(count("error"), 0u);
}

TEST_F(Transport, FirstReportDurationIsLoggedOncePerOpen) {
    start(UnitOptions::of(23, 10ms));
    ASSERT_TRUE(testing_support::wait_for([&] { return count("read") >= 20; }));
    std::size_t lines = 0;
    for (const auto& line : log->lines()) {
        if (line.text.rfind("初回のRead Packet所要時間 = ", 0) == 0) {
            ++lines;
            EXPECT_EQ(line.level, spdlog::level::debug);
        }
    }
    EXPECT_EQ(lines, 1u);
}

TEST_F(Transport, ReadFailureRaisesAnErrorEventAndReadingGoesOn) {
    start(UnitOptions::of(23, 10ms));
    ASSERT_TRUE(testing_support::wait_for([&] { return count("read") >= 3; }));
    unit->fail_reads(refusal_code(), 1);
    ASSERT_TRUE(testing_support::wait_for([&] { return count("error") == 1; }));
    const std::size_t reads_before = count("read");
    ASSERT_TRUE(testing_support::wait_for([&] { return count("read") >= reads_before + 3; }));
    const auto all = events();
    Bytes last_read;
    for (const auto& e : all) {
        if (e.name == "read") {
            last_read = e.data;
            continue;
        }
#ifdef _WIN32
        EXPECT_EQ(e.code, 5);
#endif
        // The reader's buffer as the read before left it.
        EXPECT_TRUE(e.data.empty() || e.data == last_read);
        break;
    }
    bool logged = false;
    for (const auto& line : log->lines()) {
        logged = logged || (line.level == spdlog::level::err &&
                            line.text.rfind("HID Device Error: ", 0) == 0);
    }
    EXPECT_TRUE(logged);
    EXPECT_TRUE(transport->is_open());
}

// A unit behind a flaky hub: every read fails as "not functioning" for two seconds, then the
// unit recovers.
TEST_F(Transport, PersistentReadFailuresNeitherSpinNorFloodTheLog) {
    using namespace std::chrono;
    start(UnitOptions::of(23, 10ms));
    ASSERT_TRUE(testing_support::wait_for([&] { return count("read") >= 3; }));
    const double cpu_before = unit->reader_cpu_seconds();
    const auto stats_before = unit->stats();
    unit->fail_reads_for(platform_error_code(HidFailure::not_functioning), 2s);
    ASSERT_TRUE(testing_support::wait_for([&] { return count("error") >= 1; }));
    const std::size_t reads_before_recovery = count("read");
    auto written = transport->write({0, 0x05, 0x60, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(written.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(thrown_by([&] { written.get(); }), "nothing");
    ASSERT_TRUE(
        testing_support::wait_for([&] { return count("read") >= reads_before_recovery + 5; }, 20s));
    const double cpu = unit->reader_cpu_seconds() - cpu_before;
    const std::size_t failed = unit->stats().failed_reads - stats_before.failed_reads;

    // The write left while the reads were failing, not after them.
    EXPECT_EQ(unit->commands(), std::vector<Bytes>{packet({0x05, 0x60})});
    const auto reads = unit->reads();
    const auto last_failure =
        std::find_if(reads.rbegin(), reads.rend(), [](const auto& r) { return r.result < 0; });
    ASSERT_NE(last_failure, reads.rend());
    EXPECT_LT(unit->packets().back().time, last_failure->start);

    // A busy loop makes thousands of reads and burns the whole span in CPU time; the pauses
    // leave some fifteen reads and next to no CPU time.
    EXPECT_LT(failed, 100u);
    EXPECT_EQ(count("error"), failed);
    if (cpu_before >= 0) {
        EXPECT_LT(cpu, 0.1);
    }
    const auto errors = error_lines();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind("HID Device Error: ", 0), 0u);
    EXPECT_EQ(errors[1], errors[0] + " (同じエラーを" + std::to_string(failed - 1) + "回検出)");
}

TEST_F(Transport, CloseEndsThePauseAfterAFailedRead) {
    start(UnitOptions::of(23, 10ms));
    unit->fail_reads_for(platform_error_code(HidFailure::not_functioning), std::chrono::hours(1));
    ASSERT_TRUE(testing_support::wait_for([&] { return count("error") >= 3; }));
    auto closed = std::async(std::launch::async, [&] { transport->close(); });
    ASSERT_EQ(closed.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(transport->is_open());
    // The repeats not yet logged are summed up when the reader ends.
    const auto errors = error_lines();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[1],
              errors[0] + " (同じエラーを" + std::to_string(count("error") - 1) + "回検出)");
}

TEST_F(Transport, ReadTimeOutErrorWarnsAndCountsAsAnEmptyRead) {
    start(UnitOptions::of(23, 10ms));
    ASSERT_TRUE(testing_support::wait_for([&] { return count("read") >= 3; }));
    unit->fail_reads(platform_error_code(HidFailure::timeout), 1);
    ASSERT_TRUE(log->wait_for_line("Read Timeout"));
    const std::size_t reads_before = count("read");
    ASSERT_TRUE(testing_support::wait_for([&] { return count("read") >= reads_before + 2; }));
    EXPECT_EQ(count("error"), 0u);
    for (const auto& line : log->lines()) {
        if (line.text == "Read Timeout") {
            EXPECT_EQ(line.level, spdlog::level::warn);
        }
    }
    const auto reads = unit->reads();
    bool checked = false;
    for (std::size_t i = 0; i + 1 < reads.size(); ++i) {
        if (reads[i].result < 0) {
            EXPECT_EQ(reads[i + 1].timeout_ms, 200);
            checked = true;
        }
    }
    EXPECT_TRUE(checked);
}

TEST_F(Transport, DisconnectionEndsTheReaderWithoutEvents) {
    start(UnitOptions::of(23, 10ms));
    ASSERT_TRUE(testing_support::wait_for([&] { return count("read") >= 3; }));
    unit->fail_reads(platform_error_code(HidFailure::disconnected), 1);
    ASSERT_TRUE(log->wait_for_line("The device has been disconnected"));
    EXPECT_TRUE(testing_support::wait_for([&] { return !transport->is_open(); }));
    EXPECT_TRUE(unit->wait_for_open(false));  // the reader's and the writer's handle closed
    const std::size_t reads_after = count("read");
    EXPECT_TRUE(unit->wait_for_status_reports(5));
    EXPECT_EQ(count("read"), reads_after);
    EXPECT_EQ(count("error"), 0u);
    const auto texts = log->texts();
    auto closed = std::find(texts.begin(), texts.end(), "HIDDevice::close()");
    auto gone = std::find(texts.begin(), texts.end(), "The device has been disconnected");
    EXPECT_TRUE(closed < gone);
    transport->close();
    EXPECT_FALSE(transport->is_open());
}

// Writes do not wait for the reader: one queued while a read waits (no status reports, so an
// idle read waits its whole 200 ms) reaches the unit before that read ends; its answer ends it.
TEST_F(Transport, AWriteLeavesWhileAReadWaits) {
    start(UnitOptions::of(23, 0ms));
    for (std::size_t attempt = 1; attempt <= 5; ++attempt) {
        // Right after a read that found nothing, the next one waits its whole time-out.
        const std::size_t reads_before = unit->reads().size();
        ASSERT_TRUE(testing_support::wait_for([&] {
            const auto reads = unit->reads();
            return reads.size() > reads_before && reads.back().result == 0;
        }));
        const auto queued = std::chrono::steady_clock::now();
        auto written = transport->write({0, 0x31, 0, 0, 0, 0, 0, 0, 0});
        ASSERT_EQ(written.wait_for(10s), std::future_status::ready);
        ASSERT_TRUE(testing_support::wait_for([&] { return count("read") == attempt; }));
        const auto packet_time = unit->packets().back().time;
        const auto reads = unit->reads();
        const auto waiting = std::find_if(reads.begin(), reads.end(), [&](const auto& r) {
            return r.start <= queued && queued < r.start + r.duration;
        });
        if (waiting == reads.end()) {
            continue;  // queued between two reads: no verdict
        }
        using ms = std::chrono::duration<double, std::milli>;
        const double left_at = ms(packet_time - waiting->start).count();
        const double read_ended = ms(waiting->duration).count();
        EXPECT_LT(left_at, read_ended)
            << "the packet left " << left_at << " ms into a read that ended after " << read_ended;
        return;
    }
    FAIL() << "no write was queued while a read waited";
}

TEST_F(Transport, QueuedWritesReportTheirOwnOutcome) {
    start(UnitOptions::of(23, 10ms));
    unit->fail_writes(refusal_code(), 1);
    auto failed = transport->write({0, 0x05, 0x60, 0, 0, 0, 0, 0, 0});
    auto fine = transport->write({0, 0x05, 0x88, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(thrown_by([&] { failed.get(); }).rfind("HIDDeviceError: HID Device Error: ", 0), 0u);
    EXPECT_EQ(thrown_by([&] { fine.get(); }), "nothing");
    EXPECT_EQ(unit->commands(), std::vector<Bytes>{packet({0x05, 0x88})});
    transport.reset();  // stops and joins the reader, closes the handle
    EXPECT_EQ(unit->open_handles(), 0);
}

}  // namespace
}  // namespace behaviour
