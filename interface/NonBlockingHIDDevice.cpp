#include "NonBlockingHIDDevice.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <exception>
#include <optional>
#include <stdexcept>

#include "LoggerLookup.h"
#include "RepeatedErrorLog.h"

namespace omvar::quentrax {
namespace {

constexpr std::size_t kReadBufferSize = 64;
constexpr int kIdleReadTimeoutMs = 200;
constexpr int kMinReadTimeoutMs = 10;
constexpr int kMaxFailurePauseMs = 200;

int next_read_timeout(long long elapsed_ms) {
    if (elapsed_ms == 0) {
        return kIdleReadTimeoutMs;
    }
    const long long doubled = elapsed_ms * 2;
    return doubled <= kMinReadTimeoutMs ? kMinReadTimeoutMs : static_cast<int>(doubled);
}

std::exception_ptr not_open_error() {
    return std::make_exception_ptr(std::runtime_error("The device is not open."));
}

}  // namespace

NonBlockingHIDDevice::NonBlockingHIDDevice(std::unique_ptr<HIDDevice> hid)
    : hid_(std::move(hid)), logger_(find_logger("quentrax")) {}

NonBlockingHIDDevice::~NonBlockingHIDDevice() {
    close();
}

void NonBlockingHIDDevice::open() {
    std::lock_guard<std::mutex> close_lock(close_mutex_);
    if (thread_.started()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(hid_mutex_);
        if (hid_) {
            hid_->open();
        }
    }
    try {
        thread_.start([this] {
            reader();
            reader_id_ = std::thread::id();
        });
    } catch (...) {
        std::lock_guard<std::mutex> lock(hid_mutex_);
        if (hid_) {
            hid_->close();
        }
        throw;
    }
}

bool NonBlockingHIDDevice::is_open() const {
    std::lock_guard<std::mutex> lock(hid_mutex_);
    return hid_ && hid_->is_open();
}

void NonBlockingHIDDevice::close() {
    end(false);
}

void NonBlockingHIDDevice::close_at_unload() {
    end(true);
}

void NonBlockingHIDDevice::end(bool at_unload) {
    std::lock_guard<std::mutex> close_lock(close_mutex_);
    if (thread_.started()) {
        {
            // Under the queue lock, so that a reader about to pause cannot miss it.
            std::lock_guard<std::mutex> lock(queue_mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (at_unload) {
            thread_.leave();
        } else {
            thread_.join();
        }
    }
    {
        std::lock_guard<std::mutex> lock(hid_mutex_);
        if (hid_ && hid_->is_open()) {
            hid_->close();
        }
        hid_.reset();
    }
    finish_writes();
}

std::future<int> NonBlockingHIDDevice::write(std::vector<std::uint8_t> report) {
    std::promise<int> promise;
    auto future = promise.get_future();
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        if (reader_done_) {
            promise.set_exception(not_open_error());
            return future;
        }
        write_queue_.push_back({std::move(report), std::move(promise)});
    }
    wake_.notify_one();
    return future;
}

unsigned int NonBlockingHIDDevice::add_listener(
    std::string name, std::function<void(std::vector<std::uint8_t>)> callback) {
    if (name != "read") {
        throw std::invalid_argument("An unsupported event name was specified");
    }
    return EventEmitter::add_listener<std::vector<std::uint8_t>>(std::move(name),
                                                                 std::move(callback));
}

std::string NonBlockingHIDDevice::path() const {
    std::lock_guard<std::mutex> lock(hid_mutex_);
    return hid_ ? hid_->path() : std::string();
}

std::wstring NonBlockingHIDDevice::product_string() const {
    std::lock_guard<std::mutex> lock(hid_mutex_);
    return hid_ ? hid_->get_product_string() : std::wstring();
}

std::wstring NonBlockingHIDDevice::manufacturer_string() const {
    std::lock_guard<std::mutex> lock(hid_mutex_);
    return hid_ ? hid_->get_manufacturer_string() : std::wstring();
}

hid_device* NonBlockingHIDDevice::raw_handle() const {
    std::lock_guard<std::mutex> lock(hid_mutex_);
    return hid_ ? hid_->handle() : nullptr;
}

void NonBlockingHIDDevice::set_disconnect_handler(std::function<void()> handler) {
    disconnect_handler_ = std::move(handler);
}

void NonBlockingHIDDevice::drop_connection() {
    std::lock_guard<std::mutex> lock(hid_mutex_);
    if (hid_) {
        hid_->close();
    }
    hid_.reset();
}

void NonBlockingHIDDevice::finish_writes() {
    std::deque<WriteItem> left;
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        reader_done_ = true;
        left.swap(write_queue_);
    }
    for (auto& item : left) {
        item.promise.set_exception(not_open_error());
    }
}

// The promise is dropped here, before the next read, so that the waiting caller is normally
// the last owner of the outcome.
void NonBlockingHIDDevice::write_one(HIDDevice& hid) {
    std::optional<WriteItem> item;
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        if (write_queue_.empty()) {
            return;
        }
        item.emplace(std::move(write_queue_.front()));
        write_queue_.pop_front();
    }
    try {
        hid.write(item->report);
        item->promise.set_value(0);
    } catch (const HIDDeviceError& e) {
        item->promise.set_exception(std::make_exception_ptr(e));
    }
}

void NonBlockingHIDDevice::pause_reading(HIDDevice& hid, std::chrono::milliseconds span) {
    const auto until = std::chrono::steady_clock::now() + span;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(queue_mutex_);
            const bool woken = wake_.wait_until(
                lock, until, [this] { return stop_.load() || !write_queue_.empty(); });
            if (!woken || stop_) {
                return;
            }
        }
        write_one(hid);
    }
}

template <typename Payload>
void NonBlockingHIDDevice::emit_safely(const char* name, const Payload& payload) {
    try {
        emit(name, payload);
    } catch (const std::exception& e) {
        logger_->error("A listener of \"{}\" failed: {}", name, e.what());
    } catch (...) {
        logger_->error("A listener of \"{}\" failed", name);
    }
}

// Only this thread and close() (after joining it) replace hid_, so the thread may use the
// connection without holding hid_mutex_ during its long calls.
int NonBlockingHIDDevice::reader() {
    reader_id_ = std::this_thread::get_id();
    HIDDevice* hid = nullptr;
    {
        std::lock_guard<std::mutex> lock(hid_mutex_);
        hid = hid_.get();
    }
    std::array<std::uint8_t, kReadBufferSize> buffer{};
    std::size_t count = 0;
    bool first_data = true;
    RepeatedErrorLog failures(logger_);
    int failure_pause_ms = 0;  // 0 while reads do not fail

    for (;;) {
        long long elapsed = 0;
        for (;;) {
            if (hid == nullptr || !hid->is_open() || stop_) {
                failures.ended();
                finish_writes();
                return 0;
            }

            write_one(*hid);

            const int timeout = next_read_timeout(elapsed);
            const auto t0 = std::chrono::steady_clock::now();
            try {
                count = static_cast<std::size_t>(hid->read(buffer.data(), buffer.size(), timeout));
            } catch (const HIDDeviceError& e) {
                if (e.is_timeout) {
                    logger_->warn("Read Timeout");
                    count = 0;
                } else if (e.code == HIDDeviceError::kNotConnected) {
                    failures.ended();
                    drop_connection();
                    logger_->warn("The device has been disconnected");
                    if (disconnect_handler_) {
                        disconnect_handler_();
                    }
                    finish_writes();
                    return -1;
                } else {
                    NonBlockingHIDDeviceErrorEvent event{
                        e, "read_error",
                        std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + count)};
                    emit_safely("error", event);
                    failures.failed(e.what());
                    failure_pause_ms = failure_pause_ms == 0
                                           ? std::min(timeout, kMaxFailurePauseMs)
                                           : std::min(failure_pause_ms * 2, kMaxFailurePauseMs);
                    pause_reading(*hid, std::chrono::milliseconds(failure_pause_ms));
                    continue;
                }
            }
            if (failure_pause_ms != 0) {
                failure_pause_ms = 0;
                failures.ended();
            }
            elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - t0)
                          .count();
            if (count == 0) {
                break;
            }
            if (first_data) {
                logger_->debug("初回のRead Packet所要時間 = {}", elapsed);
                first_data = false;
            }
            emit_safely("read", std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + count));
        }
    }
}

}  // namespace omvar::quentrax
