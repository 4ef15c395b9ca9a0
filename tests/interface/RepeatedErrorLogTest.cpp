// The reader's log of read failures: one line per run of identical failures, the repeats summed
// up when the run changes or ends, and at most once a minute while it goes on.
#include "RepeatedErrorLog.h"

#include <gtest/gtest.h>

#include "CapturingSink.h"

namespace {

using omvar::quentrax::RepeatedErrorLog;
using namespace std::chrono_literals;

const std::string kFailed = "HID Device Error: hid_read_timeout (Input/output error)";
const std::string kOther = "HID Device Error: hid_read_timeout (Broken pipe)";

class RepeatedErrors : public ::testing::Test {
protected:
    std::pair<std::shared_ptr<spdlog::logger>, std::shared_ptr<testing_support::CapturingSink>>
        captured = testing_support::capturing_logger("quentrax");
    std::shared_ptr<testing_support::CapturingSink> sink = captured.second;
    RepeatedErrorLog errors{captured.first};
    RepeatedErrorLog::Clock::time_point t0 = RepeatedErrorLog::Clock::now();
};

TEST_F(RepeatedErrors, RepeatsAreSummedUpWhenTheFailureChangesOrEnds) {
    errors.failed(kFailed, t0);
    errors.failed(kFailed, t0 + 10ms);
    errors.failed(kFailed, t0 + 20ms);
    errors.failed(kOther, t0 + 30ms);
    errors.failed(kFailed, t0 + 40ms);
    errors.failed(kFailed, t0 + 50ms);
    errors.ended();
    errors.ended();
    errors.failed(kFailed, t0 + 60ms);
    errors.ended();
    EXPECT_EQ(sink->texts(),
              (std::vector<std::string>{kFailed, kFailed + " (同じエラーを2回検出)", kOther,
                                        kFailed, kFailed + " (同じエラーを1回検出)", kFailed}));
    for (const auto& line : sink->lines()) {
        EXPECT_EQ(line.level, spdlog::level::err);
    }
}

TEST_F(RepeatedErrors, ALongRunIsSummedUpOnceAMinute) {
    errors.failed(kFailed, t0);
    errors.failed(kFailed, t0 + 10s);
    errors.failed(kFailed, t0 + 59s);
    EXPECT_EQ(sink->texts().size(), 1u);
    errors.failed(kFailed, t0 + 60s);
    errors.failed(kFailed, t0 + 90s);
    errors.failed(kFailed, t0 + 119s);
    errors.failed(kFailed, t0 + 120s);
    errors.ended();
    EXPECT_EQ(sink->texts(), (std::vector<std::string>{kFailed, kFailed + " (同じエラーを3回検出)",
                                                       kFailed + " (同じエラーを3回検出)"}));
}

}  // namespace
