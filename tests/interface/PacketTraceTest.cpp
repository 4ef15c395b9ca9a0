// The packet trace: write retries and their lines, similar reports summarised, incomplete
// reports and their warning.

#include "DeviceBehaviour.h"

namespace behaviour {
namespace {

using omvar::sim::HidFailure;
using omvar::sim::platform_error_code;

const std::string kWrite = "\x1b[0;36m\xE2\x96\x8CWrite Packet\x1b[0m ";
const std::string kRead = "\x1b[0;32m\xE2\x96\x8CRead Packet \x1b[0m ";
const std::string kError = "\x1b[0;31m[ERROR]\x1b[0m";
const std::string kRetry = "\x1b[0;33m[RETRY]\x1b[0m";
const std::string kEnd = "\x1b[0m";

std::string write_line(const std::string& prefix, const Bytes& bytes) {
    return kWrite + prefix + " " + hex(bytes) + kEnd;
}

class PacketTrace : public DeviceBehaviour {
protected:
    std::vector<std::string> write_lines() {
        std::vector<std::string> out;
        for (const auto& line : trace->lines()) {
            if (line.text.rfind(kWrite, 0) == 0) {
                EXPECT_EQ(line.level, spdlog::level::debug);
                out.push_back(line.text);
            }
        }
        return out;
    }
};

template <typename F>
void expect_timeout(F&& call) {
    try {
        call();
        ADD_FAILURE() << "HIDDeviceError expected";
    } catch (const HIDDeviceError& e) {
        EXPECT_EQ(e.code, 997);
        EXPECT_TRUE(e.is_timeout);
        EXPECT_STREQ(e.what(), "HID Device Timeout");
    }
}

// A write that timed out was cancelled and did not go out: it is tried again, output too,
// at most four times in all.
TEST_F(PacketTrace, TimedOutWritesAreRetriedUpToThreeTimes) {
    open_device(23);
    trace->clear();
    const Bytes speed = packet({0x24, 0x0C});
    unit->fail_writes(platform_error_code(HidFailure::timeout), 3);
    EXPECT_EQ(thrown_by([&] { device->set_keyer_speed(12).get(); }), "nothing");
    const std::vector<std::string> retried{write_line(kError, speed), write_line(kError, speed),
                                           write_line(kError, speed), write_line(kRetry, speed)};
    EXPECT_TRUE(testing_support::wait_for([&] { return write_lines().size() >= 4; }));
    EXPECT_EQ(write_lines(), retried);
    EXPECT_EQ(unit->packets().size(), 4u);
    EXPECT_EQ(sent(), std::vector<Bytes>{speed});

    trace->clear();
    unit->clear_packets();
    unit->fail_writes(platform_error_code(HidFailure::timeout), 4);
    // The call may come back before the last attempt; the failure reaches its future.
    expect_timeout([&] { device->set_keyer_speed(12).get(); });
    EXPECT_EQ(write_lines(), std::vector<std::string>(4, write_line(kError, speed)));
    EXPECT_EQ(unit->packets().size(), 4u);
    EXPECT_TRUE(sent().empty());

    const Bytes cw = packet({0x05, 0x60, 0x58});
    trace->clear();
    unit->clear_packets();
    unit->fail_writes(platform_error_code(HidFailure::timeout), 1);
    EXPECT_EQ(thrown_by([&] { device->output_CW({0x60, 0x58}); }), "nothing");
    EXPECT_EQ(write_lines(),
              (std::vector<std::string>{write_line(kError, cw), write_line(kRetry, cw)}));
    EXPECT_EQ(sent(), std::vector<Bytes>{cw});

    trace->clear();
    unit->clear_packets();
    device->output_CW({0x60}).get();
    EXPECT_EQ(write_lines(), std::vector<std::string>{write_line("", packet({0x05, 0x60}))});
}

TEST_F(PacketTrace, DeviceNotFunctioningIsRetriedOtherErrorsAreNot) {
    open_device(23);
    trace->clear();
    const Bytes keyer = packet({0x24, 0x0C});
    unit->fail_writes(platform_error_code(HidFailure::not_functioning), 2);
    EXPECT_EQ(thrown_by([&] { device->set_keyer_speed(12).get(); }), "nothing");
    // The answer may be in before the writer has logged its last attempt.
    EXPECT_TRUE(testing_support::wait_for([&] { return write_lines().size() >= 3; }));
    EXPECT_EQ(write_lines(),
              (std::vector<std::string>{write_line(kError, keyer), write_line(kError, keyer),
                                        write_line(kRetry, keyer)}));

    trace->clear();
    unit->fail_writes(refusal_code(), 1);
    const Bytes status = packet({0x31});
    try {
        device->get_status();
        ADD_FAILURE() << "HIDDeviceError expected";
    } catch (const HIDDeviceError& e) {
        EXPECT_FALSE(e.is_timeout);
        const std::string what = e.what();
#ifdef _WIN32
        EXPECT_EQ(e.code, 5);
        EXPECT_EQ(what.rfind("HID Device Error: WriteFile (WriteFile: (0x00000005) ", 0), 0u)
            << what;
#else
        EXPECT_NE(e.code, 997);
        EXPECT_NE(e.code, 31);
        EXPECT_NE(e.code, 1167);
        EXPECT_EQ(what.rfind("HID Device Error: ", 0), 0u) << what;
        EXPECT_NE(what.find("(Permission denied)"), std::string::npos) << what;
#endif
    }
    EXPECT_EQ(write_lines(), std::vector<std::string>{write_line(kError, status)});
    // The failed request left nothing pending: the next status query pairs with its answer.
    device->set_status(0x21, 0).get();
    EXPECT_EQ(device->get_status().bytes[0], 0x21);
}

TEST_F(PacketTrace, SimilarReportsAreTracedAndSummarised) {
    open_device(23, 0ms);
    auto& reads = observed_reads;
    device->add_listener("read", [&](auto) { ++reads; });
    auto feed = [&](const std::vector<Bytes>& reports) {
        const std::size_t target = reads + reports.size();
        for (const auto& r : reports) {
            unit->inject_report(r);
        }
        ASSERT_TRUE(testing_support::wait_for([&] { return reads >= target; }));
    };
    // Two differing reports settle the process-wide count of similar ones.
    feed({packet({0x0A, 1}), packet({0x0B, 2})});
    trace->clear();
    feed({packet({1, 2, 3, 4, 5, 6, 0x10, 0x20}), packet({1, 2, 3, 4, 5, 6, 0x40, 0x20}),
          packet({1, 2, 3, 4, 5, 6, 0x10, 0x20}), packet({9, 2, 3, 4, 5, 6, 0x10, 0x20})});
    const auto lines = trace->lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].text, kRead + "01 02 03 04 05 06 10 20 " + kEnd);
    EXPECT_EQ(lines[0].level, spdlog::level::debug);
    EXPECT_EQ(lines[1].text, kRead + "01 02 03 04 05 06 40 20 " + kEnd);
    EXPECT_EQ(lines[1].level, spdlog::level::trace);
    EXPECT_EQ(lines[2].text, kRead + "01 02 03 04 05 06 10 20 " + kEnd);
    EXPECT_EQ(lines[2].level, spdlog::level::trace);
    EXPECT_EQ(lines[3].text,
              kRead +
                  "01 02 03 04 05 06 ** 20  (\xE9\xA1\x9E\xE4\xBC\xBC\xE3\x81\x99\xE3\x82\x8B"
                  "\xE3\x83\x91\xE3\x82\xB1\xE3\x83\x83\xE3\x83\x88\xE3\x82\x92"
                  "2"
                  "\xE5\x9B\x9E\xE5\x8F\x97\xE4\xBF\xA1)" +
                  kEnd);
    EXPECT_EQ(lines[3].level, spdlog::level::debug);
    EXPECT_EQ(lines[4].text, kRead + "09 02 03 04 05 06 10 20 " + kEnd);
    EXPECT_EQ(lines[4].level, spdlog::level::debug);
}

TEST_F(PacketTrace, IncompleteReportsAreDroppedAndWarnedAboutOncePerFiveSeconds) {
    open_device(23, 50ms);
    auto& bad_events = observed_bad;
    device->add_listener("read", [&](omvar::quentrax::QUENTRAXDeviceEvent e) {
        if (e.data.size() != 8 || e.data[0] == 0) {
            ++bad_events;
        }
    });
    const std::string prefix = "不完全なパケットを受信: ";
    auto incomplete = [&] {
        std::vector<testing_support::CapturingSink::Line> out;
        for (auto& line : log->lines()) {
            if (line.text.rfind(prefix, 0) == 0) {
                out.push_back(line);
            }
        }
        return out;
    };
    const Bytes short_report = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
    const Bytes zero_code = packet({0x00, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08});
    // One incomplete report per status report (every 50 ms) until `warnings` warnings came.
    auto inject_until_warnings = [&](std::size_t warnings) {
        for (int i = 0; i < 400; ++i) {
            const auto lines = incomplete();
            std::size_t warned = 0;
            for (const auto& l : lines) {
                warned += l.level == spdlog::level::warn ? 1 : 0;
            }
            if (warned >= warnings) {
                return true;
            }
            unit->inject_report(i % 2 == 0 ? short_report : zero_code);
            const std::size_t before = lines.size();
            if (!testing_support::wait_for([&] { return incomplete().size() > before; }) ||
                !unit->wait_for_status_reports(1)) {
                return false;
            }
        }
        return false;
    };
    ASSERT_TRUE(inject_until_warnings(1));
    ASSERT_TRUE(inject_until_warnings(2));
    const auto lines = incomplete();
    std::vector<std::size_t> warned;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].level == spdlog::level::warn) {
            warned.push_back(i);
        } else {
            EXPECT_EQ(lines[i].level, spdlog::level::trace);
        }
    }
    ASSERT_EQ(warned.size(), 2u);
    // Only this test sends incomplete reports: the first warning counts just its own report.
    EXPECT_EQ(lines[warned[0]].text, prefix + hex(short_report) + " (過去5秒間で1回)");
    const std::size_t traced_between = warned[1] - warned[0] - 1;
    EXPECT_GE(traced_between, 5u);  // at least 5 s at one report per 50 ms
    const std::string expected_tail = " (過去5秒間で" + std::to_string(traced_between + 1) + "回)";
    const std::string& second = lines[warned[1]].text;
    ASSERT_GE(second.size(), expected_tail.size());
    EXPECT_EQ(second.substr(second.size() - expected_tail.size()), expected_tail) << second;
    for (const auto& line : lines) {
        const bool is_short = line.text.rfind(prefix + hex(short_report), 0) == 0;
        const bool is_zero = line.text.rfind(prefix + hex(zero_code), 0) == 0;
        EXPECT_TRUE(is_short || is_zero) << line.text;
        if (line.level == spdlog::level::trace) {
            EXPECT_TRUE(line.text == prefix + hex(short_report) ||
                        line.text == prefix + hex(zero_code))
                << line.text;
        }
    }
    EXPECT_EQ(bad_events, 0u);
}

}  // namespace
}  // namespace behaviour
