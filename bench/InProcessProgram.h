#pragma once

// The whole program in the benchmark's own process, as the program's start-up makes it: its
// settings in a fresh file of their own, the main window, document and editor, the controller
// that wires them to the model, and the program's own message loop, which runs while a driver
// thread measures.
#include "AppController.h"
#include "AppSettings.h"
#include "Application.h"
#include "CMainFrame.h"
#include "DocumentTemplate.h"
#include "ProfileFileStore.h"
#include "SettingsFilePath.h"
#include "VetrinDoc.h"
#include "VetrinView.h"
#include "resource.h"

#include <windows.h>

#include <atomic>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace bench {

class InProcessProgram {
public:
    // The settings go to settingsName in the temporary folder, made anew: the defaults, changed by
    // adjust and saved before anything reads them.
    InProcessProgram(const wchar_t* settingsName,
                     const std::function<void(omvar::Vetrin::AppSettings&)>& adjust) {
        wchar_t folder[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, folder);
        const auto settingsFile = std::filesystem::path(folder) / settingsName;
        std::filesystem::remove(settingsFile);
        application_.setProfile(
            std::make_unique<omvar::Vetrin::ProfileFileStore>(settingsFile.wstring()));
        omvar::Vetrin::setSettingsFilePath(settingsFile.wstring());
        omvar::Vetrin::AppSettings settings;
        omvar::Vetrin::loadSettings(settings);
        adjust(settings);
        omvar::Vetrin::saveSettings(settings);
    }
    InProcessProgram(const InProcessProgram&) = delete;
    InProcessProgram& operator=(const InProcessProgram&) = delete;
    ~InProcessProgram() { stop(); }

    // Makes the main window hidden, starts the controller (which opens the interface attached by
    // then) and shows the window without taking the front.
    void start() {
        application_.AddDocTemplate(std::make_unique<omvar::ui::SingleDocTemplate>(
            IDR_MAINFRAME, [] { return std::make_unique<omvar::Vetrin::VetrinDoc>(); },
            [] { return std::make_unique<omvar::Vetrin::CMainFrame>(); },
            [] { return std::make_unique<omvar::Vetrin::VetrinView>(); }));
        application_.setShowCommand(SW_HIDE);
        if (!application_.ProcessShellCommand({})) {
            throw std::runtime_error("the main window could not be made");
        }
        frame_ = static_cast<omvar::Vetrin::CMainFrame*>(application_.docTemplate()->frame());
        controller_.start(*frame_);
        ShowWindow(frame_->hwnd(), SW_SHOWNOACTIVATE);
    }

    omvar::Vetrin::CMainFrame& frame() { return *frame_; }
    omvar::Vetrin::AppController& controller() { return controller_; }

    // Runs drive on a thread of its own while this thread runs the program's message loop: the
    // bars' command states are updated when the queue has run empty after a message, and sent
    // messages (the hook's records) are taken while it waits for the next one. Returns what drive
    // threw, if anything.
    std::exception_ptr run(const std::function<void()>& drive) {
        std::exception_ptr failure;
        std::atomic<bool> done{false};
        const DWORD guiThread = GetCurrentThreadId();
        std::thread driver([&] {
            try {
                drive();
            } catch (...) {
                failure = std::current_exception();
            }
            done = true;
            PostThreadMessageW(guiThread, WM_NULL, 0, 0);  // ends the loop's wait
        });
        MSG message;
        while (!done) {
            long idle = 0;
            while (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) &&
                   application_.OnIdle(idle++)) {
            }
            application_.PumpMessage();
        }
        driver.join();
        return failure;
    }

    // Destroys the main window and shuts the controller down; again does nothing.
    void stop() {
        if (frame_ != nullptr) {
            frame_->destroy();
            frame_ = nullptr;
            controller_.shutdown();
        }
    }

private:
    omvar::ui::Application application_;
    omvar::Vetrin::CMainFrame* frame_ = nullptr;
    omvar::Vetrin::AppController controller_;
};

}  // namespace bench
