#include "HIDDevice.h"

#include "HIDErrorMapping.h"
#include "LoggerLookup.h"

namespace omvar::quentrax {
namespace {

constexpr std::size_t kMaxStringLength = 256;

template <typename Getter>
std::wstring read_string(hid_device* handle, Getter getter) {
    wchar_t buffer[kMaxStringLength] = {};
    if (getter(handle, buffer, kMaxStringLength) != 0) {
        return {};
    }
    buffer[kMaxStringLength - 1] = L'\0';
    return buffer;
}

}  // namespace

std::vector<std::unique_ptr<HIDDevice>> HIDDevice::enumerate() {
    std::vector<std::unique_ptr<HIDDevice>> devices;
    hid_device_info* list = hid_enumerate(kVendorId, kProductId);
    for (const hid_device_info* info = list; info != nullptr; info = info->next) {
        if (info->path != nullptr) {
            devices.push_back(std::make_unique<HIDDevice>(info->path));
        }
    }
    hid_free_enumeration(list);
    return devices;
}

HIDDevice::HIDDevice(const char* path)
    : path_(path != nullptr ? path : ""), logger_(find_logger("quentrax")) {}

HIDDevice::~HIDDevice() {
    close();
}

void HIDDevice::open() {
    if (handle_ != nullptr) {
        return;
    }
    handle_ = hid_open_path(path_.c_str());
    if (handle_ != nullptr) {
        product_ = read_string(handle_, [](hid_device* h, wchar_t* s, std::size_t n) {
            return hid_get_product_string(h, s, n);
        });
        manufacturer_ = read_string(handle_, [](hid_device* h, wchar_t* s, std::size_t n) {
            return hid_get_manufacturer_string(h, s, n);
        });
    }
}

void HIDDevice::close() {
    if (handle_ == nullptr) {
        return;
    }
    logger_->debug("HIDDevice::close()");
    hid_close(handle_);
    handle_ = nullptr;
}

void HIDDevice::write(const std::vector<std::uint8_t>& report) {
    if (handle_ == nullptr) {
        throw HIDDeviceError(HIDDeviceError::kNotConnected, "hid_write", "The device is not open.");
    }
    if (hid_write(handle_, report.data(), report.size()) == -1) {
        throw hid_error_to_exception("hid_write", hid_error(handle_));
    }
}

int HIDDevice::read(std::uint8_t* buffer, std::size_t max_length, int timeout_ms) {
    if (handle_ == nullptr) {
        throw HIDDeviceError(HIDDeviceError::kNotConnected, "hid_read_timeout",
                             "The device is not open.");
    }
    const int count = hid_read_timeout(handle_, buffer, max_length, timeout_ms);
    if (count == -1) {
        throw hid_error_to_exception("hid_read_timeout", hid_error(handle_));
    }
    return count;
}

}  // namespace omvar::quentrax
