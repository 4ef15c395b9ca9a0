#pragma once

#include <hidapi.h>
#include <spdlog/logger.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "HIDDeviceError.h"

namespace omvar::quentrax {

// One HID connection. Synchronous; every failure of the HID layer becomes a HIDDeviceError.
class HIDDevice {
public:
    static constexpr unsigned short kVendorId = 0x0BFE;
    static constexpr unsigned short kProductId = 0x0E00;

    // One object per attached QUENTRAX, in the HID layer's order.
    static std::vector<std::unique_ptr<HIDDevice>> enumerate();

    explicit HIDDevice(const char* path);
    ~HIDDevice();
    HIDDevice(const HIDDevice&) = delete;
    HIDDevice& operator=(const HIDDevice&) = delete;

    const std::string& path() const { return path_; }

    // hid_open_path; a failure leaves the handle null (is_open() false), it throws nothing.
    // The product and manufacturer strings are read here, once.
    void open();
    bool is_open() const { return handle_ != nullptr; }
    void close();

    void write(const std::vector<std::uint8_t>& report);
    // Byte count, 0 when nothing arrived within timeout_ms.
    int read(std::uint8_t* buffer, std::size_t max_length, int timeout_ms);

    std::wstring get_product_string() const { return product_; }
    std::wstring get_manufacturer_string() const { return manufacturer_; }
    hid_device* handle() const { return handle_; }

private:
    std::string path_;
    std::shared_ptr<spdlog::logger> logger_;
    hid_device* handle_ = nullptr;
    std::wstring product_;
    std::wstring manufacturer_;
};

}  // namespace omvar::quentrax
