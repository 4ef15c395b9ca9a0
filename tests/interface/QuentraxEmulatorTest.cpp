// The emulator seen through hidapi's own functions: what the library relies on.
#include <gtest/gtest.h>
#include <hidapi.h>

#include <QuentraxEmulator.h>
#include <WaitFor.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using namespace std::chrono_literals;
using omvar::sim::HidFailure;
using omvar::sim::QuentraxEmulator;
using omvar::sim::QuentraxUnit;
using omvar::sim::UnitOptions;
using Bytes = std::vector<std::uint8_t>;

class EmulatorTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (hid_device* dev : open_) {
            hid_close(dev);
        }
        QuentraxEmulator::detach_all();
    }

    hid_device* open(const std::shared_ptr<QuentraxUnit>& unit) {
        hid_device* dev = hid_open_path(unit->path().c_str());
        if (dev != nullptr) {
            open_.push_back(dev);
        }
        return dev;
    }

    static int send(hid_device* dev, Bytes command) {
        command.resize(8, 0);
        command.insert(command.begin(), 0);
        return hid_write(dev, command.data(), command.size());
    }

    // Next report whose byte 0 is `code`, skipping others; empty when none within the bound.
    static Bytes read_answer(hid_device* dev, std::uint8_t code) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < deadline) {
            unsigned char buffer[64];
            const int n = hid_read_timeout(dev, buffer, sizeof buffer, 100);
            if (n > 0 && buffer[0] == code) {
                return Bytes(buffer, buffer + n);
            }
            if (n < 0) {
                return {};
            }
        }
        return {};
    }

    // The key timeline once the generator has played everything; empty when it never does.
    static std::vector<omvar::sim::KeyEdge> edges_when_idle(const QuentraxUnit& unit) {
        if (!unit.wait_until_idle(10s)) {
            ADD_FAILURE() << "the generator did not drain";
            return {};
        }
        return unit.key_timeline();
    }

    // Microseconds from each edge to the next.
    static std::vector<long long> gaps_us(const std::vector<omvar::sim::KeyEdge>& edges) {
        std::vector<long long> gaps;
        for (std::size_t i = 1; i < edges.size(); ++i) {
            gaps.push_back(std::chrono::duration_cast<std::chrono::microseconds>(edges[i].time -
                                                                                 edges[i - 1].time)
                               .count());
        }
        return gaps;
    }

    static std::wstring text(const wchar_t* s) { return s == nullptr ? L"(null)" : s; }

    std::vector<hid_device*> open_;
};

TEST_F(EmulatorTest, EnumeratesAttachedUnitsInPluggingOrderWithTheirStrings) {
    EXPECT_EQ(hid_enumerate(0x0BFE, 0x0E00), nullptr);
    EXPECT_EQ(text(hid_error(nullptr)),
              L"No HID devices with requested VID/PID found in the system.");

    auto first = QuentraxEmulator::attach(UnitOptions::of(23));
    auto second = QuentraxEmulator::attach(UnitOptions::of(1));
    hid_device_info* list = hid_enumerate(0x0BFE, 0x0E00);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->next, nullptr);
    EXPECT_EQ(list->path, first->path());
    EXPECT_EQ(list->next->path, second->path());
    EXPECT_EQ(list->next->next, nullptr);
    EXPECT_EQ(list->vendor_id, 0x0BFE);
    EXPECT_EQ(list->product_id, 0x0E00);
    hid_free_enumeration(list);
    EXPECT_EQ(hid_enumerate(0x1234, 0x0E00), nullptr);

    hid_device* dev = open(first);
    ASSERT_NE(dev, nullptr);
    wchar_t product[64] = {};
    ASSERT_EQ(hid_get_product_string(dev, product, 64), 0);
    const std::wstring p = product;
    ASSERT_GT(p.size(), 15u);
    EXPECT_EQ(p[13], L'2');
    EXPECT_EQ(p[15], L'3');
    EXPECT_EQ(second->product_string()[13], L'0');
    EXPECT_EQ(second->product_string()[15], L'1');
    wchar_t maker[64] = {};
    EXPECT_EQ(hid_get_manufacturer_string(dev, maker, 64), 0);
    // The default maker, and so not one starting with J (that would mean firmware 10 without
    // digits to the library).
    EXPECT_EQ(std::wstring(maker), L"QUENTRAX");
}

TEST_F(EmulatorTest, AnswersEchoTheCodeAndStatusReportsStream) {
    auto unit = QuentraxEmulator::attach(UnitOptions::of(23, 5ms));
    hid_device* dev = open(unit);
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(send(dev, {0x30, 0x11, 0x22}), 9);
    EXPECT_EQ(send(dev, {0x31}), 9);
    const Bytes status = read_answer(dev, 0x31);
    ASSERT_EQ(status.size(), 8u);
    EXPECT_EQ(status[1], 0x11);
    EXPECT_EQ(status[2], 0x22);

    ASSERT_EQ(send(dev, {0x05, 0x88, 0x60}), 9);
    const Bytes cw = read_answer(dev, 0x05);
    ASSERT_EQ(cw.size(), 8u);
    EXPECT_EQ(cw[1], 0x88);  // the first code comes back in byte 1
    EXPECT_EQ(cw[7] >> 4, 2);

    const Bytes report = read_answer(dev, QuentraxUnit::status_report_code);
    ASSERT_EQ(report.size(), 8u);
    EXPECT_GE(unit->stats().status_reports, 1u);
    ASSERT_EQ(unit->commands().size(), 3u);
    EXPECT_EQ(unit->commands()[2], (Bytes{0x05, 0x88, 0x60, 0, 0, 0, 0, 0}));
}

TEST_F(EmulatorTest, GeneratorDrainsAtKeyerSpeedWithWeightsAndGaps) {
    auto unit = QuentraxEmulator::attach(UnitOptions::of(23, 2ms));
    hid_device* dev = open(unit);
    ASSERT_NE(dev, nullptr);
    // Speed 5: a unit of 10 ms; dot weight 2 (one unit), dash weight 6 (three units).
    ASSERT_EQ(send(dev, {0x20, 5, 2, 6, 2, 7}), 9);
    // "A", word space, "T": .- (7 7) T
    ASSERT_EQ(send(dev, {0x05, 0x60, 0x80, 0xC0}), 9);
    EXPECT_EQ(unit->buffer_size(), 3);
    const auto light = edges_when_idle(*unit);
    ASSERT_EQ(light.size(), 6u);
    EXPECT_TRUE(light[0].down);
    EXPECT_FALSE(light[1].down);
    // dot, element gap, dash, word gap, T
    EXPECT_EQ(gaps_us(light), (std::vector<long long>{10000, 10000, 30000, 70000, 30000}));
    // An observer takes the tail it has not seen.
    const auto tail = unit->key_timeline_from(4);
    ASSERT_EQ(tail.size(), 2u);
    EXPECT_EQ(tail[0].time, light[4].time);
    EXPECT_TRUE(unit->key_timeline_from(6).empty());

    // Heavier weights lengthen the elements only.
    unit->clear_key_timeline();
    ASSERT_EQ(send(dev, {0x20, 5, 3, 9, 2, 7}), 9);
    ASSERT_EQ(send(dev, {0x05, 0x60, 0x40}), 9);  // "A", "E"
    const auto heavy = edges_when_idle(*unit);
    ASSERT_EQ(heavy.size(), 6u);
    // dot, element gap, dash, character gap, E
    EXPECT_EQ(gaps_us(heavy), (std::vector<long long>{15000, 10000, 45000, 30000, 15000}));
}

TEST_F(EmulatorTest, BufferSizeFallsAsCodesPlayAndHoldsEightAtMost) {
    auto unit = QuentraxEmulator::attach(UnitOptions::of(23, 2ms));
    hid_device* dev = open(unit);
    ASSERT_NE(dev, nullptr);
    // Held until a status report has shown the full buffer: a code plays in 20 ms, less than
    // a loaded machine may keep the unit's report thread waiting.
    unit->stall_generator(true);
    ASSERT_EQ(send(dev, {0x24, 10}), 9);
    ASSERT_EQ(send(dev, {0x05, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40}), 9);
    ASSERT_EQ(send(dev, {0x05, 0x40, 0x40}), 9);
    EXPECT_EQ(unit->buffer_size(), 8);
    EXPECT_EQ(unit->stats().overflowed_codes, 1u);
    ASSERT_TRUE(unit->wait_for_status_reports(1));
    unit->stall_generator(false);
    std::vector<int> sizes;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        unsigned char buffer[64];
        const int n = hid_read_timeout(dev, buffer, sizeof buffer, 100);
        if (n == 8 && buffer[0] == QuentraxUnit::status_report_code) {
            const int size = buffer[7] >> 4;
            if ((sizes.empty() && size != 0) || (!sizes.empty() && sizes.back() != size)) {
                sizes.push_back(size);
            }
            if (size == 0) {
                break;
            }
        }
    }
    // One code at a time; a report thread that runs late may skip a size.
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.front(), 8);
    EXPECT_EQ(sizes.back(), 0);
    EXPECT_TRUE(std::is_sorted(sizes.rbegin(), sizes.rend())) << ::testing::PrintToString(sizes);
    EXPECT_EQ(unit->key_timeline().size(), 16u);
}

TEST_F(EmulatorTest, ClearStopsKeyingAndPaddleUseReportsFifteen) {
    auto unit = QuentraxEmulator::attach(UnitOptions::of(23, 2ms));
    hid_device* dev = open(unit);
    ASSERT_NE(dev, nullptr);
    ASSERT_EQ(send(dev, {0x05, 0xFC, 0xFC}), 9);
    ASSERT_TRUE(testing_support::wait_for([&] { return !unit->key_timeline().empty(); }));
    ASSERT_EQ(send(dev, {0x34}), 9);
    const Bytes cleared = read_answer(dev, 0x34);
    ASSERT_EQ(cleared.size(), 8u);
    EXPECT_EQ(cleared[7] >> 4, 0);
    EXPECT_EQ(unit->buffer_size(), 0);
    EXPECT_FALSE(unit->key_timeline().back().down);

    unit->key_paddle(0x60);
    const Bytes paddle = read_answer(dev, QuentraxUnit::status_report_code);
    ASSERT_EQ(paddle.size(), 8u);
    EXPECT_EQ(paddle[7] >> 4, 15);
    EXPECT_EQ(paddle[5], 0x60);
    const std::uint8_t sequence = paddle[4];
    unit->key_paddle(0x88);
    Bytes next;
    do {
        next = read_answer(dev, QuentraxUnit::status_report_code);
    } while (!next.empty() && next[4] == sequence);
    ASSERT_EQ(next.size(), 8u);
    EXPECT_EQ(next[4], static_cast<std::uint8_t>(sequence + 1));
    EXPECT_EQ(next[5], 0x88);
}

TEST_F(EmulatorTest, EncoderRunsAQuadratureCycleAndTheButtonIsBitOne) {
    auto unit = QuentraxEmulator::attach(UnitOptions::of(23, 2ms));
    hid_device* dev = open(unit);
    ASSERT_NE(dev, nullptr);
    ASSERT_TRUE(unit->wait_for_status_reports(1));
    unit->turn_encoder(true);
    std::vector<int> lines;
    for (int i = 0; i < 500; ++i) {
        const Bytes report = read_answer(dev, QuentraxUnit::status_report_code);
        ASSERT_EQ(report.size(), 8u);
        const int value = report[6] & 0x60;
        if (lines.empty() || lines.back() != value) {
            lines.push_back(value);
        }
        if (lines.size() == 5) {
            break;
        }
    }
    EXPECT_EQ(lines, (std::vector<int>{0x60, 0x40, 0x00, 0x20, 0x60}));

    unit->press_message_button();
    bool pressed = false;
    for (int i = 0; i < 500 && !pressed; ++i) {
        const Bytes report = read_answer(dev, QuentraxUnit::status_report_code);
        pressed = report.size() == 8 && (report[7] & 0x02) != 0;
    }
    EXPECT_TRUE(pressed);
}

TEST_F(EmulatorTest, FailuresLookLikeThePlatformsHidapi) {
    auto unit = QuentraxEmulator::attach(UnitOptions::of(23));
    hid_device* dev = open(unit);
    ASSERT_NE(dev, nullptr);

    unit->fail_writes(omvar::sim::platform_error_code(HidFailure::timeout), 1);
    EXPECT_EQ(send(dev, {0x05, 0x60}), -1);
#ifdef _WIN32
    EXPECT_EQ(GetLastError(), 997u);
    const std::wstring timeout = text(hid_error(dev));
    EXPECT_EQ(timeout.rfind(L"hid_write/WaitForSingleObject: (0x000003E5) ", 0), 0u) << timeout;
#else
    EXPECT_EQ(errno, ETIMEDOUT);
    EXPECT_EQ(text(hid_error(dev)), L"Connection timed out");
#endif
    EXPECT_EQ(send(dev, {0x05, 0x60}), 9);
    EXPECT_EQ(text(hid_error(dev)), L"Success");
    ASSERT_EQ(unit->packets().size(), 2u);
    EXPECT_TRUE(unit->packets()[0].failed);
    EXPECT_EQ(unit->commands().size(), 1u);

    unit->fail_writes(omvar::sim::platform_error_code(HidFailure::not_functioning), 1);
    EXPECT_EQ(send(dev, {0x05, 0x60}), -1);
#ifdef _WIN32
    EXPECT_EQ(GetLastError(), 31u);
    EXPECT_EQ(text(hid_error(dev)).rfind(L"WriteFile: (0x0000001F) ", 0), 0u);
#else
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(text(hid_error(dev)), L"Input/output error");
#endif

    unit->fail_reads(5, 1);
    unsigned char buffer[64];
    EXPECT_EQ(hid_read_timeout(dev, buffer, sizeof buffer, 50), -1);
#ifdef _WIN32
    EXPECT_EQ(GetLastError(), 5u);
    EXPECT_EQ(text(hid_error(dev)).rfind(L"hid_read_timeout/GetOverlappedResult: (0x00000005) ", 0),
              0u);
#else
    EXPECT_EQ(errno, 5);
    EXPECT_EQ(text(hid_error(dev)), L"Input/output error");
#endif

    QuentraxEmulator::detach(unit);
    EXPECT_EQ(hid_read_timeout(dev, buffer, sizeof buffer, 50), -1);
#ifdef _WIN32
    EXPECT_EQ(GetLastError(), 1167u);
    EXPECT_EQ(text(hid_error(dev)).rfind(L"hid_read_timeout/GetOverlappedResult: (0x0000048F) ", 0),
              0u);
    EXPECT_EQ(hid_read_timeout(dev, buffer, sizeof buffer, 50), -1);
    EXPECT_EQ(text(hid_error(dev)).rfind(L"ReadFile: (0x0000048F) ", 0), 0u);
#else
    EXPECT_EQ(text(hid_error(dev)),
              L"hid_read_timeout: unexpected poll error (device disconnected)");
#endif
    EXPECT_EQ(send(dev, {0x05, 0x60}), -1);
#ifdef _WIN32
    EXPECT_EQ(GetLastError(), 1167u);
#else
    EXPECT_EQ(errno, ENODEV);
    EXPECT_EQ(text(hid_error(dev)), L"No such device");
#endif
    EXPECT_EQ(hid_open_path(unit->path().c_str()), nullptr);
    EXPECT_EQ(hid_enumerate(0x0BFE, 0x0E00), nullptr);
}

TEST_F(EmulatorTest, FeatureAndInputReportRequestsAreRefusedAsTheDriverDoes) {
    auto unit = QuentraxEmulator::attach(UnitOptions::of(23));
    hid_device* dev = open(unit);
    ASSERT_NE(dev, nullptr);
    // The platform error number is read first: nothing may run between the call and the check.
    auto expect_refused = [&](int result, const wchar_t* windows_operation,
                              const wchar_t* native_text) {
#ifdef _WIN32
        EXPECT_EQ(GetLastError(), 1u);  // ERROR_INVALID_FUNCTION
        const std::wstring error = text(hid_error(dev));
        EXPECT_EQ(error.rfind(std::wstring(windows_operation) + L": (0x00000001) ", 0), 0u)
            << error;
        (void)native_text;
#else
        EXPECT_EQ(errno, EPIPE);
        EXPECT_EQ(text(hid_error(dev)), native_text);
        (void)windows_operation;
#endif
        EXPECT_EQ(result, -1);
    };
    unsigned char report[9] = {};
    expect_refused(hid_send_feature_report(dev, report, sizeof report), L"HidD_SetFeature",
                   L"ioctl (SFEATURE): Broken pipe");
    expect_refused(hid_get_feature_report(dev, report, sizeof report),
                   L"Get Input/Feature Report DeviceIoControl", L"ioctl (GFEATURE): Broken pipe");
    EXPECT_EQ(send(dev, {0x31}), 9);
    EXPECT_EQ(text(hid_error(dev)), L"Success");
    expect_refused(hid_get_input_report(dev, report, sizeof report),
                   L"Get Input/Feature Report DeviceIoControl", L"ioctl (GINPUT): Broken pipe");
    // Refused requests never reach the unit.
    EXPECT_EQ(unit->commands(), (std::vector<Bytes>{{0x31, 0, 0, 0, 0, 0, 0, 0}}));
}

TEST_F(EmulatorTest, WithheldReportsTimeOutAndInjectedReportsArriveAsGiven) {
    auto unit = QuentraxEmulator::attach(UnitOptions::of(23, 2ms));
    hid_device* dev = open(unit);
    ASSERT_NE(dev, nullptr);
    unit->withhold_reports(400ms);
    unsigned char buffer[64];
    // Reports already queued may still come; then nothing until the span ends.
    int n = 1;
    for (int i = 0; i < 70 && n > 0; ++i) {
        n = hid_read_timeout(dev, buffer, sizeof buffer, 50);
    }
    EXPECT_EQ(n, 0);
    EXPECT_GE(unit->stats().empty_reads, 1u);

    unit->set_report_period(0ms);
    unit->inject_report({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07});
    bool found = false;
    for (int i = 0; i < 200 && !found; ++i) {
        n = hid_read_timeout(dev, buffer, sizeof buffer, 20);
        found = n == 7 && buffer[0] == 0x01 && buffer[6] == 0x07;
    }
    EXPECT_TRUE(found);
}

TEST_F(EmulatorTest, CpuClocksCoverTheUnitThreadAndTheReader) {
    auto unit = QuentraxEmulator::attach(UnitOptions::of(23, 2ms));
    // Read while the unit's thread may still be starting: negative until it has bound its clock.
    const double unit_at_start = unit->unit_cpu_seconds();
    EXPECT_LT(unit->reader_cpu_seconds(), 0.0);  // nobody has read yet
    ASSERT_TRUE(unit->wait_for_status_reports(1));
    EXPECT_GE(unit->unit_cpu_seconds(), std::max(unit_at_start, 0.0));

    hid_device* dev = open(unit);
    ASSERT_NE(dev, nullptr);
    unsigned char buffer[64];
    ASSERT_GT(hid_read_timeout(dev, buffer, sizeof buffer, 5000), 0);
    EXPECT_GE(unit->reader_cpu_seconds(), 0.0);
}

TEST_F(EmulatorTest, StalledGeneratorKeepsItsCodesUntilKicked) {
    auto unit = QuentraxEmulator::attach(UnitOptions::of(23, 2ms));
    hid_device* dev = open(unit);
    ASSERT_NE(dev, nullptr);
    unit->stall_generator(true);
    ASSERT_EQ(send(dev, {0x24, 2}), 9);
    ASSERT_EQ(send(dev, {0x05, 0x40, 0x40, 0x40}), 9);
    ASSERT_TRUE(unit->wait_for_status_reports(20));
    EXPECT_EQ(unit->buffer_size(), 3);
    EXPECT_TRUE(unit->key_timeline().empty());
    ASSERT_EQ(send(dev, {0x33}), 9);
    EXPECT_TRUE(unit->wait_until_idle(10s));
    EXPECT_EQ(unit->key_timeline().size(), 6u);
}

}  // namespace
