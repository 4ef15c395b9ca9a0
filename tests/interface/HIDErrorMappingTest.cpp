#include "HIDErrorMapping.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace omvar::quentrax;

namespace {

// Texts as hidapi 0.13.1's Windows backend formats them: "%ls: (0x%08X) %ls".
TEST(WindowsHidErrorText, GivesTheErrorNumberAndTheOperation) {
    auto info = parse_windows_hid_error(
        "WriteFile: (0x0000001F) A device attached to the system is not functioning.", "hid_write");
    EXPECT_EQ(info.code, 31);
    EXPECT_EQ(info.operation, "WriteFile");

    info = parse_windows_hid_error(
        "hid_write/WaitForSingleObject: (0x000003E5) Overlapped I/O operation is in progress.",
        "hid_write");
    EXPECT_EQ(info.code, 997);
    EXPECT_EQ(info.operation, "hid_write/WaitForSingleObject");

    info = parse_windows_hid_error(
        "hid_read_timeout/GetOverlappedResult: (0x0000048F) The device is not connected.",
        "hid_read_timeout");
    EXPECT_EQ(info.code, 1167);
    EXPECT_EQ(info.operation, "hid_read_timeout/GetOverlappedResult");

    // FormatMessage found no text for the number.
    info = parse_windows_hid_error("ReadFile: (0xC000009D) ", "hid_read_timeout");
    EXPECT_EQ(info.code, static_cast<std::int32_t>(0xC000009D));
    EXPECT_EQ(info.operation, "ReadFile");
}

TEST(WindowsHidErrorText, PlainTextsKeepTheCallNameAndHaveNoNumber) {
    for (const char* text : {"Zero buffer/length", "Success", "", "x: (0x1F) short",
                             "x: (0x0000001G) bad digit", ": (0x0000001F) no operation"}) {
        const auto info = parse_windows_hid_error(text, "hid_write");
        EXPECT_EQ(info.code, -1) << text;
        EXPECT_EQ(info.operation, "hid_write") << text;
    }
}

// Texts as hidapi 0.13.1's hidraw backend registers them: strerror(errno), or its own text when
// poll() reports a hang-up.
TEST(HidrawErrorText, MapsOntoTimeOutDisconnectionAndOtherFailures) {
    EXPECT_EQ(parse_hidraw_error("Connection timed out", "hid_write").code, 997);
    EXPECT_EQ(parse_hidraw_error("No such device", "hid_write").code, 1167);
    EXPECT_EQ(parse_hidraw_error("hid_read_timeout: unexpected poll error (device disconnected)",
                                 "hid_read_timeout")
                  .code,
              1167);
    EXPECT_EQ(parse_hidraw_error("Input/output error", "hid_write").code, 31);
    EXPECT_EQ(parse_hidraw_error("Broken pipe", "hid_write").code, 31);
    const auto unknown = parse_hidraw_error("something else", "hid_read_timeout");
    EXPECT_EQ(unknown.code, -1);
    EXPECT_EQ(unknown.operation, "hid_read_timeout");
}

#ifndef _WIN32
TEST(HidrawErrorText, OtherErrnoTextsNeverLookLikeTheThreeClasses) {
    // 31 is also an errno value (EMLINK): it must not pass for "device not functioning".
    EXPECT_EQ(parse_hidraw_error(std::strerror(EMLINK), "hid_write").code, 10000 + EMLINK);
    const auto other = parse_hidraw_error(std::strerror(EINVAL), "hid_write");
    EXPECT_EQ(other.code, 10000 + EINVAL);
    EXPECT_EQ(other.operation, "hid_write");
    EXPECT_EQ(parse_hidraw_error(std::strerror(ETIMEDOUT), "hid_write").code, 997);
}
#endif

TEST(HidDeviceErrorFromHidapi, MessageCarriesOperationAndHidText) {
#ifdef _WIN32
    const auto error = hid_error_to_exception(
        "hid_write",
        L"WriteFile: (0x0000001F) A device attached to the system is not functioning.");
    EXPECT_EQ(error.code, 31);
    EXPECT_STREQ(error.what(),
                 "HID Device Error: WriteFile (WriteFile: (0x0000001F) A device attached to the "
                 "system is not functioning.)");
    const auto timeout = hid_error_to_exception(
        "hid_write",
        L"hid_write/WaitForSingleObject: (0x000003E5) Overlapped I/O operation is in progress.");
#else
    const std::string text = std::strerror(EPIPE);
    const auto error =
        hid_error_to_exception("hid_write", std::wstring(text.begin(), text.end()).c_str());
    EXPECT_EQ(error.code, 31);
    EXPECT_EQ(std::string(error.what()), "HID Device Error: hid_write (" + text + ")");
    const std::string timeout_text = std::strerror(ETIMEDOUT);
    const auto timeout = hid_error_to_exception(
        "hid_write", std::wstring(timeout_text.begin(), timeout_text.end()).c_str());
#endif
    EXPECT_FALSE(error.is_timeout);
    EXPECT_EQ(timeout.code, 997);
    EXPECT_TRUE(timeout.is_timeout);
    EXPECT_STREQ(timeout.what(), "HID Device Timeout");

    const HIDDeviceError copy = error;
    EXPECT_STREQ(copy.what(), error.what());
    EXPECT_EQ(copy.code, error.code);
    EXPECT_EQ(copy.is_timeout, error.is_timeout);

    const auto unknown = hid_error_to_exception("hid_read_timeout", nullptr);
    EXPECT_EQ(unknown.code, -1);
    EXPECT_STREQ(unknown.what(), "HID Device Error: hid_read_timeout ()");
}

}  // namespace
