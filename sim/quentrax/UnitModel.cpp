#include "UnitModel.h"

#include <algorithm>
#include <cstring>

namespace omvar::sim {

namespace {

std::wstring product_for(const UnitOptions& options) {
    if (!options.product.empty()) {
        return options.product;
    }
    // Positions 13 and 15 carry the two digits of the firmware version.
    const int version = std::clamp(options.firmware, 0, 99);
    return L"QUENTRAX Ver." + std::to_wstring(version / 10) + L"." + std::to_wstring(version % 10);
}

// Encoder lines are bits 5 and 6 of byte 6; a detent runs one quadrature cycle.
constexpr std::uint8_t kEncoderUp[] = {0x40, 0x00, 0x20, 0x60};
constexpr std::uint8_t kEncoderDown[] = {0x20, 0x00, 0x40, 0x60};

}  // namespace

UnitModel::UnitModel(UnitOptions options, std::string path, std::wstring serial)
    : options_(std::move(options)),
      path_(std::move(path)),
      product_(product_for(options_)),
      serial_(std::move(serial)),
      period_(options_.report_period),
      thread_([this] { run(); }) {}

UnitModel::~UnitModel() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    tick_cv_.notify_all();
    input_cv_.notify_all();
    out_cv_.notify_all();
    thread_.join();
}

void UnitModel::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    unit_clock_.capture();  // under the lock: unit_cpu_seconds may already be reading it
    auto next = EmuClock::now() + period_;
    while (!stopping_) {
        if (period_.count() <= 0) {
            // No reports, but the generator keeps playing.
            tick_cv_.wait_for(lock, std::chrono::milliseconds(5));
            advance(EmuClock::now());
            observed_cv_.notify_all();
            next = EmuClock::now() + period_;
            continue;
        }
        tick_cv_.wait_until(lock, next);
        if (stopping_) {
            break;
        }
        const auto now = EmuClock::now();
        if (now < next) {
            continue;  // woken early (period changed or spurious)
        }
        advance(now);
        if (!encoder_steps_.empty()) {
            encoder_ = encoder_steps_.front();
            encoder_steps_.pop_front();
        }
        if (attached_) {
            deliver(status_report(), now);
            ++stats_.status_reports;
        }
        if (button_reports_ > 0) {
            --button_reports_;
        }
        observed_cv_.notify_all();
        next += period_;
        if (next <= now) {
            next = now + period_;  // the thread ran late: no burst of catch-up reports
        }
    }
}

void UnitModel::advance(EmuClock::time_point now) {
    const std::size_t before = generator_.timeline().size();
    generator_.advance(now, keyer_);
    if (generator_.timeline().size() != before) {
        observed_cv_.notify_all();
    }
}

std::uint8_t UnitModel::byte6() const {
    std::uint8_t value = static_cast<std::uint8_t>((port0_out_ & 0x9F) | encoder_);
    if (generator_.key_down()) {
        value &= static_cast<std::uint8_t>(~0x01);  // the key line is active low
    }
    return value;
}

std::uint8_t UnitModel::byte7() const {
    const std::uint8_t size =
        paddle_mode_ ? 15 : static_cast<std::uint8_t>(std::min<std::size_t>(generator_.size(), 14));
    std::uint8_t port1 = static_cast<std::uint8_t>(port1_out_ & 0x0D);
    if (button_held_ || button_reports_ > 0) {
        port1 |= 0x02;
    }
    return static_cast<std::uint8_t>((size << 4) | port1);
}

std::vector<std::uint8_t> UnitModel::status_report() const {
    return {QuentraxUnit::status_report_code,
            0,
            0,
            0,
            paddle_sequence_,
            paddle_code_,
            byte6(),
            byte7()};
}

void UnitModel::deliver(std::vector<std::uint8_t> report, EmuClock::time_point now) {
    if (now < withheld_until_ || !attached_) {
        return;
    }
    for (auto& [id, handle] : handles_) {
        if (handle.input.size() >= input_buffers) {
            handle.input.pop_front();  // the OS keeps the newest reports
        }
        handle.input.push_back(report);
    }
    input_cv_.notify_all();
}

int UnitModel::open_handle() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!attached_) {
        return 0;
    }
    const int id = next_handle_++;
    handles_[id].input.swap(on_open_);
    observed_cv_.notify_all();
    return id;
}

void UnitModel::close_handle(int handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    handles_.erase(handle);
    observed_cv_.notify_all();
}

void UnitModel::note_reader() {
    if (reader_id_ != std::this_thread::get_id()) {
        reader_id_ = std::this_thread::get_id();
        reader_clock_.capture();
    }
}

UnitModel::IoResult UnitModel::read(int handle, unsigned char* data, std::size_t length,
                                    int milliseconds) {
    const auto start = EmuClock::now();
    std::unique_lock<std::mutex> lock(mutex_);
    IoResult result = read_locked(lock, handle, data, length, milliseconds);
    if (reads_.size() >= kept_reads) {
        reads_.pop_front();
    }
    reads_.push_back(
        {start, milliseconds,
         std::chrono::duration_cast<std::chrono::microseconds>(EmuClock::now() - start),
         result.bytes});
    return result;
}

UnitModel::IoResult UnitModel::read_locked(std::unique_lock<std::mutex>& lock, int handle,
                                           unsigned char* data, std::size_t length,
                                           int milliseconds) {
    ++stats_.reads;
    note_reader();
    IoResult result;
    auto fail = [&](int code, bool disconnected) {
        ++stats_.failed_reads;
        result.bytes = -1;
        result.error = code;
        result.disconnected = disconnected;
        if (disconnected) {
            auto it = handles_.find(handle);
            if (it != handles_.end()) {
                result.first_failure = !it->second.failed_since_unplug;
                it->second.failed_since_unplug = true;
            }
        }
        return result;
    };
    if (!attached_) {
        return fail(platform_error_code(HidFailure::disconnected), true);
    }
    if (read_failures_ > 0) {
        --read_failures_;
        return fail(read_failure_code_, false);
    }
    if (EmuClock::now() < reads_failing_until_) {
        return fail(read_failure_code_, false);
    }
    auto has_input = [&] {
        auto it = handles_.find(handle);
        return stopping_ || !attached_ || (it != handles_.end() && !it->second.input.empty());
    };
    if (milliseconds < 0) {
        input_cv_.wait(lock, has_input);
    } else {
        input_cv_.wait_for(lock, std::chrono::milliseconds(milliseconds), has_input);
    }
    if (!attached_) {
        return fail(platform_error_code(HidFailure::disconnected), true);
    }
    auto it = handles_.find(handle);
    if (it == handles_.end() || it->second.input.empty()) {
        ++stats_.empty_reads;
        return result;
    }
    auto report = std::move(it->second.input.front());
    it->second.input.pop_front();
    const std::size_t count = std::min(length, report.size());
    if (count > 0) {
        std::memcpy(data, report.data(), count);
    }
    ++stats_.reports;
    result.bytes = static_cast<int>(count);
    return result;
}

bool UnitModel::wait_out_stall(std::unique_lock<std::mutex>& lock) {
    const auto deadline = EmuClock::now() + QuentraxUnit::write_timeout;
    out_cv_.wait_until(lock, std::min(deadline, writes_stalled_until_), [&] {
        const auto now = EmuClock::now();
        return now >= writes_stalled_until_ || now >= deadline || !attached_ || stopping_;
    });
    if (EmuClock::now() >= writes_stalled_until_ || !attached_ || stopping_) {
        return true;
    }
    if (late_completions_ > 0) {
        --late_completions_;
        return true;
    }
    return false;
}

UnitModel::IoResult UnitModel::write(int handle, const unsigned char* data, std::size_t length) {
    (void)handle;
    std::unique_lock<std::mutex> lock(mutex_);
    ++stats_.writes;
    IoResult result;
    const bool taken = EmuClock::now() >= writes_stalled_until_ || wait_out_stall(lock);
    const auto now = EmuClock::now();
    WrittenPacket packet{now, std::vector<std::uint8_t>(data, data + length), false};
    if (!taken) {
        ++stats_.failed_writes;
        packet.failed = true;
        packets_.push_back(std::move(packet));
        observed_cv_.notify_all();
        result.bytes = -1;
        result.error = platform_error_code(HidFailure::timeout);
        return result;
    }
    if (!attached_) {
        ++stats_.failed_writes;
        result.bytes = -1;
        result.error = platform_error_code(HidFailure::disconnected);
        result.disconnected = true;
        return result;
    }
    if (write_failures_ > 0) {
        --write_failures_;
        ++stats_.failed_writes;
        packet.failed = true;
        packets_.push_back(std::move(packet));
        observed_cv_.notify_all();
        result.bytes = -1;
        result.error = write_failure_code_;
        result.delay = write_failure_delay_;
        return result;
    }
    std::array<std::uint8_t, 8> command{};
    for (std::size_t i = 1; i < length && i <= command.size(); ++i) {
        command[i - 1] = data[i];
    }
    packets_.push_back(std::move(packet));
    advance(now);
    execute(command, now);
    observed_cv_.notify_all();
    result.bytes = static_cast<int>(length);
    return result;
}

void UnitModel::execute(const std::array<std::uint8_t, 8>& packet, EmuClock::time_point now) {
    const std::uint8_t code = packet[0];
    std::vector<std::uint8_t> answer(8, 0);
    answer[0] = code;
    bool payload_4_5 = false;
    switch (code) {
        case 0x01:
            port0_out_ = packet[1];
            answer[1] = packet[1];
            break;
        case 0x02:
            port1_out_ = static_cast<std::uint8_t>(packet[1] & 0x0F);
            answer[1] = packet[1];
            break;
        case 0x03:
            answer[1] = byte6();
            break;
        case 0x04:
            answer[1] = static_cast<std::uint8_t>(byte7() & 0x0F);
            break;
        case 0x05: {
            paddle_mode_ = false;
            std::uint8_t codes[7];
            std::size_t count = 0;
            for (std::size_t i = 1; i < 8; ++i) {
                if (packet[i] != 0) {
                    codes[count++] = packet[i];
                }
            }
            stats_.overflowed_codes += generator_.enqueue(codes, count, now);
            answer[1] = packet[1];
            break;
        }
        case 0x06:
            answer[1] = packet[1];
            break;
        case 0x20:
            keyer_.speed = packet[1];
            keyer_.dot_weight = packet[2];
            keyer_.dash_weight = packet[3];
            keyer_.mode = packet[4];
            if (options_.firmware >= 23) {
                keyer_.side_tone = packet[5];
            }
            break;
        case 0x21:
            answer[1] = keyer_.speed;
            answer[2] = keyer_.dot_weight;
            answer[3] = keyer_.dash_weight;
            answer[4] = keyer_.mode;
            answer[5] = keyer_.side_tone;
            payload_4_5 = true;
            break;
        case 0x22:
            keyer_.ptt_delay1 = packet[1];
            keyer_.ptt_delay2 = packet[2];
            break;
        case 0x23:
            answer[1] = keyer_.ptt_delay1;
            answer[2] = keyer_.ptt_delay2;
            break;
        case 0x24:
            keyer_.speed = packet[1];
            break;
        case 0x25:
            keyer_.ptt_control = packet[1] != 0;
            break;
        case 0x26:
            keyer_.paddle_reverse = packet[3] != 0;
            break;
        case 0x30:
            keyer_.status_a = packet[1];
            keyer_.status_b = packet[2];
            break;
        case 0x31:
            answer[1] = keyer_.status_a;
            answer[2] = keyer_.status_b;
            break;
        case 0x32:
            keyer_ = KeyerState{};
            generator_.clear(now);
            paddle_mode_ = false;
            port0_out_ = 0xFF;
            port1_out_ = 0;
            break;
        case 0x33:
            if (generator_.stalled() && kick_restarts_) {
                generator_.set_stalled(false, now);
            }
            answer[1] = static_cast<std::uint8_t>(generator_.size());
            break;
        case 0x34:
            generator_.clear(now);
            paddle_mode_ = false;
            break;
        case 0x35:
            // Lines are active low: a line switched on clears its bit.
            port0_out_ = static_cast<std::uint8_t>((port0_out_ & ~0x03) | (packet[1] ? 0 : 0x01) |
                                                   (packet[2] ? 0 : 0x02));
            break;
        case 0x36:
            generator_.set_stalled(false, now);
            break;
        default:
            break;
    }
    if (!payload_4_5) {
        answer[4] = paddle_sequence_;
        answer[5] = paddle_code_;
    }
    answer[6] = byte6();
    answer[7] = byte7();
    if (answers_to_drop_ > 0) {
        --answers_to_drop_;
        return;
    }
    deliver(std::move(answer), now);
}

void UnitModel::unplug() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        attached_ = false;
        const auto now = EmuClock::now();
        advance(now);
        generator_.clear(now);
        for (auto& [id, handle] : handles_) {
            handle.input.clear();
        }
    }
    input_cv_.notify_all();
    out_cv_.notify_all();
    observed_cv_.notify_all();
}

bool UnitModel::attached() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return attached_;
}

int UnitModel::open_handles() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(handles_.size());
}

void UnitModel::set_report_period(std::chrono::milliseconds period) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        period_ = period;
    }
    tick_cv_.notify_all();
}

void UnitModel::turn_encoder(bool up, int detents) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int i = 0; i < detents; ++i) {
        for (std::uint8_t state : up ? kEncoderUp : kEncoderDown) {
            encoder_steps_.push_back(state);
        }
    }
}

void UnitModel::press_message_button() {
    std::lock_guard<std::mutex> lock(mutex_);
    button_reports_ = 2;
}

void UnitModel::set_message_button(bool down) {
    std::lock_guard<std::mutex> lock(mutex_);
    button_held_ = down;
}

void UnitModel::key_paddle(std::uint8_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = EmuClock::now();
    advance(now);
    generator_.clear(now);  // break-in: the operator's keying stops the generator
    paddle_mode_ = true;
    ++paddle_sequence_;
    paddle_code_ = code;
}

void UnitModel::fail_writes(int code, int attempts, std::chrono::milliseconds delay) {
    std::lock_guard<std::mutex> lock(mutex_);
    write_failure_code_ = code;
    write_failures_ = attempts;
    write_failure_delay_ = delay;
}

void UnitModel::stall_writes(std::chrono::milliseconds span, int completing_late) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        writes_stalled_until_ = EmuClock::now() + span;
        late_completions_ = completing_late;
    }
    out_cv_.notify_all();
}

void UnitModel::fail_reads(int code, int attempts) {
    std::lock_guard<std::mutex> lock(mutex_);
    read_failure_code_ = code;
    read_failures_ = attempts;
}

void UnitModel::fail_reads_for(int code, std::chrono::milliseconds span) {
    std::lock_guard<std::mutex> lock(mutex_);
    read_failure_code_ = code;
    reads_failing_until_ = EmuClock::now() + span;
}

void UnitModel::withhold_reports(std::chrono::milliseconds span) {
    std::lock_guard<std::mutex> lock(mutex_);
    withheld_until_ = EmuClock::now() + span;
}

void UnitModel::drop_answers(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_to_drop_ = count;
}

void UnitModel::inject_report(std::vector<std::uint8_t> bytes) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [id, handle] : handles_) {
            handle.input.push_back(bytes);
        }
    }
    input_cv_.notify_all();
}

void UnitModel::inject_on_open(std::vector<std::uint8_t> bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    on_open_.push_back(std::move(bytes));
}

void UnitModel::stall_generator(bool stalled, bool kick_restarts) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = EmuClock::now();
    advance(now);
    generator_.set_stalled(stalled, now);
    kick_restarts_ = kick_restarts;
}

std::uint8_t UnitModel::buffer_size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<std::uint8_t>(generator_.size());
}

bool UnitModel::paddle_mode() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return paddle_mode_;
}

bool UnitModel::generator_stalled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return generator_.stalled();
}

KeyerState UnitModel::keyer() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return keyer_;
}

std::uint8_t UnitModel::port0() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return byte6();
}

std::vector<WrittenPacket> UnitModel::packets() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return packets_;
}

void UnitModel::clear_packets() {
    std::lock_guard<std::mutex> lock(mutex_);
    packets_.clear();
}

std::vector<KeyEdge> UnitModel::key_timeline() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return generator_.timeline();
}

std::vector<KeyEdge> UnitModel::key_timeline_from(std::size_t first) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto& timeline = generator_.timeline();
    if (first >= timeline.size()) {
        return {};
    }
    return std::vector<KeyEdge>(timeline.begin() + static_cast<std::ptrdiff_t>(first),
                                timeline.end());
}

void UnitModel::clear_key_timeline() {
    std::lock_guard<std::mutex> lock(mutex_);
    generator_.clear_timeline();
}

std::vector<KeyEdge> UnitModel::take_key_timeline() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<KeyEdge> taken = generator_.timeline();
    generator_.clear_timeline();
    return taken;
}

UnitStats UnitModel::stats() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stats_;
}

std::vector<ReadCall> UnitModel::reads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<ReadCall>(reads_.begin(), reads_.end());
}

bool UnitModel::wait_for_packets(std::size_t count, std::chrono::milliseconds bound) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return observed_cv_.wait_for(lock, bound, [&] {
        return std::count_if(packets_.begin(), packets_.end(), [](const WrittenPacket& p) {
                   return !p.failed;
               }) >= static_cast<std::ptrdiff_t>(count);
    });
}

bool UnitModel::wait_for_status_reports(std::size_t count, std::chrono::milliseconds bound) const {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::size_t target = stats_.status_reports + count;
    return observed_cv_.wait_for(lock, bound, [&] { return stats_.status_reports >= target; });
}

bool UnitModel::wait_until_idle(std::chrono::milliseconds bound) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return observed_cv_.wait_for(lock, bound, [&] { return generator_.size() == 0; });
}

bool UnitModel::wait_for_open(bool open, std::chrono::milliseconds bound) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return observed_cv_.wait_for(lock, bound, [&] { return handles_.empty() != open; });
}

double UnitModel::reader_cpu_seconds() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return reader_clock_.seconds();
}

double UnitModel::unit_cpu_seconds() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return unit_clock_.seconds();
}

}  // namespace omvar::sim
