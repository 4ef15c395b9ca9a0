#pragma once

// The tracker between two processes: the HAMLOG stand-in with the real hooks on one side, and
// on this side the tracker on a GUI thread of its own, a window playing the program's main
// window, and a journal of the tracker's events.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CapturingSink.h"
#include "Clocks.h"
#include "GuiThread.h"
#include "HAMLOGTracker.h"
#include "HamlogControl.h"
#include "MessageWindowThread.h"

namespace tracker_test {

// The "HLTracker" and "Snarel" loggers, registered once for this program, writing only here.
testing_support::CapturingSink& trackerLog();
testing_support::CapturingSink& snarelLog();

// Every event of one tracker, in order, with its argument as text and the thread it ran on.
class EventJournal {
public:
    struct Entry {
        std::string name;
        std::wstring value;  // "" for none; "1"/"0" for bool; "l t r b" for a rectangle
        DWORD thread;
    };

    explicit EventJournal(omvar::Vetrin::HAMLOGTracker& tracker);

    std::vector<Entry> entries();
    std::vector<std::string> names();
    // Values of one event, in order.
    std::vector<std::wstring> values(const std::string& name);
    std::size_t count(const std::string& name);
    bool waitFor(const std::string& name, std::size_t count = 1);
    void clear();

private:
    void note(const std::string& name, std::wstring value);

    std::mutex mutex_;
    std::vector<Entry> entries_;
};

// Plays the program's main window: keeps every message posted to it.
class MainWindow {
public:
    struct Posted {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool operator==(const Posted&) const = default;
    };

    HWND window() const { return thread_.window(); }
    // Waits until everything posted to the window so far has arrived, then returns it. Keys
    // the tracker forwards wait behind its queued reactions: those run first.
    std::vector<Posted> received();
    // What has arrived so far, without waiting.
    std::vector<Posted> arrived();
    void drainFirst(std::function<void()> drain) { drain_ = std::move(drain); }
    void clear();

private:
    static constexpr UINT kMarker = WM_APP + 7;
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::mutex mutex_;
    std::vector<Posted> posted_;
    std::uint64_t markersSeen_ = 0;
    std::uint64_t markersSent_ = 0;
    std::function<void()> drain_;
    testing_support::MessageWindowThread thread_{L"TrackerTestMainWindow", procedure, this};
};

// A visible top-level window of this program, to put something other than HAMLOG in front.
class OtherWindow {
public:
    OtherWindow();
    ~OtherWindow();
    OtherWindow(const OtherWindow&) = delete;
    OtherWindow& operator=(const OtherWindow&) = delete;

    // Makes it the foreground window; false when the system did not follow.
    bool bringToFront();

private:
    static constexpr UINT kToFront = WM_APP + 8;
    std::thread thread_;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
};

// One tracker attached to a running stand-in: made, its events journaled, started on a GUI
// thread that owns its hidden window, and waited for until the hooks are installed and the
// initial state emitted. Going away stops the hooks, so the next one is installed again on the
// same stand-in.
class AttachedTracker {
public:
    struct Options {
        bool callTabToF2 = false;
        bool fkeysInCodeQth = false;
        // The GUI thread takes no messages this long right after the tracker has started, as
        // the program's start-up goes on in it.
        int busyAfterStartMs = 0;
        // Waits for the hooks and the initial state; false leaves that to waitInstalled.
        bool awaitInstallation = true;
        // The clocks the tracker reads.
        omvar::Vetrin::Clocks clocks{};
    };

    explicit AttachedTracker(Options options);
    AttachedTracker() : AttachedTracker(Options{}) {}
    ~AttachedTracker();

    omvar::Vetrin::HAMLOGTracker& tracker() { return *tracker_; }
    EventJournal& events() { return *events_; }
    MainWindow& main() { return main_; }
    DWORD guiThread() const { return guiThreadId_; }
    bool installed() const { return installed_; }
    // Waits until the hooks are installed and the initial state emitted.
    bool waitInstalled();
    // Waits until every reaction queued so far has run.
    void drain();
    // Sends a WM_COPYDATA to the hidden window as the hook library would; returns the answer.
    LRESULT send(ULONG_PTR tag, const void* payload, DWORD size);

private:
    MainWindow main_;
    std::unique_ptr<omvar::Vetrin::HAMLOGTracker> tracker_;
    std::unique_ptr<EventJournal> events_;
    // Ends before the tracker goes, so nothing of the tracker's runs there afterwards.
    std::optional<testing_support::GuiThread> gui_;
    DWORD guiThreadId_ = 0;
    bool installed_ = false;
};

}  // namespace tracker_test
