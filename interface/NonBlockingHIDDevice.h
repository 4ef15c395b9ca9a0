#pragma once

#include <spdlog/logger.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Event.h"
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

// One HID interface served by two threads of its own, each on its own handle of the interface's
// path (hidapi is never used on one handle from two threads at once): the writer sends the
// output reports that callers queue, the moment they are queued; the reader reads continuously
// and publishes every input report as a "read" event (std::vector<uint8_t>), and read failures
// other than time-out and disconnection as "error" events (NonBlockingHIDDeviceErrorEvent).
// Listeners run on the reader thread and must not call close(). The interface counts as open
// while the reader's handle is; when the reader sees it disconnected, both threads end.
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

    // Opens the HID path twice (reader and writer) and starts both threads. A path that cannot
    // be opened (either time) throws nothing: the object simply stays closed, and its reader
    // ends at once. std::system_error when no thread can be started.
    void open();
    bool is_open() const;
    // Stops and joins both threads (the reader after its current read, at most one read
    // time-out), closes and drops the connection.
    void close();
    // close() for the library's unload, where no thread may be joined: the threads are stopped
    // and left behind once they have finished (LibraryThread::leave).
    void close_at_unload();

    // How the writer treats one report beyond a single attempt.
    struct WriteOptions {
        // Attempts in all: a failure that retry_on accepts is tried again until then. A write
        // that failed is over and did not go out (the HID layer cancels a write that timed
        // out), so trying it again never sends it twice.
        int attempts = 1;
        std::function<bool(const HIDDeviceError&)> retry_on;
        // On the writer thread after every attempt: the error, or null when it went out.
        std::function<void(int attempt, const HIDDeviceError* error)> on_attempt;
        // On the thread that fails the future, with its error, before the future is ready.
        std::function<void(std::exception_ptr)> on_failure;
        // Keyed output, which withdraw_output() takes back.
        bool output = false;
    };

    // Queues one output report (report id byte included); the writer sends it at once, one
    // report after the other in the order queued. The future is ready once the writer is done
    // with the report: it holds the HIDDeviceError of the last failed attempt, 0 on success,
    // std::runtime_error("The device is not open.") when the device closed or disappeared
    // before writing, and std::runtime_error("Processing was interrupted.") when the report
    // was withdrawn. Its value (0) carries no meaning.
    std::future<int> write(std::vector<std::uint8_t> report, WriteOptions options);
    std::future<int> write(std::vector<std::uint8_t> report);  // one attempt
    // Withdraws the queued output reports that have not gone out, and the one being written
    // from its next attempt on, so that nothing queued before a clear of the unit's buffer is
    // keyed after it. Returns how many were taken out of the queue.
    std::size_t withdraw_output();
    // How long the write attempt under way has lasted; zero when none is.
    std::chrono::steady_clock::duration write_under_way() const;

    static constexpr Event<NonBlockingHIDDevice, std::vector<std::uint8_t>> kRead{"read"};
    static constexpr Event<NonBlockingHIDDevice, NonBlockingHIDDeviceErrorEvent> kError{"error"};

    // Only "read" is accepted here; otherwise std::invalid_argument.
    unsigned int add_listener(std::string name,
                              std::function<void(std::vector<std::uint8_t>)> callback);
    unsigned int add_listener(const Event<NonBlockingHIDDevice, std::vector<std::uint8_t>>& event,
                              std::function<void(std::vector<std::uint8_t>)> callback) {
        return add_listener(std::string(event.name), std::move(callback));
    }

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
        WriteOptions options;

        void fail(std::exception_ptr error);
    };

    int reader();
    void writer();
    // All attempts at one report; the report lives in the item until the last is over.
    void send(WriteItem& item, std::uint64_t withdrawals);
    // Between two attempts: the error that ends the report instead, if any.
    std::exception_ptr reason_to_stop(const WriteItem& item, std::uint64_t withdrawals);
    // The pause after a failed read; ends early on close().
    void pause_reading(std::chrono::milliseconds span);
    // A listener that throws is logged; reading goes on.
    template <typename Payload>
    void emit_safely(const char* name, const Payload& payload);
    void drop_connection();
    void finish_writes();
    void end(bool at_unload);

    mutable std::mutex hid_mutex_;  // guards replacing and testing hid_
    std::unique_ptr<HIDDevice> hid_;
    // The writer's own handle, used only by the writer thread; dropped when that thread ends,
    // when the reader finds the interface unplugged, or by close().
    std::mutex writer_mutex_;  // held by the writer while it writes
    std::unique_ptr<HIDDevice> writer_hid_;
    LibraryThread thread_;
    LibraryThread writer_thread_;
    std::atomic<std::thread::id> reader_id_{};
    std::mutex queue_mutex_;
    std::deque<WriteItem> write_queue_;
    std::condition_variable wake_;         // with queue_mutex_, for the reader: stop_ set
    std::condition_variable writer_wake_;  // with queue_mutex_: a write queued, the end
    bool reader_done_ = false;             // under queue_mutex_: later writes fail at once
    std::uint64_t withdrawals_ = 0;        // under queue_mutex_: calls of withdraw_output()
    static constexpr std::chrono::steady_clock::rep kNoAttempt = -1;
    std::atomic<std::chrono::steady_clock::rep> attempt_start_{kNoAttempt};
    std::atomic<bool> stop_{false};
    std::shared_ptr<spdlog::logger> logger_;
    std::function<void()> disconnect_handler_;
    std::mutex close_mutex_;
};

}  // namespace omvar::quentrax
