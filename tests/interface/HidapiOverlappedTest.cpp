// hidapi's Windows backend as we build it, over stand-ins for its overlapped calls: a write that
// outlives hidapi's wait is over before hid_write returns, and a read left pending by another
// thread is over before hid_close frees its buffer.

#include <gtest/gtest.h>
#include <hidapi.h>

#include <string>
#include <vector>

#include "HIDErrorMapping.h"
#include "hidapi/OverlappedStandIns.h"

namespace {

using omvar::quentrax::hid_error_to_exception;

std::vector<unsigned char> written() {
    std::size_t length = 0;
    const unsigned char* bytes = standin_written(&length);
    return {bytes, bytes + length};
}

class HidapiOverlapped : public ::testing::Test {
protected:
    void SetUp() override { standin_clear_calls(); }
    void TearDown() override { hid_close(dev); }

    // The caller's buffer lives only for the call, as the writer's queue item does.
    int write(std::vector<unsigned char> report) {
        const int result = hid_write(dev, report.data(), report.size());
        report.assign(report.size(), 0xEE);  // what the driver must never read
        return result;
    }

    hid_device* dev = standin_device();
    const std::vector<unsigned char> cw{0x00, 0x05, 0x60, 0, 0, 0, 0, 0, 0};
    const std::vector<unsigned char> speed{0x00, 0x24, 0x0C, 0, 0, 0, 0, 0, 0};
};

TEST_F(HidapiOverlapped, AWriteThatOutlivesTheWaitIsOverBeforeHidWriteReturns) {
    // Cancelled: the time-out, and nothing went out.
    standin_set_next_write(STANDIN_WRITE_CANCELLED);
    EXPECT_EQ(write(cw), -1);
    EXPECT_STREQ(standin_calls(),
                 "WriteFile(write);WaitForSingleObject(write);CancelIoEx(write);"
                 "GetOverlappedResult(write,wait);");
    EXPECT_EQ(standin_in_flight(), 0);
    EXPECT_TRUE(written().empty());
    const auto error = hid_error_to_exception("hid_write", hid_error(dev));
    EXPECT_EQ(error.code, 997);
    EXPECT_TRUE(error.is_timeout);

    // Completed as it was cancelled: it went out, once, with the caller's bytes, and counts as
    // written, so that nobody sends it again.
    standin_clear_calls();
    standin_set_next_write(STANDIN_WRITE_AFTER_TIMEOUT);
    EXPECT_EQ(write(cw), 9);
    EXPECT_EQ(standin_in_flight(), 0);
    EXPECT_EQ(written(), cw);
    EXPECT_STREQ(hid_error(dev), L"Success");

    // The next write starts with nothing in flight and gets its own result.
    standin_clear_calls();
    EXPECT_EQ(write(speed), 9);
    EXPECT_STREQ(standin_calls(),
                 "WriteFile(write);WaitForSingleObject(write);GetOverlappedResult(write);");
    EXPECT_EQ(written(), speed);
}

TEST_F(HidapiOverlapped, CloseEndsTheReadAnotherThreadLeftPending) {
    standin_leave_read_pending(dev);
    hid_close(dev);
    dev = nullptr;
    EXPECT_STREQ(standin_calls(), "CancelIoEx(read);GetOverlappedResult(read,wait);CancelIo;");
    EXPECT_EQ(standin_in_flight(), 0);
}

}  // namespace
