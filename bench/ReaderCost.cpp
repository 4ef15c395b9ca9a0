// CPU time of one device's reader thread while status reports arrive every 10 ms.
// Usage: bench_reader_cost [seconds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "BenchDevice.h"
#include "BenchLogging.h"

using namespace std::chrono;

int main(int argc, char** argv) {
    const int seconds_to_run = argc > 1 ? std::atoi(argv[1]) : 30;
    set_up_bench_loggers();
    const BenchDevice bench = open_bench_device();
    if (!bench.device) {
        return 1;
    }
    const auto& unit = bench.unit;
    std::this_thread::sleep_for(milliseconds(500));

    const double reader_before = unit->reader_cpu_seconds();
    if (reader_before < 0) {
        std::fprintf(stderr, "no CPU clock for the reader thread\n");
        return 1;
    }
    const double unit_before = unit->unit_cpu_seconds();
    const auto stats_before = unit->stats();
    const auto t0 = steady_clock::now();
    std::this_thread::sleep_for(seconds(seconds_to_run));
    const double wall = duration<double>(steady_clock::now() - t0).count();
    const double reader = unit->reader_cpu_seconds() - reader_before;
    const double emulated = unit->unit_cpu_seconds() - unit_before;
    const auto stats_after = unit->stats();
    bench.device->close();

    const std::size_t reports = stats_after.reports - stats_before.reports;
    std::printf("reader cost over %.1f s, status reports every 10 ms (%zu reports, %zu reads)\n",
                wall, reports, stats_after.reads - stats_before.reads);
    std::printf("  reader thread: %.3f s CPU = %.1f ms per minute = %.3f %% of one core\n", reader,
                reader / wall * 60000.0, reader / wall * 100.0);
    std::printf("  per report: %.1f us\n", reports > 0 ? reader / reports * 1e6 : 0.0);
    std::printf("  (the emulator's own report thread: %.3f %% of one core)\n",
                emulated / wall * 100.0);
    return 0;
}
