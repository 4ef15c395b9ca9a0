// How long HAMLOG's GUI thread stays blocked per forwarded key message, and how many
// unforwarded messages per second pass its queue, with and without Snarel's hooks. HAMLOG is the
// stand-in; this program plays the receiver and answers every record at once.
// Run: xvfb-run -a cmake/wine-run.sh build/win64/wineprefix build/win64/bin/hook_bench.exe
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "HamlogControl.h"
#include "HookMessageRecord.h"
#include "MessageWindowThread.h"
#include "Snarel.h"
#include "StandInTiming.h"
#include "WaitFor.h"

namespace {

using bench::summarize;
using bench::Summary;
using omvar::sim::hamlog::HamlogControl;
namespace Snarel = omvar::Snarel;

// The three conditions alternate round by round, so a machine whose load drifts during the
// run weighs on all of them alike.
constexpr int kRounds = 5;
constexpr int kKeyMessagesPerRound = 200;  // 1000 in all per condition
constexpr int kFloodMessagesPerRound = 5000;

// The identifiers the tracker selects.
const std::vector<unsigned int> kTrackerFilter = {0x0000, 0x0100, 0x0101, 0x0104, 0x0105,
                                                  0x0102, 0x0005, 0x0003, 0x0006, 0x0007,
                                                  0x0008, 0x00F1, 0x00F3, 0x0047, 0x004D};

// The receiving end on a thread of its own: answers every record with 0 at once.
class Receiver {
public:
    HWND window() const { return thread_.window(); }
    long installed() const { return installed_.load(); }
    long messages() const { return messages_.load(); }

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Receiver*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_COPYDATA && self != nullptr) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (data->dwData == Snarel::GetMessageDataId()) {
                if (const auto record = Snarel::readHookRecord(*data)) {
                    if (record->kind == Snarel::HookRecordKind::hooksInstalled) {
                        ++self->installed_;
                    } else if (record->kind == Snarel::HookRecordKind::message) {
                        ++self->messages_;
                    }
                }
            }
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    std::atomic<long> installed_{0};
    std::atomic<long> messages_{0};
    // Last, so the counters exist while the window gets messages.
    testing_support::MessageWindowThread thread_{L"HookBenchReceiver", proc, this};
};

void appendKeyTimesMicroseconds(HamlogControl& hamlog, std::vector<double>& times) {
    bench::appendKeyTimesMicroseconds(hamlog, L"A:call", kKeyMessagesPerRound, times);
}

double floodMessagesPerSecond(HamlogControl& hamlog) {
    hamlog.command(L"bench flood A " + std::to_wstring(kFloodMessagesPerRound));
    std::wistringstream words(bench::awaitResult(hamlog));
    std::wstring kind;
    long long count = 0;
    long long ns = 0;
    words >> kind >> count >> ns;
    if (kind != L"flood" || ns <= 0) {
        throw std::runtime_error("unexpected flood timing result");
    }
    return static_cast<double>(count) * 1e9 / static_cast<double>(ns);
}

int run() {
    std::printf("Hook benchmark: Snarel hooks on the HAMLOG stand-in's GUI thread\n");
    std::printf("Measured under: %s\n", bench::platform().c_str());
    std::printf("Receiver answers every record with 0 at once, on a thread of its own.\n\n");

    Receiver receiver;
    HamlogControl hamlog;
    hamlog.focus(L"A:call");
    Snarel::SetMessageFilter(kTrackerFilter);

    std::vector<double> plainKeys;
    std::vector<double> hookedKeys;
    std::vector<double> plainFlood;
    std::vector<double> passThroughFlood;
    std::vector<double> hookedFlood;
    long forwarded = 0;
    for (int round = 0; round < kRounds; ++round) {
        appendKeyTimesMicroseconds(hamlog, plainKeys);
        plainFlood.push_back(floodMessagesPerSecond(hamlog));
        hamlog.command(L"bench passhook on");
        passThroughFlood.push_back(floodMessagesPerSecond(hamlog));
        hamlog.command(L"bench passhook off");

        const long installed = receiver.installed();
        Snarel::SetNotifyWindow(receiver.window());
        Snarel::StartHook();
        if (!testing_support::wait_for([&] { return receiver.installed() != installed; },
                                       std::chrono::seconds(20))) {
            throw std::runtime_error("the hooks were not installed");
        }
        const long before = receiver.messages();
        appendKeyTimesMicroseconds(hamlog, hookedKeys);
        forwarded += receiver.messages() - before;
        hookedFlood.push_back(floodMessagesPerSecond(hamlog));
        if (!Snarel::StopHook()) {
            throw std::runtime_error("StopHook failed");
        }
    }

    const Summary plain = summarize(plainKeys);
    const Summary hooked = summarize(hookedKeys);
    std::printf(
        "Time the GUI thread spends getting one queued key message (%zu per condition, "
        "F5 down/up, %d rounds):\n",
        plainKeys.size(), kRounds);
    bench::printSummary("without hooks", plain);
    bench::printSummary("hooked, forwarded", hooked);
    std::printf(
        "  blocked per forwarded key message: median %.1f us (%.1f us above unhooked), "
        "p99 %.1f us\n",
        hooked.median, hooked.median - plain.median, hooked.p99);
    std::printf("  records received during the hooked runs: %ld of %zu key messages\n\n", forwarded,
                hookedKeys.size());

    std::printf("Throughput of unforwarded messages (0x0523, %d per run, %d runs each):\n",
                kFloodMessagesPerRound, kRounds);
    const Summary plainRate = summarize(plainFlood);
    const auto flood = [&](const char* label, const std::vector<double>& rates) {
        const Summary rate = summarize(rates);
        std::printf("  %-36s median %8.0f/s (%6.1f us each, %5.1f%% of unhooked)  best %8.0f/s\n",
                    label, rate.median, 1e6 / rate.median, 100.0 * rate.median / plainRate.median,
                    rate.max);
    };
    flood("without hooks", plainFlood);
    flood("pass-through hook (calls next only)", passThroughFlood);
    flood("Snarel hooks (filter says no)", hookedFlood);
    return forwarded == static_cast<long>(hookedKeys.size()) ? 0 : 1;
}

}  // namespace

int main() {
    try {
        return run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "hook_bench: %s\n", error.what());
        return 1;
    }
}
