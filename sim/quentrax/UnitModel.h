#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CodeGenerator.h"
#include "QuentraxUnit.h"
#include "ThreadCpuClock.h"

namespace omvar::sim {

// The state and behaviour of one emulated unit, shared by its control handle (QuentraxUnit)
// and the hid_device handles opened on it. One mutex guards everything; the unit's own thread
// produces the status reports and plays the generator.
class UnitModel {
public:
    struct IoResult {
        int bytes = 0;                       // >= 0 on success
        int error = 0;                       // platform error code when bytes is -1
        bool disconnected = false;           // the unit is unplugged
        bool first_failure = true;           // first failed read of this handle since unplugging
        std::chrono::milliseconds delay{0};  // to spend before reporting a write failure
    };

    UnitModel(UnitOptions options, std::string path, std::wstring serial);
    ~UnitModel();
    UnitModel(const UnitModel&) = delete;
    UnitModel& operator=(const UnitModel&) = delete;

    const std::string& path() const { return path_; }
    int firmware() const { return options_.firmware; }
    const std::wstring& product() const { return product_; }
    const std::wstring& manufacturer() const { return options_.manufacturer; }
    const std::wstring& serial() const { return serial_; }

    // hidapi side.
    int open_handle();
    void close_handle(int handle);
    IoResult write(int handle, const unsigned char* data, std::size_t length);
    IoResult read(int handle, unsigned char* data, std::size_t length, int milliseconds);
    void unplug();
    bool attached() const;
    int open_handles() const;

    // Control side (see QuentraxUnit).
    void set_report_period(std::chrono::milliseconds period);
    void turn_encoder(bool up, int detents);
    void press_message_button();
    void set_message_button(bool down);
    void key_paddle(std::uint8_t code);
    void fail_writes(int code, int attempts, std::chrono::milliseconds delay);
    void stall_writes(std::chrono::milliseconds span, int completing_late);
    void fail_reads(int code, int attempts);
    void fail_reads_for(int code, std::chrono::milliseconds span);
    void withhold_reports(std::chrono::milliseconds span);
    void drop_answers(int count);
    void inject_report(std::vector<std::uint8_t> bytes);
    void inject_on_open(std::vector<std::uint8_t> bytes);
    void stall_generator(bool stalled, bool kick_restarts);

    std::uint8_t buffer_size() const;
    bool paddle_mode() const;
    bool generator_stalled() const;
    KeyerState keyer() const;
    std::uint8_t port0() const;
    std::vector<WrittenPacket> packets() const;
    void clear_packets();
    std::vector<KeyEdge> key_timeline() const;
    std::vector<KeyEdge> key_timeline_from(std::size_t first) const;
    void clear_key_timeline();
    std::vector<KeyEdge> take_key_timeline();
    UnitStats stats() const;
    std::vector<ReadCall> reads() const;

    bool wait_for_packets(std::size_t count, std::chrono::milliseconds bound) const;
    bool wait_for_status_reports(std::size_t count, std::chrono::milliseconds bound) const;
    bool wait_until_idle(std::chrono::milliseconds bound) const;
    bool wait_for_open(bool open, std::chrono::milliseconds bound) const;

    double reader_cpu_seconds() const;
    double unit_cpu_seconds() const;

private:
    struct Handle {
        std::deque<std::vector<std::uint8_t>> input;
        bool failed_since_unplug = false;
    };
    static constexpr std::size_t input_buffers = 64;  // what hidapi asks the OS to keep
    static constexpr std::size_t kept_reads = 4096;

    void run();
    // False when the write was cancelled at the end of its wait (see stall_writes).
    bool wait_out_stall(std::unique_lock<std::mutex>& lock);
    IoResult read_locked(std::unique_lock<std::mutex>& lock, int handle, unsigned char* data,
                         std::size_t length, int milliseconds);
    void advance(EmuClock::time_point now);
    void execute(const std::array<std::uint8_t, 8>& packet, EmuClock::time_point now);
    std::uint8_t byte6() const;
    std::uint8_t byte7() const;
    std::vector<std::uint8_t> status_report() const;
    void deliver(std::vector<std::uint8_t> report, EmuClock::time_point now);
    void note_reader();

    const UnitOptions options_;
    const std::string path_;
    const std::wstring product_;
    const std::wstring serial_;

    mutable std::mutex mutex_;
    std::condition_variable input_cv_;             // input queued, unplugged
    std::condition_variable tick_cv_;              // report period changed, stopping
    std::condition_variable out_cv_;               // stall changed, unplugged, stopping
    mutable std::condition_variable observed_cv_;  // anything the wait helpers look at

    bool attached_ = true;
    bool stopping_ = false;
    std::chrono::milliseconds period_;
    std::map<int, Handle> handles_;
    int next_handle_ = 1;

    KeyerState keyer_;
    CodeGenerator generator_;
    bool kick_restarts_ = true;
    std::uint8_t port0_out_ = 0xFF;
    std::uint8_t port1_out_ = 0x00;
    std::uint8_t encoder_ = 0x60;
    std::deque<std::uint8_t> encoder_steps_;
    int button_reports_ = 0;
    bool button_held_ = false;
    bool paddle_mode_ = false;
    std::uint8_t paddle_sequence_ = 0;
    std::uint8_t paddle_code_ = 0;

    int write_failures_ = 0;
    int write_failure_code_ = 0;
    std::chrono::milliseconds write_failure_delay_{0};
    EmuClock::time_point writes_stalled_until_{};
    int late_completions_ = 0;
    int read_failures_ = 0;
    int read_failure_code_ = 0;
    EmuClock::time_point reads_failing_until_{};
    EmuClock::time_point withheld_until_{};
    int answers_to_drop_ = 0;

    std::vector<WrittenPacket> packets_;
    std::deque<ReadCall> reads_;
    std::deque<std::vector<std::uint8_t>> on_open_;
    UnitStats stats_;
    std::thread::id reader_id_;
    ThreadCpuClock reader_clock_;
    ThreadCpuClock unit_clock_;

    std::thread thread_;  // last: started once everything above is in place
};

}  // namespace omvar::sim
