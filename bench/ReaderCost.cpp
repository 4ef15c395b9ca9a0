// CPU time of one device's reader thread while status reports arrive every 10 ms, beside the
// floor: a bare loop that only reads the reports of a second unit at the same rate, with the
// same read call and time-out, and does nothing with them. The difference is what the library
// adds per report. Then where that goes: a burst of identical status reports waiting when a
// unit is opened, read back to back, splits the cost of a report into the wake-up for it (the
// floor's share) and its handling (the library's). Usage: bench_reader_cost [seconds]
#include <hidapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "BenchDevice.h"
#include "BenchLogging.h"
#include "ThreadCpuClock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

using namespace std::chrono;

namespace {

// CPU time of the whole process, in seconds.
double process_cpu_seconds() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
#endif
}

// Reads every report of the unit until stopped, in its own thread.
class BareReader {
public:
    explicit BareReader(const omvar::sim::QuentraxUnit& unit)
        : handle_(hid_open_path(unit.path().c_str())), thread_([this] { run(); }) {}
    ~BareReader() {
        stop_ = true;
        thread_.join();
        if (handle_ != nullptr) {
            hid_close(handle_);
        }
    }
    double cpu_seconds() const { return ready_ ? clock_.seconds() : -1.0; }
    bool opened() const { return handle_ != nullptr; }
    long reports() const { return reports_; }

private:
    void run() {
        clock_.capture();
        ready_ = true;
        unsigned char buffer[64];
        while (!stop_ && handle_ != nullptr) {
            if (hid_read_timeout(handle_, buffer, sizeof buffer, 200) > 0) {
                ++reports_;
            }
        }
    }

    hid_device* handle_;
    omvar::sim::ThreadCpuClock clock_;
    std::atomic<bool> ready_{false};
    std::atomic<bool> stop_{false};
    std::atomic<long> reports_{0};
    std::thread thread_;  // last: it uses the members above
};

// Long enough for a thread clock that counts in 10 ms steps, short enough for the 1 s that
// opening waits for its answer.
constexpr int kBurst = 100000;

// A unit without status reports whose next opened handle finds kBurst identical idle status
// reports waiting: read back to back, without a wait among them.
std::shared_ptr<omvar::sim::QuentraxUnit> burst_unit() {
    auto unit =
        omvar::sim::QuentraxEmulator::attach(omvar::sim::UnitOptions::of(23, milliseconds(0)));
    for (int i = 0; i < kBurst; ++i) {
        unit->inject_on_open(
            {omvar::sim::QuentraxUnit::status_report_code, 0, 0, 0, 0, 0, 0x63, 0});
    }
    return unit;
}

// CPU per report, in microseconds, of the library's reader taking the burst: opening returns
// once the answer to its clear command has come, behind the burst.
double library_burst_cost() {
    const auto unit = burst_unit();
    for (auto& device : omvar::quentrax::QUENTRAXDevice::list_devices()) {
        if (device->get_path() == unit->path()) {
            double cpu = -1.0;
            try {
                device->open();
                cpu = unit->reader_cpu_seconds();
            } catch (const std::exception& e) {
                std::fprintf(stderr, "the burst was not read in time: %s\n", e.what());
            }
            device->close();
            omvar::sim::QuentraxEmulator::detach(unit);
            return cpu / kBurst * 1e6;
        }
    }
    return -1.0;
}

// The same for a bare loop that only reads the burst.
double bare_burst_cost() {
    const auto unit = burst_unit();
    double cpu = -1.0;
    std::thread([&] {
        omvar::sim::ThreadCpuClock clock;
        clock.capture();
        hid_device* handle = hid_open_path(unit->path().c_str());
        unsigned char buffer[64];
        for (int read = 0; read < kBurst && handle != nullptr;) {
            read += hid_read_timeout(handle, buffer, sizeof buffer, 200) > 0 ? 1 : 0;
        }
        cpu = clock.seconds();
        hid_close(handle);
    }).join();
    omvar::sim::QuentraxEmulator::detach(unit);
    return cpu / kBurst * 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds_to_run = argc > 1 ? std::atoi(argv[1]) : 30;
    set_up_bench_loggers();
    const BenchDevice bench = open_bench_device();
    if (!bench.device) {
        return 1;
    }
    const auto& unit = bench.unit;
    const auto floor_unit = omvar::sim::QuentraxEmulator::attach(
        omvar::sim::UnitOptions::of(23, std::chrono::milliseconds(10)));
    BareReader bare(*floor_unit);
    std::this_thread::sleep_for(milliseconds(500));

    const double reader_before = unit->reader_cpu_seconds();
    const double bare_before = bare.cpu_seconds();
    if (reader_before < 0 || bare_before < 0) {
        std::fprintf(stderr, "no CPU clock for the reading threads\n");
        return 1;
    }
    const double unit_before = unit->unit_cpu_seconds();
    const double floor_unit_before = floor_unit->unit_cpu_seconds();
    const double process_before = process_cpu_seconds();
    const auto stats_before = unit->stats();
    const long bare_reports_before = bare.reports();
    const auto t0 = steady_clock::now();
    std::this_thread::sleep_for(seconds(seconds_to_run));
    const double wall = duration<double>(steady_clock::now() - t0).count();
    const double reader = unit->reader_cpu_seconds() - reader_before;
    const double floor = bare.cpu_seconds() - bare_before;
    const long bare_reports = bare.reports() - bare_reports_before;
    const double emulated = unit->unit_cpu_seconds() - unit_before;
    const double emulated_floor = floor_unit->unit_cpu_seconds() - floor_unit_before;
    const double library = process_cpu_seconds() - process_before - floor - emulated -
                           emulated_floor;  // reader, writer and this idle main thread
    const auto stats_after = unit->stats();

    bench.device->close();
    const double handling = library_burst_cost();
    const double bare_handling = bare_burst_cost();

    const std::size_t reports = stats_after.reports - stats_before.reports;
    const double per_report = reports > 0 ? reader / static_cast<double>(reports) * 1e6 : 0.0;
    const double floor_per_report =
        bare_reports > 0 ? floor / static_cast<double>(bare_reports) * 1e6 : 0.0;
    std::printf("reader cost over %.1f s, status reports every 10 ms (%zu reports, %zu reads)\n",
                wall, reports, stats_after.reads - stats_before.reads);
    std::printf("  reader thread: %.3f s CPU = %.1f ms per minute = %.3f %% of one core\n", reader,
                reader / wall * 60000.0, reader / wall * 100.0);
    std::printf("  per report: %.1f us\n", per_report);
    std::printf(
        "  floor, a bare loop reading the reports of a unit at the same rate: %.3f %% of "
        "one core, %.1f us per report (%ld reports)\n",
        floor / wall * 100.0, floor_per_report, bare_reports);
    std::printf("  the reader above the floor: %.1f us per report\n",
                per_report - floor_per_report);
    std::printf(
        "  the library's threads (reader and writer; the process less the emulator's and "
        "the bare loop's threads): %.3f %% of one core\n",
        library / wall * 100.0);
    std::printf("  (the emulator's own report thread: %.3f %% of one core)\n",
                emulated / wall * 100.0);
    std::printf("a burst of %d identical status reports read back to back, CPU per report:\n",
                kBurst);
    std::printf(
        "  library's reader %.2f us, bare loop %.2f us: handling %.2f us, the rest of a\n"
        "  report's cost at the device's rate is waking up for it\n",
        handling, bare_handling, handling - bare_handling);
    return 0;
}
