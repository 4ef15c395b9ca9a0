#pragma once

// A model over emulated QUENTRAX units: the interface library's C functions linked in, a
// settings file of the test's own, the "Vetrin" log captured, and a GUI thread with a message
// loop that owns the model's hidden windows, so the interface's notifications arrive.
#include "AppModel.h"
#include "AppSettings.h"
#include "SettingsFilePath.h"

#include "CapturingSink.h"
#include "UnitTimeline.h"
#include "LibraryLifecycle.h"
#include "GuiThread.h"
#include "QuentraxEmulator.h"
#include "WaitFor.h"
#include "quentrax.h"

#include <gtest/gtest.h>
#include <spdlog/spdlog.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace model_test {

using namespace std::chrono_literals;
using omvar::sim::QuentraxEmulator;
using omvar::sim::QuentraxUnit;
using omvar::Vetrin::AppModel;
using omvar::Vetrin::AppSettings;
using testing_support::wait_for;
using Bytes = std::vector<std::uint8_t>;

// What the model emitted, in order.
class ModelEvents {
public:
    explicit ModelEvents(AppModel& model) {
        model.add_listener("changeDeviceState", std::function<void()>([this] {
                               std::lock_guard held(mutex_);
                               ++deviceStateChanges_;
                           }));
        model.add_listener("updateWPM", std::function<void(unsigned int)>([this](unsigned int w) {
                               std::lock_guard held(mutex_);
                               wpm_.push_back(w);
                           }));
        model.add_listener("updateSendBuffer",
                           std::function<void(std::wstring)>([this](std::wstring text) {
                               std::lock_guard held(mutex_);
                               buffers_.push_back(std::move(text));
                           }));
        model.add_listener("inputPaddleKeyboard",
                           std::function<void(std::wstring)>([this](std::wstring text) {
                               std::lock_guard held(mutex_);
                               paddle_.push_back(std::move(text));
                           }));
    }

    int deviceStateChanges() {
        std::lock_guard held(mutex_);
        return deviceStateChanges_;
    }
    std::vector<unsigned int> wpm() {
        std::lock_guard held(mutex_);
        return wpm_;
    }
    std::vector<std::wstring> buffers() {
        std::lock_guard held(mutex_);
        return buffers_;
    }
    std::vector<std::wstring> paddle() {
        std::lock_guard held(mutex_);
        return paddle_;
    }
    bool sawBuffer(const std::wstring& text) {
        auto all = buffers();
        return std::find(all.begin(), all.end(), text) != all.end();
    }

private:
    std::mutex mutex_;
    int deviceStateChanges_ = 0;
    std::vector<unsigned int> wpm_;
    std::vector<std::wstring> buffers_;
    std::vector<std::wstring> paddle_;
};

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        omvar::quentrax::library_attach();
        auto [library, librarySink] = testing_support::capturing_logger("quentrax");
        auto [packets, packetSink] = testing_support::capturing_logger("qxpacket");
        packets->set_level(spdlog::level::off);  // a line every 10 ms; nothing here reads them
        quentraxSetLogger(library);
        quentraxSetLogger(packets);
        libraryLog = librarySink;

        spdlog::drop("Vetrin");
        auto [logger, sink] = testing_support::capturing_logger("Vetrin");
        spdlog::register_logger(logger);
        log = sink;
        // The tracker's and the hook library's, which the tracker hands over.
        for (const char* name : {"HLTracker", "Snarel"}) {
            spdlog::drop(name);
            spdlog::register_logger(testing_support::capturing_logger(name).first);
        }

        static int serial = 0;
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        settingsFile = std::filesystem::path(folder) /
                       (L"vetrin-model-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(++serial) + L".ini");
        std::filesystem::remove(settingsFile);
        omvar::Vetrin::setSettingsFilePath(settingsFile.wstring());
    }

    void TearDown() override {
        if (HasFailure()) {
            const auto lines = log->texts();
            const std::size_t first = lines.size() > 80 ? lines.size() - 80 : 0;
            std::printf("-- the model's last log lines\n");
            for (std::size_t i = first; i < lines.size(); ++i) {
                std::printf("%s\n", lines[i].c_str());
            }
        }
        stopModel();
        QuentraxEmulator::detach_all();
        omvar::quentrax::library_detach();
        for (const char* name : {"Vetrin", "HLTracker", "Snarel"}) {
            spdlog::drop(name);
        }
        std::error_code ignored;
        std::filesystem::remove(settingsFile, ignored);
    }

    // The defaults with the test's changes, written to the settings file before the start.
    // 30 WPM (a 40 ms unit) keeps the tests short.
    static AppSettings defaults() {
        AppSettings settings;
        omvar::Vetrin::loadSettings(settings);
        settings.wpm = 30;
        return settings;
    }
    static void writeSettings(const AppSettings& settings) {
        omvar::Vetrin::saveSettings(settings);
    }

    static std::shared_ptr<QuentraxUnit> attach(int firmware = 23) {
        return QuentraxEmulator::attach(omvar::sim::UnitOptions::of(firmware, 10ms));
    }

    void startModel() {
        model = std::make_shared<AppModel>(periods, clocks);
        events = std::make_unique<ModelEvents>(*model);
        gui.run([this] { model->start(nullptr); });
    }

    void stopModel() {
        if (model) {
            gui.run([this] { model->shutdown(); });
            events.reset();
            model.reset();
        }
    }

    // A unit plugged in and the model started with it.
    std::shared_ptr<QuentraxUnit> startWithUnit(const AppSettings& settings) {
        writeSettings(settings);
        auto unit = attach();
        startModel();
        EXPECT_EQ(model->nId(), 0);
        // The keyer settings of the start have reached the unit.
        EXPECT_TRUE(wait_for([&] { return unit->keyer().speed == speedCode(settings.wpm); }));
        return unit;
    }

    static std::uint8_t speedCode(int wpm) {
        return static_cast<std::uint8_t>(60000.0 / (wpm * 50) * 0.5 + 0.5);
    }

    // What the unit keyed (UTF-8) once nothing is pending and it reads as expected, or the
    // bound has passed: compare the result with expected.
    std::string waitKeyed(const std::shared_ptr<QuentraxUnit>& unit, const std::string& expected) {
        wait_for(
            [&] {
                return model->sendQueue().pendingCount() == 0 && unit->buffer_size() == 0 &&
                       keyed(unit) == expected;
            },
            60s);
        return keyed(unit);
    }

    static std::string keyed(const std::shared_ptr<QuentraxUnit>& unit) {
        return testing_support::keyed_text(*unit);
    }

    // The codes of every CW output packet the unit executed, one vector per packet.
    static std::vector<Bytes> chunks(const std::shared_ptr<QuentraxUnit>& unit) {
        std::vector<Bytes> out;
        for (const auto& command : unit->commands()) {
            if (command.size() == 8 && command[0] == 0x05) {
                Bytes codes;
                for (std::size_t i = 1; i < 8; ++i) {
                    if (command[i] != 0) {
                        codes.push_back(command[i]);
                    }
                }
                out.push_back(codes);
            }
        }
        return out;
    }

    static Bytes allCodes(const std::vector<Bytes>& chunks) {
        Bytes out;
        for (const auto& chunk : chunks) {
            out.insert(out.end(), chunk.begin(), chunk.end());
        }
        return out;
    }

    // Log lines of the model that start with prefix.
    std::vector<std::string> linesStarting(const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& text : log->texts()) {
            if (text.rfind(prefix, 0) == 0) {
                out.push_back(text);
            }
        }
        return out;
    }

    testing_support::GuiThread gui;
    omvar::Vetrin::WorkerPeriods periods;  // the worker's, for the next startModel
    omvar::Vetrin::Clocks clocks;          // the model's, for the next startModel
    std::shared_ptr<AppModel> model;
    std::unique_ptr<ModelEvents> events;
    std::shared_ptr<testing_support::CapturingSink> log;
    std::shared_ptr<testing_support::CapturingSink> libraryLog;
    std::filesystem::path settingsFile;
};

}  // namespace model_test
