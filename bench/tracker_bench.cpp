// What the HAMLOG tracker costs HAMLOG's GUI thread: the time that thread stays blocked per key
// message through the whole path (stand-in -> Snarel -> tracker -> answer), beside the same
// stand-in without hooks and with the hooks answered at once by a plain receiver; and the time
// of the tracker's own handling of one record (onCopyData). The keys are F5 down and up, which
// the tracker takes from HAMLOG and forwards, and End in the call field, which HAMLOG gets and
// the tracker reads the field back for.
// Run: xvfb-run -a cmake/wine-run.sh build/win64/wineprefix build/win64/bin/tracker_bench.exe
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include "BenchLogging.h"
#include "HAMLOGTracker.h"
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
using omvar::Vetrin::HAMLOGTracker;
namespace Snarel = omvar::Snarel;

constexpr int kRounds = 5;
constexpr int kKeyMessagesPerRound = 200;  // 1000 per condition and case

// The tracker's GUI thread, with two more receivers on it: one that hands every record to the
// tracker and times its handling, and one that answers every record with 0 at once (the hook
// path alone). Which one gets the records is the hook library's notify window.
class Receivers {
public:
    explicit Receivers(HAMLOGTracker& tracker) : tracker_(tracker) {
        std::promise<void> started;
        std::future<void> ready = started.get_future();
        thread_ = std::thread([this, started = std::move(started)]() mutable {
            MSG msg;
            PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
            threadId_ = GetCurrentThreadId();
            try {
                tracker_.start();
                timed_ = makeWindow(L"TrackerBenchTimed", timedProc);
                plain_ = makeWindow(L"TrackerBenchPlain", plainProc);
            } catch (...) {
                started.set_exception(std::current_exception());
                return;
            }
            started.set_value();
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                DispatchMessageW(&msg);
            }
            DestroyWindow(timed_);
            DestroyWindow(plain_);
            tracker_.destroyHiddenWindow();
        });
        ready.get();
    }

    ~Receivers() {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }

    HWND timed() const { return timed_; }
    HWND plain() const { return plain_; }
    long installs() const { return installs_.load(); }

    // Handling times of message records, in microseconds, since the last call.
    std::vector<double> takeHandlingTimes() {
        std::lock_guard lock(mutex_);
        return std::exchange(handling_, {});
    }

private:
    HWND makeWindow(const wchar_t* className, WNDPROC procedure) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = className;
        RegisterClassExW(&wc);
        HWND window = CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      wc.hInstance, nullptr);
        if (window == nullptr) {
            throw std::runtime_error("CreateWindowExW failed");
        }
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        return window;
    }

    static Receivers* self(HWND window) {
        return reinterpret_cast<Receivers*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }

    static LRESULT CALLBACK timedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        Receivers* receivers = self(window);
        if (message != WM_COPYDATA || receivers == nullptr) {
            return DefWindowProcW(window, message, wParam, lParam);
        }
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        const auto record = Snarel::readHookRecord(*data);
        const auto start = std::chrono::steady_clock::now();
        const int answer = receivers->tracker_.onCopyData(reinterpret_cast<HWND>(wParam), data);
        const double us =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count();
        if (record && record->kind == Snarel::HookRecordKind::message) {
            std::lock_guard lock(receivers->mutex_);
            receivers->handling_.push_back(us);
        } else if (record && record->kind == Snarel::HookRecordKind::hooksInstalled) {
            ++receivers->installs_;
        }
        return answer;
    }

    static LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COPYDATA) {
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HAMLOGTracker& tracker_;
    std::thread thread_;
    DWORD threadId_ = 0;
    HWND timed_ = nullptr;
    HWND plain_ = nullptr;
    std::atomic<long> installs_{0};
    std::mutex mutex_;
    std::vector<double> handling_;
};

LRESULT CALLBACK mainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN) {
        auto* forwarded =
            reinterpret_cast<std::atomic<long>*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (forwarded != nullptr) {
            ++*forwarded;
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int run() {
    std::printf("Tracker benchmark: the HAMLOG tracker behind Snarel's hooks on the stand-in\n");
    std::printf("Measured under: %s\n\n", bench::platform().c_str());
    register_silent_loggers({"HLTracker", "Snarel"});  // the tracker's and the hook library's

    std::atomic<long> forwarded{0};
    testing_support::MessageWindowThread mainWindow(L"TrackerBenchMain", mainProc, &forwarded);
    HamlogControl hamlog;
    hamlog.focus(L"A:call");
    HAMLOGTracker tracker;
    tracker.setMainWindow(mainWindow.window());
    std::atomic<int> attached{0};
    tracker.add_listener("changeCqMachinePlayState",
                         std::function<void(bool)>([&attached](bool) { ++attached; }));
    Receivers receivers(tracker);
    // start() installs the hooks with the tracker's own window as the receiver; once it has
    // mapped HAMLOG, the rounds below choose the receiver themselves.
    if (!testing_support::wait_for([&] { return attached.load() > 0; }, std::chrono::seconds(20)) ||
        !Snarel::StopHook()) {
        throw std::runtime_error("the hooks were not installed");
    }

    struct Case {
        const char* label;
        const wchar_t* window;
        UINT key;
    };
    // F5 is taken from HAMLOG and forwarded; End in the call field reaches HAMLOG, and the
    // tracker reads the field back at its key-down and key-up to see whether it changed.
    const Case cases[] = {
        {"F5 in the call field", L"A:call", VK_F5},
        {"F5 in the report field", L"A:rst", VK_F5},
        {"End in the call field (read back)", L"A:call", VK_END},
    };
    constexpr int kCases = 3;
    std::vector<double> unhooked[kCases], plain[kCases], tracked[kCases], handling[kCases];
    for (int round = 0; round < kRounds; ++round) {
        for (int c = 0; c < kCases; ++c) {
            bench::appendKeyTimesMicroseconds(hamlog, cases[c].window, kKeyMessagesPerRound,
                                              unhooked[c], cases[c].key);
        }
        const long installs = receivers.installs();
        Snarel::SetNotifyWindow(receivers.timed());
        Snarel::StartHook();
        if (!testing_support::wait_for([&] { return receivers.installs() != installs; },
                                       std::chrono::seconds(20))) {
            throw std::runtime_error("the hooks were not installed");
        }
        for (int c = 0; c < kCases; ++c) {
            Snarel::SetNotifyWindow(receivers.timed());
            receivers.takeHandlingTimes();
            bench::appendKeyTimesMicroseconds(hamlog, cases[c].window, kKeyMessagesPerRound,
                                              tracked[c], cases[c].key);
            const std::vector<double> times = receivers.takeHandlingTimes();
            handling[c].insert(handling[c].end(), times.begin(), times.end());
            Snarel::SetNotifyWindow(receivers.plain());
            bench::appendKeyTimesMicroseconds(hamlog, cases[c].window, kKeyMessagesPerRound,
                                              plain[c], cases[c].key);
        }
        if (!Snarel::StopHook()) {
            throw std::runtime_error("StopHook failed");
        }
    }

    for (int c = 0; c < kCases; ++c) {
        const Summary none = summarize(unhooked[c]);
        const Summary hooks = summarize(plain[c]);
        const Summary full = summarize(tracked[c]);
        std::printf("%s: key-down/key-up, %zu key messages per condition, %d rounds\n",
                    cases[c].label, unhooked[c].size(), kRounds);
        std::printf(" HAMLOG's GUI thread per key message (GetMessage with its hooks):\n");
        bench::printSummary("without hooks", none);
        bench::printSummary("hooks, receiver answers at once", hooks);
        bench::printSummary("hooks, tracker answers", full);
        std::printf("  tracker adds to the hook path: median %.1f us, p99 %.1f us\n",
                    full.median - hooks.median, full.p99 - hooks.p99);
        std::printf(" the tracker's handling of one record (onCopyData, %zu records):\n",
                    handling[c].size());
        bench::printSummary("onCopyData", summarize(handling[c]));
        std::printf("\n");
    }
    // The F5 key-downs of the two F5 cases.
    const long expected = 2L * kRounds * kKeyMessagesPerRound / 2;
    testing_support::wait_for([&] { return forwarded.load() >= expected; });
    std::printf("Key-downs forwarded to the main window: %ld of %ld\n", forwarded.load(), expected);
    return forwarded.load() == expected ? 0 : 1;
}

}  // namespace

int main() {
    try {
        return run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tracker_bench: %s\n", error.what());
        return 1;
    }
}
