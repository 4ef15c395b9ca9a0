#include "HIDErrorMapping.h"

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "TextEncoding.h"

namespace omvar::quentrax {
namespace {

bool parse_hex(std::string_view digits, std::uint32_t& value) {
    if (digits.size() != 8) {
        return false;
    }
    value = 0;
    for (char c : digits) {
        value <<= 4;
        if (c >= '0' && c <= '9') {
            value |= static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            value |= static_cast<std::uint32_t>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            value |= static_cast<std::uint32_t>(c - 'a' + 10);
        } else {
            return false;
        }
    }
    return true;
}

struct ErrnoText {
    int number;
    std::string text;
};

// The texts glibc gives in the C locale for the errors that matter here, so that the mapping
// does not depend on the platform it is tested on.
const std::vector<ErrnoText>& glibc_texts() {
    static const std::vector<ErrnoText> texts = {
        {ETIMEDOUT, "Connection timed out"},
        {ENODEV, "No such device"},
        {ENXIO, "No such device or address"},
        {EBADF, "Bad file descriptor"},
#ifdef ESHUTDOWN
        {ESHUTDOWN, "Cannot send after transport endpoint shutdown"},
#endif
        {EIO, "Input/output error"},
        {EPIPE, "Broken pipe"},
#ifdef EPROTO
        {EPROTO, "Protocol error"},
#endif
    };
    return texts;
}

// strerror() texts in the locale of the first use (hidapi formats with the same function).
// Texts shared by several numbers ("Unknown error ...") identify none.
const std::vector<ErrnoText>& local_texts() {
    static const std::vector<ErrnoText> texts = [] {
        std::vector<ErrnoText> out;
        for (int e = 1; e < 256; ++e) {
            const char* text = std::strerror(e);
            if (text != nullptr && std::string_view(text).rfind("Unknown error", 0) != 0) {
                out.push_back({e, text});
            }
        }
        return out;
    }();
    return texts;
}

std::int32_t class_of_errno(int e) {
    switch (e) {
        case ETIMEDOUT:
            return HIDDeviceError::kTimeout;
        // hidraw refuses writes to an unplugged device with ENODEV (reads see the poll hang-up).
        case ENODEV:
        case ENXIO:
        case EBADF:
#ifdef ESHUTDOWN
        case ESHUTDOWN:
#endif
            return HIDDeviceError::kNotConnected;
        // A failed transfer or a stalled endpoint: the device is there but not working now.
        case EIO:
        case EPIPE:
#ifdef EPROTO
        case EPROTO:
#endif
            return HIDDeviceError::kNotFunctioning;
        default:
            return 10000 + e;
    }
}

}  // namespace

HIDErrorInfo parse_windows_hid_error(std::string_view text, std::string_view fallback_operation) {
    HIDErrorInfo info{-1, std::string(fallback_operation)};
    constexpr std::string_view kMarker = ": (0x";
    const auto marker = text.find(kMarker);
    if (marker == std::string_view::npos || marker == 0) {
        return info;
    }
    const auto digits_at = marker + kMarker.size();
    std::uint32_t value = 0;
    if (digits_at + 9 > text.size() || text[digits_at + 8] != ')' ||
        !parse_hex(text.substr(digits_at, 8), value)) {
        return info;
    }
    info.code = static_cast<std::int32_t>(value);
    info.operation = std::string(text.substr(0, marker));
    return info;
}

HIDErrorInfo parse_hidraw_error(std::string_view text, std::string_view operation) {
    HIDErrorInfo info{-1, std::string(operation)};
    if (text.find("device disconnected") != std::string_view::npos) {
        info.code = HIDDeviceError::kNotConnected;
        return info;
    }
    for (const auto* table : {&glibc_texts(), &local_texts()}) {
        for (const auto& known : *table) {
            if (text == known.text) {
                info.code = class_of_errno(known.number);
                return info;
            }
        }
    }
    return info;
}

HIDDeviceError hid_error_to_exception(std::string_view operation, const wchar_t* text) {
    const std::string narrow = text != nullptr ? wide_to_utf8(text) : std::string();
#ifdef _WIN32
    const HIDErrorInfo info = parse_windows_hid_error(narrow, operation);
#else
    const HIDErrorInfo info = parse_hidraw_error(narrow, operation);
#endif
    return HIDDeviceError(info.code, info.operation, narrow);
}

}  // namespace omvar::quentrax
