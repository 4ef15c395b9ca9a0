#pragma once

#include <spdlog/logger.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EventEmitter.h"
#include "HIDDevice.h"
#include "HIDDeviceError.h"
#include "LibraryThread.h"

namespace omvar::quentrax {

// Payload of the "error" event.
struct NonBlockingHIDDeviceErrorEvent {
    HIDDeviceError error;
    std::string name;  // always "read_error"
    std::vector<std::uint8_t> data;
};

// One HID connection served by its own reader thread: the thread sends queued output reports
// between reads and publishes every input report as a "read" event (std::vector<uint8_t>), and
// read failures other than time-out and disconnection as "error" events
// (NonBlockingHIDDeviceErrorEvent). Listeners run on the reader thread and must not call close().
//
// A device that keeps failing its reads (a flaky hub or cable) is not polled in a tight loop:
// after such a failure the reader pauses before the next read, starting from the read time-out
// and doubling up to 200 ms while the failures go on, back to normal after the first read that
// does not fail. Queued writes still go out during the pause, and close() ends it at once.
// Every failure raises its "error" event; the log gets one line per run of identical failures
// (see RepeatedErrorLog).
class NonBlockingHIDDevice : public EventEmitter {
public:
    explicit NonBlockingHIDDevice(std::unique_ptr<HIDDevice> hid);
    virtual ~NonBlockingHIDDevice();
    NonBlockingHIDDevice(const NonBlockingHIDDevice&) = delete;
    NonBlockingHIDDevice& operator=(const NonBlockingHIDDevice&) = delete;

    // Opens the HID path and starts the reader. A path that cannot be opened throws nothing:
    // the object simply stays closed. std::system_error when no thread can be started.
    void open();
    bool is_open() const;
    // Stops and joins the reader (at most one read time-out), closes and drops the connection.
    void close();
    // close() for the library's unload, where no thread may be joined: the reader is stopped
    // and left behind once it has finished (LibraryThread::leave).
    void close_at_unload();

    // Queues one output report (report id byte included). The future is ready once the reader
    // has tried the write: it holds the HIDDeviceError of a failed write, 0 on success,
    // and std::runtime_error("The device is not open.") when the reader ended before writing.
    // Its value (0) carries no meaning.
    std::future<int> write(std::vector<std::uint8_t> report);

    // Only "read" is accepted here; otherwise std::invalid_argument.
    unsigned int add_listener(std::string name,
                              std::function<void(std::vector<std::uint8_t>)> callback);

    // Path and strings of the connection; empty once it is gone.
    std::string path() const;
    std::wstring product_string() const;
    std::wstring manufacturer_string() const;
    hid_device* raw_handle() const;

    // True on this object's reader thread (in a listener, for example).
    bool on_reader_thread() const { return reader_id_ == std::this_thread::get_id(); }

    // Called on the reader thread right after it has dropped a disconnected device (before the
    // thread ends). Set before open().
    void set_disconnect_handler(std::function<void()> handler);

private:
    struct WriteItem {
        std::vector<std::uint8_t> report;
        std::promise<int> promise;
    };

    int reader();
    void write_one(HIDDevice& hid);
    // The pause after a failed read: writes what is queued meanwhile, ends early on close().
    void pause_reading(HIDDevice& hid, std::chrono::milliseconds span);
    // A listener that throws is logged; reading goes on.
    template <typename Payload>
    void emit_safely(const char* name, const Payload& payload);
    void drop_connection();
    void finish_writes();
    void end(bool at_unload);

    mutable std::mutex hid_mutex_;  // guards replacing and testing hid_
    std::unique_ptr<HIDDevice> hid_;
    LibraryThread thread_;
    std::atomic<std::thread::id> reader_id_{};
    std::mutex queue_mutex_;
    std::deque<WriteItem> write_queue_;
    std::condition_variable wake_;  // with queue_mutex_: a write queued, stop_ set
    bool reader_done_ = false;      // under queue_mutex_: later writes fail at once
    std::atomic<bool> stop_{false};
    std::shared_ptr<spdlog::logger> logger_;
    std::function<void()> disconnect_handler_;
    std::mutex close_mutex_;
};

}  // namespace omvar::quentrax
