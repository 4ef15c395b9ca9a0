#include "TrackerHarness.h"

#include <spdlog/spdlog.h>

#include <exception>
#include <future>
#include <stdexcept>

#include "DeferredTaskQueue.h"
#include "Snarel.h"
#include "WaitFor.h"

namespace tracker_test {

using omvar::Vetrin::HAMLOGTracker;
using testing_support::wait_for;

namespace {

struct Logs {
    std::shared_ptr<testing_support::CapturingSink> tracker;
    std::shared_ptr<testing_support::CapturingSink> snarel;
};

const Logs& logs() {
    static const Logs made = [] {
        auto [trackerLogger, trackerSink] = testing_support::capturing_logger("HLTracker");
        auto [snarelLogger, snarelSink] = testing_support::capturing_logger("Snarel");
        spdlog::register_logger(trackerLogger);
        spdlog::register_logger(snarelLogger);
        return Logs{trackerSink, snarelSink};
    }();
    return made;
}

std::wstring rectText(const RECT& r) {
    return std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " +
           std::to_wstring(r.right) + L" " + std::to_wstring(r.bottom);
}

}  // namespace

testing_support::CapturingSink& trackerLog() {
    return *logs().tracker;
}

testing_support::CapturingSink& snarelLog() {
    return *logs().snarel;
}

// ---- EventJournal ----

EventJournal::EventJournal(HAMLOGTracker& tracker) {
    for (const char* name :
         {"changeForeground", "changeFocus", "activeLogWindow", "requestToFn02",
          "requestToToggleBank", "requestToUpWpm", "requestToDownWpm", "inputSemicolonToRemark2"}) {
        tracker.add_listener(name, std::function<void()>([this, name] { note(name, L""); }));
    }
    tracker.add_listener("changeWindowRect", std::function<void(RECT)>([this](RECT r) {
                             note("changeWindowRect", rectText(r));
                         }));
    for (const char* name : {"changeCqCheck", "changeCqMachinePlayState"}) {
        tracker.add_listener(name, std::function<void(bool)>([this, name](bool value) {
                                 note(name, value ? L"1" : L"0");
                             }));
    }
    tracker.add_listener("editCallsign",
                         std::function<void(std::wstring)>(
                             [this](std::wstring text) { note("editCallsign", text); }));
}

void EventJournal::note(const std::string& name, std::wstring value) {
    std::lock_guard lock(mutex_);
    entries_.push_back({name, std::move(value), GetCurrentThreadId()});
}

std::vector<EventJournal::Entry> EventJournal::entries() {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::vector<std::string> EventJournal::names() {
    std::vector<std::string> out;
    for (const Entry& e : entries()) {
        out.push_back(e.name);
    }
    return out;
}

std::vector<std::wstring> EventJournal::values(const std::string& name) {
    std::vector<std::wstring> out;
    for (const Entry& e : entries()) {
        if (e.name == name) {
            out.push_back(e.value);
        }
    }
    return out;
}

std::size_t EventJournal::count(const std::string& name) {
    return values(name).size();
}

bool EventJournal::waitFor(const std::string& name, std::size_t wanted) {
    return wait_for([&] { return count(name) >= wanted; });
}

void EventJournal::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

// ---- MainWindow ----

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr) {
        std::lock_guard lock(self->mutex_);
        if (message == kMarker) {
            ++self->markersSeen_;
            return 0;
        }
        if (message >= WM_KEYFIRST && message <= WM_KEYLAST) {
            self->posted_.push_back({message, wParam, lParam});
            return 0;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<MainWindow::Posted> MainWindow::arrived() {
    std::lock_guard lock(mutex_);
    return posted_;
}

std::vector<MainWindow::Posted> MainWindow::received() {
    if (drain_) {
        drain_();
    }
    std::uint64_t marker = 0;
    {
        std::lock_guard lock(mutex_);
        marker = ++markersSent_;
    }
    // Posted messages arrive in order, so once the marker is in, so is all before it.
    PostMessageW(window(), kMarker, 0, 0);
    wait_for([&] {
        std::lock_guard lock(mutex_);
        return markersSeen_ >= marker;
    });
    std::lock_guard lock(mutex_);
    return posted_;
}

void MainWindow::clear() {
    received();
    std::lock_guard lock(mutex_);
    posted_.clear();
}

// ---- OtherWindow ----

namespace {

LRESULT CALLBACK otherProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

OtherWindow::OtherWindow() {
    std::promise<void> created;
    std::future<void> ready = created.get_future();
    thread_ = std::thread([this, created = std::move(created)]() mutable {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = otherProcedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TrackerTestOtherWindow";
        RegisterClassExW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"Other program", WS_OVERLAPPEDWINDOW, 700,
                                  600, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
        threadId_ = GetCurrentThreadId();
        created.set_value();
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == kToFront) {
                ShowWindow(window_, SW_SHOW);
                SetForegroundWindow(window_);
                continue;
            }
            DispatchMessageW(&msg);
        }
        DestroyWindow(window_);
    });
    ready.get();
}

OtherWindow::~OtherWindow() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
}

bool OtherWindow::bringToFront() {
    PostThreadMessageW(threadId_, kToFront, 0, 0);
    return wait_for([&] { return GetForegroundWindow() == window_; });
}

// ---- AttachedTracker ----

AttachedTracker::AttachedTracker(Options options) {
    trackerLog().clear();  // also makes the loggers before the tracker looks them up
    tracker_ = std::make_unique<HAMLOGTracker>(options.clocks);
    events_ = std::make_unique<EventJournal>(*tracker_);
    tracker_->setMainWindow(main_.window());
    tracker_->setKeyOptions(options.callTabToF2, options.fkeysInCodeQth);
    main_.drainFirst([this] { drain(); });
    gui_.emplace();
    gui_->run([this] { guiThreadId_ = GetCurrentThreadId(); });
    // start() throws on the GUI thread; carried back so it still fails the test that made this.
    std::exception_ptr failed;
    gui_->run([this, &failed, busy = options.busyAfterStartMs] {
        try {
            tracker_->start();
        } catch (...) {
            failed = std::current_exception();
        }
        if (busy > 0) {
            Sleep(static_cast<DWORD>(busy));
        }
    });
    if (failed) {
        std::rethrow_exception(failed);
    }
    if (options.awaitInstallation) {
        waitInstalled();
    }
}

bool AttachedTracker::waitInstalled() {
    installed_ = events_->waitFor("changeCqMachinePlayState");
    return installed_;
}

AttachedTracker::~AttachedTracker() {
    omvar::Snarel::StopHook();
    gui_->run([this] { tracker_->destroyHiddenWindow(); });
    gui_.reset();
    tracker_.reset();
}

void AttachedTracker::drain() {
    // Reactions run 10 ms after they were queued, in order: one queued now with the same delay
    // runs after all of them.
    std::promise<void> ran;
    std::future<void> done = ran.get_future();
    tracker_->taskQueue().schedule([&ran] { ran.set_value(); },
                                   10 * omvar::Vetrin::DeferredTaskQueue::kTicksPerMillisecond);
    if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        throw std::runtime_error("the tracker's task queue did not drain");
    }
}

LRESULT AttachedTracker::send(ULONG_PTR tag, const void* payload, DWORD size) {
    COPYDATASTRUCT data{};
    data.dwData = tag;
    data.cbData = size;
    data.lpData = const_cast<void*>(payload);
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(tracker_->hiddenWindow(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                        SMTO_ABORTIFHUNG, 5000, &answer);
    return static_cast<LRESULT>(answer);
}

}  // namespace tracker_test
