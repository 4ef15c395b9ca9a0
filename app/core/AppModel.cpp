// The model's life cycle, the connection with the interface and the keyer settings.
#include "AppModelState.h"
#include "Loggers.h"

#include "Snarel.h"
#include "quentrax.h"

#include <spdlog/spdlog.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <iterator>
#include <utility>

namespace omvar::Vetrin {

namespace {

constexpr WPARAM kEncoderUp = 1;
constexpr WPARAM kEncoderDown = 2;
constexpr WPARAM kMessageButton = 3;

// A weight in dot units as the interface takes it: twice the weight, rounded. Values far out of
// range (only a hand-edited settings file has them) are kept within a byte, which the interface
// then refuses.
int halfUnits(float weight) {
    const double twice = std::clamp(static_cast<double>(weight) * 2.0 + 0.5, -1.0, 255.0);
    return static_cast<int>(twice);
}

}  // namespace

AppModel::AppModel(WorkerPeriods periods, Clocks clocks) : state_(std::make_unique<State>(clocks)) {
    state_->logger = namedLogger("Vetrin");
    state_->periods = periods;
}

AppModel::~AppModel() {
    try {
        shutdown();
    } catch (...) {
        // A destructor lets nothing escape; shutdown itself only logs.
    }
}

void AppModel::start(HWND mainWindow) {
    State& s = *state_;
    if (s.started || s.shutDown) {
        return;
    }
    s.started = true;
    s.tasks.start();
    s.settings.load();
    s.notifyMessage = RegisterWindowMessageW(L"QUENTRAX.DLL");
    s.hidden = DummyWindow::create();
    // The hidden window's procedure catches and logs whatever a handler throws.
    s.hidden->setMessageHook([this](UINT message, WPARAM wParam, LPARAM lParam) {
        onInterfaceNotification(message, wParam, lParam);
    });

    useInterface(quentraxOpen(0), false);

    subscribeTrackerEvents();
    s.tracker.setMainWindow(mainWindow);
    s.tracker.start();

    s.worker = std::thread([this] { runWorker(); });
}

void AppModel::subscribeTrackerEvents() {
    State& s = *state_;
    auto note = [this](spdlog::level::level_enum level, const char* event) {
        state_->logger->log(level, "HAMLOGウィンドウ: {}", event);
    };
    const auto subscribe = [&s](Subscription subscription) {
        s.trackerListeners.push_back(std::move(subscription));
    };
    subscribe(s.tracker.add_listener(HAMLOGTracker::kRequestToUpWpm, [this, note] {
        note(spdlog::level::trace, "requestToUpWpm");
        speedUp();
    }));
    subscribe(s.tracker.add_listener(HAMLOGTracker::kRequestToDownWpm, [this, note] {
        note(spdlog::level::debug, "requestToDownWpm");
        speedDown();
    }));
    subscribe(s.tracker.add_listener(
        HAMLOGTracker::kChangeCqMachinePlayState, [this, note](bool playing) {
            note(spdlog::level::trace, "changeCqMachinePlayState");
            State& st = *state_;
            if (st.settings.update([](AppSettings& live) { return live.pttCqMachine; })) {
                st.withDevice([&](int nId) { quentraxSetPTT(nId, playing ? 1 : 0); });
            }
        }));
    subscribe(s.tracker.add_listener(HAMLOGTracker::kInputSemicolonToRemark2, [note] {
        note(spdlog::level::trace, "inputSemicolonToRemark2");
    }));
}

void AppModel::shutdown() {
    State& s = *state_;
    if (s.shutDown) {
        return;
    }
    s.shutDown = true;
    // First: a request waiting for HAMLOG would queue text behind the worker's back.
    s.requests.stop();
    {
        // Under the wait lock, so a worker about to wait sees the flag instead of sleeping on.
        std::lock_guard held(s.wait);
        s.stopRequested = true;
        ++s.wakeups;
    }
    s.wait.notifyAll();
    if (s.worker.joinable()) {
        s.worker.join();
    }
    // No task runs from here on: a firing or a tracker event under way ends first, so nothing
    // reads HAMLOG once the hooks and the tracker's window go.
    stopBeacon();
    s.tasks.stop();
    s.tracker.taskQueue().stop();
    if (!s.started) {
        return;  // nothing was loaded, opened or hooked; saving would write an empty record
    }
    omvar::Snarel::StopHook();
    s.tracker.destroyHiddenWindow();
    s.closeInterface();
    s.hidden.reset();  // the interface, closed, sends nothing more
    s.settings.save();
}

AppSettings AppModel::settings() const {
    return state_->settings.snapshot();
}

LiveSettings& AppModel::liveSettings() {
    return state_->settings;
}

void AppModel::applySettings(AppSettings next) {
    State& s = *state_;
    const bool noReduceFreezes =
        s.settings.update([](AppSettings& live) { return live.noReduceDeviceFreezes; });
    s.withDevice([&](int id) {
        if (id == -1) {
            return;
        }
        // The interface library logs its own refusals; the results are not needed here.
        quentraxSetWPM(id, next.wpm);
        quentraxSetPTTParam(id, next.ptt ? next.pttDelayP : 0, next.ptt ? next.pttDelayA : 0);
        quentraxSetPaddle(id, next.paddleRvs ? 1 : 0);
        quentraxSetSideTone(id, next.sideTone ? next.toneLevel + 1 : 0);
        quentraxSetWeight(id, halfUnits(next.weightDot), halfUnits(next.weightDash));
        quentraxSetExtendedOption(id, 1, noReduceFreezes ? 0 : 1);
    });
    s.tracker.setKeyOptions(next.spyHlKey && next.zLogKey, next.spyHlKey && next.hookAnyway);
    s.settings.apply(next);
    signalWork();  // the speed and weights the worker paces with may have changed
}

int AppModel::nId() const {
    return state_->currentId();
}

std::wstring AppModel::versionText() {
    State& s = *state_;
    {
        std::lock_guard held(s.mutex);
        if (!s.versionText.empty()) {
            return s.versionText;
        }
    }
    const int version = s.withDevice([](int id) { return quentraxGetVersion(id); });
    if (version <= 0) {
        return {};
    }
    wchar_t text[32];
    std::swprintf(text, std::size(text), L"%d.%d", version / 10, version % 10);
    std::lock_guard held(s.mutex);
    if (s.versionText.empty()) {
        s.versionText = text;
    }
    return s.versionText;
}

void AppModel::reconnect() {
    State& s = *state_;
    if (s.currentId() != -1) {
        return;  // a second open would take a second slot for the same interface
    }
    const int id = quentraxOpen(0);
    if (id != -1) {
        useInterface(id, true);
    }
}

void AppModel::useInterface(int id, bool reconnected) {
    State& s = *state_;
    {
        std::lock_guard held(s.mutex);
        s.nId = id;
    }
    if (id == -1) {
        s.logger->info("QUENTRAXが接続されていません");
    } else {
        if (reconnected) {
            s.logger->info("QUENTRAXが再接続されました");
        }
        s.logger->info("使用中のデバイス: QUENTRAX Ver.{}", quentrax::wide_to_utf8(versionText()));
    }
    s.withDevice(
        [&](int nId) { quentraxSetCallbackWindow(nId, s.hidden ? s.hidden->handle() : nullptr); });
    applySettings(settings());
    emit(kChangeDeviceState);
}

void AppModel::dropConnection() {
    State& s = *state_;
    s.closeInterface();
    s.heldCodes.forget();
    s.logger->info("デバイスが切断されました");
    emit(kChangeDeviceState);
}

unsigned int AppModel::speedUp() {
    return changeSpeed([](int wpm) { return wpm >= kMaxWpm ? wpm : wpm + 1; });
}

unsigned int AppModel::speedDown() {
    return changeSpeed([](int wpm) { return wpm <= kMinWpm ? wpm : wpm - 1; });
}

void AppModel::setWpm(unsigned int wpm) {
    const int wanted = static_cast<int>(std::clamp<unsigned int>(wpm, kMinWpm, kMaxWpm));
    State& s = *state_;
    s.settings.update([&](AppSettings& live) { live.wpm = wanted; });
    s.withDevice([&](int id) { quentraxSetWPM(id, wanted); });
    emit(kUpdateWPM, static_cast<unsigned int>(wanted));
}

unsigned int AppModel::changeSpeed(int (*next)(int)) {
    State& s = *state_;
    // Read and changed under the settings' lock, so two requests at once both count.
    const auto [before, after] = s.settings.update([&](AppSettings& live) {
        const int old = live.wpm;
        live.wpm = next(old);
        return std::pair{old, live.wpm};
    });
    if (after == before) {
        return static_cast<unsigned int>(after);
    }
    // Sent even without an interface: the library refuses the id and logs it.
    s.withDevice([&](int id) { quentraxSetWPM(id, after); });
    emit(kUpdateWPM, static_cast<unsigned int>(after));
    return static_cast<unsigned int>(after);
}

void AppModel::onInterfaceNotification(UINT message, WPARAM wParam, LPARAM) {
    State& s = *state_;
    if (s.notifyMessage == 0 || message != s.notifyMessage) {
        return;
    }
    if (wParam <= 0xFFFF) {
        onPaddleInput(static_cast<unsigned int>(wParam & 0xFF));
        return;
    }
    switch (wParam >> 16) {
        case kEncoderUp:
            speedUp();
            break;
        case kEncoderDown:
            speedDown();
            break;
        case kMessageButton:
            startBeacon();
            break;
        default:
            break;
    }
}

bool AppModel::kanaMode() const {
    return state_->kanaMode;
}

void AppModel::setKanaMode(bool on) {
    state_->kanaMode = on;
}

HAMLOGTracker& AppModel::tracker() {
    return state_->tracker;
}

DeferredTaskQueue& AppModel::taskQueue() {
    return state_->tasks;
}

SendQueue& AppModel::sendQueue() {
    return state_->queue;
}

HWND AppModel::notificationWindow() const {
    return state_->hidden ? state_->hidden->handle() : nullptr;
}

}  // namespace omvar::Vetrin
