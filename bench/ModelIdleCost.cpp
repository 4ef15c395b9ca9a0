// CPU of the whole process while a unit is attached and nothing is sent: first with the
// interface opened alone (the library's reader), then with the model started (its worker idle,
// tracker, task queues), each thread listed and the worker's named. The emulated unit's own
// report thread stands in for the hardware and would not run in the program; it is shown and
// taken out.
// Usage: bench_model_idle_cost [seconds]
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ModelBench.h"
#include "Percentile.h"

using namespace std::chrono;

namespace {

double fileTimeSeconds(const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime) /
           1e7;
}

double processSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return fileTimeSeconds(kernel) + fileTimeSeconds(user);
}

// CPU seconds of every thread of this process, by thread id.
std::map<DWORD, double> threadSeconds() {
    std::map<DWORD, double> out;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return out;
    }
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) {
            continue;
        }
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        if (thread == nullptr) {
            continue;
        }
        FILETIME created, exited, kernel, user;
        if (GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
            out[entry.th32ThreadID] = fileTimeSeconds(kernel) + fileTimeSeconds(user);
        }
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return out;
}

struct Span {
    double wall = 0;
    double process = 0;
    double reader = 0;
    double emulator = 0;
    std::map<DWORD, double> threads;
    DWORD worker = 0;  // the model's worker thread, when known
};

Span measure(const omvar::sim::QuentraxUnit& unit, int seconds_to_run) {
    const auto threadsBefore = threadSeconds();
    const double processBefore = processSeconds();
    const double readerBefore = unit.reader_cpu_seconds();
    const double emulatorBefore = unit.unit_cpu_seconds();
    const auto t0 = steady_clock::now();
    std::this_thread::sleep_for(seconds(seconds_to_run));
    Span span;
    span.wall = duration<double>(steady_clock::now() - t0).count();
    span.process = processSeconds() - processBefore;
    span.reader = unit.reader_cpu_seconds() - readerBefore;
    span.emulator = unit.unit_cpu_seconds() - emulatorBefore;
    for (const auto& [id, after] : threadSeconds()) {
        const auto before = threadsBefore.find(id);
        span.threads[id] = after - (before == threadsBefore.end() ? 0.0 : before->second);
    }
    return span;
}

double percent(double cpu, double wall) {
    return cpu / wall * 100.0;
}

void report(const char* title, const Span& span) {
    std::printf("%s (%.1f s)\n", title, span.wall);
    std::printf("  whole process:            %.3f %% of one core\n",
                percent(span.process, span.wall));
    std::printf("  emulated unit's thread:   %.3f %% (the hardware's, not the program's)\n",
                percent(span.emulator, span.wall));
    std::printf("  program's share:          %.3f %%\n",
                percent(span.process - span.emulator, span.wall));
    std::printf("  reader thread:            %.3f %%\n", percent(span.reader, span.wall));
    if (const auto worker = span.threads.find(span.worker); worker != span.threads.end()) {
        std::printf("  worker thread (%04lx):     %.3f %%\n",
                    static_cast<unsigned long>(worker->first), percent(worker->second, span.wall));
    }
    std::vector<std::pair<double, DWORD>> busiest;
    for (const auto& [id, cpu] : span.threads) {
        busiest.emplace_back(cpu, id);
    }
    std::sort(busiest.rbegin(), busiest.rend());
    std::printf("  threads by CPU:");
    for (const auto& [cpu, id] : busiest) {
        if (cpu > 0) {
            std::printf(" %04lx=%.3f%%", static_cast<unsigned long>(id), percent(cpu, span.wall));
        }
    }
    std::printf("\n");
    std::fflush(stdout);
}

// How soon the idle worker notices an unplug: the unit is unplugged at a different moment of
// the worker's idle wait each time, then plugged in again for the next trial.
void unplugWhileIdle(ModelBench& bench) {
    constexpr int kTrials = 10;
    std::vector<double> noticed;
    for (int trial = 0; trial < kTrials; ++trial) {
        std::this_thread::sleep_for(milliseconds(500 + 13 * trial));
        const auto t0 = steady_clock::now();
        omvar::sim::QuentraxEmulator::detach(bench.unit);
        if (!testing_support::wait_for([&] { return bench.model->nId() == -1; }, seconds(10))) {
            std::printf("unplug not noticed within 10 s\n");
            return;
        }
        noticed.push_back(duration<double, std::milli>(steady_clock::now() - t0).count());
        bench.unit =
            omvar::sim::QuentraxEmulator::attach(omvar::sim::UnitOptions::of(23, milliseconds(10)));
        if (!testing_support::wait_for([&] { return bench.model->nId() != -1; }, seconds(10))) {
            std::printf("the unit plugged in again was not taken\n");
            return;
        }
    }
    std::printf("unplug while idle noticed after: median %.1f ms, max %.1f ms (%d trials)\n",
                bench::percentile(noticed, 0.5), bench::percentile(noticed, 1.0), kTrials);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds_to_run = argc > 1 ? std::atoi(argv[1]) : 60;
    ModelBench bench;

    // The interface alone, as any host of the library has it.
    {
        auto unit =
            omvar::sim::QuentraxEmulator::attach(omvar::sim::UnitOptions::of(23, milliseconds(10)));
        const int id = quentraxOpen(0);
        if (id == -1) {
            std::fprintf(stderr, "no interface\n");
            return 1;
        }
        std::this_thread::sleep_for(seconds(2));
        report("interface open, no model", measure(*unit, seconds_to_run));
        quentraxClose(id);
        omvar::sim::QuentraxEmulator::detach(unit);
    }

    // The model started with the unit, nothing to send.
    if (!bench.start(bench.defaults())) {
        return 1;
    }
    // The worker is the thread that expands a late macro and says so: one short message with
    // the report macro names it, and it is keyed before the measurement starts.
    std::atomic<DWORD> worker{0};
    const DWORD self = GetCurrentThreadId();
    bench.model->add_listener("updateSendBuffer",
                              std::function<void(std::wstring)>([&worker, self](std::wstring) {
                                  if (GetCurrentThreadId() != self) {
                                      worker = GetCurrentThreadId();
                                  }
                              }));
    bench.model->addToSendBuffer(L"$R", true);
    if (!testing_support::wait_for(
            [&] {
                return bench.model->sendQueue().pendingCount() == 0 && quentraxIsTxBusy(0) == 0 &&
                       bench.unit->buffer_size() == 0;
            },
            seconds(30))) {
        std::fprintf(stderr, "the report macro was not keyed\n");
        return 1;
    }
    std::this_thread::sleep_for(seconds(2));
    DWORD gui = 0;
    bench.onGui([&] { gui = GetCurrentThreadId(); });
    std::printf("(main thread %04lx, GUI thread %04lx)\n", GetCurrentThreadId(),
                static_cast<unsigned long>(gui));
    Span idle = measure(*bench.unit, seconds_to_run);
    idle.worker = worker;
    report("model started, idle", idle);

    // The worker's own work per idle step, without the wait around it.
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const double before = fileTimeSeconds(kernel) + fileTimeSeconds(user);
    const auto t0 = steady_clock::now();
    long steps = 0;
    while (steady_clock::now() - t0 < seconds(2)) {  // long enough for a coarse CPU clock
        for (int i = 0; i < 1000; ++i, ++steps) {
            bench.model->workerStep();
        }
    }
    const double wall = duration<double>(steady_clock::now() - t0).count();
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const double cpu = fileTimeSeconds(kernel) + fileTimeSeconds(user) - before;
    std::printf(
        "one idle worker step without its wait: %.2f us CPU (%.2f us wall), "
        "%.3f %% of one core at 100 steps a second, %.3f %% at 20\n",
        cpu / steps * 1e6, wall / steps * 1e6, cpu / steps * 100 * 100, cpu / steps * 20 * 100);
    unplugWhileIdle(bench);
    bench.stop();
    return 0;
}
