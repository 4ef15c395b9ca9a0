#pragma once

// The model over one emulated unit, as the model benchmarks run it: the interface library's C
// functions linked in, the program's loggers at the program's levels writing nowhere, a
// settings file of its own, and a thread with a message loop that owns the hidden windows.
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "AppModel.h"
#include "AppSettings.h"
#include "BenchLogging.h"
#include "LibraryLifecycle.h"
#include "GuiThread.h"
#include "QuentraxEmulator.h"
#include "SettingsFilePath.h"
#include "WaitFor.h"
#include "quentrax.h"

class ModelBench {
public:
    ModelBench() {
        omvar::quentrax::library_attach();
        // The library registered its own two; the benchmark's replace them.
        spdlog::drop("quentrax");
        spdlog::drop("qxpacket");
        set_up_bench_loggers();
        quentraxSetLogger(spdlog::get("quentrax"));
        quentraxSetLogger(spdlog::get("qxpacket"));
        register_silent_loggers({"Vetrin", "HLTracker", "Snarel"});
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        settingsFile_ = std::filesystem::path(folder) /
                        (L"vetrin-bench-" + std::to_wstring(GetCurrentProcessId()) + L".ini");
        std::filesystem::remove(settingsFile_);
        omvar::Vetrin::setSettingsFilePath(settingsFile_.wstring());
    }

    ~ModelBench() {
        stop();
        omvar::sim::QuentraxEmulator::detach_all();
        omvar::quentrax::library_detach();
        std::error_code ignored;
        std::filesystem::remove(settingsFile_, ignored);
    }

    // The program's defaults, whatever an earlier run of this benchmark saved.
    omvar::Vetrin::AppSettings defaults() const {
        std::error_code ignored;
        std::filesystem::remove(settingsFile_, ignored);
        omvar::Vetrin::AppSettings settings;
        omvar::Vetrin::loadSettings(settings);
        return settings;
    }

    // Attaches a unit (status reports every 10 ms) and starts the model with these settings.
    bool start(const omvar::Vetrin::AppSettings& settings) {
        stop();
        omvar::Vetrin::saveSettings(settings);
        unit = omvar::sim::QuentraxEmulator::attach(
            omvar::sim::UnitOptions::of(23, std::chrono::milliseconds(10)));
        model = std::make_shared<omvar::Vetrin::AppModel>();
        onGui([this] { model->start(nullptr); });
        if (model->nId() == -1) {
            std::fprintf(stderr, "no interface\n");
            return false;
        }
        // The keyer settings of the start have been applied once the speed has.
        const auto speed = static_cast<std::uint8_t>(60000.0 / (settings.wpm * 50) * 0.5 + 0.5);
        if (!testing_support::wait_for([&] { return unit->keyer().speed == speed; })) {
            std::fprintf(stderr, "keyer settings not applied\n");
            return false;
        }
        return true;
    }

    void stop() {
        if (model) {
            onGui([this] { model->shutdown(); });
            model.reset();
        }
        if (unit) {
            omvar::sim::QuentraxEmulator::detach(unit);
            unit.reset();
        }
    }

    void onGui(std::function<void()> fn) { gui_.run(std::move(fn)); }

    std::shared_ptr<omvar::sim::QuentraxUnit> unit;
    std::shared_ptr<omvar::Vetrin::AppModel> model;

private:
    std::filesystem::path settingsFile_;
    testing_support::GuiThread gui_;
};
