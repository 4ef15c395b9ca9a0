// What a long send-buffer history costs the operator: the whole program in this process as it is
// put together (document, frame, view, controller, model, the real hook library) over an emulated
// QUENTRAX, the HAMLOG stand-in in its own process, at 25 WPM. The history is grown in steps to
// the lengths given (cumulative characters fed; the program keeps its own bound), and at each:
//   F1 -> packet   F1 typed in HAMLOG's call field to the first CW packet at the unit
//   Esc -> cancel  Esc typed there while that message keys, to the cancel packet at the unit
//   update         how long one send-buffer update held the window thread (the view's message)
//   $R gaps        a message with report macros queued through the model: the longest gap
//                  between two elements, in the unit's dots, and how many were longer than a
//                  word space and a dot
//   memory         the process's private bytes and working set (GetProcessMemoryInfo)
// The seam: the history is fed as shown-only text straight into the model's send queue and
// taken at its cursor, as the worker takes what it keyed (keying 350,000 characters takes days);
// one clear then hands the text to the editor, which is waited for before measuring.
//
// Run: xvfb-run -a cmake/wine-run.sh build/win64/wineprefix build/win64/bin/bench_history_cost.exe
//        [rounds per length (5)] [lengths... (0 10000 100000 350000)]
#include "AppModel.h"
#include "LibraryLifecycle.h"
#include "VetrinView.h"
#include "resource.h"

#include "BenchLogging.h"
#include "InProcessProgram.h"
#include "HamlogControl.h"
#include "Percentile.h"
#include "QuentraxEmulator.h"
#include "StandInTiming.h"
#include "UnitTimeline.h"
#include "WaitFor.h"
#include "quentrax.h"

#include <spdlog/spdlog.h>

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using omvar::sim::QuentraxEmulator;
using omvar::sim::QuentraxUnit;
using omvar::sim::hamlog::HamlogControl;
using Clock = std::chrono::steady_clock;
namespace Vetrin = omvar::Vetrin;

namespace {

constexpr std::uint8_t kCwOutput = 0x05;
constexpr std::uint8_t kCancel = 0x34;
constexpr int kWpm = 25;
constexpr int kViewId = 0xE900;  // the frame's view
constexpr wchar_t kHistoryLine[] = L"CQ TEST DE XX9XXX/1 XX9XXX/1 TEST\n";
constexpr wchar_t kReportMessage[] = L"TNX UR RST $R $R 73 $R K";

// How long each handling of the view's send-buffer message held the window thread. The view's
// window procedure is wrapped on the window thread; it knows no object of its own.
struct UpdateTimes {
    std::mutex mutex;
    std::vector<double> ms;

    std::vector<double> take() {
        std::lock_guard held(mutex);
        return std::exchange(ms, {});
    }
};
UpdateTimes g_updates;
WNDPROC g_viewProcedure = nullptr;
UINT g_showMessage = 0;

LRESULT CALLBACK timedViewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != g_showMessage) {
        return CallWindowProcW(g_viewProcedure, window, message, wParam, lParam);
    }
    const auto start = Clock::now();
    const LRESULT result = CallWindowProcW(g_viewProcedure, window, message, wParam, lParam);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::lock_guard held(g_updates.mutex);
    g_updates.ms.push_back(ms);
    return result;
}

void timeUpdates(HWND view) {
    g_showMessage = RegisterWindowMessageW(L"VetrinView::ShowSendBuffer");
    g_viewProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(view, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&timedViewProcedure)));
    if (g_viewProcedure == nullptr) {
        throw std::runtime_error("the view's updates could not be timed");
    }
}

struct Memory {
    double privateMb = 0;
    double workingSetMb = 0;
};

Memory memoryNow() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    Memory memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters)) {
        // Windows counts the private bytes as the page file usage; Wine answers 0 for
        // PrivateUsage.
        memory.privateMb = counters.PagefileUsage / 1048576.0;
        memory.workingSetMb = counters.WorkingSetSize / 1048576.0;
    }
    return memory;
}

std::optional<Clock::time_point> firstPacket(const QuentraxUnit& unit, std::uint8_t code,
                                             Clock::time_point after) {
    for (const auto& packet : unit.packets()) {
        if (!packet.failed && packet.code() == code && packet.time >= after) {
            return packet.time;
        }
    }
    return std::nullopt;
}

double msBetween(Clock::time_point from, Clock::time_point until) {
    return std::chrono::duration<double, std::milli>(until - from).count();
}

// One length of history and what it cost.
struct Level {
    std::size_t fed = 0;      // characters fed since the start
    std::size_t history = 0;  // characters the send queue holds
    std::size_t shown = 0;    // characters in the editor
    double catchUpMs = 0;     // the editor shows the fed history after this long
    std::vector<double> catchUpSteps;
    std::vector<double> f1ToPacket;
    std::vector<double> escToCancel;
    std::vector<double> updates;
    std::vector<double> worstGapDots;
    int longGaps = 0;
    Memory memory;
};

class Measurement {
public:
    Measurement(Vetrin::AppModel& model, std::shared_ptr<QuentraxUnit> unit, HWND view)
        : model_(model), unit_(std::move(unit)), view_(view) {}

    void attach() {
        hamlog_.setText(L"A:mode", L"CW");
        hamlog_.setText(L"A:call", L"JA1ABC");
        hamlog_.setText(L"A:rst", L"599");
        // The program takes keys from HAMLOG only while HAMLOG is in front.
        if (!testing_support::wait_for(
                [&] {
                    hamlog_.focus(L"A:call");
                    return testing_support::wait_for(
                        [&] {
                            return hamlog_.command(L"foreground") == L"A" &&
                                   model_.tracker().activeLogWindow() != nullptr;
                        },
                        1s);
                },
                30s)) {
            throw std::runtime_error("the program did not follow the stand-in's log window");
        }
    }

    Level measure(std::size_t fedUntil, int rounds) {
        Level level;
        feedHistory(fedUntil, level);
        level.fed = fed_;
        g_updates.take();
        for (int round = 0; round < rounds; ++round) {
            f1ThenEsc(level);
            reportMessage(level);
        }
        level.updates = g_updates.take();
        level.history = model_.sendQueue().text().size();
        level.shown = editorLength();
        level.memory = memoryNow();
        return level;
    }

private:
    // Shown-only text into the queue, taken at the cursor as keyed, until `fedUntil` characters
    // were fed; the bound of the history applies as it does to what the worker keyed.
    void feedHistory(std::size_t fedUntil, Level& level) {
        const std::wstring line = kHistoryLine;
        Vetrin::SendQueue& queue = model_.sendQueue();
        while (fed_ < fedUntil) {
            std::wstring chunk;
            while (chunk.size() < 2000 && fed_ + chunk.size() < fedUntil) {
                chunk += line;
            }
            queue.append(chunk, true);
            while (queue.takeAtCursor()) {
            }
            fed_ += chunk.size();
        }
        g_updates.take();
        const auto start = Clock::now();
        model_.clearSendBuffer();  // hands the text to the editor
        waitForEditor();
        level.catchUpMs = msBetween(start, Clock::now());
        level.catchUpSteps = g_updates.take();
    }

    std::size_t editorLength() const {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(view_, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length);
        return length;
    }

    // The editor shows the queue's text with CR LF line breaks.
    void waitForEditor() {
        if (!testing_support::wait_for(
                [&] {
                    const std::wstring text = model_.sendQueue().text();
                    const auto breaks = std::count(text.begin(), text.end(), L'\n');
                    return editorLength() == text.size() + static_cast<std::size_t>(breaks);
                },
                120s)) {
            throw std::runtime_error("the editor did not catch up with the send buffer");
        }
    }

    void waitForIdle() {
        if (!testing_support::wait_for(
                [&] {
                    return model_.sendQueue().pendingCount() == 0 && unit_->buffer_size() == 0 &&
                           quentraxIsTxBusy(0) == 0;
                },
                30s)) {
            throw std::runtime_error("the unit did not go idle");
        }
    }

    void f1ThenEsc(Level& level) {
        unit_->clear_packets();
        const auto typed = Clock::now();
        hamlog_.type(L"A:call", L"{F1}");
        if (!testing_support::wait_for(
                [&] { return firstPacket(*unit_, kCwOutput, typed).has_value(); }, 20s)) {
            throw std::runtime_error("no CW packet after F1");
        }
        level.f1ToPacket.push_back(msBetween(typed, *firstPacket(*unit_, kCwOutput, typed)));
        hamlog_.waitTyped();
        const auto escaped = Clock::now();
        hamlog_.type(L"A:call", L"{ESC}");
        if (!testing_support::wait_for(
                [&] { return firstPacket(*unit_, kCancel, escaped).has_value(); }, 20s)) {
            throw std::runtime_error("no cancel at the unit after Esc");
        }
        level.escToCancel.push_back(msBetween(escaped, *firstPacket(*unit_, kCancel, escaped)));
        hamlog_.waitTyped();
        waitForIdle();
    }

    void reportMessage(Level& level) {
        waitForIdle();
        unit_->clear_key_timeline();
        model_.addToSendBuffer(kReportMessage, true);
        waitForIdle();
        const auto edges = testing_support::timeline_edges(unit_->key_timeline());
        const double dot = 2.0 * unit_->keyer().speed;
        double worst = 0;
        for (std::size_t i = 1; i + 1 < edges.size(); ++i) {
            if (edges[i].down && !edges[i - 1].down) {
                const double gap = (edges[i].ms - edges[i - 1].ms) / dot;
                worst = std::max(worst, gap);
                level.longGaps += gap > 8.0 ? 1 : 0;
            }
        }
        level.worstGapDots.push_back(worst);
    }

    Vetrin::AppModel& model_;
    std::shared_ptr<QuentraxUnit> unit_;
    HWND view_;
    HamlogControl hamlog_;
    std::size_t fed_ = 0;
};

std::string figures(const std::vector<double>& values, const char* format = "%.1f") {
    if (values.empty()) {
        return "-";
    }
    char median[32];
    char worst[32];
    std::snprintf(median, sizeof median, format, bench::nearest_rank(values, 0.5));
    std::snprintf(worst, sizeof worst, format, bench::nearest_rank(values, 1.0));
    return std::string(median) + "/" + worst;
}

double loadAverage() {
    std::FILE* file = std::fopen("Z:\\proc\\loadavg", "r");
    double load = -1;
    if (file != nullptr) {
        if (std::fscanf(file, "%lf", &load) != 1) {
            load = -1;
        }
        std::fclose(file);
    }
    return load;
}

void print(const Level& level) {
    const double worstStep =
        level.catchUpSteps.empty()
            ? 0.0
            : *std::max_element(level.catchUpSteps.begin(), level.catchUpSteps.end());
    std::printf("%8zu %8zu %8zu %13s %14s %14s %7.0f/%-6.0f %11s %5d %9.1f %7.1f %6.2f\n",
                level.fed, level.history, level.shown, figures(level.f1ToPacket).c_str(),
                figures(level.escToCancel).c_str(), figures(level.updates).c_str(), level.catchUpMs,
                worstStep, figures(level.worstGapDots).c_str(), level.longGaps,
                level.memory.privateMb, level.memory.workingSetMb, loadAverage());
    std::fflush(stdout);
}

std::vector<std::size_t> lengthsFrom(int argc, char** argv) {
    std::vector<std::size_t> lengths;
    for (int i = 2; i < argc; ++i) {
        lengths.push_back(std::strtoull(argv[i], nullptr, 10));
    }
    if (lengths.empty()) {
        lengths = {0, 10000, 100000, 350000};
    }
    std::sort(lengths.begin(), lengths.end());
    return lengths;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::vector<std::size_t> lengths = lengthsFrom(argc, argv);
    try {
        omvar::quentrax::library_attach();
        register_silent_loggers({"quentrax", "qxpacket", "Vetrin", "HLTracker", "Snarel"});
        quentraxSetLogger(spdlog::get("quentrax"));
        quentraxSetLogger(spdlog::get("qxpacket"));
        // Bank-B's F1 "DE $M $M [AR]".
        bench::InProcessProgram program(L"vetrin-history-cost.ini",
                                        [](Vetrin::AppSettings& settings) { settings.wpm = kWpm; });
        auto unit = QuentraxEmulator::attach(omvar::sim::UnitOptions::of(23, 10ms));
        program.start();
        const HWND view = GetDlgItem(program.frame().hwnd(), kViewId);
        timeUpdates(view);

        std::printf("platform: %s; %d rounds per length at %d WPM; figures median/worst\n",
                    bench::platform().c_str(), rounds, kWpm);
        std::printf("%8s %8s %8s %13s %14s %14s %14s %11s %5s %9s %7s %6s\n", "fed", "queue",
                    "editor", "F1->pkt ms", "Esc->cancel ms", "update ms", "catch-up ms",
                    "$R gap dot", "long", "priv MB", "ws MB", "load");
        const std::exception_ptr failure = program.run([&] {
            Measurement measurement(*program.controller().model(), unit, view);
            measurement.attach();
            for (const std::size_t length : lengths) {
                print(measurement.measure(length, rounds));
            }
        });
        program.stop();
        if (failure) {
            std::rethrow_exception(failure);
        }
        std::printf(
            "catch-up: the clear after feeding to the editor showing it all / its longest "
            "step; long: gaps over a word space and a dot\n");
        QuentraxEmulator::detach_all();
        omvar::quentrax::library_detach();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_history_cost: %s\n", e.what());
        return 1;
    }
}
