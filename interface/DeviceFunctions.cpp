// Exported functions that work on the interfaces of the device table. Each logs its call, checks
// its arguments, calls one operation of the device object and turns every failure into -1 and
// an error line; nothing is thrown across the C boundary.
#include "quentrax.h"

#include "DeviceTable.h"
#include "LibraryLoggers.h"

#include <fmt/format.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

using omvar::quentrax::device_table;
using omvar::quentrax::DeviceSlot;
using omvar::quentrax::interface_logger;
using omvar::quentrax::KeyerParams;
using omvar::quentrax::kMaxDevices;
using omvar::quentrax::PTTParams;
using omvar::quentrax::QUENTRAXDevice;
using omvar::quentrax::QUENTRAXDeviceEvent;

namespace {

constexpr int kFailed = -1;
constexpr std::uint8_t kPaddleUsed = 15;
constexpr auto kPaddleClearWait = std::chrono::milliseconds(5000);
constexpr int kMaxSendLength = 7;

std::string hex_dump(const unsigned char* bytes, int count) {
    std::string text;
    if (bytes == nullptr) {
        return text;
    }
    for (int i = 0; i < count; ++i) {
        text += fmt::format("{:02X} ", bytes[i]);
    }
    return text;
}

// The slot of a valid nId that holds a device, or null after the error line.
DeviceSlot* occupied_slot(const char* function, int nId) {
    if (nId < 0 || nId >= kMaxDevices || !device_table()[nId].device) {
        interface_logger()->error("{}: 指定されたQUENTRAXのID: {} は無効です。", function, nId);
        return nullptr;
    }
    return &device_table()[nId];
}

bool refuse_null(const char* function, const char* argument, const void* pointer) {
    if (pointer != nullptr) {
        return false;
    }
    interface_logger()->error("{}: 指定された{}はNULLです。", function, argument);
    return true;
}

bool valid_port(const char* function, int port) {
    if (port == 0 || port == 1) {
        return true;
    }
    interface_logger()->error("{}: 指定されたポート番号: {} は無効です。", function, port);
    return false;
}

bool valid_send_length(const char* function, int length) {
    if (length >= 1 && length <= kMaxSendLength) {
        return true;
    }
    interface_logger()->error("{}: 一度に送信できるのは7文字までです", function);
    return false;
}

void require_open(const QUENTRAXDevice& device) {
    if (!device.is_open()) {
        throw std::runtime_error("The device is not open.");
    }
}

// Runs a device operation; any exception becomes -1 and an error line.
template <typename Body>
int guarded(const char* function, Body&& body) {
    try {
        return body();
    } catch (const std::exception& e) {
        interface_logger()->error("{}: {}", function, e.what());
    } catch (...) {
        interface_logger()->error("{}: 不明なエラー", function);
    }
    return kFailed;
}

// When the operator used the paddle since the last send, the generator still holds the paddle
// state: clear it first, waiting a bounded time for the answer.
void clear_after_paddle(const char* function, QUENTRAXDevice& device) {
    if (device.get_buffer_size() != kPaddleUsed) {
        return;
    }
    // Firmware without the clear command cannot leave paddle mode this way; sending must
    // still work there.
    if (device.get_version() < 21) {
        return;
    }
    interface_logger()->info("{}: 直前にパドル操作されていたらクリアする。", function);
    device.clear_generator_buffer().wait_for(kPaddleClearWait);
}

int send_keyer_block(DeviceSlot& slot, const KeyerParams& block) {
    slot.device->set_keyer_params(block);
    slot.keyer = block;
    return 0;
}

void log_device_list() {
    auto logger = interface_logger();
    logger->info("***** 制御中のI/Fリスト *****");
    for (int i = 0; i < kMaxDevices; ++i) {
        if (device_table()[i].device) {
            logger->info("nId={:2d} {}", i, device_table()[i].device->get_path());
        }
    }
    logger->info("*****************************");
}

std::uint8_t low_byte(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

unsigned int notification_message() {
#ifdef _WIN32
    return RegisterWindowMessageW(L"QUENTRAX.DLL");
#else
    return QUENTRAX_NOTIFY_MESSAGE;
#endif
}

}  // namespace

extern "C" {

QUENTRAX_API int QUENTRAX_CALL quentraxOpen(int param) {
    static constexpr const char* kName = "quentraxOpen";
    interface_logger()->debug("quentraxOpen: param={}", param);
    int free_slot = -1;
    for (int i = 0; i < kMaxDevices; ++i) {
        if (!device_table()[i].device) {
            free_slot = i;
            break;
        }
    }
    if (free_slot < 0) {
        interface_logger()->error("{}: 接続可能なQUENTRAXの上限 {} を超えています。", kName,
                                  kMaxDevices);
        return kFailed;
    }
    return guarded(kName, [&] {
        auto devices = QUENTRAXDevice::list_devices(false);
        if (devices.empty()) {
            interface_logger()->error("{}: 有効なQUENTRAXが1つも見つかりません。", kName);
            return kFailed;
        }
        std::unique_ptr<QUENTRAXDevice> device = std::move(devices.front());
        device->open();
        // Listeners before the slot is taken: a failure here leaves no half-filled slot behind.
        QUENTRAXDevice* raw = device.get();
        device->add_listener("input", [](QUENTRAXDeviceEvent event) {
            interface_logger()->info("パドルキーボード入力: {}", event.text);
        });
        device->add_listener("change_buffer_size", [raw](QUENTRAXDeviceEvent) {
            interface_logger()->debug("バッファサイズ: {}", raw->get_buffer_size());
        });
        device_table()[free_slot].device = std::move(device);
        interface_logger()->debug("quentraxOpen: param={}", param);
        log_device_list();
        return free_slot;
    });
}

QUENTRAX_API void QUENTRAX_CALL quentraxClose(int nId) {
    if (nId < 0 || nId >= kMaxDevices || !device_table()[nId].device) {
        return;
    }
    interface_logger()->debug("quentraxClose: nId={}", nId);
    auto device = std::move(device_table()[nId].device);
    try {
        device->clear_generator_buffer();
    } catch (...) {
        // The interface may be gone or lack the command; closing goes on regardless.
    }
    guarded("quentraxClose", [&] {
        device->close();
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxWriteCmd(int nId, const unsigned char* cmd) {
    static constexpr const char* kName = "quentraxWriteCmd";
    interface_logger()->debug("quentraxWriteCmd: nId={} {}", nId,
                              cmd ? hex_dump(cmd, 9) : std::string("(null)"));
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr || refuse_null(kName, "cmd", cmd)) {
        return kFailed;
    }
    // Byte 0 is the report identifier, which the transport supplies itself.
    return guarded(kName, [&] {
        slot->device->write(QUENTRAXDevice::Packet(cmd + 1, cmd + 9));
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxWriteData(int nId, int port, int data) {
    static constexpr const char* kName = "quentraxWriteData";
    interface_logger()->debug("quentraxWriteData: nId={} port={} data={:02X}", nId, port, data);
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr || !valid_port(kName, port)) {
        return kFailed;
    }
    return guarded(kName, [&] {
        slot->device->write_port_data(port, low_byte(data));
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxReadData(int nId, int port) {
    static constexpr const char* kName = "quentraxReadData";
    interface_logger()->debug("quentraxReadData: nId={} port={}", nId, port);
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr || !valid_port(kName, port)) {
        return kFailed;
    }
    return guarded(kName,
                   [&] { return static_cast<int>(slot->device->read_port_data(port, false)); });
}

QUENTRAX_API int QUENTRAX_CALL quentraxPutChar(int nId, char c) {
    if (c == '\0') {
        interface_logger()->debug("quentraxPutChar: nId={} c=(null)", nId);
    } else {
        interface_logger()->debug("quentraxPutChar: nId={} c={}", nId, c);
    }
    if (occupied_slot("quentraxPutChar", nId) == nullptr) {
        return kFailed;
    }
    return quentraxPutStr(nId, &c, 1);
}

QUENTRAX_API int QUENTRAX_CALL quentraxPutStr(int nId, const char* str, int nLen) {
    static constexpr const char* kName = "quentraxPutStr";
    std::string text;
    if (str != nullptr && nLen > 0) {
        // Up to a NUL at most: the log file stays text.
        text.assign(str, strnlen(str, static_cast<size_t>(nLen)));
    }
    interface_logger()->debug("quentraxPutStr: nId={} nLen={} str=\"{}\"", nId, nLen, text);
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr || !valid_send_length(kName, nLen) || refuse_null(kName, "str", str)) {
        return kFailed;
    }
    return guarded(kName, [&] {
        QUENTRAXDevice& device = *slot->device;
        require_open(device);
        clear_after_paddle(kName, device);
        device.output_CW_using_str(std::string(str, static_cast<size_t>(nLen)));
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxPutCode(int nId, unsigned char code) {
    interface_logger()->debug("quentraxPutCode: nId={} c=0x{:02X}", nId, code);
    if (occupied_slot("quentraxPutCode", nId) == nullptr) {
        return kFailed;
    }
    return quentraxPutCodes(nId, &code, 1);
}

QUENTRAX_API int QUENTRAX_CALL quentraxPutCodes(int nId, const unsigned char* codes, int nLen) {
    static constexpr const char* kName = "quentraxPutCodes";
    interface_logger()->debug("quentraxPutCodes: nId={} codes={}", nId, hex_dump(codes, nLen));
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr || !valid_send_length(kName, nLen) || refuse_null(kName, "codes", codes)) {
        return kFailed;
    }
    return guarded(kName, [&] {
        QUENTRAXDevice& device = *slot->device;
        require_open(device);
        clear_after_paddle(kName, device);
        device.output_CW(std::vector<std::uint8_t>(codes, codes + nLen));
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxIsTxBusy(int nId) {
    static constexpr const char* kName = "quentraxIsTxBusy";
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr) {
        return kFailed;
    }
    return guarded(kName, [&] { return static_cast<int>(slot->device->get_buffer_size()); });
}

QUENTRAX_API int QUENTRAX_CALL quentraxTxCancel(int nId) {
    static constexpr const char* kName = "quentraxTxCancel";
    interface_logger()->debug("quentraxTxCancel: nId={}", nId);
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr) {
        return kFailed;
    }
    return guarded(kName, [&] {
        slot->device->clear_generator_buffer();
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxSetPTT(int nId, int tx) {
    static constexpr const char* kName = "quentraxSetPTT";
    interface_logger()->debug("quentraxSetPTT: nId={} tx={}", nId, low_byte(tx));
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr) {
        return kFailed;
    }
    return guarded(kName, [&] {
        slot->device->set_port_state(false, (tx & 1) != 0);
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxSetPTTParam(int nId, int delay1, int delay2) {
    static constexpr const char* kName = "quentraxSetPTTParam";
    interface_logger()->debug("quentraxSetPTTParam: nId={} delay={}/{}", nId, low_byte(delay1),
                              low_byte(delay2));
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr) {
        return kFailed;
    }
    return guarded(kName, [&] {
        PTTParams params;
        params.delay1 = low_byte(delay1);
        params.delay2 = low_byte(delay2);
        slot->device->set_ptt_params(params);
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxSetWeight(int nId, int nDot, int nDash) {
    static constexpr const char* kName = "quentraxSetWeight";
    interface_logger()->debug("quentraxSetWeight: nId={} nDot={} nDash={}", nId, nDot, nDash);
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr) {
        return kFailed;
    }
    if (nDot < 0 || nDot > 11 || nDash < 0 || nDash > 11 || nDot >= nDash) {
        interface_logger()->error(
            "quentraxSetWeight: 指定されたWeightの一部または全部の値は無効です。");
        return kFailed;
    }
    return guarded(kName, [&] {
        KeyerParams block = slot->keyer;
        block.dotWeight = static_cast<std::uint8_t>(nDot);
        block.dashWeight = static_cast<std::uint8_t>(nDash);
        block.mode = 2;
        return send_keyer_block(*slot, block);
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxSetPaddle(int nId, int param) {
    static constexpr const char* kName = "quentraxSetPaddle";
    interface_logger()->debug("quentraxSetPaddle: nId={} param={:02X}", nId, param);
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr) {
        return kFailed;
    }
    return guarded(kName, [&] {
        slot->device->set_paddle_reverse((param & 1) != 0);
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxSetWPM(int nId, int nWPM) {
    static constexpr const char* kName = "quentraxSetWPM";
    interface_logger()->debug("quentraxSetWPM: nId={} nWPM={}", nId, nWPM);
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr) {
        return kFailed;
    }
    if (nWPM < 5 || nWPM > 50) {
        interface_logger()->error("quentraxSetWPM: 指定されたWPMの値は無効です。");
        return kFailed;
    }
    // Dot length in 2 ms units: 600 / WPM, halves rounded up.
    const auto speed_code = static_cast<std::uint8_t>(60000.0 / (nWPM * 50) * 0.5 + 0.5);
    return guarded(kName, [&] {
        QUENTRAXDevice& device = *slot->device;
        require_open(device);
        const int version = device.get_version();
        if (version == 20) {
            KeyerParams block = slot->keyer;
            block.keySpeed = speed_code;
            return send_keyer_block(*slot, block);
        }
        if (version >= 21) {
            device.set_keyer_speed(speed_code);
            slot->keyer.keySpeed = speed_code;
        }
        // Older firmware has no speed command: accepted, nothing changes.
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxGetWPM(int nId) {
    interface_logger()->debug("quentraxGetWPM: nId={}", nId);
    DeviceSlot* slot = occupied_slot("quentraxGetWPM", nId);
    if (slot == nullptr) {
        return kFailed;
    }
    return slot->keyer.keySpeed;
}

QUENTRAX_API int QUENTRAX_CALL quentraxSetCallbackWindow(int nId, quentrax_window_t hWnd) {
    static constexpr const char* kName = "quentraxSetCallbackWindow";
    interface_logger()->debug("quentraxSetCallbackWindow: nId={} hWnd={:08X}", nId,
                              reinterpret_cast<std::uintptr_t>(hWnd));
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr || hWnd == nullptr) {
        return kFailed;
    }
    return guarded(kName, [&] {
        slot->device->set_callback_window(hWnd, notification_message());
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxSetSideTone(int nId, int nTone) {
    static constexpr const char* kName = "quentraxSetSideTone";
    const std::uint8_t tone = low_byte(nTone);
    interface_logger()->debug("quentraxSetSideTone: nId={} nTone={}", nId, tone);
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr) {
        return kFailed;
    }
    if (tone > 15) {
        interface_logger()->error("quentraxSetSideTone: 指定されたサイドトーンの値は無効です。");
        return kFailed;
    }
    return guarded(kName, [&] {
        KeyerParams block = slot->keyer;
        block.sideTone = tone;
        return send_keyer_block(*slot, block);
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxQueryBufSize(int nId) {
    static constexpr const char* kName = "quentraxQueryBufSize";
    interface_logger()->debug("quentraxQueryBufSize: nId={}", nId);
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr) {
        return kFailed;
    }
    return guarded(kName,
                   [&] { return static_cast<int>(slot->device->get_generator_buffer().bytes[0]); });
}

QUENTRAX_API int QUENTRAX_CALL quentraxGetVersion(int nId) {
    static constexpr const char* kName = "quentraxGetVersion";
    interface_logger()->debug("quentraxGetVersion: nId={}", nId);
    DeviceSlot* slot = occupied_slot(kName, nId);
    if (slot == nullptr) {
        return kFailed;
    }
    return guarded(kName, [&] { return slot->device->get_version(); });
}

QUENTRAX_API void QUENTRAX_CALL quentraxSetExtendedOption(int nId, int option, int value) {
    DeviceSlot* slot = occupied_slot("quentraxSetExtendedOption", nId);
    if (slot == nullptr) {
        return;
    }
    switch (option) {
        case 0:
            slot->device->set_port_write_mode(value == 1);
            break;
        case 1:
            slot->device->set_freeze_recovery(value == 1);
            break;
        default:
            break;
    }
}

}  // extern "C"
