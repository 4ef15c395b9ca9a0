#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "HIDDeviceError.h"

// hidapi reports a failure only as text. These functions recover the error number and the name
// of the failed operation from it. Both formats are parsed on every platform so that both can
// be tested anywhere; hid_error_to_exception picks the one of the backend in use.
namespace omvar::quentrax {

struct HIDErrorInfo {
    std::int32_t code = -1;  // -1: the text names no error number
    std::string operation;
};

// Windows backend: "<operation>: (0x%08X) <system text>"; other texts keep the fallback name.
HIDErrorInfo parse_windows_hid_error(std::string_view text, std::string_view fallback_operation);

// hidraw backend: strerror() texts and its own "... (device disconnected)" text. Time-outs map
// (ETIMEDOUT) to 997, the device gone (ENODEV, the poll hang-up text, ...) to 1167, failed
// transfers (EIO, EPIPE, EPROTO) to 31, other known errno texts to 10000 + errno (clear of the
// Windows numbers), unknown texts to -1.
HIDErrorInfo parse_hidraw_error(std::string_view text, std::string_view operation);

// The exception for a failed call: operation is the hidapi call that failed ("hid_write"),
// text the handle's hid_error() (null or empty allowed).
HIDDeviceError hid_error_to_exception(std::string_view operation, const wchar_t* text);

}  // namespace omvar::quentrax
