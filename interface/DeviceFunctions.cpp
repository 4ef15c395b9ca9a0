// Exported functions that work on the interfaces of the device table. Each logs its call, checks
// its arguments, calls one operation of the device object and turns every failure into -1 and
// an error line; nothing is thrown across the C boundary.
#include "quentrax.h"

#include "DeviceTable.h"
#include "LibraryLifecycle.h"
#include "LibraryLoggers.h"
#include "PacketText.h"
#include "TextEncoding.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>
#include <mutex>
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

// The caller's bytes as "%02X " each, nothing for a null pointer or a count below 1.
std::string bytes_text(const unsigned char* bytes, int count) {
    if (bytes == nullptr || count <= 0) {
        return {};
    }
    return omvar::quentrax::hex_dump(std::vector<std::uint8_t>(bytes, bytes + count));
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

// Runs a device operation; any exception becomes -1 and an error line. The version error's text
// is Shift_JIS: the line carries it as UTF-8, like every other.
template <typename Body>
int guarded(const char* function, Body&& body) {
    try {
        return body();
    } catch (const std::exception& e) {
        interface_logger()->error("{}: {}", function, omvar::quentrax::log_text(e.what()));
    } catch (...) {
        interface_logger()->error("{}: 不明なエラー", function);
    }
    return kFailed;
}

// The nId check, then body(slot) on the occupied slot under guarded(): argument checks in the
// body log their own line and return kFailed.
template <typename Body>
int on_slot(const char* function, int nId, Body&& body) {
    DeviceSlot* slot = occupied_slot(function, nId);
    if (slot == nullptr) {
        return kFailed;
    }
    return guarded(function, [&] { return body(*slot); });
}

// When the operator used the paddle since the last send, the generator still holds the paddle
// state: clear it first, waiting a bounded time for the answer. get_buffer_size() is also the
// open check: on a closed device it fails with "The device is not open.".
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

// Changes the slot's keyer block, sends it whole and stores it, as one step of the slot.
template <typename Change>
int change_keyer_block(DeviceSlot& slot, Change&& change) {
    std::lock_guard<std::mutex> lock(slot.keyer_mutex);
    KeyerParams block = slot.keyer;
    change(block);
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
        device->add_listener(QUENTRAXDevice::kInput, [](QUENTRAXDeviceEvent event) {
            interface_logger()->info("パドルキーボード入力: {}", event.text);
        });
        device->add_listener(QUENTRAXDevice::kChangeBufferSize, [raw](QUENTRAXDeviceEvent) {
            interface_logger()->debug("バッファサイズ: {}", raw->get_buffer_size());
        });
        // A fresh slot: nothing of an interface closed before carries over (its keyer block).
        DeviceSlot& slot = device_table()[free_slot];
        slot.reset();
        slot.device = std::move(device);
        omvar::quentrax::watch_for_process_exit();
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
                              cmd ? bytes_text(cmd, 9) : std::string("(null)"));
    return on_slot(kName, nId, [&](DeviceSlot& slot) {
        if (refuse_null(kName, "cmd", cmd)) {
            return kFailed;
        }
        // Byte 0 is the report identifier, which the transport supplies itself.
        slot.device->write(QUENTRAXDevice::Packet(cmd + 1, cmd + 9));
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxWriteData(int nId, int port, int data) {
    static constexpr const char* kName = "quentraxWriteData";
    interface_logger()->debug("quentraxWriteData: nId={} port={} data={:02X}", nId, port, data);
    return on_slot(kName, nId, [&](DeviceSlot& slot) {
        if (!valid_port(kName, port)) {
            return kFailed;
        }
        slot.device->write_port_data(port, low_byte(data));
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxReadData(int nId, int port) {
    static constexpr const char* kName = "quentraxReadData";
    interface_logger()->debug("quentraxReadData: nId={} port={}", nId, port);
    return on_slot(kName, nId, [&](DeviceSlot& slot) {
        if (!valid_port(kName, port)) {
            return kFailed;
        }
        return static_cast<int>(slot.device->read_port_data(port, false));
    });
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
    return on_slot(kName, nId, [&](DeviceSlot& slot) {
        if (!valid_send_length(kName, nLen) || refuse_null(kName, "str", str)) {
            return kFailed;
        }
        clear_after_paddle(kName, *slot.device);
        slot.device->output_CW_using_str(std::string(str, static_cast<size_t>(nLen)));
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
    interface_logger()->debug("quentraxPutCodes: nId={} codes={}", nId, bytes_text(codes, nLen));
    return on_slot(kName, nId, [&](DeviceSlot& slot) {
        if (!valid_send_length(kName, nLen) || refuse_null(kName, "codes", codes)) {
            return kFailed;
        }
        clear_after_paddle(kName, *slot.device);
        slot.device->output_CW(std::vector<std::uint8_t>(codes, codes + nLen));
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxIsTxBusy(int nId) {
    return on_slot("quentraxIsTxBusy", nId, [](DeviceSlot& slot) {
        return static_cast<int>(slot.device->get_buffer_size());
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxTxCancel(int nId) {
    interface_logger()->debug("quentraxTxCancel: nId={}", nId);
    return on_slot("quentraxTxCancel", nId, [](DeviceSlot& slot) {
        slot.device->clear_generator_buffer();
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxSetPTT(int nId, int tx) {
    interface_logger()->debug("quentraxSetPTT: nId={} tx={}", nId, low_byte(tx));
    return on_slot("quentraxSetPTT", nId, [&](DeviceSlot& slot) {
        slot.device->set_port_state(false, (tx & 1) != 0);
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxSetPTTParam(int nId, int delay1, int delay2) {
    interface_logger()->debug("quentraxSetPTTParam: nId={} delay={}/{}", nId, low_byte(delay1),
                              low_byte(delay2));
    return on_slot("quentraxSetPTTParam", nId, [&](DeviceSlot& slot) {
        PTTParams params;
        params.delay1 = low_byte(delay1);
        params.delay2 = low_byte(delay2);
        slot.device->set_ptt_params(params);
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxSetWeight(int nId, int nDot, int nDash) {
    interface_logger()->debug("quentraxSetWeight: nId={} nDot={} nDash={}", nId, nDot, nDash);
    return on_slot("quentraxSetWeight", nId, [&](DeviceSlot& slot) {
        if (nDot < 0 || nDot > 11 || nDash < 0 || nDash > 11 || nDot >= nDash) {
            interface_logger()->error(
                "quentraxSetWeight: 指定されたWeightの一部または全部の値は無効です。");
            return kFailed;
        }
        return change_keyer_block(slot, [&](KeyerParams& block) {
            block.dotWeight = static_cast<std::uint8_t>(nDot);
            block.dashWeight = static_cast<std::uint8_t>(nDash);
            block.mode = 2;
        });
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxSetPaddle(int nId, int param) {
    interface_logger()->debug("quentraxSetPaddle: nId={} param={:02X}", nId, param);
    return on_slot("quentraxSetPaddle", nId, [&](DeviceSlot& slot) {
        slot.device->set_paddle_reverse((param & 1) != 0);
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxSetWPM(int nId, int nWPM) {
    interface_logger()->debug("quentraxSetWPM: nId={} nWPM={}", nId, nWPM);
    return on_slot("quentraxSetWPM", nId, [&](DeviceSlot& slot) {
        if (nWPM < 5 || nWPM > 50) {
            interface_logger()->error("quentraxSetWPM: 指定されたWPMの値は無効です。");
            return kFailed;
        }
        // Dot length in 2 ms units: 600 / WPM, halves rounded up.
        const auto speed_code = static_cast<std::uint8_t>(60000.0 / (nWPM * 50) * 0.5 + 0.5);
        // get_version() is also the open check: it fails on a closed device.
        const int version = slot.device->get_version();
        if (version == 20) {
            return change_keyer_block(slot,
                                      [&](KeyerParams& block) { block.keySpeed = speed_code; });
        }
        if (version >= 21) {
            // The speed alone, but in step with the block: a block sent meanwhile by another
            // thread carries a speed too.
            std::lock_guard<std::mutex> lock(slot.keyer_mutex);
            slot.device->set_keyer_speed(speed_code);
            slot.keyer.keySpeed = speed_code;
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
    std::lock_guard<std::mutex> lock(slot->keyer_mutex);
    return slot->keyer.keySpeed;
}

QUENTRAX_API int QUENTRAX_CALL quentraxSetCallbackWindow(int nId, quentrax_window_t hWnd) {
    interface_logger()->debug("quentraxSetCallbackWindow: nId={} hWnd={:08X}", nId,
                              reinterpret_cast<std::uintptr_t>(hWnd));
    return on_slot("quentraxSetCallbackWindow", nId, [&](DeviceSlot& slot) {
        // Refused without a line of its own.
        if (hWnd == nullptr) {
            return kFailed;
        }
        slot.device->set_callback_window(hWnd, notification_message());
        return 0;
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxSetSideTone(int nId, int nTone) {
    const std::uint8_t tone = low_byte(nTone);
    interface_logger()->debug("quentraxSetSideTone: nId={} nTone={}", nId, tone);
    return on_slot("quentraxSetSideTone", nId, [&](DeviceSlot& slot) {
        if (tone > 15) {
            interface_logger()->error(
                "quentraxSetSideTone: 指定されたサイドトーンの値は無効です。");
            return kFailed;
        }
        return change_keyer_block(slot, [&](KeyerParams& block) { block.sideTone = tone; });
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxQueryBufSize(int nId) {
    interface_logger()->debug("quentraxQueryBufSize: nId={}", nId);
    return on_slot("quentraxQueryBufSize", nId, [](DeviceSlot& slot) {
        return static_cast<int>(slot.device->get_generator_buffer().bytes[0]);
    });
}

QUENTRAX_API int QUENTRAX_CALL quentraxGetVersion(int nId) {
    interface_logger()->debug("quentraxGetVersion: nId={}", nId);
    return on_slot("quentraxGetVersion", nId,
                   [](DeviceSlot& slot) { return slot.device->get_version(); });
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
