// End-to-end latency of the program's main path: F1 typed in HAMLOG's log window (the stand-in)
// to the first CW packet at the interface. The whole program runs in this process as the program
// puts it together (document, frame, view, controller, model, the real hook library), over an
// emulated QUENTRAX that time-stamps every packet it receives; the HAMLOG stand-in runs in its own
// process with the hooks in it. Each press: the time is taken, the stand-in is told to type F1
// into its call field (through its own message queue, past the hooks), and the press counts until
// the unit receives the first packet of code 0x05. The message is then cleared and the unit left
// to go idle before the next press. Every other press the benchmark posts F1 into the call
// field's queue itself instead: the time from the key entering HAMLOG's queue, without the
// command to the stand-in and its answer (a few milliseconds of their own under Wine). A real
// interface's PTT lead time comes on top of this.
// Along the way each press is stamped where the program's path passes a point the benchmark can
// see from outside the program's code: the hook's record entering the tracker's window and
// leaving it, the forwarded key taken from the main window's queue, the model's log lines (the
// mode checked, the message queued, the first codes handed over), and the packet at the unit.
//
// Run: xvfb-run -a cmake/wine-run.sh build/win64/wineprefix build/win64/bin/bench_f1_latency.exe
// [presses of each kind]
#include "AppModel.h"
#include "LibraryLifecycle.h"

#include "HamlogControl.h"
#include "HookMessageRecord.h"
#include "Snarel.h"
#include "QuentraxEmulator.h"
#include "BenchLogging.h"
#include "InProcessProgram.h"
#include "StandInTiming.h"
#include "quentrax.h"
#include "WaitFor.h"

#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <mutex>
#include <string_view>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using omvar::sim::QuentraxEmulator;
using omvar::sim::QuentraxUnit;
using omvar::sim::hamlog::HamlogControl;
namespace Vetrin = omvar::Vetrin;

namespace {

constexpr std::uint8_t kCwOutput = 0x05;

// The warnings of the link to HAMLOG (hooks refused, announcements repeated, hooks set anew):
// what it had to mend before the presses could start.
class WarningCollector : public spdlog::sinks::base_sink<std::mutex> {
public:
    std::vector<std::string> lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        if (msg.level >= spdlog::level::warn) {
            lines_.emplace_back(msg.payload.data(), msg.payload.size());
        }
    }
    void flush_() override {}

private:
    std::vector<std::string> lines_;
};

std::shared_ptr<WarningCollector> quietLoggers() {
    register_silent_loggers({"quentrax", "qxpacket", "Vetrin", "HLTracker", "Snarel"});
    auto warnings = std::make_shared<WarningCollector>();
    for (const char* name : {"HLTracker", "Snarel"}) {
        spdlog::get(name)->sinks().push_back(warnings);
    }
    // The library's two are handed over as the program hands them.
    quentraxSetLogger(spdlog::get("quentrax"));
    quentraxSetLogger(spdlog::get("qxpacket"));
    return warnings;
}

// A moment of one press, kept the first time it is passed.
class Stamp {
public:
    void reset() { ticks_ = 0; }
    void mark() {
        std::chrono::steady_clock::rep none = 0;
        ticks_.compare_exchange_strong(none,
                                       std::chrono::steady_clock::now().time_since_epoch().count());
    }
    std::optional<std::chrono::steady_clock::time_point> time() const {
        const auto ticks = ticks_.load();
        if (ticks == 0) {
            return std::nullopt;
        }
        return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(ticks));
    }

private:
    std::atomic<std::chrono::steady_clock::rep> ticks_{0};
};

// The points of one press's path, in the order it passes them.
struct PressStamps {
    Stamp recordIn;      // the hook's F1 key-down record enters the tracker's window
    Stamp recordOut;     // ... and its handling returns to HAMLOG
    Stamp keyRetrieved;  // the forwarded F1 taken from the main window's queue
    Stamp cwChecked;  // "Vetrinの送信バッファに追加": HAMLOG's mode read, the message next
    Stamp queued;     // "updateSendBuffer" after it: the message is in the send queue
    Stamp handed;     // "デバイスに送信": the worker hands the first codes to the library
    std::atomic<int> records{0};        // hook records the tracker took during the press
    std::atomic<int> nestedRecords{0};  // of them, taken while the window thread was in a call
    std::atomic<int> depth{0};          // the tracker's window procedure on the stack

    void reset() {
        for (Stamp* stamp : {&recordIn, &recordOut, &keyRetrieved, &cwChecked, &queued, &handed}) {
            stamp->reset();
        }
        records = 0;
        nestedRecords = 0;
    }
};

// The hooks below run on the program's window thread and know no object of their own.
PressStamps* g_stamps = nullptr;
WNDPROC g_trackerProcedure = nullptr;
HHOOK g_keyHook = nullptr;

// Takes the model's lines as they are made, before the listeners of the event they name run.
class StampSink : public spdlog::sinks::base_sink<std::mutex> {
protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        const std::string_view text(msg.payload.data(), msg.payload.size());
        if (text.rfind("Vetrinの送信バッファに追加", 0) == 0) {
            g_stamps->cwChecked.mark();
        } else if (text == "updateSendBuffer" && g_stamps->cwChecked.time()) {
            g_stamps->queued.mark();
        } else if (text.rfind("デバイスに送信", 0) == 0) {
            g_stamps->handed.mark();
        }
    }
    void flush_() override {}
};

LRESULT CALLBACK stampingTrackerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COPYDATA) {
        return CallWindowProcW(g_trackerProcedure, window, message, wParam, lParam);
    }
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    const auto record = data != nullptr ? omvar::Snarel::readHookRecord(*data) : std::nullopt;
    const bool f1Down = record && record->message == WM_KEYDOWN && record->wParam == VK_F1;
    ++g_stamps->records;
    if (InSendMessage() && g_stamps->depth > 0) {
        ++g_stamps->nestedRecords;
    }
    if (f1Down) {
        g_stamps->recordIn.mark();
    }
    ++g_stamps->depth;
    const LRESULT result = CallWindowProcW(g_trackerProcedure, window, message, wParam, lParam);
    --g_stamps->depth;
    if (f1Down) {
        g_stamps->recordOut.mark();
    }
    return result;
}

LRESULT CALLBACK stampingKeyHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == WM_KEYDOWN &&
        msg->wParam == VK_F1) {
        g_stamps->keyRetrieved.mark();
    }
    return CallNextHookEx(g_keyHook, code, wParam, lParam);
}

// On the window thread, once the program is put together.
void stampPath(PressStamps& stamps, HWND trackerWindow) {
    g_stamps = &stamps;
    spdlog::get("Vetrin")->sinks().push_back(std::make_shared<StampSink>());
    g_trackerProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        trackerWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&stampingTrackerProcedure)));
    g_keyHook = SetWindowsHookExW(WH_GETMESSAGE, &stampingKeyHook, nullptr, GetCurrentThreadId());
    if (g_trackerProcedure == nullptr || g_keyHook == nullptr) {
        throw std::runtime_error("the path could not be stamped");
    }
}

std::optional<omvar::sim::EmuClock::time_point> firstCwPacket(const QuentraxUnit& unit) {
    for (const auto& packet : unit.packets()) {
        if (!packet.failed && packet.code() == kCwOutput) {
            return packet.time;
        }
    }
    return std::nullopt;
}

// Per press, in milliseconds; a hop is left out of a press where one of its ends was not seen.
struct Latencies {
    std::vector<double> toPost;     // typed -> the stand-in posts the key: the command to type
    std::vector<double> toRecord;   // posted -> the record enters the tracker (HAMLOG takes the
                                    // key, the hook sends its record)
    std::vector<double> inTracker;  // the record's handling in the tracker
    std::vector<double> toFrame;    // handled -> the forwarded key taken by the main window
    std::vector<double> toChecked;  // key taken -> mode read from HAMLOG (the frame, the model)
    std::vector<double> toQueued;   // mode read -> queued (macro context read, appended)
    std::vector<double> worker;     // queued -> handed: the worker wakes, collects, logs
    std::vector<double> toWire;     // handed -> the packet at the unit: library, writer, unit
    std::vector<double> queued;     // F1 typed -> the message is in the model's send queue
    std::vector<double> handed;     // F1 typed -> the first codes handed to the interface library
    std::vector<double> packet;     // F1 typed -> the first CW packet at the interface
    std::vector<double> fromPost;   // the key posted in HAMLOG -> the first CW packet
    std::vector<double> records;    // hook records per press
    std::vector<double> nested;     // of them, taken inside a call of the window thread
};

// Half the presses are typed by the stand-in on the benchmark's command, as an operator's key
// comes through its queue; the other half are posted into HAMLOG's queue by the benchmark
// itself, so that the moment taken is the key entering the queue and no command to the
// stand-in and its answer load the machine while the program handles the key.
struct Run {
    Latencies typed;
    Latencies posted;
    std::vector<double> roundTrip;  // floor: one bare request to HAMLOG's thread and its answer
    std::vector<double> command;    // one command to the stand-in ("ping") and its answer
    double attachMs = 0;            // the stand-in started -> its log window followed, in front
};

void addSpan(std::vector<double>& to, std::optional<std::chrono::steady_clock::time_point> from,
             std::optional<std::chrono::steady_clock::time_point> until) {
    if (from && until) {
        to.push_back(std::chrono::duration<double, std::milli>(*until - *from).count());
    }
}

void print(const char* label, const std::vector<double>& values) {
    if (values.empty()) {
        std::printf("  %-34s not seen\n", label);
        return;
    }
    std::printf("  %-34s median %5.1f ms   p95 %5.1f ms   min %5.1f ms   max %5.1f ms\n", label,
                bench::nearest_rank(values, 0.5), bench::nearest_rank(values, 0.95),
                bench::nearest_rank(values, 0.0), bench::nearest_rank(values, 1.0));
}

std::string narrowText(const std::wstring& text) {
    return std::string(text.begin(), text.end());  // the stand-in's window names are ASCII
}

void printCount(const char* label, const std::vector<double>& values) {
    std::printf("  %-34s median %5.0f      p95 %5.0f      min %5.0f      max %5.0f\n", label,
                bench::nearest_rank(values, 0.5), bench::nearest_rank(values, 0.95),
                bench::nearest_rank(values, 0.0), bench::nearest_rank(values, 1.0));
}

void printPath(const Latencies& latencies, const char* postedLabel) {
    print("message queued in the model", latencies.queued);
    print("first codes handed to the library", latencies.handed);
    print("first CW packet at the interface", latencies.packet);
    if (postedLabel != nullptr) {
        std::printf("%s, from then to:\n", postedLabel);
        print("first CW packet at the interface", latencies.fromPost);
    }
    std::printf("  hop by hop:\n");
    if (postedLabel != nullptr) {
        print("typed -> key posted in HAMLOG", latencies.toPost);
    }
    print("posted -> record at the tracker", latencies.toRecord);
    print("record handled by the tracker", latencies.inTracker);
    print("handled -> key at the main window", latencies.toFrame);
    print("key -> HAMLOG's mode read", latencies.toChecked);
    print("mode read -> queued", latencies.toQueued);
    print("queued -> handed (the worker)", latencies.worker);
    print("handed -> packet at the unit", latencies.toWire);
    printCount("hook records per press", latencies.records);
    printCount("  of them inside a call", latencies.nested);
}

// Runs on its own thread while the main thread is the program's GUI thread.
Run measure(int presses, Vetrin::AppModel& model, const std::shared_ptr<QuentraxUnit>& unit,
            PressStamps& stamps) {
    const auto starting = std::chrono::steady_clock::now();
    HamlogControl hamlog;
    hamlog.setText(L"A:mode", L"CW");
    hamlog.setText(L"A:call", L"JA1ABC");
    // The program takes keys from HAMLOG only while HAMLOG is in front. The hooks may go in
    // before the stand-in has made its log windows (the application window comes first); the
    // tracker then maps them from the records of HAMLOG in front.
    if (!testing_support::wait_for(
            [&] {
                hamlog.focus(L"A:call");
                return testing_support::wait_for(
                    [&] {
                        return hamlog.command(L"foreground") == L"A" &&
                               model.tracker().activeLogWindow() != nullptr;
                    },
                    1s);
            },
            30s)) {
        throw std::runtime_error(std::string(model.tracker().activeLogWindow() == nullptr
                                                 ? "the program did not hook the stand-in"
                                                 : "the stand-in did not come to the front") +
                                 " (hook records: " + std::to_string(stamps.records) +
                                 ", in front: " + narrowText(hamlog.command(L"foreground")) + ")");
    }
    Run run;
    run.attachMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - starting)
            .count();
    const HWND call = hamlog.window(L"A:call");
    const LPARAM f1Scan = static_cast<LPARAM>(MapVirtualKeyW(VK_F1, MAPVK_VK_TO_VSC)) << 16;
    for (int i = 0; i < 2 * presses; ++i) {
        const bool typedByStandIn = i % 2 == 0;
        Latencies& latencies = typedByStandIn ? run.typed : run.posted;
        unit->clear_packets();
        stamps.reset();
        const auto start = std::chrono::steady_clock::now();
        if (typedByStandIn) {
            hamlog.type(L"A:call", L"{F1}");
        } else {
            PostMessageW(call, WM_KEYDOWN, VK_F1, f1Scan | 1);
            PostMessageW(call, WM_KEYUP, VK_F1, f1Scan | 1 | (3LL << 30));
        }
        if (!testing_support::wait_for([&] { return firstCwPacket(*unit).has_value(); }, 10s)) {
            throw std::runtime_error("no CW packet after F1");
        }
        const std::optional<std::chrono::steady_clock::time_point> typed = start;
        const std::optional<std::chrono::steady_clock::time_point> packet = *firstCwPacket(*unit);
        // Both processes read the machine's monotonic clock.
        const std::optional<std::chrono::steady_clock::time_point> posted =
            typedByStandIn
                ? std::chrono::steady_clock::time_point(
                      std::chrono::steady_clock::duration(std::stoll(hamlog.command(L"typedat"))))
                : start;
        addSpan(latencies.toPost, typed, posted);
        addSpan(latencies.toRecord, posted, stamps.recordIn.time());
        addSpan(latencies.inTracker, stamps.recordIn.time(), stamps.recordOut.time());
        addSpan(latencies.toFrame, stamps.recordOut.time(), stamps.keyRetrieved.time());
        addSpan(latencies.toChecked, stamps.keyRetrieved.time(), stamps.cwChecked.time());
        addSpan(latencies.toQueued, stamps.cwChecked.time(), stamps.queued.time());
        addSpan(latencies.worker, stamps.queued.time(), stamps.handed.time());
        addSpan(latencies.toWire, stamps.handed.time(), packet);
        addSpan(latencies.queued, typed, stamps.queued.time());
        addSpan(latencies.handed, typed, stamps.handed.time());
        addSpan(latencies.packet, typed, packet);
        addSpan(latencies.fromPost, posted, packet);
        model.clearSendBuffer();
        if (!testing_support::wait_for(
                [&] {
                    return model.sendQueue().pendingCount() == 0 && unit->buffer_size() == 0 &&
                           quentraxIsTxBusy(0) == 0;
                },
                10s)) {
            throw std::runtime_error("the unit did not go idle");
        }
        hamlog.waitTyped();
        latencies.records.push_back(stamps.records);
        latencies.nested.push_back(stamps.nestedRecords);
    }
    // The floors: a bare request to a field of HAMLOG, as the program reads one, from this
    // thread; and a command to the stand-in, as the benchmark tells it to type.
    const HWND mode = hamlog.window(L"A:mode");
    for (int i = 0; i < 200; ++i) {
        wchar_t text[64] = {};
        DWORD_PTR copied = 0;
        const auto begin = std::chrono::steady_clock::now();
        SendMessageTimeoutW(mode, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, 1000, &copied);
        addSpan(run.roundTrip, begin, std::chrono::steady_clock::now());
    }
    for (int i = 0; i < 50; ++i) {
        const auto begin = std::chrono::steady_clock::now();
        hamlog.command(L"ping");
        addSpan(run.command, begin, std::chrono::steady_clock::now());
    }
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    try {
        omvar::quentrax::library_attach();
        const auto warnings = quietLoggers();
        // The defaults: Bank-B is in use, its F1 "DE $M $M [AR]".
        bench::InProcessProgram program(L"vetrin-f1-latency.ini", [](Vetrin::AppSettings&) {});
        auto unit = QuentraxEmulator::attach(omvar::sim::UnitOptions::of(23, 10ms));
        program.start();
        Vetrin::AppModel& model = *program.controller().model();
        PressStamps stamps;
        stampPath(stamps, model.tracker().hiddenWindow());

        Run run;
        const std::exception_ptr failure =
            program.run([&] { run = measure(presses, model, unit, stamps); });
        UnhookWindowsHookEx(g_keyHook);
        program.stop();
        if (failure) {
            for (const std::string& line : warnings->lines()) {
                std::fprintf(stderr, "  link warning: %s\n", line.c_str());
            }
            std::rethrow_exception(failure);
        }

        std::printf("platform: %s; %d presses typed by the stand-in, %d posted into its queue\n",
                    bench::platform().c_str(), presses, presses);
        std::printf("F1 typed in the HAMLOG stand-in, from the moment it is told to type it to:\n");
        printPath(run.typed, "  the key posted in HAMLOG's queue");
        std::printf("F1 posted into HAMLOG's queue by the benchmark, from that moment to:\n");
        printPath(run.posted, nullptr);
        std::printf("floors, measured after the presses:\n");
        print("a request to HAMLOG and its answer", run.roundTrip);
        print("a command to the stand-in (ping)", run.command);
        std::printf("attached: the stand-in started -> followed and in front after %.0f ms\n",
                    run.attachMs);
        for (const std::string& line : warnings->lines()) {
            std::printf("  link warning: %s\n", line.c_str());
        }
        QuentraxEmulator::detach_all();
        omvar::quentrax::library_detach();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_f1_latency: %s\n", e.what());
        return 1;
    }
}
