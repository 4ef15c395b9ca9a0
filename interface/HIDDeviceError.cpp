#include "HIDDeviceError.h"

namespace {

std::string message_for(std::int32_t code, const std::string& operation, const std::string& text) {
    if (code == HIDDeviceError::kTimeout) {
        return "HID Device Timeout";
    }
    return "HID Device Error: " + operation + " (" + text + ")";
}

}  // namespace

HIDDeviceError::HIDDeviceError(std::int32_t error_code, const std::string& operation,
                               const std::string& text)
    : std::runtime_error(message_for(error_code, operation, text)),
      code(error_code),
      is_timeout(error_code == kTimeout) {}
