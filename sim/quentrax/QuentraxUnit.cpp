#include "QuentraxUnit.h"

#include <cerrno>

#include "UnitModel.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace omvar::sim {

int platform_error_code(HidFailure failure) {
#ifdef _WIN32
    switch (failure) {
        case HidFailure::timeout:
            return ERROR_IO_PENDING;  // 997
        case HidFailure::disconnected:
            return ERROR_DEVICE_NOT_CONNECTED;  // 1167
        case HidFailure::not_functioning:
            return ERROR_GEN_FAILURE;  // 31
    }
    return ERROR_GEN_FAILURE;
#else
    switch (failure) {
        case HidFailure::timeout:
            return ETIMEDOUT;
        case HidFailure::disconnected:
            return ENODEV;
        case HidFailure::not_functioning:
            return EIO;
    }
    return EIO;
#endif
}

std::vector<std::uint8_t> WrittenPacket::data() const {
    if (report.size() < 2) {
        return {};
    }
    return std::vector<std::uint8_t>(report.begin() + 1, report.end());
}

QuentraxUnit::QuentraxUnit(std::shared_ptr<UnitModel> model) : model_(std::move(model)) {}

const std::string& QuentraxUnit::path() const {
    return model_->path();
}
int QuentraxUnit::firmware() const {
    return model_->firmware();
}
std::wstring QuentraxUnit::product_string() const {
    return model_->product();
}
bool QuentraxUnit::attached() const {
    return model_->attached();
}
int QuentraxUnit::open_handles() const {
    return model_->open_handles();
}

void QuentraxUnit::set_report_period(std::chrono::milliseconds period) {
    model_->set_report_period(period);
}
void QuentraxUnit::turn_encoder(bool up, int detents) {
    model_->turn_encoder(up, detents);
}
void QuentraxUnit::press_message_button() {
    model_->press_message_button();
}
void QuentraxUnit::set_message_button(bool down) {
    model_->set_message_button(down);
}
void QuentraxUnit::key_paddle(std::uint8_t code) {
    model_->key_paddle(code);
}

void QuentraxUnit::fail_writes(int code, int attempts, std::chrono::milliseconds delay) {
    model_->fail_writes(code, attempts, delay);
}
void QuentraxUnit::stall_writes(std::chrono::milliseconds span, int completing_late) {
    model_->stall_writes(span, completing_late);
}
void QuentraxUnit::fail_reads(int code, int attempts) {
    model_->fail_reads(code, attempts);
}
void QuentraxUnit::fail_reads_for(int code, std::chrono::milliseconds span) {
    model_->fail_reads_for(code, span);
}
void QuentraxUnit::withhold_reports(std::chrono::milliseconds span) {
    model_->withhold_reports(span);
}
void QuentraxUnit::drop_answers(int count) {
    model_->drop_answers(count);
}
void QuentraxUnit::inject_report(std::vector<std::uint8_t> bytes) {
    model_->inject_report(std::move(bytes));
}
void QuentraxUnit::inject_on_open(std::vector<std::uint8_t> bytes) {
    model_->inject_on_open(std::move(bytes));
}
void QuentraxUnit::stall_generator(bool stalled, bool kick_restarts) {
    model_->stall_generator(stalled, kick_restarts);
}

std::uint8_t QuentraxUnit::buffer_size() const {
    return model_->buffer_size();
}
bool QuentraxUnit::paddle_mode() const {
    return model_->paddle_mode();
}
bool QuentraxUnit::generator_stalled() const {
    return model_->generator_stalled();
}
KeyerState QuentraxUnit::keyer() const {
    return model_->keyer();
}
std::uint8_t QuentraxUnit::port0() const {
    return model_->port0();
}
std::vector<WrittenPacket> QuentraxUnit::packets() const {
    return model_->packets();
}

std::vector<std::vector<std::uint8_t>> QuentraxUnit::commands() const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto& packet : model_->packets()) {
        if (!packet.failed) {
            out.push_back(packet.data());
        }
    }
    return out;
}

void QuentraxUnit::clear_packets() {
    model_->clear_packets();
}
std::vector<KeyEdge> QuentraxUnit::key_timeline() const {
    return model_->key_timeline();
}
std::vector<KeyEdge> QuentraxUnit::key_timeline_from(std::size_t first) const {
    return model_->key_timeline_from(first);
}

void QuentraxUnit::clear_key_timeline() {
    model_->clear_key_timeline();
}
std::vector<KeyEdge> QuentraxUnit::take_key_timeline() {
    return model_->take_key_timeline();
}
UnitStats QuentraxUnit::stats() const {
    return model_->stats();
}
std::vector<ReadCall> QuentraxUnit::reads() const {
    return model_->reads();
}

bool QuentraxUnit::wait_for_packets(std::size_t count, std::chrono::milliseconds bound) const {
    return model_->wait_for_packets(count, bound);
}
bool QuentraxUnit::wait_for_status_reports(std::size_t count,
                                           std::chrono::milliseconds bound) const {
    return model_->wait_for_status_reports(count, bound);
}
bool QuentraxUnit::wait_until_idle(std::chrono::milliseconds bound) const {
    return model_->wait_until_idle(bound);
}
bool QuentraxUnit::wait_for_open(bool open, std::chrono::milliseconds bound) const {
    return model_->wait_for_open(open, bound);
}

double QuentraxUnit::reader_cpu_seconds() const {
    return model_->reader_cpu_seconds();
}
double QuentraxUnit::unit_cpu_seconds() const {
    return model_->unit_cpu_seconds();
}

}  // namespace omvar::sim
