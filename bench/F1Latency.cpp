// End-to-end latency of the program's main path: F1 typed in HAMLOG's log window (the stand-in)
// to the first CW packet at the interface. The whole program runs in this process as the program
// puts it together (document, frame, view, controller, model, the real hook library), over an
// emulated QUENTRAX that time-stamps every packet it receives; the HAMLOG stand-in runs in its own
// process with the hooks in it. Each press: the time is taken, the stand-in is told to type F1
// into its call field (through its own message queue, past the hooks), and the press counts until
// the unit receives the first packet of code 0x05. The message is then cleared and the unit left
// to go idle before the next press. A real interface's PTT lead time comes on top of this.
//
// Run: xvfb-run -a cmake/wine-run.sh build/win64/wineprefix build/win64/bin/bench_f1_latency.exe
// [presses]
#include "AppController.h"
#include "AppModel.h"
#include "AppSettings.h"
#include "Application.h"
#include "CMainFrame.h"
#include "DocumentTemplate.h"
#include "LibraryLifecycle.h"
#include "SettingsFilePath.h"
#include "VetrinDoc.h"
#include "VetrinView.h"
#include "resource.h"

#include "HamlogControl.h"
#include "QuentraxEmulator.h"
#include "BenchLogging.h"
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
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <mutex>
#include <string_view>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using omvar::sim::QuentraxEmulator;
using omvar::sim::QuentraxUnit;
using omvar::sim::hamlog::HamlogControl;
namespace Vetrin = omvar::Vetrin;

namespace {

constexpr std::uint8_t kCwOutput = 0x05;

void quietLoggers() {
    register_silent_loggers({"quentrax", "qxpacket", "Vetrin", "HLTracker", "Snarel"});
    // The library's two are handed over as the program hands them.
    quentraxSetLogger(spdlog::get("quentrax"));
    quentraxSetLogger(spdlog::get("qxpacket"));
}

// Times the model's first "デバイスに送信" line after each reset: the moment its worker hands the
// first codes to the interface library, where the model's share of the path ends.
class HandOverSink : public spdlog::sinks::base_sink<std::mutex> {
public:
    void reset() { handed_ = 0; }
    std::optional<std::chrono::steady_clock::time_point> handed() const {
        const auto ticks = handed_.load();
        if (ticks == 0) {
            return std::nullopt;
        }
        return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(ticks));
    }

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        const std::string_view text(msg.payload.data(), msg.payload.size());
        if (handed_ == 0 && text.rfind("デバイスに送信", 0) == 0) {
            handed_ = std::chrono::steady_clock::now().time_since_epoch().count();
        }
    }
    void flush_() override {}

private:
    std::atomic<std::chrono::steady_clock::rep> handed_{0};
};

std::optional<omvar::sim::EmuClock::time_point> firstCwPacket(const QuentraxUnit& unit) {
    for (const auto& packet : unit.packets()) {
        if (!packet.failed && packet.code() == kCwOutput) {
            return packet.time;
        }
    }
    return std::nullopt;
}

struct Latencies {
    std::vector<double> queued;  // F1 typed -> the message is in the model's send queue
    std::vector<double> handed;  // F1 typed -> the first codes handed to the interface library
    std::vector<double> worker;  // per press: queued -> handed, the worker's share (the queue
                                 // is watched from another thread, which may see it late)
    std::vector<double> packet;  // F1 typed -> the first CW packet at the interface
};

void print(const char* label, const std::vector<double>& values) {
    std::printf("  %-34s median %5.1f ms   p95 %5.1f ms   min %5.1f ms   max %5.1f ms\n", label,
                bench::nearest_rank(values, 0.5), bench::nearest_rank(values, 0.95),
                bench::nearest_rank(values, 0.0), bench::nearest_rank(values, 1.0));
}

// Runs on its own thread while the main thread is the program's GUI thread.
Latencies measure(int presses, Vetrin::AppModel& model, const std::shared_ptr<QuentraxUnit>& unit,
                  HandOverSink& handOver) {
    HamlogControl hamlog;
    hamlog.setText(L"A:mode", L"CW");
    hamlog.setText(L"A:call", L"JA1ABC");
    if (!testing_support::wait_for([&] { return model.tracker().activeLogWindow() != nullptr; },
                                   30s)) {
        throw std::runtime_error("the program did not hook the stand-in");
    }
    // The program takes keys from HAMLOG only while HAMLOG is in front.
    if (!testing_support::wait_for(
            [&] {
                hamlog.focus(L"A:call");
                return testing_support::wait_for(
                    [&] { return hamlog.command(L"foreground") == L"A"; }, 1s);
            },
            20s)) {
        throw std::runtime_error("the stand-in did not come to the front");
    }
    Latencies latencies;
    for (int i = 0; i < presses; ++i) {
        unit->clear_packets();
        handOver.reset();
        const auto start = std::chrono::steady_clock::now();
        hamlog.type(L"A:call", L"{F1}");
        // Watched closely (a few milliseconds of one core): when the message enters the queue.
        const auto bound = start + 10s;
        while (model.sendQueue().pendingCount() == 0 && !firstCwPacket(*unit) &&
               std::chrono::steady_clock::now() < bound) {
            std::this_thread::yield();
        }
        const auto queued = std::chrono::steady_clock::now();
        if (!testing_support::wait_for([&] { return firstCwPacket(*unit).has_value(); }, 10s)) {
            throw std::runtime_error("no CW packet after F1");
        }
        latencies.queued.push_back(
            std::chrono::duration<double, std::milli>(queued - start).count());
        if (const auto handed = handOver.handed()) {
            latencies.handed.push_back(
                std::chrono::duration<double, std::milli>(*handed - start).count());
            latencies.worker.push_back(
                std::chrono::duration<double, std::milli>(*handed - queued).count());
        }
        latencies.packet.push_back(
            std::chrono::duration<double, std::milli>(*firstCwPacket(*unit) - start).count());
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
    }
    return latencies;
}

}  // namespace

int main(int argc, char** argv) {
    const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    try {
        omvar::quentrax::library_attach();
        quietLoggers();
        auto handOver = std::make_shared<HandOverSink>();
        spdlog::get("Vetrin")->sinks().push_back(handOver);
        wchar_t folder[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, folder);
        const auto settingsFile = std::filesystem::path(folder) / L"vetrin-f1-latency.ini";
        std::filesystem::remove(settingsFile);
        omvar::ui::Application application;
        application.setProfilePath(settingsFile.wstring());
        Vetrin::setSettingsFilePath(settingsFile.wstring());
        Vetrin::AppSettings settings;
        Vetrin::loadSettings(settings);
        Vetrin::saveSettings(settings);  // the defaults: Bank-B is in use, its F1 "DE $M $M [AR]"

        auto unit = QuentraxEmulator::attach(omvar::sim::UnitOptions::of(23, 10ms));
        application.AddDocTemplate(std::make_unique<omvar::ui::SingleDocTemplate>(
            IDR_MAINFRAME, [] { return std::make_unique<Vetrin::VetrinDoc>(); },
            [] { return std::make_unique<Vetrin::CMainFrame>(); },
            [] { return std::make_unique<Vetrin::VetrinView>(); }));
        application.setShowCommand(SW_HIDE);
        if (!application.ProcessShellCommand({})) {
            throw std::runtime_error("the main window could not be made");
        }
        auto* frame = static_cast<Vetrin::CMainFrame*>(application.docTemplate()->frame());
        Vetrin::AppController controller;
        controller.start(*frame);
        ShowWindow(frame->hwnd(), SW_SHOWNOACTIVATE);

        Latencies latencies;
        std::exception_ptr failure;
        std::atomic<bool> done{false};
        std::thread driver([&] {
            try {
                latencies = measure(presses, *controller.model(), unit, *handOver);
            } catch (...) {
                failure = std::current_exception();
            }
            done = true;
        });
        while (!done) {
            application.PumpPending();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        driver.join();
        frame->destroy();
        controller.shutdown();
        if (failure) {
            std::rethrow_exception(failure);
        }

        std::printf("F1 typed in the HAMLOG stand-in, from the moment it is typed to:\n");
        std::printf("platform: %s; %d presses\n", bench::platform().c_str(), presses);
        print("message queued in the model", latencies.queued);
        print("first codes handed to the library", latencies.handed);
        print("  of it, from queued to handed", latencies.worker);
        print("first CW packet at the interface", latencies.packet);
        QuentraxEmulator::detach_all();
        omvar::quentrax::library_detach();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_f1_latency: %s\n", e.what());
        return 1;
    }
}
