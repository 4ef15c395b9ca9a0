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

std::exception_ptr withdrawn_error() {
    return std::make_exception_ptr(std::runtime_error("Processing was interrupted."));
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
            // Both handles or none: with a reader only, the writes could not leave.
            if (hid_->is_open()) {
                auto writer_hid = std::make_unique<HIDDevice>(hid_->path().c_str());
                writer_hid->open();
                if (writer_hid->is_open()) {
                    std::lock_guard<std::mutex> writer_lock(writer_mutex_);
                    writer_hid_ = std::move(writer_hid);
                } else {
                    hid_->close();
                }
            }
        }
    }
    try {
        if (is_open()) {
            writer_thread_.start([this] { writer(); });
        }
        thread_.start([this] {
            reader();
            reader_id_ = std::thread::id();
        });
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(queue_mutex_);
            stop_ = true;
        }
        writer_wake_.notify_all();
        writer_thread_.join();
        {
            std::lock_guard<std::mutex> lock(writer_mutex_);
            writer_hid_.reset();
        }
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
    {
        // Under the queue lock, so that neither thread, about to wait, can miss it.
        std::lock_guard<std::mutex> lock(queue_mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    writer_wake_.notify_all();
    for (LibraryThread* thread : {&writer_thread_, &thread_}) {
        if (at_unload) {
            thread->leave();
        } else {
            thread->join();
        }
    }
    {
        std::lock_guard<std::mutex> lock(writer_mutex_);
        writer_hid_.reset();
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

void NonBlockingHIDDevice::WriteItem::fail(std::exception_ptr error) {
    if (options.on_failure) {
        options.on_failure(error);
    }
    promise.set_exception(error);
}

std::future<int> NonBlockingHIDDevice::write(std::vector<std::uint8_t> report,
                                             WriteOptions options) {
    WriteItem item{std::move(report), {}, std::move(options)};
    auto future = item.promise.get_future();
    {
        std::unique_lock<std::mutex> lock(queue_mutex_);
        if (!reader_done_) {
            write_queue_.push_back(std::move(item));
            lock.unlock();
            writer_wake_.notify_one();
            return future;
        }
    }
    item.fail(not_open_error());
    return future;
}

std::future<int> NonBlockingHIDDevice::write(std::vector<std::uint8_t> report) {
    return write(std::move(report), WriteOptions{});
}

std::chrono::steady_clock::duration NonBlockingHIDDevice::write_under_way() const {
    const auto start = attempt_start_.load();
    if (start == kNoAttempt) {
        return {};
    }
    return std::chrono::steady_clock::now().time_since_epoch() -
           std::chrono::steady_clock::duration(start);
}

std::size_t NonBlockingHIDDevice::withdraw_output() {
    std::deque<WriteItem> withdrawn;
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        ++withdrawals_;
        std::deque<WriteItem> kept;
        for (auto& item : write_queue_) {
            (item.options.output ? withdrawn : kept).push_back(std::move(item));
        }
        write_queue_.swap(kept);
    }
    for (auto& item : withdrawn) {
        item.fail(withdrawn_error());
    }
    return withdrawn.size();
}

unsigned int NonBlockingHIDDevice::add_listener(
    std::string name, std::function<void(std::vector<std::uint8_t>)> callback) {
    if (name != kRead.name) {
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

// Both handles: once the interface counts as closed, none of its handles stays open.
void NonBlockingHIDDevice::drop_connection() {
    {
        std::lock_guard<std::mutex> lock(hid_mutex_);
        if (hid_) {
            hid_->close();
        }
        hid_.reset();
    }
    std::lock_guard<std::mutex> lock(writer_mutex_);
    writer_hid_.reset();
}

void NonBlockingHIDDevice::finish_writes() {
    std::deque<WriteItem> left;
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        reader_done_ = true;
        left.swap(write_queue_);
    }
    writer_wake_.notify_all();
    for (auto& item : left) {
        item.fail(not_open_error());
    }
}

// Writes each queued report as soon as it is queued, until close() or the end of the reader
// (the interface is gone). The item is dropped right after its last attempt, so that the
// waiting caller is normally the last owner of the outcome.
void NonBlockingHIDDevice::writer() {
    for (;;) {
        std::optional<WriteItem> item;
        std::uint64_t withdrawals = 0;
        {
            std::unique_lock<std::mutex> lock(queue_mutex_);
            writer_wake_.wait(
                lock, [this] { return stop_.load() || reader_done_ || !write_queue_.empty(); });
            if (stop_ || reader_done_) {
                break;
            }
            item.emplace(std::move(write_queue_.front()));
            write_queue_.pop_front();
            withdrawals = withdrawals_;
        }
        send(*item, withdrawals);
    }
    std::lock_guard<std::mutex> lock(writer_mutex_);
    writer_hid_.reset();
}

void NonBlockingHIDDevice::send(WriteItem& item, std::uint64_t withdrawals) {
    for (int attempt = 0;; ++attempt) {
        std::optional<HIDDeviceError> error;
        {
            // The reader drops this handle when the interface is unplugged, never in a write.
            std::lock_guard<std::mutex> lock(writer_mutex_);
            if (!writer_hid_) {
                item.fail(not_open_error());
                return;
            }
            attempt_start_ = std::chrono::steady_clock::now().time_since_epoch().count();
            try {
                writer_hid_->write(item.report);
            } catch (const HIDDeviceError& e) {
                error.emplace(e);
            }
            attempt_start_ = kNoAttempt;
        }
        if (item.options.on_attempt) {
            item.options.on_attempt(attempt, error ? &*error : nullptr);
        }
        if (!error) {
            item.promise.set_value(0);
            return;
        }
        const bool again = attempt + 1 < item.options.attempts && item.options.retry_on &&
                           item.options.retry_on(*error);
        if (!again) {
            item.fail(std::make_exception_ptr(*error));
            return;
        }
        if (auto stop = reason_to_stop(item, withdrawals)) {
            item.fail(stop);
            return;
        }
    }
}

std::exception_ptr NonBlockingHIDDevice::reason_to_stop(const WriteItem& item,
                                                        std::uint64_t withdrawals) {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    if (stop_ || reader_done_) {
        return not_open_error();
    }
    if (item.options.output && withdrawals_ != withdrawals) {
        return withdrawn_error();
    }
    return nullptr;
}

void NonBlockingHIDDevice::pause_reading(std::chrono::milliseconds span) {
    std::unique_lock<std::mutex> lock(queue_mutex_);
    wake_.wait_for(lock, span, [this] { return stop_.load(); });
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
                    emit_safely(kError.name, event);
                    failures.failed(e.what());
                    failure_pause_ms = failure_pause_ms == 0
                                           ? std::min(timeout, kMaxFailurePauseMs)
                                           : std::min(failure_pause_ms * 2, kMaxFailurePauseMs);
                    pause_reading(std::chrono::milliseconds(failure_pause_ms));
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
            emit_safely(kRead.name,
                        std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + count));
        }
    }
}

}  // namespace omvar::quentrax
