#include "HAMLOGTracker.h"

#include "HamlogWindowMap.h"
#include "HamlogWindowRescan.h"
#include "HookMessageRecord.h"
#include "HookedMessage.h"
#include "KeyTable.h"
#include "Loggers.h"
#include "MessageNames.h"
#include "Snarel.h"
#include "TextEncoding.h"

#include <spdlog/spdlog.h>

#include <algorithm>
#include <atomic>
#include <bitset>
#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace omvar::Vetrin {

namespace {

// Every reaction runs this long after the message that caused it, after HAMLOG has its answer.
constexpr std::int64_t kTaskDelay = 10 * DeferredTaskQueue::kTicksPerMillisecond;
// A handling longer than this is logged with the message's name.
constexpr float kSlowHandlingMs = 10.0f;
// Bound for a request to HAMLOG's thread, the same as the hook library's for a record.
constexpr UINT kHamlogAnswerTimeoutMs = 1000;
// The same from the program's window thread, where the operator's clicks and keys wait with the
// request (the window is to answer within 100 ms): a running HAMLOG answers a field's text
// within a few milliseconds, a hung one not at all.
constexpr UINT kGuiThreadAnswerTimeoutMs = 80;

constexpr UINT kMessage004D = 0x004D;
constexpr wchar_t kCqStopCaption[] = L"再生中断(&A)";

const std::vector<unsigned int> kMessageFilter = {
    WM_NULL,      WM_KEYDOWN,  WM_KEYUP,    WM_SYSKEYDOWN,       WM_SYSKEYUP,
    WM_CHAR,      WM_SIZE,     WM_MOVE,     WM_ACTIVATE,         WM_SETFOCUS,
    WM_KILLFOCUS, BM_SETCHECK, BM_SETSTATE, WM_WINDOWPOSCHANGED, kMessage004D,
};

bool isKeyDown(UINT message) {
    return message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
}

bool isKeyUp(UINT message) {
    return message == WM_KEYUP || message == WM_SYSKEYUP;
}

// An unmapped control matches no message (a thread message has no window either).
bool inControl(const HookedMessage& m, const LogControls& controls, HamlogControlId id) {
    return controls[id] != nullptr && m.hwnd == controls[id];
}

std::wstring caption(HWND window) {
    wchar_t text[64] = {};
    const int length = GetWindowTextW(window, text, 64);
    return std::wstring(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

}  // namespace

struct HAMLOGTracker::State {
    State(HAMLOGTracker& tracker, std::shared_ptr<spdlog::logger> log,
          Clocks::Source monotonicTicks)
        : owner(tracker),
          logger(std::move(log)),
          map(logger),
          rescan(
              map, tasks, [this] { return activeLogId(); }, [this] { emitInitialState(); }),
          tasks(std::move(monotonicTicks)) {}

    int onCopyData(const COPYDATASTRUCT* data);
    void followKeyboard(const Snarel::HookMessageRecord& record);
    void onHooksInstalled();
    void emitInitialState();
    void allowRecordsFromLowerRights();
    void onHooksRemoved();
    void onHookedMessage(HookedMessage& m);
    void handleLogWindowMessage(HookedMessage& m);
    void applyKeyRules(HookedMessage& m);
    // True when the key-down is to be forwarded to the main window.
    bool applyBindings(HookedMessage& m, const LogControls& controls);
    bool bindingHolds(const KeyBinding& binding, const HookedMessage& m,
                      const LogControls& controls) const;
    // True when the key-down is to be forwarded.
    bool runBinding(KeyCommand command, const HookedMessage& m);
    void applyTabRule(HookedMessage& m, bool inCallField);
    void applyEnterRule(HookedMessage& m);
    void followCallField(const HookedMessage& m, HWND field);
    void reportCallField(HWND field);
    void forwardToMainWindow(const HookedMessage& m);

    void activate();
    void injectEnter();
    void requestF2();

    int activeLogId() const;
    std::optional<LRESULT> askHamlog(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const;
    std::optional<std::wstring> readText(HWND field) const;
    std::optional<std::wstring> readControlText(HamlogControlId id) const;
    std::optional<bool> readCqCheck() const;
    void writeCqCheck(bool checked) const;
    // Emits "changeCqCheck" with the box as HAMLOG answers; nothing but a warning when it does
    // not.
    void emitCqCheck();
    bool readCqMachinePlaying() const;
    RECT activeLogRect() const;

    // Runs the body on the task queue after the delay; nothing it throws leaves it.
    void queue(std::function<void()> body);
    template <typename... Args>
    void queueEvent(const Event<HAMLOGTracker, Args...>& event,
                    std::type_identity_t<Args>... args) {
        queue([this, event, args...] { owner.emit(event, args...); });
    }

    HAMLOGTracker& owner;
    std::shared_ptr<spdlog::logger> logger;
    HamlogWindowMap map;

    // Read by the task thread too.
    std::atomic<HWND> mainWindow{nullptr};
    std::atomic<DWORD> guiThread{0};  // the thread of the hidden window: the program's windows
    std::atomic<int> foregroundId{0};
    std::atomic<int> focusFormId{0};
    std::atomic<int> activeLog{0};
    std::atomic<bool> enterPending{false};  // set by the task thread, cleared by the GUI thread
    std::atomic<bool> tabPending{false};
    std::atomic<bool> callTabToF2{false};
    std::atomic<bool> fkeysInCodeQth{false};
    std::atomic<int> queuedTasks{0};  // queued and not yet run to their end

    // Only on the thread that owns the hidden window.
    struct {
        HWND window = nullptr;
        HWND owner = nullptr;
    } ownerOf;  // the foreground window last seen and its owner
    // Also written by the rescan on the task thread.
    std::atomic<bool> cqMachinePlaying{false};
    RECT logWindowRect{};
    HeldModifiers keyboard;
    // The call field's text at a key-down in it, the keys whose key-down HAMLOG did not get, and
    // those down in it and not up yet.
    struct {
        std::wstring last;
        std::bitset<256> swallowed;
        std::bitset<256> held;
    } callField;

    DummyWindow::Holder hidden;
    HamlogWindowRescan rescan;  // its turns run on the task queue below
    // Last: destroyed first, so no task is left running on what the members above hold.
    DeferredTaskQueue tasks;
};

// ---- receiving ----

int HAMLOGTracker::State::onCopyData(const COPYDATASTRUCT* data) {
    if (data == nullptr || data->dwData != Snarel::GetMessageDataId()) {
        return 0;
    }
    // Exactly one record; anything else may not even hold the bytes it claims.
    const auto record = Snarel::readHookRecord(*data);
    if (!record) {
        return 0;
    }
    // The hook library repeats an announcement until it is acknowledged with a nonzero answer.
    switch (record->kind) {
        case Snarel::HookRecordKind::hooksInstalled:
            onHooksInstalled();
            return 1;
        case Snarel::HookRecordKind::hooksRemoved:
            onHooksRemoved();
            return 1;
        case Snarel::HookRecordKind::message:
            break;
        default:
            return 0;
    }
    followKeyboard(*record);
    HookedMessage m =
        HookedMessage::from(*record, keyboard.forKey(record->message, record->lParam));
    const auto start = std::chrono::steady_clock::now();
    onHookedMessage(m);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count();
    const float elapsed = static_cast<float>(nanoseconds) / 1000000.0f;
    if (elapsed > kSlowHandlingMs) {
        logger->warn("[{:.1f}ms] {} msg: {}({}), wParam: {}, lParam: {}, hwnd: {}", elapsed,
                     m.post ? "(POST)" : "(PRE) ", messageDisplayName(m.message), m.message,
                     m.wParam, m.lParam, record->hwnd);
    }
    return m.cancel ? 1 : 0;
}

// Every key record, whatever window is in front: the modifiers HAMLOG holds.
void HAMLOGTracker::State::followKeyboard(const Snarel::HookMessageRecord& record) {
    if (record.message == WM_ACTIVATE) {
        keyboard.reset(LOWORD(record.wParam) == WA_INACTIVE ? Modifiers{} : sampleModifiers());
    }
    keyboard.follow(record.message, record.wParam);
}

void HAMLOGTracker::State::onHooksInstalled() {
    logger->debug("HAMLOGフックのインストール");
    map.findWindows();
    map.findControls();
    emitInitialState();
}

// At the hooks' installation, and when the log window followed is mapped later than that.
void HAMLOGTracker::State::emitInitialState() {
    const bool playing = readCqMachinePlaying();
    cqMachinePlaying = playing;
    owner.emit(kChangeWindowRect, activeLogRect());
    // Read with the window thread's short bound; a box HAMLOG is too busy to tell about now is
    // asked for again, with the whole bound, off this thread.
    if (const auto checked = readCqCheck()) {
        owner.emit(kChangeCqCheck, *checked);
    } else {
        queue([this] { emitCqCheck(); });
    }
    owner.emit(kChangeCqMachinePlayState, playing);
}

// The system drops a WM_COPYDATA from a process with lower rights (a HAMLOG started without the
// administrator rights this program has) unless the window lets it through; the handler checks
// the tag and the size of what comes.
void HAMLOGTracker::State::allowRecordsFromLowerRights() {
    if (!ChangeWindowMessageFilterEx(hidden->handle(), WM_COPYDATA, MSGFLT_ALLOW, nullptr)) {
        logger->warn(
            "WM_COPYDATA could not be let through from processes with lower rights "
            "(error {}): HAMLOG must not run with lower rights than this program",
            GetLastError());
    }
}

void HAMLOGTracker::State::onHooksRemoved() {
    logger->debug("HAMLOGフックのアンインストール");
    map.clear();
    ownerOf = {};
    keyboard.reset({});
    foregroundId = 0;
    focusFormId = 0;
    activeLog = 0;
    // The old HAMLOG will not send back an Enter or a Tab key-up; waiting for them would take
    // the next ones from the new HAMLOG.
    enterPending = false;
    tabPending = false;
}

void HAMLOGTracker::State::onHookedMessage(HookedMessage& m) {
    const HWND foreground = GetForegroundWindow();
    // A window keeps its owner; asking for it again for every record of the same window in
    // front would cost HAMLOG's waiting thread one more system call each time.
    if (foreground != ownerOf.window) {
        ownerOf = {foreground, GetWindow(foreground, GW_OWNER)};
    }
    if (ownerOf.owner != map.window(HamlogWindowId::applicationWindow)) {
        return;  // HAMLOG is not in front
    }
    if (!map.seen(foreground)) {
        map.findWindows();
    }
    const int newForeground = map.windowIdOf(foreground);
    if (foregroundId.exchange(newForeground) != newForeground) {
        queueEvent(kChangeForeground);
    }
    const int newFocus = map.logWindowIdOfControl(m.focusWindow);
    if (focusFormId.exchange(newFocus) != newFocus) {
        queueEvent(kChangeFocus);
    }
    handleLogWindowMessage(m);
}

void HAMLOGTracker::State::handleLogWindowMessage(HookedMessage& m) {
    const int foreground = foregroundId;
    if (isLogWindow(foreground)) {
        // A log window in front whose controls are not mapped yet counts as activated too: its
        // activation may have come before the hooks, as when HAMLOG starts while it is
        // being hooked, and would otherwise leave it unmapped until it is activated again.
        const bool activated = m.message == WM_ACTIVATE && m.wParam != 0;
        if ((activated || !map.controls(foreground).mapped()) && foreground != activeLog) {
            logger->debug("ログウィンドウがアクティブになりました");
            activeLog = foreground;
            queue([this] { activate(); });
        }
        if ((m.message == WM_ACTIVATE || m.message == WM_MOVE || m.message == WM_SIZE) && m.post) {
            const RECT rect = activeLogRect();
            if (!EqualRect(&rect, &logWindowRect)) {
                logWindowRect = rect;
                queueEvent(kChangeWindowRect, rect);
            }
        }
        if (isKeyDown(m.message) || isKeyUp(m.message)) {
            applyKeyRules(m);
        }
        if (m.message == kMessage004D) {
            m.cancel = true;
        }
        const LogControls controls = map.controls(activeLogId());
        const HWND cqCheck = controls[HamlogControlId::cqCheck];
        if (m.message == BM_SETCHECK && cqCheck != nullptr && m.hwnd == cqCheck) {
            queueEvent(kChangeCqCheck, m.wParam == BST_CHECKED);
        }
        const HWND remarks2 = controls[HamlogControlId::remarks2Field];
        if (m.message == WM_CHAR && remarks2 != nullptr && m.hwnd == remarks2 && m.wParam == ';') {
            logger->trace("Remark2にセミコロンが入力されました\n");
            queueEvent(kInputSemicolonToRemark2);
        }
    }
    if (m.message == WM_WINDOWPOSCHANGED && caption(m.hwnd) == kCqStopCaption) {
        const bool playing = readCqMachinePlaying();
        if (playing != cqMachinePlaying) {
            cqMachinePlaying = playing;
            queueEvent(kChangeCqMachinePlayState, playing);
        }
    }
}

void HAMLOGTracker::State::applyKeyRules(HookedMessage& m) {
    const LogControls controls = map.controls(activeLogId());
    const bool inCallField = inControl(m, controls, HamlogControlId::callField);
    // A key let go in another field than the one it went down in (Tab moved the focus) is no
    // longer held in the first.
    if (!isKeyDown(m.message)) {
        callField.held.reset(m.wParam & 0xFF);
    }
    // Forwarded last, after what the key press changed in a field has been taken into account.
    const bool forward = applyBindings(m, controls);
    applyTabRule(m, inCallField);
    applyEnterRule(m);
    // Only the call field: the operator types the other station's name while his own message is
    // keyed, and an edit event stops the keying.
    if (inCallField) {
        followCallField(m, controls[HamlogControlId::callField]);
    }
    if (forward) {
        forwardToMainWindow(m);
    }
}

// Tab in the call field, when it is to send F2, is taken from HAMLOG, its repeats too; at its
// key-up an Enter goes to HAMLOG in its place.
void HAMLOGTracker::State::applyTabRule(HookedMessage& m, bool inCallField) {
    if (m.wParam != VK_TAB) {
        return;
    }
    if (isKeyDown(m.message)) {
        if (inCallField && callTabToF2) {
            tabPending = true;
        }
        if (tabPending) {
            m.cancel = true;  // also the key repeat while the key-up is awaited
        }
    } else if (tabPending.exchange(false)) {
        m.cancel = true;
        queue([this] { injectEnter(); });
    }
}

// While the Enter injected for a Tab is awaited, Enter is taken from HAMLOG; at its key-up F2
// is requested.
void HAMLOGTracker::State::applyEnterRule(HookedMessage& m) {
    if (m.wParam != VK_RETURN || !enterPending) {
        return;
    }
    m.cancel = true;
    if (!isKeyDown(m.message)) {
        enterPending = false;
        logger->debug("[ENTER] <");
        logger->debug("[F2]");
        queue([this] { requestF2(); });
    }
}

// Every binding of HAMLOG's log window that holds takes the key from HAMLOG; its reaction
// follows the key-down.
bool HAMLOGTracker::State::applyBindings(HookedMessage& m, const LogControls& controls) {
    bool forward = false;
    for (const KeyBinding& binding : keyBindings()) {
        if (bindingHolds(binding, m, controls)) {
            m.cancel = true;
            forward = runBinding(binding.command, m) || forward;
        }
    }
    return forward;
}

bool HAMLOGTracker::State::bindingHolds(const KeyBinding& binding, const HookedMessage& m,
                                        const LogControls& controls) const {
    if (!isHamlogPlace(binding.place) ||
        !matches(binding, m.message, static_cast<std::uint32_t>(m.wParam),
                 {m.shift, m.ctrl, m.alt})) {
        return false;
    }
    const auto in = [&m, &controls](HamlogControlId id) { return inControl(m, controls, id); };
    switch (binding.place) {
        case KeyPlace::logCallField:
            return in(HamlogControlId::callField);
        case KeyPlace::logKeyField:
            return fkeysInCodeQth ||
                   !(in(HamlogControlId::codeField) || in(HamlogControlId::qthField));
        default:
            return true;
    }
}

bool HAMLOGTracker::State::runBinding(KeyCommand command, const HookedMessage& m) {
    const bool down = isKeyDown(m.message);
    const auto key = static_cast<std::uint32_t>(m.wParam);
    const Event<HAMLOGTracker>* request = nullptr;
    switch (command) {
        case KeyCommand::forwardToFrame:
            if (key >= VK_F1 && key <= VK_F12) {
                logger->debug("F{}キーをキャンセル", key - 0x6F);
            }
            return down;
        case KeyCommand::requestToUpWpm:
            request = &kRequestToUpWpm;
            break;
        case KeyCommand::requestToDownWpm:
            request = &kRequestToDownWpm;
            break;
        case KeyCommand::requestToToggleBank:
            request = &kRequestToToggleBank;
            break;
        default:
            break;  // only taken away
    }
    if (request != nullptr && down) {
        queueEvent(*request);
    }
    return false;
}

// The call field's text at a key-down, compared at the key-up: what the key press changed. A key
// taken from HAMLOG changes nothing there, so its key-down and key-up skip the two reads (each a
// round trip to HAMLOG's thread while it waits), which a function key in the call field would
// otherwise double HAMLOG's wait with.
void HAMLOGTracker::State::followCallField(const HookedMessage& m, HWND field) {
    const std::size_t key = m.wParam & 0xFF;
    if (isKeyDown(m.message)) {
        callField.swallowed.set(key, m.cancel);
        if (m.cancel) {
            // A key taken while another is still down in the field (typing fast, the keys roll
            // over): what that one typed is reported now, before the taken key's own reaction,
            // not at its key-up, which may come after the reaction has queued something.
            if (callField.held.any()) {
                reportCallField(field);
            }
            return;
        }
        callField.held.set(key);
        // A text HAMLOG did not give keeps the last one known, which the key-up compares with.
        if (auto text = readText(field)) {
            callField.last = std::move(*text);
        }
        return;
    }
    callField.held.reset(key);
    if (callField.swallowed.test(key)) {
        callField.swallowed.reset(key);
        return;
    }
    reportCallField(field);
}

void HAMLOGTracker::State::reportCallField(HWND field) {
    logger->trace("CALL欄でキーが入力されました");
    auto read = readText(field);
    if (!read) {
        return;  // no text, no edit to report
    }
    std::wstring now = std::move(*read);
    logger->debug("{} {}", quentrax::wide_to_utf8(callField.last), quentrax::wide_to_utf8(now));
    if (now != callField.last) {
        callField.last = std::move(now);
        queueEvent(kEditCallsign, callField.last);
    }
}

// A key reaches the program after every event queued before it has been handled: a function
// key pressed just after a call-sign edit or a click on the CQ box must not be keyed before the
// edit's clear or from the bank before the click. With nothing queued it leaves at once.
void HAMLOGTracker::State::forwardToMainWindow(const HookedMessage& m) {
    const UINT message = m.message;
    const WPARAM wParam = m.wParam;
    const LPARAM lParam =
        forwardedKeyParam(static_cast<LPARAM>(m.lParam), {m.shift, m.ctrl, m.alt});
    const auto post = [this, message, wParam, lParam] {
        if (const HWND target = mainWindow; target != nullptr) {
            PostMessageW(target, message, wParam, lParam);
        }
    };
    if (queuedTasks.load() > 0) {
        queue(post);
    } else {
        post();
    }
}

// ---- queued tasks ----

void HAMLOGTracker::State::queue(std::function<void()> body) {
    ++queuedTasks;
    tasks.schedule(
        [this, body = std::move(body)] {
            try {
                body();
            } catch (const std::exception& error) {
                logger->error("A tracker task failed: {}", error.what());
            } catch (...) {
                logger->error("A tracker task failed");
            }
            --queuedTasks;
        },
        kTaskDelay);
}

void HAMLOGTracker::State::activate() {
    map.findControls();
    owner.emit(kActiveLogWindow);
    owner.emit(kChangeWindowRect, activeLogRect());
    emitCqCheck();
}

void HAMLOGTracker::State::emitCqCheck() {
    if (const auto checked = readCqCheck()) {
        owner.emit(kChangeCqCheck, *checked);
    } else {
        logger->warn("HAMLOG did not answer for its CQ box: the bank stays as it is");
    }
}

void HAMLOGTracker::State::injectEnter() {
    const HWND call = map.controls(activeLogId())[HamlogControlId::callField];
    // Posting to no window would post to this thread; an Enter that never comes back would
    // leave the next real Enter swallowed.
    if (call == nullptr) {
        return;
    }
    enterPending = true;
    // Logged first: HAMLOG may take the Enter and its hook report it back before PostMessage
    // returns here.
    logger->debug("[ENTER] >");
    if (!PostMessageW(call, WM_KEYDOWN, VK_RETURN, 0) ||
        !PostMessageW(call, WM_KEYUP, VK_RETURN, 0)) {
        enterPending = false;
        logger->warn("[ENTER] could not be posted to HAMLOG");
    }
}

void HAMLOGTracker::State::requestF2() {
    owner.emit(kRequestToFn02);
    if (const HWND report = map.controls(activeLogId())[HamlogControlId::hisRstField]) {
        SwitchToThisWindow(report, TRUE);
    }
}

// ---- readers ----

// A message to one of HAMLOG's windows, bounded so that a hung HAMLOG cannot hold the caller;
// nothing when it did not answer. HAMLOG's thread answers even while it waits for a record's
// answer from this program, since a thread waiting in SendMessage takes sent messages.
std::optional<LRESULT> HAMLOGTracker::State::askHamlog(HWND window, UINT message, WPARAM wParam,
                                                       LPARAM lParam) const {
    const UINT bound =
        GetCurrentThreadId() == guiThread ? kGuiThreadAnswerTimeoutMs : kHamlogAnswerTimeoutMs;
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, bound, &result) ==
        0) {
        return std::nullopt;
    }
    return static_cast<LRESULT>(result);
}

int HAMLOGTracker::State::activeLogId() const {
    const int id = activeLog;
    return id != 0 ? id : static_cast<int>(HamlogWindowId::logWindowA);
}

std::optional<std::wstring> HAMLOGTracker::State::readText(HWND field) const {
    if (field == nullptr) {
        return std::wstring();  // nothing there to read
    }
    // A field holds a few characters: one request with a buffer that takes them keeps HAMLOG's
    // thread waiting for one round trip instead of two (length, then text) while the call
    // field is read inside a record's handling. A text that fills the buffer is read whole.
    constexpr std::size_t kShortText = 64;
    wchar_t shortText[kShortText] = {};
    const auto copied =
        askHamlog(field, WM_GETTEXT, kShortText, reinterpret_cast<LPARAM>(shortText));
    if (!copied) {
        return std::nullopt;
    }
    if (*copied <= 0) {
        return std::wstring();
    }
    if (static_cast<std::size_t>(*copied) < kShortText - 1) {
        return std::wstring(shortText, static_cast<std::size_t>(*copied));
    }
    const auto length = askHamlog(field, WM_GETTEXTLENGTH, 0, 0);
    if (!length) {
        return std::nullopt;
    }
    if (*length <= 0) {
        return std::wstring();
    }
    std::wstring text(static_cast<std::size_t>(*length) + 1, L'\0');
    const auto whole =
        askHamlog(field, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    if (!whole) {
        return std::nullopt;
    }
    if (*whole <= 0) {
        return std::wstring();
    }
    text.resize(std::min(static_cast<std::size_t>(*whole), text.size() - 1));
    return text;
}

std::optional<std::wstring> HAMLOGTracker::State::readControlText(HamlogControlId id) const {
    return readText(map.controls(activeLogId())[id]);
}

std::optional<bool> HAMLOGTracker::State::readCqCheck() const {
    const HWND check = map.controls(activeLogId())[HamlogControlId::cqCheck];
    if (check == nullptr) {
        return false;
    }
    // The button as the log window knows it by its control id.
    const HWND button = GetDlgItem(map.window(activeLogId()), GetDlgCtrlID(check));
    if (button == nullptr) {
        return false;
    }
    const auto state = askHamlog(button, BM_GETCHECK, 0, 0);
    if (!state) {
        return std::nullopt;
    }
    return *state == BST_CHECKED;
}

void HAMLOGTracker::State::writeCqCheck(bool checked) const {
    const HWND check = map.controls(activeLogId())[HamlogControlId::cqCheck];
    // Written also when HAMLOG did not say how the box stands: the operator asked for it.
    if (check == nullptr || readCqCheck() == checked) {
        return;
    }
    // Posted: a HAMLOG busy for longer than a request's bound still gets it, in the order asked.
    if (const HWND button = GetDlgItem(map.window(activeLogId()), GetDlgCtrlID(check))) {
        PostMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

bool HAMLOGTracker::State::readCqMachinePlaying() const {
    const HWND machine = map.window(HamlogWindowId::cqMachineWindow);
    if (machine == nullptr) {
        return false;
    }
    const HWND stop = FindWindowExW(machine, nullptr, L"TBitBtn", kCqStopCaption);
    return stop != nullptr && (GetWindowLongPtrW(stop, GWL_STYLE) & WS_VISIBLE) != 0;
}

RECT HAMLOGTracker::State::activeLogRect() const {
    RECT rect{};
    const HWND window = map.window(activeLogId());
    if (window == nullptr || !GetWindowRect(window, &rect)) {
        return RECT{};
    }
    return rect;
}

// ---- the tracker ----

HAMLOGTracker::HAMLOGTracker(const Clocks& clocks)
    : state_(std::make_unique<State>(*this, namedLogger("HLTracker"), clocks.monotonicTicks)) {}

HAMLOGTracker::~HAMLOGTracker() = default;

void HAMLOGTracker::setMainWindow(HWND window) {
    state_->mainWindow = window;
}

void HAMLOGTracker::setKeyOptions(bool callTabToF2, bool fkeysInCodeQth) {
    state_->callTabToF2 = callTabToF2;
    state_->fkeysInCodeQth = fkeysInCodeQth;
}

void HAMLOGTracker::start() {
    if (state_->hidden) {
        return;
    }
    state_->hidden = DummyWindow::create();
    state_->guiThread = GetCurrentThreadId();
    state_->allowRecordsFromLowerRights();
    state_->hidden->setCopyDataHandler(
        [this](HWND sender, const COPYDATASTRUCT* data) { return onCopyData(sender, data); });
    if (auto snarelLogger = spdlog::get("Snarel")) {
        Snarel::SetLogger(std::move(snarelLogger));
    } else {
        state_->logger->warn("No logger \"Snarel\": the hook library keeps its own, silent one");
    }
    Snarel::SetMessageFilter(kMessageFilter);
    Snarel::SetNotifyWindow(state_->hidden->handle());
    Snarel::StartHook();
    state_->tasks.start();
    state_->rescan.start();
}

int HAMLOGTracker::onCopyData(HWND, const COPYDATASTRUCT* data) {
    // HAMLOG's thread waits for this answer; a failure is logged and answered 0 (HAMLOG keeps
    // the message).
    try {
        return state_->onCopyData(data);
    } catch (const std::exception& error) {
        state_->logger->warn("A HAMLOG record could not be handled: {}", error.what());
    } catch (...) {
        state_->logger->warn("A HAMLOG record could not be handled");
    }
    return 0;
}

std::optional<std::wstring> HAMLOGTracker::readControlText(HamlogControlId id) {
    return state_->readControlText(id);
}

std::optional<bool> HAMLOGTracker::readCqCheck() {
    return state_->readCqCheck();
}

void HAMLOGTracker::setCqCheck(bool checked) {
    State& s = *state_;
    s.queue([&s, checked] { s.writeCqCheck(checked); });
}

bool HAMLOGTracker::readCqMachinePlaying() {
    return state_->readCqMachinePlaying();
}

HWND HAMLOGTracker::activeLogWindow() const {
    return state_->map.window(state_->activeLogId());
}

DeferredTaskQueue& HAMLOGTracker::taskQueue() {
    return state_->tasks;
}

void HAMLOGTracker::destroyHiddenWindow() {
    state_->rescan.stop();
    state_->hidden.reset();
}

HWND HAMLOGTracker::hiddenWindow() const {
    return state_->hidden ? state_->hidden->handle() : nullptr;
}

}  // namespace omvar::Vetrin
