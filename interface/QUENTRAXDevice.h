#pragma once

#include <spdlog/logger.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CallbackWindow.h"
#include "Event.h"
#include "EventEmitter.h"
#include "HIDDevice.h"
#include "NonBlockingHIDDevice.h"
#include "QUENTRAXTypes.h"

namespace omvar::quentrax {

// One QUENTRAX interface and its 8-byte packet protocol. Commands may be issued from any
// thread; they queue packets on the transport, whose writer thread sends them at once and whose
// reader thread pairs answers with pending requests (oldest first by command code, CW answers
// also by their first code) and decodes every report into device state, events and
// callback-window notifications.
//
// Events for add_listener: "read" (every accepted report), "change_buffer_size", "input"
// (paddle character). Listeners run on the reader thread; one that throws is logged and the
// reader carries on. Listeners may read the device state but issue no commands (those throw
// std::logic_error there: the reading would stop while they wait) and must not close the device.
// Encoder and message-button changes reach the host only as notifications: wParam = native code of
// a paddle character, or 0x10000/0x20000/0x30000 + that code (0 when none) for encoder up/encoder
// down/message button; lParam = the new buffer size.
//
// Waits for answers are bounded: open() 1000 ms for its clear-buffer answer, the getters
// 1000 ms, each failing with std::runtime_error("Timeout Error"). close() and an unplugged
// interface fail pending requests with std::runtime_error("Processing was interrupted.").
//
// Waits for writes: output (CW, FSK) returns once its packet is written or has failed, which is
// how a sender keeps pace with the unit. Any other command returns once written, or after
// kCommandWriteWait at the latest, so that a unit that does not take writes holds no caller
// (a window thread) longer: its packet still goes out in order when the unit takes writes
// again, and a failure that comes later reaches the command's future. While a write has been
// under way that long already, commands do not wait at all. A timed-out write is
// over when it fails (the HID layer cancels it), so it is tried again, output included.
// clear_generator_buffer() first withdraws the output that has not gone out yet.
class QUENTRAXDevice : public EventEmitter {
public:
    using Packet = std::vector<std::uint8_t>;

    static std::vector<std::unique_ptr<QUENTRAXDevice>> list_devices(bool unused = false);

    explicit QUENTRAXDevice(std::unique_ptr<HIDDevice> hid);
    ~QUENTRAXDevice();
    QUENTRAXDevice(const QUENTRAXDevice&) = delete;
    QUENTRAXDevice& operator=(const QUENTRAXDevice&) = delete;

    void open();
    void close();
    // close() for the library's unload (NonBlockingHIDDevice::close_at_unload); sends nothing.
    void close_at_unload();
    bool is_open() const;

    std::string get_path() const;  // kept from construction, also after close
    std::wstring get_product_string() const;
    int get_version() const;
    // The system handle of the open connection: the HANDLE on Windows, the hidraw file
    // descriptor natively (as a pointer-sized integer).
    void* get_raw_handle() const;

    // The events a host may listen to, each with the one payload type; the string form stays.
    static constexpr Event<QUENTRAXDevice, QUENTRAXDeviceEvent> kRead{"read"};
    static constexpr Event<QUENTRAXDevice, QUENTRAXDeviceEvent> kChangeBufferSize{
        "change_buffer_size"};
    static constexpr Event<QUENTRAXDevice, QUENTRAXDeviceEvent> kInput{"input"};

    unsigned int add_listener(std::string name, std::function<void(QUENTRAXDeviceEvent)> callback);
    unsigned int add_listener(const Event<QUENTRAXDevice, QUENTRAXDeviceEvent>& event,
                              std::function<void(QUENTRAXDeviceEvent)> callback) {
        return add_listener(std::string(event.name), std::move(callback));
    }
    void remove_listener(unsigned int id);
    void set_callback_window(WindowHandle window, unsigned int message);
    unsigned int get_buffer_size() const;
    bool is_used_paddle() const;

    // Option 0 of the C interface: PTT and key lines through the port-data write.
    void set_port_write_mode(bool on) { port_write_ = on; }
    bool get_port_write_mode() const { return port_write_; }
    // Option 1 of the C interface: kick the code generator when the buffer size stalls.
    void set_freeze_recovery(bool on) { freeze_recovery_ = on; }
    bool get_freeze_recovery() const { return freeze_recovery_; }

    std::future<Packet> write(const Packet& packet);

    std::future<Packet> write_port_data(int port, std::uint8_t value);
    std::uint8_t read_port_data(int port, bool cached);
    std::future<Packet> output_CW(const std::vector<std::uint8_t>& codes);
    std::future<Packet> output_FSK(const std::vector<std::uint8_t>& bytes);
    std::future<Packet> output_CW_using_str(const std::vector<wchar_t>& text);
    std::future<Packet> output_CW_using_str(const std::wstring& text);
    std::future<Packet> output_CW_using_str(const std::string& shift_jis_text);
    std::future<Packet> set_keyer_params(const KeyerParams& params);
    KeyerParams get_keyer_params();
    std::future<Packet> set_ptt_params(const PTTParams& params);
    PTTParams get_ptt_params();
    std::future<Packet> set_keyer_speed(std::uint8_t speed_code);
    std::future<Packet> set_ptt_control(bool on);
    std::future<Packet> set_paddle_reverse(bool reverse);
    std::future<Packet> set_status(std::uint8_t a, std::uint8_t b);
    DeviceStatus get_status();
    std::future<Packet> reset_all();
    GeneratorBufferContent get_generator_buffer();
    std::future<Packet> clear_generator_buffer();
    std::future<Packet> set_port_state(bool line0, bool line1);
    std::future<Packet> restart_generator();

    static constexpr std::chrono::milliseconds kAnswerTimeout{1000};
    static constexpr std::chrono::milliseconds kCommandWriteWait{100};

private:
    struct PendingRequest {
        Packet command;
        std::promise<Packet> promise;
        std::uint64_t id;
    };
    struct Request {
        std::future<Packet> future;
        std::uint64_t id;
    };

    void require_open() const;
    void require_version(int min, const char* name) const;
    // How long the caller waits for its packet to be written.
    enum class WriteWait {
        written,     // until written or failed (output)
        briefly,     // until written, failed or kCommandWriteWait has passed
        queued,      // not at all; tried and logged as the others
        unobserved,  // not at all; one attempt, no trace line (the reader's own requests)
    };
    static WriteWait wait_for_kind(const Packet& packet);
    // The failure that ends a request comes to on_failure, also after the caller went on.
    void write_internal(const Packet& packet, WriteWait wait,
                        std::function<void(std::exception_ptr)> on_failure = {});
    NonBlockingHIDDevice::WriteOptions write_options(const Packet& packet);
    Request write_request(const Packet& packet, WriteWait wait);
    void fail_request(std::uint64_t id, std::exception_ptr error);
    std::future<Packet> send_command(std::uint8_t code, std::vector<std::uint8_t> params = {});
    // send_command without waiting for the write.
    std::future<Packet> queue_command(std::uint8_t code, std::vector<std::uint8_t> params = {});
    Packet request_and_wait(std::uint8_t code);
    bool remove_pending(std::uint64_t id);
    void fail_pending();
    std::optional<std::promise<Packet>> get_match_primise(const Packet& report);
    // What one accepted report changed.
    struct StatusChange {
        std::uint8_t new_size = 0;
        std::uint8_t old_size = 0;
        std::optional<std::uint8_t> paddle_code;  // a paddle character arrived
        bool encoder_up = false;
        bool encoder_down = false;
        bool button = false;
    };

    void on_read(const Packet& report);
    void note_incomplete(const Packet& report);
    void trace_report(const Packet& report);
    StatusChange decode_status(const Packet& report);
    void watch_for_freeze(std::uint8_t new_size, std::uint8_t old_size);
    void raise_events(const Packet& report, const StatusChange& change);
    void emit_event(const QUENTRAXDeviceEvent& event);
    void send_message(MessageWParam wparam, MessageLParam lparam);
    void learn_version();
    void close_transport(bool at_unload = false);

    std::atomic<bool> port_write_{false};
    std::atomic<bool> freeze_recovery_{true};
    std::unique_ptr<NonBlockingHIDDevice> device_;
    std::shared_ptr<spdlog::logger> logger_;
    std::shared_ptr<spdlog::logger> packet_logger_;
    std::atomic<int> version_{0};

    mutable std::mutex window_mutex_;
    WindowHandle callback_window_{};
    unsigned int callback_message_ = 0;

    Packet last_packet_;
    std::atomic<std::uint8_t> buffer_size_{0};
    std::atomic<std::uint8_t> last_status6_{0xFF};
    std::atomic<std::uint8_t> last_status7_{0xFF};
    int last_key_sequence_ = -1;
    int unchanged_count_ = 0;

    std::mutex pending_mutex_;
    std::vector<PendingRequest> pending_;
    std::uint64_t next_request_id_ = 0;

    std::string path_;
    mutable std::mutex product_mutex_;
    std::wstring product_;
    std::mutex transport_mutex_;  // serialises open and close
};

}  // namespace omvar::quentrax
