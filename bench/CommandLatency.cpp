// Latency of one CW command: from the call of output_CW until the packet reaches the
// interface, while status reports stream every 10 ms. Usage: bench_command_latency [count]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "BenchDevice.h"
#include "BenchLogging.h"
#include "Percentile.h"

using bench::percentile;

using namespace std::chrono;

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 500;
    auto timeouts = set_up_bench_loggers();
    const BenchDevice bench = open_bench_device();
    if (!bench.device) {
        return 1;
    }
    const auto& unit = bench.unit;
    auto& device = *bench.device;
    device.set_keyer_speed(2).get();  // short codes, so that the buffer keeps room
    // Let the reader settle into the report rhythm first.
    std::this_thread::sleep_for(milliseconds(300));

    std::mt19937 random(12345);
    std::uniform_int_distribution<int> pause_us(0, 20000);
    std::vector<double> to_wire;
    std::vector<double> call;
    const auto stats_before = unit->stats();
    const int timeouts_before = timeouts->count;
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_for(microseconds(pause_us(random)));
        const std::size_t packets_before = unit->packets().size();
        const auto t0 = steady_clock::now();
        device.output_CW({0x40});
        const auto t1 = steady_clock::now();
        const auto packets = unit->packets();
        if (packets.size() <= packets_before) {
            std::fprintf(stderr, "packet %d did not arrive\n", i);
            return 1;
        }
        to_wire.push_back(duration<double, std::milli>(packets.back().time - t0).count());
        call.push_back(duration<double, std::milli>(t1 - t0).count());
    }
    const auto stats_after = unit->stats();
    device.close();

    std::printf("command latency, %d output_CW calls, status reports every 10 ms\n", count);
    std::printf("  call to packet at the interface: median %.2f ms, p99 %.2f ms, max %.2f ms\n",
                percentile(to_wire, 0.5), percentile(to_wire, 0.99),
                *std::max_element(to_wire.begin(), to_wire.end()));
    std::printf("  output_CW call duration:         median %.2f ms, p99 %.2f ms\n",
                percentile(call, 0.5), percentile(call, 0.99));
    std::printf("  reads without a report (time-outs): %zu of %zu reads\n",
                stats_after.empty_reads - stats_before.empty_reads,
                stats_after.reads - stats_before.reads);
    std::printf("  \"Read Timeout\" warnings: %d\n", timeouts->count - timeouts_before);
    return 0;
}
