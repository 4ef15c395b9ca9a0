#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace omvar::sim {

using EmuClock = std::chrono::steady_clock;

// Classes of HID failure, turned into the platform error number hidapi would report.
enum class HidFailure {
    timeout,          // Windows 997 (the write time-out of hidapi), natively ETIMEDOUT
    disconnected,     // Windows 1167, natively ENODEV
    not_functioning,  // Windows 31, natively EIO
};

// Win32 error number on Windows, errno value natively.
int platform_error_code(HidFailure failure);

struct UnitOptions {
    int firmware = 23;     // goes into the product string as the digits at positions 13 and 15
    std::wstring product;  // replaces the built product string "QUENTRAX Ver.X.Y" when not empty
    std::wstring manufacturer = L"QUENTRAX";
    std::wstring serial;                          // "QX0001" style when empty
    std::string path;                             // unique emulated path when empty
    std::chrono::milliseconds report_period{10};  // 0: no status reports (answers only)

    static UnitOptions of(int firmware,
                          std::chrono::milliseconds report_period = std::chrono::milliseconds(10)) {
        UnitOptions options;
        options.firmware = firmware;
        options.report_period = report_period;
        return options;
    }
};

// One packet as hid_write received it.
struct WrittenPacket {
    EmuClock::time_point time;
    std::vector<std::uint8_t> report;  // every byte handed to hid_write, report id first
    bool failed = false;               // a scripted write failure refused it (not executed)

    // The 8 command bytes (the report without its leading report id); empty when shorter.
    std::vector<std::uint8_t> data() const;
    std::uint8_t code() const { return report.size() > 1 ? report[1] : 0; }
};

// One edge of the keying line driven by the code generator.
struct KeyEdge {
    EmuClock::time_point time;  // computed time of the edge (the timing model, not a measurement)
    bool down;
    std::uint8_t code;  // native code being played
};

// One call of hid_read_timeout (or hid_read) on the unit.
struct ReadCall {
    EmuClock::time_point start;
    int timeout_ms;  // as the caller asked (-1: blocking)
    std::chrono::microseconds duration;
    int result;  // bytes, 0 on time-out, -1 on failure
};

struct KeyerState {
    std::uint8_t speed = 30;      // dot length in units of 2 ms
    std::uint8_t dot_weight = 2;  // half units: 2 is a standard dot
    std::uint8_t dash_weight = 6;
    std::uint8_t mode = 2;
    std::uint8_t side_tone = 7;
    std::uint8_t ptt_delay1 = 25;
    std::uint8_t ptt_delay2 = 200;
    bool ptt_control = true;
    bool paddle_reverse = false;
    std::uint8_t status_a = 0;  // last set_status parameters, answered by get_status
    std::uint8_t status_b = 0;
};

struct UnitStats {
    std::size_t reads = 0;        // hid_read_timeout / hid_read calls
    std::size_t empty_reads = 0;  // calls that returned 0 bytes (time-out)
    std::size_t failed_reads = 0;
    std::size_t reports = 0;         // input reports handed out (status reports and answers)
    std::size_t status_reports = 0;  // status reports produced by the unit
    std::size_t writes = 0;
    std::size_t failed_writes = 0;
    std::size_t overflowed_codes = 0;  // CW codes dropped because the 8-code buffer was full
};

class UnitModel;

// Handle of one emulated QUENTRAX. Every method is thread-safe: the library's reader thread
// talks to the unit through hidapi while tests steer it through this handle.
//
// Device behaviour in brief: every written 8-byte packet is answered with a report echoing its
// code (a 0x05 answer repeats the first code in byte 1); a status report leaves every
// report_period with byte 0 = status_report_code. Byte 4/5 carry the paddle sequence and the
// last paddle code, byte 6 the port 0 lines (bit 0 key, bit 1 PTT, active low; bits 5 and 6
// the speed encoder, both 1 at rest), byte 7 the buffer size in its upper four bits (15 after
// paddle use) and port 1 in its lower four (bit 1 the message button).
class QuentraxUnit {
public:
    static constexpr std::uint8_t status_report_code = 0xFF;

    explicit QuentraxUnit(std::shared_ptr<UnitModel> model);

    const std::string& path() const;
    int firmware() const;
    std::wstring product_string() const;
    bool attached() const;  // false after QuentraxEmulator::detach (unplugged)
    int open_handles() const;

    // Device input.
    void set_report_period(std::chrono::milliseconds period);  // 0 stops status reports
    // One detent per step, each a full quadrature cycle over four status reports.
    void turn_encoder(bool up, int detents = 1);
    // Held down for two status reports, then released.
    void press_message_button();
    void set_message_button(bool down);
    // The operator keys one character on the paddle: the generator buffer is dropped, the
    // unit reports size 15 with a new sequence number in byte 4 and the code in byte 5, until
    // the next 0x05, 0x34 or 0x32 packet.
    void key_paddle(std::uint8_t code);

    // Scripted faults.
    // The next `attempts` writes fail with this platform error code (see platform_error_code)
    // after `delay`; the packets are logged as failed and not executed.
    void fail_writes(int code, int attempts,
                     std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    // A stalled OUT endpoint: for `span` from now the unit takes no packet. Each write waits as
    // hidapi does (write_timeout); when the stall ends meanwhile, the packet goes in then and
    // the write succeeds. When the wait runs out first, the HID layer cancels the write: it
    // fails with the time-out and is not executed, except for the first `completing_late`
    // ones, which complete just as they are cancelled: executed, and reported written.
    static constexpr std::chrono::milliseconds write_timeout{1000};
    void stall_writes(std::chrono::milliseconds span, int completing_late = 0);
    // The next `attempts` reads fail with this platform error code.
    void fail_reads(int code, int attempts);
    // Every read fails with this platform error code for `span` from now (a unit that keeps
    // failing, then recovers).
    void fail_reads_for(int code, std::chrono::milliseconds span);
    // No input reports for `span` (answers and status reports are lost): reads time out.
    void withhold_reports(std::chrono::milliseconds span);
    // The next `count` packets get no answer.
    void drop_answers(int count);
    // Delivered as one read before anything else, exactly as given (incomplete packets etc).
    void inject_report(std::vector<std::uint8_t> bytes);
    // Waiting in the input buffer of the next handle opened, ahead of everything (reports the
    // system kept from before the open).
    void inject_on_open(std::vector<std::uint8_t> bytes);
    // A stalled generator keeps its codes and keys nothing; a 0x33 or 0x36 packet restarts it
    // when `kick_restarts` is set.
    void stall_generator(bool stalled, bool kick_restarts = true);

    // Observed state.
    std::uint8_t buffer_size() const;  // codes held, the one playing included
    bool paddle_mode() const;
    bool generator_stalled() const;
    KeyerState keyer() const;
    std::uint8_t port0() const;  // byte 6 as the next report carries it
    std::vector<WrittenPacket> packets() const;
    // Command bytes of every executed packet (failed attempts left out), oldest first.
    std::vector<std::vector<std::uint8_t>> commands() const;
    void clear_packets();
    std::vector<KeyEdge> key_timeline() const;
    // The edges from index `first` on (indices count from the last clear_key_timeline): an
    // observer that follows the keying takes only what is new.
    std::vector<KeyEdge> key_timeline_from(std::size_t first) const;
    void clear_key_timeline();
    // The edges since the last take or clear, and forgets them: a follower that keeps the
    // timeline elsewhere (a file, a sound) leaves nothing behind in a session of hours.
    std::vector<KeyEdge> take_key_timeline();
    UnitStats stats() const;
    // The last 4096 reads, oldest first.
    std::vector<ReadCall> reads() const;

    // Waits (bounded, true when the condition holds): until `count` packets are recorded, or
    // until `count` more status reports have gone out.
    bool wait_for_packets(std::size_t count,
                          std::chrono::milliseconds bound = std::chrono::seconds(10)) const;
    bool wait_for_status_reports(std::size_t count,
                                 std::chrono::milliseconds bound = std::chrono::seconds(10)) const;
    bool wait_until_idle(std::chrono::milliseconds bound = std::chrono::seconds(30)) const;
    bool wait_for_open(bool open, std::chrono::milliseconds bound = std::chrono::seconds(10)) const;

    // CPU time used so far by the thread that last read from this unit (the reader thread),
    // in seconds; negative when unknown.
    double reader_cpu_seconds() const;
    // The same for the unit's own report thread.
    double unit_cpu_seconds() const;

    std::shared_ptr<UnitModel> model() const { return model_; }

private:
    std::shared_ptr<UnitModel> model_;
};

}  // namespace omvar::sim
