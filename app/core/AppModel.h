#pragma once

#include "AppSettings.h"
#include "Clocks.h"
#include "DeferredTaskQueue.h"
#include "DummyWindow.h"
#include "Event.h"
#include "HAMLOGTracker.h"
#include "InfoForMacroExpansion.h"
#include "LiveSettings.h"
#include "SendQueue.h"

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace spdlog {
class logger;
}

namespace omvar::Vetrin {

struct PacingSettings;

// How long the worker waits between steps when nothing wakes it.
struct WorkerPeriods {
    // Codes are pending or still held by the interface: its reported buffer size is followed.
    std::chrono::milliseconds following{10};
    // Nothing to send: only an unplug is to be noticed.
    std::chrono::milliseconds idle{50};
    // After a failed attempt to open an interface; only shutdown ends this one early.
    std::chrono::milliseconds reconnect{2000};
};

// The program's model: the settings, the connection with one QUENTRAX through the interface
// library's C functions, the send queue and the worker that feeds the interface, paddle input,
// the beacon, and the HAMLOG tracker. Events: below.
// Listeners run on the thread that emitted: the GUI thread, the worker, the model's deferred task
// thread or the tracker's.
class AppModel : public EventSource<AppModel> {
public:
    static constexpr Event<AppModel> kChangeDeviceState{"changeDeviceState"};
    // The speed now.
    static constexpr Event<AppModel, unsigned int> kUpdateWPM{"updateWPM"};
    // The whole send-buffer text.
    static constexpr Event<AppModel, std::wstring> kUpdateSendBuffer{"updateSendBuffer"};
    // The decoded paddle text.
    static constexpr Event<AppModel, std::wstring> kInputPaddleKeyboard{"inputPaddleKeyboard"};

    explicit AppModel(WorkerPeriods periods = {}, Clocks clocks = {});
    virtual ~AppModel();
    AppModel(const AppModel&) = delete;
    AppModel& operator=(const AppModel&) = delete;

    // On the GUI thread, once: loads the settings, opens the first interface, applies the keyer
    // settings, starts the tracker (forwarding HAMLOG's keys to mainWindow, may be null) and the
    // worker.
    void start(HWND mainWindow);
    // On the GUI thread, once, at exit: wakes and joins the worker, stops the beacon, ends both
    // deferred task threads (a task under way first), stops the hooks, destroys the tracker's
    // hidden window, closes the interface and saves the settings. Safe to call without start and
    // more than once.
    void shutdown();

    // Settings.
    AppSettings settings() const;  // a copy of the live record
    LiveSettings& liveSettings();
    void applySettings(AppSettings settings);

    // Connection.
    int nId() const;
    std::wstring versionText();
    void reconnect();

    // Speed: each returns the resulting WPM. setWpm stores, sends and emits "updateWPM"
    // (the speed slider).
    unsigned int speedUp();
    unsigned int speedDown();
    void setWpm(unsigned int wpm);

    // Send buffer. addToSendBuffer and sendFnMessage queue the text when they return; what they
    // read from HAMLOG may take each field up to a second, so not on the window thread. A text
    // whose mode or call-sign read fails is not queued, with a warning that names the field.
    // Nothing is queued when a clear comes after unlessClearedSince (by default: after the call
    // began) and before the text is in the queue.
    void addToSendBuffer(std::wstring_view text, bool expand,
                         std::optional<SendQueue::ClearCount> unlessClearedSince = std::nullopt);
    void sendFnMessage(int bank, int index);
    // The same for the window thread, which never waits for HAMLOG: the beacon stops at once, and
    // the text is read and queued on the model's request thread, in the order asked for. A clear
    // that comes first drops it.
    void requestFnMessage(int bank, int index);
    void requestText(std::wstring_view text);
    // True once every request made so far has been handled.
    bool waitForRequests(std::chrono::milliseconds bound);
    void clearSendBuffer();
    void resetSendBuffer();
    // Takes back up to n pending elements from the end and emits "updateSendBuffer".
    void takeBackPending(std::size_t n);
    std::wstring sendBufferText() const;
    // Whether HAMLOG's mode allows keying; nothing when HAMLOG did not answer.
    std::optional<bool> isCwMode();
    // The fields not asked for are not read from HAMLOG; those it did not answer for are marked
    // missing.
    InfoForMacroExpansion makeInfoForMacroExpansion(MacroFields fields = {});

    // Beacon.
    bool beaconOn() const;
    // If off: logs "ビーコン: ON", switches it on and schedules the first call at once.
    void startBeacon();
    // If on: waits until no scheduling is in progress, switches it off, logs "ビーコン: OFF".
    // Returns whether it was on.
    bool stopBeacon();

    // Half-width kana input: paddle input is decoded with the Wabun table first while on.
    bool kanaMode() const;
    void setKanaMode(bool on);

    HAMLOGTracker& tracker();
    DeferredTaskQueue& taskQueue();
    SendQueue& sendQueue();
    HWND notificationWindow() const;

    // What the worker waits for after a step: the next look at the interface's buffer, an unplug
    // to notice, or the next attempt to open an interface.
    enum class WorkerPause { following, idle, reconnect };

    // Run by the worker, the hidden window and the deferred task thread; public for tests.
    WorkerPause workerStep();
    void onInterfaceNotification(UINT message, WPARAM wParam, LPARAM lParam);
    void onPaddleInput(unsigned int code);

private:
    struct State;
    struct Chunk;  // the codes of one packet, taken at the cursor

    void subscribeTrackerEvents();
    void runWorker();
    // Clearing and shutdown: ends a playback wait and the wait between steps at once; counted,
    // so the worker can tell whether one came.
    void wakeWorker();
    std::uint64_t wakeupCount();
    // Queued text, a settings change: ends the wait between steps, not a playback wait.
    void signalWork();
    std::uint64_t workSignals();
    void waitForWork(WorkerPause pause, std::uint64_t signalsBefore);
    // True when woken (clearing, shutdown) since wakeupsBefore, false when the time ran out.
    bool waitWhilePlaying(long long waitMs, std::uint64_t wakeupsBefore);

    // The steps of workerStep. ensureInterface tries to open an interface while none is; false
    // when there still is none.
    bool ensureInterface();
    // One shown-only element at the cursor per step.
    void takeShownElement();
    // The beacon is on, its last call keyed, the interface idle and no firing scheduled.
    bool beaconDue(int buffered);
    // The next firing, unless a start has scheduled one since the worker looked.
    void scheduleNextBeacon(int milliseconds);
    void scheduleBeacon(int milliseconds);  // with the task queue's mutex held
    void fireBeacon(std::uint64_t run);
    // How many codes go out now; 0 for none. Leaves paddle mode when new text came (buffered
    // becomes 0).
    int chunkLength(std::size_t pending, int& buffered, const PacingSettings& pacing);
    void keyChunk(int n, int buffered, const PacingSettings& pacing);
    Chunk collectChunk(int n);
    // False when a clear came since the chunk's elements were taken and nothing was sent.
    bool putChunk(const Chunk& chunk, int buffered, const PacingSettings& pacing);
    // The interface stopped answering: closes it and says so.
    void dropConnection();
    // Takes the interface just opened (or -1 for none): its slot, the log lines, the callback
    // window, the settings, and the event.
    void useInterface(int id, bool reconnected);
    unsigned int changeSpeed(int (*next)(int wpm));
    void insertTimeStamp();
    // Stops the beacon for a stored message, and clears what its call left.
    void stopBeaconForMessage();
    void addStoredMessage(int bank, int index, std::optional<SendQueue::ClearCount> clearsBefore);
    // A word space or a shown blank apart from earlier text, then the text, expanded with info
    // when it is a stored message; false when a clear came since clears and nothing was added.
    bool appendMessage(std::wstring_view text, const std::optional<InfoForMacroExpansion>& info,
                       SendQueue::ClearCount clears);
    // The late macro at the cursor by HAMLOG's fields as they are now; false when HAMLOG did not
    // answer for its field, and the pending text went.
    bool expandLateMacro();

    std::unique_ptr<State> state_;
};

}  // namespace omvar::Vetrin
