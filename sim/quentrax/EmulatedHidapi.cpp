// hidapi's C functions over the emulated bus. Results, error texts and the platform error
// number (Win32 last error or errno) follow hidapi 0.13.1 of the platform.
#include <hidapi.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EmulatedBus.h"
#include "HidErrorText.h"

#ifdef _WIN32
#include <windows.h>

#include <hidapi_winapi.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

using omvar::sim::EmulatedBus;
using omvar::sim::UnitModel;

struct hid_device_ {
#ifdef _WIN32
    HANDLE device_handle = nullptr;  // an event object: a real system handle for the connection
#else
    int device_handle = -1;  // a descriptor of /dev/null standing in for the hidraw node
#endif
    std::shared_ptr<UnitModel> unit;
    int id = 0;
    bool blocking = true;
    std::mutex error_mutex;
    std::unique_ptr<std::wstring> error;
    hid_device_info* info = nullptr;
};

namespace {

constexpr unsigned short kVendorId = 0x0BFE;
constexpr unsigned short kProductId = 0x0E00;
#ifdef _WIN32
constexpr std::size_t kOutputReportLength = 9;  // report id + 8 bytes
#endif

char* copy_c(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy != nullptr) {
        std::memcpy(copy, text.c_str(), text.size() + 1);
    }
    return copy;
}

wchar_t* copy_c(const std::wstring& text) {
    wchar_t* copy = static_cast<wchar_t*>(std::malloc((text.size() + 1) * sizeof(wchar_t)));
    if (copy != nullptr) {
        std::wmemcpy(copy, text.c_str(), text.size() + 1);
    }
    return copy;
}

hid_device_info* make_info(const UnitModel& unit) {
    auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
    if (info == nullptr) {
        return nullptr;
    }
    info->path = copy_c(unit.path());
    info->vendor_id = kVendorId;
    info->product_id = kProductId;
    info->serial_number = copy_c(unit.serial());
    info->release_number = static_cast<unsigned short>(unit.firmware());
    info->manufacturer_string = copy_c(unit.manufacturer());
    info->product_string = copy_c(unit.product());
    info->usage_page = 0xFF00;
    info->usage = 0x01;
    info->interface_number = 0;
    info->next = nullptr;
    info->bus_type = HID_API_BUS_USB;
    return info;
}

void set_device_error(hid_device* dev, const wchar_t* text) {
    std::lock_guard<std::mutex> lock(dev->error_mutex);
    if (text == nullptr) {
        dev->error.reset();
    } else {
        dev->error = std::make_unique<std::wstring>(text);
    }
}

void set_device_error(hid_device* dev, const std::wstring& text) {
    set_device_error(dev, text.c_str());
}

// Records the failure as hidapi would, leaving the platform error number set last.
void fail_device(hid_device* dev, const wchar_t* operation, int code) {
#ifdef _WIN32
    set_device_error(dev, omvar::sim::winapi_error_text(operation, static_cast<DWORD>(code)));
    SetLastError(static_cast<DWORD>(code));
#else
    (void)operation;
    set_device_error(dev, omvar::sim::errno_error_text(code));
    errno = code;
#endif
}

void fail_global(const wchar_t* operation, int code, const std::string& path) {
#ifdef _WIN32
    (void)path;
    EmulatedBus::instance().set_global_error(
        omvar::sim::winapi_error_text(operation, static_cast<DWORD>(code)));
    SetLastError(static_cast<DWORD>(code));
#else
    (void)operation;
    EmulatedBus::instance().set_global_error(omvar::sim::narrow_error_text(
        "Failed to open a device with path '" + path + "': " + std::strerror(code)));
    errno = code;
#endif
}

// The unit has no feature reports and answers no input-report requests: the driver refuses
// them (on Windows the named call, natively the hidraw ioctl).
int refuse_report_request(hid_device* dev, const wchar_t* windows_operation,
                          const char* ioctl_name) {
#ifdef _WIN32
    (void)ioctl_name;
    fail_device(dev, windows_operation, ERROR_INVALID_FUNCTION);
#else
    (void)windows_operation;
    set_device_error(dev, omvar::sim::narrow_error_text(std::string("ioctl (") + ioctl_name +
                                                        "): " + std::strerror(EPIPE)));
    errno = EPIPE;
#endif
    return -1;
}

int copy_string(hid_device* dev, const std::wstring& value, wchar_t* string, size_t maxlen) {
    if (string == nullptr || maxlen == 0) {
        set_device_error(dev, L"Zero buffer/length");
        return -1;
    }
    std::wcsncpy(string, value.c_str(), maxlen);
    string[maxlen - 1] = L'\0';
    set_device_error(dev, nullptr);
    return 0;
}

}  // namespace

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void) {
    EmulatedBus::instance().clear_global_error();
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void) {
    EmulatedBus::instance().clear_global_error();
    return 0;
}

struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_enumerate(unsigned short vendor_id,
                                                                  unsigned short product_id) {
    auto& bus = EmulatedBus::instance();
    bus.clear_global_error();
    hid_device_info* first = nullptr;
    hid_device_info** tail = &first;
    for (const auto& unit : bus.units()) {
        if ((vendor_id != 0 && vendor_id != kVendorId) ||
            (product_id != 0 && product_id != kProductId)) {
            continue;
        }
        if (hid_device_info* info = make_info(*unit)) {
            *tail = info;
            tail = &info->next;
        }
    }
    if (first == nullptr) {
        bus.set_global_error(vendor_id == 0 && product_id == 0
                                 ? L"No HID devices found in the system."
                                 : L"No HID devices with requested VID/PID found in the system.");
    }
    return first;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info* devs) {
    while (devs != nullptr) {
        hid_device_info* next = devs->next;
        std::free(devs->path);
        std::free(devs->serial_number);
        std::free(devs->manufacturer_string);
        std::free(devs->product_string);
        std::free(devs);
        devs = next;
    }
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open_path(const char* path) {
    auto& bus = EmulatedBus::instance();
    bus.clear_global_error();
    const std::string wanted = path != nullptr ? path : "";
    auto unit = bus.find(wanted);
    const int id = unit ? unit->open_handle() : 0;
    if (id == 0) {
#ifdef _WIN32
        fail_global(L"open_device", ERROR_FILE_NOT_FOUND, wanted);
#else
        fail_global(L"", ENOENT, wanted);
#endif
        return nullptr;
    }
    auto dev = std::make_unique<hid_device>();
    dev->unit = std::move(unit);
    dev->id = id;
#ifdef _WIN32
    dev->device_handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
#else
    dev->device_handle = ::open("/dev/null", O_RDWR | O_CLOEXEC);
#endif
    return dev.release();
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open(unsigned short vendor_id,
                                                 unsigned short product_id,
                                                 const wchar_t* serial_number) {
    hid_device_info* devs = hid_enumerate(vendor_id, product_id);
    std::string path;
    for (hid_device_info* cur = devs; cur != nullptr; cur = cur->next) {
        if (serial_number == nullptr || (cur->serial_number != nullptr &&
                                         std::wcscmp(serial_number, cur->serial_number) == 0)) {
            path = cur->path;
            break;
        }
    }
    hid_free_enumeration(devs);
    if (path.empty()) {
        EmulatedBus::instance().set_global_error(
            L"Device with requested VID/PID/(SerialNumber) not found");
        return nullptr;
    }
    return hid_open_path(path.c_str());
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device* dev) {
    if (dev == nullptr) {
        return;
    }
    std::unique_ptr<hid_device> owned(dev);
    owned->unit->close_handle(owned->id);
#ifdef _WIN32
    if (owned->device_handle != nullptr) {
        CloseHandle(owned->device_handle);
    }
#else
    if (owned->device_handle >= 0) {
        ::close(owned->device_handle);
    }
#endif
    hid_free_enumeration(owned->info);
}

int HID_API_EXPORT HID_API_CALL hid_write(hid_device* dev, const unsigned char* data,
                                          size_t length) {
    if (data == nullptr || length == 0) {
#ifdef _WIN32
        set_device_error(dev, L"Zero buffer/length");
#else
        fail_device(dev, L"", EINVAL);
#endif
        return -1;
    }
    std::vector<unsigned char> report(data, data + length);
#ifdef _WIN32
    // Windows takes whole output reports: shorter data goes out padded with zeros.
    if (report.size() < kOutputReportLength) {
        report.resize(kOutputReportLength, 0);
    }
#endif
    set_device_error(dev, nullptr);
    const auto result = dev->unit->write(dev->id, report.data(), report.size());
    if (result.bytes >= 0) {
        return result.bytes;
    }
    if (result.delay.count() > 0) {
        std::this_thread::sleep_for(result.delay);
    }
#ifdef _WIN32
    // hidapi reports its own write time-out (ERROR_IO_PENDING still set) from the wait.
    fail_device(dev,
                result.error == ERROR_IO_PENDING ? L"hid_write/WaitForSingleObject" : L"WriteFile",
                result.error);
#else
    fail_device(dev, L"", result.error);
#endif
    return -1;
}

int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device* dev, unsigned char* data,
                                                 size_t length, int milliseconds) {
#ifdef _WIN32
    if (data == nullptr || length == 0) {
        set_device_error(dev, L"Zero buffer/length");
        return -1;
    }
#endif
    set_device_error(dev, nullptr);
    const auto result = dev->unit->read(dev->id, data, length, milliseconds);
    if (result.bytes >= 0) {
        return result.bytes;
    }
#ifdef _WIN32
    // The pending overlapped read completes with the error; later reads fail at ReadFile.
    fail_device(dev,
                result.disconnected && !result.first_failure
                    ? L"ReadFile"
                    : L"hid_read_timeout/GetOverlappedResult",
                result.error);
#else
    if (result.disconnected) {
        // poll() flags the hang-up without failing itself: errno is left as it was.
        set_device_error(dev, L"hid_read_timeout: unexpected poll error (device disconnected)");
    } else {
        fail_device(dev, L"", result.error);
    }
#endif
    return -1;
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device* dev, unsigned char* data, size_t length) {
    return hid_read_timeout(dev, data, length, dev->blocking ? -1 : 0);
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device* dev, int nonblock) {
    dev->blocking = nonblock == 0;
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_send_feature_report(hid_device* dev, const unsigned char* data,
                                                        size_t length) {
    (void)data;
    (void)length;
    return refuse_report_request(dev, L"HidD_SetFeature", "SFEATURE");
}

int HID_API_EXPORT HID_API_CALL hid_get_feature_report(hid_device* dev, unsigned char* data,
                                                       size_t length) {
    (void)data;
    (void)length;
    return refuse_report_request(dev, L"Get Input/Feature Report DeviceIoControl", "GFEATURE");
}

int HID_API_EXPORT HID_API_CALL hid_get_input_report(hid_device* dev, unsigned char* data,
                                                     size_t length) {
    (void)data;
    (void)length;
    return refuse_report_request(dev, L"Get Input/Feature Report DeviceIoControl", "GINPUT");
}

int HID_API_EXPORT_CALL hid_get_manufacturer_string(hid_device* dev, wchar_t* string,
                                                    size_t maxlen) {
    return copy_string(dev, dev->unit->manufacturer(), string, maxlen);
}

int HID_API_EXPORT_CALL hid_get_product_string(hid_device* dev, wchar_t* string, size_t maxlen) {
    return copy_string(dev, dev->unit->product(), string, maxlen);
}

int HID_API_EXPORT_CALL hid_get_serial_number_string(hid_device* dev, wchar_t* string,
                                                     size_t maxlen) {
    return copy_string(dev, dev->unit->serial(), string, maxlen);
}

struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_get_device_info(hid_device* dev) {
    if (dev->info == nullptr) {
        dev->info = make_info(*dev->unit);
    }
    return dev->info;
}

int HID_API_EXPORT_CALL hid_get_indexed_string(hid_device* dev, int string_index, wchar_t* string,
                                               size_t maxlen) {
    (void)string_index;
    (void)string;
    (void)maxlen;
#ifdef _WIN32
    fail_device(dev, L"HidD_GetIndexedString", ERROR_INVALID_PARAMETER);
#else
    set_device_error(dev, L"hid_get_indexed_string: not supported by hidraw");
#endif
    return -1;
}

HID_API_EXPORT const wchar_t* HID_API_CALL hid_error(hid_device* dev) {
    if (dev == nullptr) {
        return EmulatedBus::instance().global_error();
    }
    std::lock_guard<std::mutex> lock(dev->error_mutex);
    return dev->error ? dev->error->c_str() : L"Success";
}

HID_API_EXPORT const struct hid_api_version* HID_API_CALL hid_version(void) {
    static const hid_api_version version{HID_API_VERSION_MAJOR, HID_API_VERSION_MINOR,
                                         HID_API_VERSION_PATCH};
    return &version;
}

HID_API_EXPORT const char* HID_API_CALL hid_version_str(void) {
    return HID_API_VERSION_STR;
}

#ifdef _WIN32
int HID_API_EXPORT_CALL hid_winapi_get_container_id(hid_device* dev, GUID* container_id) {
    (void)container_id;
    set_device_error(dev, L"Failed to locate device node");
    return -1;
}
#endif

}  // extern "C"
