#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// A failure of the HID layer. Global, like the HID layer's own types. `code` is the platform
// error number of the failed operation in Windows numbering (997 time-out, 1167 device not
// connected, 31 device not functioning); natively the hidraw errors are mapped onto the same
// numbers (see HIDErrorMapping.h).
class HIDDeviceError : public std::runtime_error {
public:
    static constexpr std::int32_t kTimeout = 997;
    static constexpr std::int32_t kNotConnected = 1167;
    static constexpr std::int32_t kNotFunctioning = 31;

    // Message "HID Device Error: <operation> (<text>)", or "HID Device Timeout" for code 997.
    HIDDeviceError(std::int32_t error_code, const std::string& operation, const std::string& text);

    std::int32_t code;
    bool is_timeout;
};
