#pragma once

#include "Clocks.h"
#include "DeferredTaskQueue.h"
#include "DummyWindow.h"
#include "Event.h"
#include "HamlogIds.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

namespace spdlog {
class logger;
}

namespace omvar::Vetrin {

// The program's view of HAMLOG: receives the records the hook library forwards from HAMLOG's GUI
// thread, maps HAMLOG's windows and the controls of its log windows, decides for each key typed
// in a log window whether HAMLOG gets it, and turns what the operator does there into the
// events below.
// Typing in the name field emits nothing: the operator writes down the name he hears while his own
// message is keyed, and an edit event stops the keying.
// Events run on the tracker's task-queue thread, 10 ms after the message that caused them; only
// the three events emitted when the hooks are installed run on the thread that owns the hidden
// window.
class HAMLOGTracker : public EventSource<HAMLOGTracker> {
public:
    static constexpr Event<HAMLOGTracker> kChangeForeground{"changeForeground"};
    static constexpr Event<HAMLOGTracker> kChangeFocus{"changeFocus"};
    static constexpr Event<HAMLOGTracker> kActiveLogWindow{"activeLogWindow"};
    static constexpr Event<HAMLOGTracker> kRequestToFn02{"requestToFn02"};
    static constexpr Event<HAMLOGTracker> kRequestToToggleBank{"requestToToggleBank"};
    static constexpr Event<HAMLOGTracker> kRequestToUpWpm{"requestToUpWpm"};
    static constexpr Event<HAMLOGTracker> kRequestToDownWpm{"requestToDownWpm"};
    static constexpr Event<HAMLOGTracker> kInputSemicolonToRemark2{"inputSemicolonToRemark2"};
    // The active log window's rectangle on screen.
    static constexpr Event<HAMLOGTracker, RECT> kChangeWindowRect{"changeWindowRect"};
    // Checked: the CQ box as HAMLOG has it.
    static constexpr Event<HAMLOGTracker, bool> kChangeCqCheck{"changeCqCheck"};
    static constexpr Event<HAMLOGTracker, bool> kChangeCqMachinePlayState{
        "changeCqMachinePlayState"};
    // The call field's new text.
    static constexpr Event<HAMLOGTracker, std::wstring> kEditCallsign{"editCallsign"};
    // Never raised (typing in the name field emits nothing, see above); the controller listens
    // for it as for an edit of the call field.
    static constexpr Event<HAMLOGTracker, std::wstring> kEditHisName{"editHisName"};

    // The clocks are a test's seam. Queued reactions are due on the monotonic one: a step of the
    // wall clock moves none of them, so a key stays behind the edit queued before it.
    explicit HAMLOGTracker(const Clocks& clocks = {});
    virtual ~HAMLOGTracker();
    HAMLOGTracker(const HAMLOGTracker&) = delete;
    HAMLOGTracker& operator=(const HAMLOGTracker&) = delete;

    // The window that receives the keys taken from HAMLOG (the program's main frame); null
    // (the default) forwards nothing. Set before start.
    void setMainWindow(HWND window);
    // Tab in the call field sends F2; function keys are taken also in the CODE and QTH fields.
    // Any thread, any time; the next key follows them.
    void setKeyOptions(bool callTabToF2, bool fkeysInCodeQth);

    // Creates the hidden window on the calling thread (the GUI thread), hands the hook library
    // its logger, filter and notify window, starts its watcher and the task queue.
    void start();
    // WM_COPYDATA handler of the hidden window; nonzero asks the hook library to swallow the
    // message. Never throws: a failure is logged and answered 0. A payload that is not exactly
    // one record is answered 0.
    int onCopyData(HWND sender, const COPYDATASTRUCT* data);

    // Readers and writer of the active log window (the one activated last, log window A until
    // one was); the key rules use its controls too. Any thread; the readers ask HAMLOG's thread
    // and give nothing when it does not answer within a second (80 ms on the thread of the
    // hidden window, the program's window thread). A control that is not mapped reads as empty
    // text and an unchecked box.
    std::optional<std::wstring> readControlText(HamlogControlId id);
    std::optional<bool> readCqCheck();
    // Sets the box on the task queue's thread, after the reactions queued before: the caller
    // never waits for HAMLOG.
    void setCqCheck(bool checked);
    bool readCqMachinePlaying();

    // Handle of the active log window (log window A until one was activated); null when unknown.
    HWND activeLogWindow() const;
    // Taken and released by the shutdown so that no task is being scheduled or run.
    DeferredTaskQueue& taskQueue();
    // Destroys the hidden window; no record is received afterwards. On the GUI thread.
    void destroyHiddenWindow();
    HWND hiddenWindow() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace omvar::Vetrin
