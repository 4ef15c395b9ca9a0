#include "QUENTRAXDevice.h"

#include <fmt/format.h>

#include <algorithm>
#include <thread>

#include "LoggerLookup.h"
#include "MorseCode.h"
#include "PacketText.h"
#include "TextEncoding.h"

namespace omvar::quentrax {
namespace {

constexpr std::uint8_t kWritePort0 = 0x01;
constexpr std::uint8_t kWritePort1 = 0x02;
constexpr std::uint8_t kReadPort0 = 0x03;
constexpr std::uint8_t kReadPort1 = 0x04;
constexpr std::uint8_t kOutputCW = 0x05;
constexpr std::uint8_t kOutputFSK = 0x06;
constexpr std::uint8_t kSetKeyerParams = 0x20;
constexpr std::uint8_t kGetKeyerParams = 0x21;
constexpr std::uint8_t kSetPTTParams = 0x22;
constexpr std::uint8_t kGetPTTParams = 0x23;
constexpr std::uint8_t kSetKeyerSpeed = 0x24;
constexpr std::uint8_t kSetPTTControl = 0x25;
constexpr std::uint8_t kSetPaddleReverse = 0x26;
constexpr std::uint8_t kSetStatus = 0x30;
constexpr std::uint8_t kGetStatus = 0x31;
constexpr std::uint8_t kResetAll = 0x32;
constexpr std::uint8_t kGetGeneratorBuffer = 0x33;
constexpr std::uint8_t kClearGeneratorBuffer = 0x34;
constexpr std::uint8_t kSetPortState = 0x35;
constexpr std::uint8_t kRestartGenerator = 0x36;

constexpr int kMaxRetries = 3;
constexpr int kFreezeReportCount = 200;
constexpr std::uint8_t kPaddleInUse = 15;
constexpr long long kIncompleteWarningIntervalMs = 5000;

constexpr const char* kNotOpen = "The device is not open.";
constexpr const char* kInterrupted = "Processing was interrupted.";
constexpr const char* kTimeoutError = "Timeout Error";

// Shared by the reader threads of all devices.
std::atomic<int> similar_packet_count{0};
std::atomic<int> incomplete_packet_count{0};
std::atomic<long long> incomplete_warning_time{0};

long long wall_clock_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::exception_ptr interrupted_error() {
    return std::make_exception_ptr(std::runtime_error(kInterrupted));
}

}  // namespace

std::vector<std::unique_ptr<QUENTRAXDevice>> QUENTRAXDevice::list_devices(bool) {
    std::vector<std::unique_ptr<QUENTRAXDevice>> devices;
    for (auto& hid : HIDDevice::enumerate()) {
        devices.push_back(std::make_unique<QUENTRAXDevice>(std::move(hid)));
    }
    return devices;
}

QUENTRAXDevice::QUENTRAXDevice(std::unique_ptr<HIDDevice> hid)
    : logger_(find_logger("quentrax")), packet_logger_(find_logger("qxpacket")) {
    if (hid) {
        path_ = hid->path();
    }
    device_ = std::make_unique<NonBlockingHIDDevice>(std::move(hid));
}

// The reader must be gone before the state it works on is destroyed.
QUENTRAXDevice::~QUENTRAXDevice() {
    device_.reset();
}

void QUENTRAXDevice::open() {
    std::lock_guard<std::mutex> lock(transport_mutex_);
    if (device_->is_open()) {
        return;
    }
    device_->add_listener(NonBlockingHIDDevice::kRead,
                          [this](std::vector<std::uint8_t> report) { on_read(report); });
    device_->set_disconnect_handler([this] { fail_pending(); });
    device_->open();
    try {
        auto answer = clear_generator_buffer();
        if (answer.wait_for(kAnswerTimeout) != std::future_status::ready) {
            throw std::runtime_error(kTimeoutError);
        }
        answer.get();
    } catch (...) {
        close_transport();
        throw;
    }
    learn_version();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void QUENTRAXDevice::learn_version() {
    const std::wstring product = device_->product_string();
    {
        std::lock_guard<std::mutex> lock(product_mutex_);
        product_ = product;
    }
    auto digit = [&product](std::size_t i) {
        return i < product.size() && product[i] >= L'0' && product[i] <= L'9';
    };
    if (digit(13) && digit(15)) {
        const int version = 10 * (product[13] - L'0') + (product[15] - L'0');
        if (version != 0) {
            version_ = version;
            return;
        }
    } else if (const std::wstring maker = device_->manufacturer_string();
               !maker.empty() && maker[0] == L'J') {
        version_ = 10;
        return;
    }
    throw std::runtime_error(wide_to_shift_jis(L"QUENTRAXのバージョンを特定できません。"));
}

void QUENTRAXDevice::close() {
    std::lock_guard<std::mutex> lock(transport_mutex_);
    if (!device_->is_open()) {
        return;
    }
    logger_->debug("QUENTRAXDevice::close");
    close_transport();
}

void QUENTRAXDevice::close_at_unload() {
    std::lock_guard<std::mutex> lock(transport_mutex_);
    close_transport(true);
}

// The transport object itself stays until destruction, so that a command racing with close
// meets a closed transport rather than a destroyed one.
void QUENTRAXDevice::close_transport(bool at_unload) {
    fail_pending();
    if (at_unload) {
        device_->close_at_unload();
    } else {
        device_->close();
    }
    fail_pending();
}

bool QUENTRAXDevice::is_open() const {
    return device_->is_open();
}

std::string QUENTRAXDevice::get_path() const {
    return path_;
}

std::wstring QUENTRAXDevice::get_product_string() const {
    std::lock_guard<std::mutex> lock(product_mutex_);
    return product_;
}

int QUENTRAXDevice::get_version() const {
    require_open();
    return version_;
}

// hidapi offers no call for it; every hidapi backend in use (0.13.1, pinned by the build)
// keeps the system handle as the first member of its device structure.
void* QUENTRAXDevice::get_raw_handle() const {
    require_open();
    hid_device* handle = device_->raw_handle();
    if (handle == nullptr) {
        return nullptr;
    }
#ifdef _WIN32
    return *reinterpret_cast<HANDLE*>(handle);
#else
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(*reinterpret_cast<int*>(handle)));
#endif
}

unsigned int QUENTRAXDevice::add_listener(std::string name,
                                          std::function<void(QUENTRAXDeviceEvent)> callback) {
    require_open();
    if (name != kRead.name && name != kInput.name && name != kChangeBufferSize.name) {
        throw std::invalid_argument("An unsupported event name was specified");
    }
    return EventEmitter::add_listener<QUENTRAXDeviceEvent>(std::move(name), std::move(callback));
}

void QUENTRAXDevice::remove_listener(unsigned int id) {
    require_open();
    EventEmitter::remove_listener(id);
}

void QUENTRAXDevice::set_callback_window(WindowHandle window, unsigned int message) {
    if (!window) {
        throw std::invalid_argument("Please specify HWND.");
    }
    std::lock_guard<std::mutex> lock(window_mutex_);
    callback_window_ = window;
    callback_message_ = message;
}

unsigned int QUENTRAXDevice::get_buffer_size() const {
    require_open();
    return buffer_size_;
}

bool QUENTRAXDevice::is_used_paddle() const {
    require_open();
    return buffer_size_ == kPaddleInUse;
}

void QUENTRAXDevice::require_open() const {
    if (!device_->is_open()) {
        throw std::runtime_error(kNotOpen);
    }
}

void QUENTRAXDevice::require_version(int min, const char* name) const {
    if (version_ < min) {
        throw NotSupportVerError(
            fmt::format("{}: This feature does not support this version of the device", name));
    }
}

namespace {
bool keys(const std::vector<std::uint8_t>& packet) {
    return !packet.empty() && (packet[0] == kOutputCW || packet[0] == kOutputFSK);
}

// A failed write did not go out: the HID layer cancels a write that timed out and waits for
// the cancel before it reports the time-out. Trying again never keys anything twice.
bool worth_retrying(const HIDDeviceError& error) {
    return error.code == HIDDeviceError::kNotFunctioning || error.code == HIDDeviceError::kTimeout;
}
}  // namespace

QUENTRAXDevice::WriteWait QUENTRAXDevice::wait_for_kind(const Packet& packet) {
    return keys(packet) ? WriteWait::written : WriteWait::briefly;
}

NonBlockingHIDDevice::WriteOptions QUENTRAXDevice::write_options(const Packet& packet) {
    NonBlockingHIDDevice::WriteOptions options;
    options.attempts = kMaxRetries + 1;
    options.retry_on = worth_retrying;
    options.output = keys(packet);
    options.on_attempt = [logger = packet_logger_, dump = hex_dump(packet)](
                             int attempt, const HIDDeviceError* error) {
        const char* mark = error != nullptr ? "\x1b[0;31m[ERROR]\x1b[0m"
                           : attempt == 0   ? ""
                                            : "\x1b[0;33m[RETRY]\x1b[0m";
        logger->debug("\x1b[0;36m▌Write Packet\x1b[0m {} {}\x1b[0m", mark, dump);
    };
    return options;
}

void QUENTRAXDevice::write_internal(const Packet& packet, WriteWait wait,
                                    std::function<void(std::exception_ptr)> on_failure) {
    require_open();
    // A listener that waited would stop the reading meanwhile, and an answer only comes
    // through the reading.
    if (wait != WriteWait::unobserved && device_->on_reader_thread()) {
        throw std::logic_error(
            "A device command cannot be issued from a listener of the device's events.");
    }
    if (packet.size() != 8) {
        throw std::length_error("The data written to the QUENTRAX must always be 8 bytes.");
    }
    std::vector<std::uint8_t> report;
    report.reserve(9);
    report.push_back(0);
    report.insert(report.end(), packet.begin(), packet.end());

    NonBlockingHIDDevice::WriteOptions options;
    if (wait != WriteWait::unobserved) {
        options = write_options(packet);
    }
    options.on_failure = std::move(on_failure);
    // A unit that has held a write longer than a command may wait is not waited for again: a
    // window thread sending several commands (an options dialog) is held once, not each time.
    const bool unit_behind = device_->write_under_way() >= kCommandWriteWait;
    auto outcome = device_->write(std::move(report), std::move(options));
    if (wait == WriteWait::queued || wait == WriteWait::unobserved ||
        (wait == WriteWait::briefly &&
         (unit_behind || outcome.wait_for(kCommandWriteWait) != std::future_status::ready))) {
        return;
    }
    outcome.get();
}

QUENTRAXDevice::Request QUENTRAXDevice::write_request(const Packet& packet, WriteWait wait) {
    Request request;
    {
        std::lock_guard<std::mutex> lock(pending_mutex_);
        request.id = ++next_request_id_;
        std::promise<Packet> promise;
        request.future = promise.get_future();
        pending_.push_back({packet, std::move(promise), request.id});
    }
    try {
        write_internal(packet, wait, [this, id = request.id](std::exception_ptr error) {
            fail_request(id, std::move(error));
        });
    } catch (...) {
        remove_pending(request.id);
        throw;
    }
    return request;
}

// A request whose packet could not be written gets no answer: it ends with the write's error
// and leaves the list, so that a later answer of its code pairs with the request it belongs to.
void QUENTRAXDevice::fail_request(std::uint64_t id, std::exception_ptr error) {
    std::optional<std::promise<Packet>> promise;
    {
        std::lock_guard<std::mutex> lock(pending_mutex_);
        auto it = std::find_if(pending_.begin(), pending_.end(),
                               [id](const PendingRequest& r) { return r.id == id; });
        if (it == pending_.end()) {
            return;
        }
        promise.emplace(std::move(it->promise));
        pending_.erase(it);
    }
    promise->set_exception(std::move(error));
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::write(const Packet& packet) {
    return write_request(packet, wait_for_kind(packet)).future;
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::send_command(std::uint8_t code,
                                                                 std::vector<std::uint8_t> params) {
    Packet packet(8, 0);
    packet[0] = code;
    std::copy_n(params.begin(), std::min<std::size_t>(params.size(), 7), packet.begin() + 1);
    return write(packet);
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::queue_command(
    std::uint8_t code, std::vector<std::uint8_t> params) {
    Packet packet(8, 0);
    packet[0] = code;
    std::copy_n(params.begin(), std::min<std::size_t>(params.size(), 7), packet.begin() + 1);
    return write_request(packet, WriteWait::queued).future;
}

// Waits a bounded time; a request given up is withdrawn, so that its late answer cannot be
// taken for the answer of a later request with the same code.
QUENTRAXDevice::Packet QUENTRAXDevice::request_and_wait(std::uint8_t code) {
    Packet packet(8, 0);
    packet[0] = code;
    auto request = write_request(packet, WriteWait::briefly);
    if (request.future.wait_for(kAnswerTimeout) != std::future_status::ready &&
        remove_pending(request.id)) {
        throw std::runtime_error(kTimeoutError);
    }
    // Either ready, or taken by the reader (or close) just now and about to be.
    return request.future.get();
}

bool QUENTRAXDevice::remove_pending(std::uint64_t id) {
    std::lock_guard<std::mutex> lock(pending_mutex_);
    auto it = std::find_if(pending_.begin(), pending_.end(),
                           [id](const PendingRequest& r) { return r.id == id; });
    if (it == pending_.end()) {
        return false;
    }
    pending_.erase(it);
    return true;
}

void QUENTRAXDevice::fail_pending() {
    std::vector<PendingRequest> failed;
    {
        std::lock_guard<std::mutex> lock(pending_mutex_);
        failed.swap(pending_);
    }
    for (auto& request : failed) {
        request.promise.set_exception(interrupted_error());
    }
}

std::optional<std::promise<QUENTRAXDevice::Packet>> QUENTRAXDevice::get_match_primise(
    const Packet& report) {
    std::lock_guard<std::mutex> lock(pending_mutex_);
    auto it = std::find_if(pending_.begin(), pending_.end(), [&](const PendingRequest& r) {
        return r.command[0] == report[0] &&
               (r.command[0] != kOutputCW || r.command[1] == report[1]);
    });
    if (it == pending_.end()) {
        return std::nullopt;
    }
    std::promise<Packet> promise = std::move(it->promise);
    pending_.erase(it);
    return promise;
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::write_port_data(int port, std::uint8_t value) {
    require_open();
    if (port != 0 && port != 1) {
        throw std::out_of_range("The port number must be 0 or 1.");
    }
    return send_command(port == 0 ? kWritePort0 : kWritePort1, {value});
}

std::uint8_t QUENTRAXDevice::read_port_data(int port, bool cached) {
    require_open();
    if (cached) {
        return port == 0 ? last_status6_.load() : static_cast<std::uint8_t>(last_status7_ & 0x0F);
    }
    return request_and_wait(port == 0 ? kReadPort0 : kReadPort1)[1];
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::output_CW(
    const std::vector<std::uint8_t>& codes) {
    require_open();
    if (codes.empty() || codes.size() > 7) {
        throw std::length_error("You can send up to 7 characters at a time.");
    }
    return send_command(kOutputCW, codes);
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::output_FSK(
    const std::vector<std::uint8_t>& bytes) {
    require_open();
    if (bytes.empty() || bytes.size() > 7) {
        throw std::length_error("You can send up to 7 characters at a time.");
    }
    return send_command(kOutputFSK, bytes);
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::output_CW_using_str(
    const std::vector<wchar_t>& text) {
    require_open();
    std::vector<std::uint8_t> codes;
    codes.reserve(text.size());
    for (wchar_t ch : text) {
        const std::uint8_t code = to_native_code(ch);
        if (code == kNoCode) {
            throw std::runtime_error("The specified character cannot be converted to native code.");
        }
        codes.push_back(code);
    }
    return output_CW(codes);
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::output_CW_using_str(const std::wstring& text) {
    return output_CW_using_str(std::vector<wchar_t>(text.begin(), text.end()));
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::output_CW_using_str(
    const std::string& shift_jis_text) {
    return output_CW_using_str(shift_jis_to_wide(shift_jis_text));
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::set_keyer_params(const KeyerParams& params) {
    require_open();
    if (params.keySpeed < 2) {
        throw std::length_error("Specify the keySpeed as a numerical value from 2 to 255.");
    }
    require_version(20, "set_keyer_params");
    // The side tone is part of the block from firmware 23 on.
    const std::size_t count = version_ >= 23 ? 5 : 4;
    const std::uint8_t block[5] = {params.keySpeed, params.dotWeight, params.dashWeight,
                                   params.mode, params.sideTone};
    const std::vector<std::uint8_t> bytes(block, block + count);
    return send_command(kSetKeyerParams, bytes);
}

KeyerParams QUENTRAXDevice::get_keyer_params() {
    require_open();
    require_version(20, "get_keyer_params");
    const Packet a = request_and_wait(kGetKeyerParams);
    return KeyerParams{a[1], a[2], a[3], a[4], a[5], a[6], a[7]};
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::set_ptt_params(const PTTParams& params) {
    require_open();
    require_version(21, "set_ptt_params");
    const bool control = params.delay1 != 0 || params.delay2 != 0;
    const std::uint8_t delay2 = (params.delay2 == 0 && params.delay1 != 0) ? 1 : params.delay2;
    // Queued only: the parameters follow at once, and the caller waits for one write at most.
    queue_command(kSetPTTControl, {static_cast<std::uint8_t>(control ? 1 : 0)});
    return send_command(kSetPTTParams, {params.delay1, delay2});
}

PTTParams QUENTRAXDevice::get_ptt_params() {
    require_open();
    require_version(20, "get_ptt_params");
    const Packet a = request_and_wait(kGetPTTParams);
    return PTTParams{a[1], a[2], a[6], a[7]};
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::set_keyer_speed(std::uint8_t speed_code) {
    require_open();
    require_version(21, "set_keyer_speed");
    return send_command(kSetKeyerSpeed, {speed_code});
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::set_ptt_control(bool on) {
    require_open();
    require_version(21, "set_ptt_control");
    return send_command(kSetPTTControl, {static_cast<std::uint8_t>(on ? 1 : 0)});
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::set_paddle_reverse(bool reverse) {
    require_open();
    require_version(21, "set_paddle_reverse");
    return send_command(kSetPaddleReverse, {0, 0, static_cast<std::uint8_t>(reverse ? 1 : 0)});
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::set_status(std::uint8_t a, std::uint8_t b) {
    require_open();
    require_version(20, "set_status");
    return send_command(kSetStatus, {a, b});
}

DeviceStatus QUENTRAXDevice::get_status() {
    require_open();
    require_version(20, "get_status");
    const Packet a = request_and_wait(kGetStatus);
    DeviceStatus status;
    std::copy(a.begin() + 1, a.end(), status.bytes);
    return status;
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::reset_all() {
    require_open();
    require_version(20, "reset_all");
    return send_command(kResetAll);
}

GeneratorBufferContent QUENTRAXDevice::get_generator_buffer() {
    require_open();
    require_version(20, "get_generator_buffer");
    const Packet a = request_and_wait(kGetGeneratorBuffer);
    GeneratorBufferContent content;
    std::copy(a.begin() + 1, a.end(), content.bytes);
    return content;
}

// Sent twice; the answer to the first one is taken and dropped when it comes.
std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::clear_generator_buffer() {
    require_open();
    if (version_ != 0) {
        require_version(21, "clear_generator_buffer");
    }
    // Nothing queued before the clear may be keyed after it.
    device_->withdraw_output();
    queue_command(kClearGeneratorBuffer);
    return send_command(kClearGeneratorBuffer);
}

// Through the port-data write the lines are active low: a line that is on clears its bit.
std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::set_port_state(bool line0, bool line1) {
    require_open();
    if (version_ == 1 || port_write_) {
        std::uint8_t value = last_status6_;
        value = line0 ? (value & ~0x01) : (value | 0x01);
        value = line1 ? (value & ~0x02) : (value | 0x02);
        return write_port_data(0, value);
    }
    require_version(20, "set_port_state");
    return send_command(kSetPortState, {static_cast<std::uint8_t>(line0 ? 1 : 0),
                                        static_cast<std::uint8_t>(line1 ? 1 : 0)});
}

std::future<QUENTRAXDevice::Packet> QUENTRAXDevice::restart_generator() {
    require_open();
    require_version(23, "restart_generator");
    return send_command(kRestartGenerator);
}

// Every report passes here on the reader thread. A status report that changes nothing costs
// a comparison or two: no text is built unless its log line is written, no event is made that
// no listener takes, and nothing is sent to the window.
void QUENTRAXDevice::on_read(const Packet& report) {
    if (report.size() != 8 || report[0] == 0) {
        note_incomplete(report);
        return;
    }
    trace_report(report);
    const StatusChange change = decode_status(report);
    watch_for_freeze(change.new_size, change.old_size);
    if (auto promise = get_match_primise(report)) {
        promise->set_value(report);
    }
    raise_events(report, change);
}

void QUENTRAXDevice::note_incomplete(const Packet& report) {
    const long long now = wall_clock_ms();
    if (now - incomplete_warning_time.load() > kIncompleteWarningIntervalMs) {
        const int count = incomplete_packet_count.exchange(0) + 1;
        logger_->warn("不完全なパケットを受信: {} (過去5秒間で{}回)", hex_dump(report), count);
        incomplete_warning_time = now;
    } else {
        if (logger_->should_log(spdlog::level::trace)) {
            logger_->trace("不完全なパケットを受信: {}", hex_dump(report));
        }
        ++incomplete_packet_count;
    }
}

// A run of similar reports (only byte 6 differs) is traced one by one at trace level and summed
// up at debug level when a different one ends it.
void QUENTRAXDevice::trace_report(const Packet& report) {
    if (!is_similar_packet(report, last_packet_)) {
        if (similar_packet_count.load() > 0 && last_packet_.size() >= 8) {
            const int repeats = similar_packet_count.exchange(0);
            if (packet_logger_->should_log(spdlog::level::debug)) {
                packet_logger_->debug(
                    "\x1b[0;32m▌Read Packet \x1b[0m {} (類似するパケットを{}回受信)\x1b[0m",
                    similar_summary_text(hex_dump(last_packet_)), repeats);
            }
        }
        if (packet_logger_->should_log(spdlog::level::debug)) {
            packet_logger_->debug("\x1b[0;32m▌Read Packet \x1b[0m {}\x1b[0m", hex_dump(report));
        }
    } else {
        if (packet_logger_->should_log(spdlog::level::trace)) {
            packet_logger_->trace("\x1b[0;32m▌Read Packet \x1b[0m {}\x1b[0m", hex_dump(report));
        }
        ++similar_packet_count;
    }
    last_packet_ = report;
}

// Buffer size, paddle character, encoder and button from bytes 4 to 7; the last status bytes
// and the buffer size are updated.
QUENTRAXDevice::StatusChange QUENTRAXDevice::decode_status(const Packet& report) {
    StatusChange change;
    const std::uint8_t b6 = report[6];
    const std::uint8_t b7 = report[7];
    const std::uint8_t previous6 = last_status6_;
    const std::uint8_t previous7 = last_status7_;
    const bool clear_answer = report[0] == kClearGeneratorBuffer;
    if ((b7 >> 4) != 0) {
        change.new_size = clear_answer ? 0 : static_cast<std::uint8_t>(b7 >> 4);
        if ((b7 >> 4) == kPaddleInUse && report[4] != last_key_sequence_) {
            if (last_key_sequence_ != -1) {
                change.paddle_code = report[5];
            }
            last_key_sequence_ = report[4];
        }
    } else {
        change.new_size = clear_answer ? 0 : static_cast<std::uint8_t>(previous7 >> 4);
    }
    change.old_size = buffer_size_;
    buffer_size_ = change.new_size;

    const bool encoder_was_idle = (previous6 & 0x60) == 0x60;
    const bool bit5 = (b6 & 0x20) != 0;
    const bool bit6 = (b6 & 0x40) != 0;
    change.encoder_up = encoder_was_idle && !bit5 && bit6;
    change.encoder_down = encoder_was_idle && bit5 && !bit6;
    change.button = (b7 & 0x02) != 0 && (previous7 & 0x02) == 0;
    last_status6_ = b6;
    last_status7_ = b7;
    return change;
}

// A buffer size other than 0 and 15 that stays the same for 200 reports (2 s) means a stalled
// code generator: a generator-buffer query restarts it.
void QUENTRAXDevice::watch_for_freeze(std::uint8_t new_size, std::uint8_t old_size) {
    if (new_size != old_size) {
        unchanged_count_ = 0;
        return;
    }
    ++unchanged_count_;
    if (unchanged_count_ <= kFreezeReportCount || new_size == 0 || new_size == kPaddleInUse) {
        return;
    }
    if (freeze_recovery_) {
        logger_->warn("バッファサイズがしばらく変化せず(2000ミリ秒)。フリーズした可能性");
        logger_->info("パケットを投げて符号生成を再開させる");
        try {
            write_internal({kGetGeneratorBuffer, 0, 0, 0, 0, 0, 0, 0}, WriteWait::unobserved);
        } catch (const std::exception& e) {
            logger_->error(e.what());
        }
    }
    unchanged_count_ = 0;
}

void QUENTRAXDevice::raise_events(const Packet& report, const StatusChange& change) {
    if (has_listeners("read")) {
        emit_event({kRead.name, report, 0, {}});
    }
    if (change.new_size != change.old_size) {
        emit_event({kChangeBufferSize.name, {}, 0, {}});
    }
    const MessageWParam k = change.paddle_code.value_or(0);
    const auto lparam = static_cast<MessageLParam>(change.new_size);
    if (change.paddle_code) {
        emit_event({kInput.name, {}, *change.paddle_code, to_pattern(*change.paddle_code)});
        send_message(k, lparam);
    }
    if (change.encoder_up) {
        emit_event({"wpm_encorder_up", {}, 0, {}});
        send_message(0x10000 + k, lparam);
    }
    if (change.encoder_down) {
        emit_event({"wpm_encorder_down", {}, 0, {}});
        send_message(0x20000 + k, lparam);
    }
    if (change.button) {
        emit_event({"push_msg_button", {}, 0, {}});
        send_message(0x30000 + k, lparam);
    }
}

void QUENTRAXDevice::emit_event(const QUENTRAXDeviceEvent& event) {
    try {
        emit(event.name, event);
    } catch (const std::exception& e) {
        logger_->error("A listener of \"{}\" failed: {}", event.name, e.what());
    } catch (...) {
        logger_->error("A listener of \"{}\" failed", event.name);
    }
}

void QUENTRAXDevice::send_message(MessageWParam wparam, MessageLParam lparam) {
    WindowHandle window{};
    unsigned int message = 0;
    {
        std::lock_guard<std::mutex> lock(window_mutex_);
        window = callback_window_;
        message = callback_message_;
    }
    if (window) {
        send_callback_message(window, message, wparam, lparam);
    }
}

}  // namespace omvar::quentrax
