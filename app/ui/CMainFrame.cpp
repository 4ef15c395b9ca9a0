#include "CMainFrame.h"

#include "AppModel.h"
#include "HookedMessage.h"
#include "KeyTable.h"
#include "Application.h"
#include "Loggers.h"
#include "Manual.h"
#include "ScreenScale.h"
#include "Strings.h"
#include "VetrinView.h"
#include "WindowsVersion.h"
#include "resource.h"
#include "win32/UniqueHandles.h"

#include <commctrl.h>
#include <imm.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace omvar::Vetrin {

namespace {

constexpr UINT kToolBarButtons[] = {ID_FILE_NEW,   ID_FILE_OPEN, ID_FILE_SAVE,  0,
                                    ID_EDIT_CUT,   ID_EDIT_COPY, ID_EDIT_PASTE, 0,
                                    ID_FILE_PRINT, ID_APP_ABOUT};
constexpr UINT kStatusPanes[] = {
    0, ID_INDICATOR_WPM, ID_INDICATOR_KANA, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL};
constexpr int kHalfWidthKatakanaScope = 45;  // IS_KATAKANA_HALFWIDTH

// The frame's sizes, for 96 DPI. The program is DPI-aware: its bars (dialog units), fonts and
// frame grow with the screen's DPI, so every size here is scaled to the screen with them
// (scaledForScreen). HAMLOG's rectangle is the one thing taken as it comes: this program sees
// it in the physical pixels it places its own window in.
constexpr int kDefaultWidth = 729;
constexpr int kDefaultHeight = 210;
// Also the narrowest log window the frame follows: HAMLOG is not DPI-aware, so the system
// draws its window larger by the screen's scale, and the frame is never made narrower than it
// would accept as its own width at the next start.
constexpr int kMinimumWidth = 300;
constexpr int kMaximumWidth = 1500;
constexpr int kMinimumHeight = 120;
constexpr int kMaximumHeight = 500;
// Windows 10 and later give a sizable window wider invisible borders than HAMLOG's log window
// has; these line the two up. Borders grow with the DPI (the system scales HAMLOG's too).
constexpr int kDockLeft = 5;
constexpr int kDockUp = 2;
constexpr int kDockRight = 4;

bool isKeyOrCharacter(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP || message == WM_CHAR;
}

// The id in the frame's command map of what a row of the key table runs. A key that does what
// a menu item or a button does runs its command; the others have a block of ids each above the
// 16-bit range of menu and control ids, and a command that needs the key gets it as the offset
// in its block: the function key's index or the typed character.
constexpr UINT kKeyCommandIds = 0x10000;
constexpr UINT kKeyCommandBlock = 0x10000;

UINT keyCommandBlock(KeyCommand command) {
    return kKeyCommandIds + kKeyCommandBlock * static_cast<UINT>(command);
}

std::optional<UINT> sharedCommandId(KeyCommand command) {
    switch (command) {
        case KeyCommand::showFn8:
            return ID_VIEW_FN8;
        case KeyCommand::showFn12:
            return ID_VIEW_FN12;
        case KeyCommand::sendCwText:
            return IDC_SEND;
        case KeyCommand::clearCwText:
            return IDC_CLEAR;
        case KeyCommand::toggleKana:
            return ID_HALF_WIDTH_KANA;
        case KeyCommand::toggleBank:
            return ID_TOGGLE_BANK;
        default:
            return std::nullopt;
    }
}

UINT keyCommandId(KeyCommand command, unsigned int key) {
    if (const auto shared = sharedCommandId(command)) {
        return *shared;
    }
    switch (command) {
        case KeyCommand::sendFnMessage:
        case KeyCommand::editFnMessage:
            return keyCommandBlock(command) + (key - VK_F1);
        case KeyCommand::typeInEditor:
            return keyCommandBlock(command) + key;
        default:
            return keyCommandBlock(command);
    }
}

}  // namespace

CMainFrame::CMainFrame() : logger_(namedLogger("Vetrin")) {
    addDocumentToTitle_ = false;
    registerCommands();
    registerKeyCommands();
}

CMainFrame::~CMainFrame() {
    destroy();
}

VetrinView* CMainFrame::editorView() const {
    return dynamic_cast<VetrinView*>(view());
}

void CMainFrame::setModel(std::shared_ptr<AppModel> model) {
    model_ = std::move(model);
    settings_ = model_ ? &model_->liveSettings() : nullptr;
}

void CMainFrame::registerCommands() {
    commands().onRange(IDC_FN_KEY01, IDC_FN_KEY12, [this](UINT id) {
        onFnKey(static_cast<int>(id - IDC_FN_KEY01), keyHeld(VK_SHIFT));
    });
    commands().on(IDC_BANK, [this] { setBank(1 - bank_); });
    commands().on(ID_TOGGLE_BANK, [this] { setBank(1 - bank_); });
    commands().on(IDC_SEND, [this] { sendCwText(); });
    commands().on(IDC_CLEAR, [this] { clearCwText(); });
    commands().on(IDC_OPTION_BUTTON, [this] { emit(kShowOptionDialog); });
    commands().on(ID_OPTIONS, [this] { emit(kShowOptionDialog); });
    commands().onUpdate(IDC_CW_WPM, [this](ui::CommandUpdate& update) {
        if (settings_ != nullptr) {
            update.setText(std::to_wstring(settings_->snapshot().wpm));
        }
    });
    commands().onUpdate(ID_INDICATOR_WPM, [this](ui::CommandUpdate& update) {
        if (statusBar_.clicked()) {
            // Cleared first: the slider runs a modal loop, whose idle time comes back here.
            statusBar_.clearClicked();
            if (hooks_.showSpeedSlider) {
                hooks_.showSpeedSlider();
            }
        }
        if (settings_ == nullptr) {
            return;
        }
        const std::wstring text = L"WPM: " + std::to_wstring(settings_->snapshot().wpm);
        statusBar_.setPaneWidth(statusBar_.paneIndex(ID_INDICATOR_WPM),
                                statusBar_.textWidth(text) + 12);
        update.setText(text);
    });
    commands().on(ID_VIEW_MESSAGE_BAR, [this] { toggleBar(messageBar_); });
    commands().onUpdate(ID_VIEW_MESSAGE_BAR, [this](ui::CommandUpdate& update) {
        update.check(messageBar_.isVisible());
    });
    commands().on(ID_VIEW_CW_BAR, [this] { toggleBar(cwBar_); });
    commands().onUpdate(ID_VIEW_CW_BAR,
                        [this](ui::CommandUpdate& update) { update.check(cwBar_.isVisible()); });
    commands().on(ID_HALF_WIDTH_KANA, [this] { setHalfWidthKanaMode(!halfWidthKanaMode()); });
    commands().onUpdate(ID_HALF_WIDTH_KANA,
                        [this](ui::CommandUpdate& update) { update.check(halfWidthKanaMode()); });
    commands().on(ID_VIEW_FN8, [this] { setFn12(false); });
    commands().onUpdate(ID_VIEW_FN8, [this](ui::CommandUpdate& update) {
        update.check(settings_ != nullptr && !settings_->snapshot().fn12);
    });
    commands().on(ID_VIEW_FN12, [this] { setFn12(true); });
    commands().onUpdate(ID_VIEW_FN12, [this](ui::CommandUpdate& update) {
        update.check(settings_ != nullptr && settings_->snapshot().fn12);
    });
    commands().on(ID_HELP_MANUAL, [this] {
        if (!openManual(hwnd())) {
            logger_->warn("Notepad could not be started for Vetrin.txt");
        }
    });
}

void CMainFrame::PreCreateWindow(CreateParams& params) {
    params.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
}

int CMainFrame::fail(const char* text) {
    // The program cannot run without its window: say so before it ends.
    logger_->error("{}", text);
    const std::wstring wide(text, text + std::char_traits<char>::length(text));
    MessageBoxW(nullptr, wide.c_str(), ui::loadString(IDS_APP_TITLE).c_str(), MB_OK | MB_ICONERROR);
    return -1;
}

// The message bar, the CW bar and the tool bar, docked as they may be; false at the first that
// cannot be made (the program then says so once, whichever bar it was).
bool CMainFrame::createBars() {
    if (!messageBar_.Create(*this, IDD_MESSAGE_BAR, IDW_MESSAGE_BAR)) {
        return false;
    }
    messageBar_.setText(L"Fnメッセージ");
    messageBar_.enableDocking(ui::kDockTop | ui::kDockBottom);
    ShowWindow(messageBar_.hwnd(), SW_SHOWNA);
    addControlBar(messageBar_);
    if (!cwBar_.Create(*this, IDD_CW_BAR, IDW_CW_BAR)) {
        return false;
    }
    cwBar_.enableDocking(ui::kDockTop | ui::kDockBottom);
    addControlBar(cwBar_);
    if (!toolBar_.Create(*this, ID_VIEW_TOOLBAR, IDR_MAINFRAME, kToolBarButtons)) {
        return false;
    }
    toolBar_.enableDocking(ui::kDockAnyEdge | ui::kDockFloat);
    addControlBar(toolBar_);
    return true;
}

int CMainFrame::OnCreate(CREATESTRUCTW& create) {
    if (FrameWindow::OnCreate(create) != 0) {
        return fail("Error CFrameWnd::OnCreate()\n");
    }
    if (!createBars()) {
        return fail("Failed to create toolbar\n");
    }
    if (!statusBar_.Create(*this, ID_VIEW_STATUS_BAR, kStatusPanes)) {
        return fail("Failed to create status bar\n");
    }
    setStatusBar(statusBar_);
    setMessageText(GetMessageString(IDS_IDLE_MESSAGE));

    HMENU system = GetSystemMenu(hwnd(), FALSE);
    EnableMenuItem(system, SC_RESTORE, MF_BYCOMMAND | MF_ENABLED);
    DeleteMenu(system, SC_MAXIMIZE, MF_BYCOMMAND);

    if (ui::Application* app = ui::Application::current()) {
        const auto pos = app->profile().getBinary(L"Window", L"pos");
        if (pos && pos->size() == sizeof(WINDOWPLACEMENT)) {
            WINDOWPLACEMENT placement{};
            std::memcpy(&placement, pos->data(), sizeof placement);
            placement.length = sizeof placement;
            placement.flags &= ~(WPF_SETMINPOSITION | WPF_ASYNCWINDOWPLACEMENT);
            // The frame is made hidden and shown by the start-up; the saved placement only
            // moves it.
            placement.showCmd = SW_HIDE;
            SetWindowPlacement(hwnd(), &placement);
        }
    }
    RECT r = windowRect();
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    if (width < scaledForScreen(kMinimumWidth) || width > scaledForScreen(kMaximumWidth)) {
        width = scaledForScreen(kDefaultWidth);
    }
    if (height < scaledForScreen(kMinimumHeight) || height > scaledForScreen(kMaximumHeight)) {
        height = scaledForScreen(kDefaultHeight);
    }
    SetWindowPos(hwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (ui::Application::current() != nullptr) {
        LoadBarState(L"ToolBar");
    }
    return 0;
}

void CMainFrame::OnSize(UINT type, int cx, int cy) {
    FrameWindow::OnSize(type, cx, cy);
    relayout(cx);
}

void CMainFrame::OnClose() {
    if (ui::Application* app = ui::Application::current()) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (GetWindowPlacement(hwnd(), &placement)) {
            app->profile().writeBinary(
                L"Window", L"pos",
                std::span(reinterpret_cast<const std::uint8_t*>(&placement), sizeof placement));
        }
        SaveBarState(L"ToolBar");
    }
    FrameWindow::OnClose();
}

LRESULT CMainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (calls_.handle(message, lParam)) {
        return 0;
    }
    switch (message) {
        case WM_SIZING: {
            auto& r = *reinterpret_cast<RECT*>(lParam);
            const int minimum = scaledForScreen(kMinimumHeight);
            if (r.bottom - r.top < minimum) {
                if (wParam == WMSZ_TOP || wParam == WMSZ_TOPLEFT || wParam == WMSZ_TOPRIGHT) {
                    r.top = r.bottom - minimum;
                } else {
                    r.bottom = r.top + minimum;
                }
            }
            return TRUE;
        }
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && model_) {
                relayout();
            }
            break;
        default:
            break;
    }
    return FrameWindow::WindowProc(message, wParam, lParam);
}

bool CMainFrame::OnNotify(NMHDR& header, LRESULT& result) {
    if (header.idFrom == IDC_WPM_SPIN && header.code == UDN_DELTAPOS) {
        const auto& change = reinterpret_cast<NMUPDOWN&>(header);
        if (model_) {
            if (change.iDelta < 0) {
                model_->speedUp();
            } else if (change.iDelta > 0) {
                model_->speedDown();
            }
        }
        result = 0;
        return true;
    }
    return FrameWindow::OnNotify(header, result);
}

void CMainFrame::Invoke(std::function<void()> function) {
    switch (calls_.invoke(hwnd(), function)) {
        case ui::WindowCalls::Outcome::ran:
            break;
        case ui::WindowCalls::Outcome::noWindow:
            // Gone (or not yet made): there is no GUI work to do, and no one would run it.
            logger_->debug("CMainFrame::Invoke without a window: call dropped");
            break;
        case ui::WindowCalls::Outcome::dropped:
            logger_->debug("CMainFrame::Invoke: the window did not take the call: dropped");
            break;
    }
}

void CMainFrame::reportInvokeFailure(const char* what) const {
    if (what != nullptr) {
        logger_->error("CMainFrame::Invoke: {}", what);
    } else {
        logger_->error("CMainFrame::Invoke: an exception of unknown type");
    }
}

std::wstring CMainFrame::interfaceStateText() const {
    if (!model_ || model_->nId() == -1) {
        return L"QUENTRAX 未接続";
    }
    return L"QUENTRAX Ver." + model_->versionText();
}

std::wstring CMainFrame::GetMessageString(UINT id) {
    if (id == IDS_IDLE_MESSAGE) {
        return interfaceStateText();
    }
    return FrameWindow::GetMessageString(id);
}

void CMainFrame::showInterfaceState() {
    setMessageText(interfaceStateText());
}

void CMainFrame::applyFrameSettings() {
    if (settings_ == nullptr || hwnd() == nullptr) {
        return;
    }
    SetWindowPos(hwnd(), settings_->snapshot().viewTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    relayout();
    showInterfaceState();
    OnIdleUpdate();
}

void CMainFrame::setBank(int bank) {
    showBank(bank);
    if (model_) {
        model_->tracker().setCqCheck(bank == 0);
    }
}

void CMainFrame::showBank(int bank) {
    bank_ = bank;
    SetDlgItemTextW(cwBar_.hwnd(), IDC_BANK, bank == 0 ? L"Bank: 応答" : L"Bank: 呼出");
    relayout();
}

void CMainFrame::relayout(int clientWidth) {
    if (settings_ == nullptr || messageBar_.hwnd() == nullptr) {
        return;
    }
    const AppSettings settings = settings_->snapshot();
    const int a = clientWidth >= 0 ? clientWidth : clientRect().right;
    const RECT bar = messageBar_.windowRect();
    const int barHeight = bar.bottom - bar.top;
    SetWindowPos(messageBar_.hwnd(), nullptr, 0, 0, a + 20, barHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(cwBar_.hwnd(), nullptr, 0, 0, a, barHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    fitCwBar(a);
    const double w = settings.fn12 ? (a - 64) / 12.0 : (a - 43) / 8.0;
    double x = 5.0;
    for (int i = 0; i < kFnKeyCount; ++i) {
        HWND button = messageBar_.item(IDC_FN_KEY01 + i);
        const std::wstring caption = L" " + settings.fnMessage[bank_][i];
        // Read whole: a stored message can be longer than any fixed buffer.
        if (caption != ui::windowText(button)) {
            SetWindowTextW(button, caption.c_str());  // only a change: no flicker
        }
        if (i == 4 || i == 8) {
            x += 5.0;
        }
        const int left = static_cast<int>(x);
        const int right = static_cast<int>(x + w);
        SetWindowPos(button, nullptr, left, 4, right - left, barHeight - 8,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        x += w + 4;
        if (i >= 8) {
            ShowWindow(button, settings.fn12 ? SW_SHOWNA : SW_HIDE);
        }
    }
}

void CMainFrame::fitCwBar(int width) {
    // The three buttons keep to the right end and the text field takes the room between them
    // and the speed, whatever the frame's width and the screen's DPI.
    const int buttons[] = {IDC_SEND, IDC_CLEAR, IDC_OPTION_BUTTON};
    RECT gapRect{0, 0, 3, 0};
    MapDialogRect(cwBar_.hwnd(), &gapRect);
    const int gap = gapRect.right;
    auto placeOf = [&](int id) {
        RECT r{};
        GetWindowRect(cwBar_.item(id), &r);
        MapWindowPoints(nullptr, cwBar_.hwnd(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    int right = width - gap;
    for (int i = 2; i >= 0; --i) {
        const RECT r = placeOf(buttons[i]);
        right -= r.right - r.left;
        SetWindowPos(cwBar_.item(buttons[i]), nullptr, right, r.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        right -= gap;
    }
    const RECT field = placeOf(IDC_CW_TEXT);
    const int fieldWidth = std::max<int>(right - field.left, 4 * gap);
    SetWindowPos(cwBar_.item(IDC_CW_TEXT), nullptr, 0, 0, fieldWidth, field.bottom - field.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainFrame::onFnKey(int index, bool shift) {
    if (!model_) {
        return;
    }
    if (shift) {
        if (hooks_.editFnMessage) {
            hooks_.editFnMessage(bank_, index);
        }
        return;
    }
    model_->requestFnMessage(bank_, index);
}

void CMainFrame::sendCwText() {
    if (!model_) {
        return;
    }
    const std::wstring text = ui::windowText(cwBar_.item(IDC_CW_TEXT));
    if (!text.empty()) {
        model_->requestText(text);
    }
}

void CMainFrame::clearCwText() {
    HWND field = cwBar_.item(IDC_CW_TEXT);
    SendMessageW(field, EM_SETSEL, 0, -1);
    SendMessageW(field, WM_CLEAR, 0, 0);
    SetFocus(field);
}

void CMainFrame::setFn12(bool on) {
    if (settings_ == nullptr) {
        return;
    }
    const bool changed = settings_->update([on](AppSettings& s) {
        if (s.fn12 == on) {
            return false;
        }
        s.fn12 = on;
        return true;
    });
    if (changed) {
        applyFrameSettings();
    }
}

void CMainFrame::toggleBar(ui::ControlBar& bar) {
    ShowControlBar(bar, !bar.isVisible());
    relayout();
}

bool CMainFrame::halfWidthKanaMode() {
    if (omvar::windowsVersionOrGreater(6, 2)) {
        return inputScope_ == kHalfWidthKatakanaScope;
    }
    HIMC context = ImmGetContext(hwnd());
    if (context == nullptr) {
        return kanaFallback_;
    }
    DWORD conversion = 0;
    DWORD sentence = 0;
    ImmGetConversionStatus(context, &conversion, &sentence);
    ImmReleaseContext(hwnd(), context);
    const DWORD wanted = IME_CMODE_NATIVE | IME_CMODE_KATAKANA | IME_CMODE_ROMAN;
    return (conversion & wanted) == wanted && (conversion & IME_CMODE_FULLSHAPE) == 0;
}

void CMainFrame::setHalfWidthKanaMode(bool on) {
    if (omvar::windowsVersionOrGreater(6, 2)) {
        const win32::UniqueModule msctf(LoadLibraryW(L"msctf.dll"));
        if (!msctf) {
            logger_->error("Not found msctf.dll");
            return;
        }
        using SetInputScopeFn = HRESULT(WINAPI*)(HWND, int);
        auto setInputScope = reinterpret_cast<SetInputScopeFn>(
            reinterpret_cast<void*>(GetProcAddress(msctf.get(), "SetInputScope")));
        inputScope_ = on ? kHalfWidthKatakanaScope : 0;
        if (setInputScope != nullptr) {
            setInputScope(GetFocus(), inputScope_);
        } else {
            logger_->warn("SetInputScope is missing from msctf.dll; the kana mode is kept only");
        }
    } else {
        kanaFallback_ = on;
        if (HIMC context = ImmGetContext(hwnd())) {
            if (on) {
                ImmSetOpenStatus(context, TRUE);
                DWORD conversion = 0;
                DWORD sentence = 0;
                ImmGetConversionStatus(context, &conversion, &sentence);
                ImmSetConversionStatus(context, IME_CMODE_NATIVE | IME_CMODE_KATAKANA, sentence);
            } else {
                ImmSetOpenStatus(context, FALSE);
            }
            ImmReleaseContext(hwnd(), context);
        } else {
            logger_->warn("No input method context; the kana mode is kept only");
        }
    }
    emit(kChangeHangakuKanaMode, on);
}

void CMainFrame::followHamlogWindow(int left, int top, int right, int bottom) {
    (void)top;
    logger_->trace("HAMLOGウィンドウ: {}", "changeWindowRect");
    if (right - left >= scaledForScreen(kMinimumWidth)) {
        const RECT own = windowRect();
        int x = left;
        int y = bottom;
        int w = right - left;
        if (omvar::windowsVersionOrGreater(10, 0)) {
            x = left - scaledForScreen(kDockLeft);
            y = bottom - scaledForScreen(kDockUp);
            w = (right + scaledForScreen(kDockRight)) - x;
        }
        SetWindowPos(hwnd(), HWND_TOP, x, y, w, own.bottom - own.top, SWP_NOACTIVATE);
    }
    HWND logWindow = model_ ? model_->tracker().activeLogWindow() : nullptr;
    if (logWindow != nullptr) {
        // Posted to HAMLOG's thread: a HAMLOG that takes no messages must not hold this one.
        SetWindowPos(logWindow, hwnd(), 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    }
}

bool CMainFrame::PreTranslateMessage(MSG& message) {
    if (translateKey(message) || translateMouse(message)) {
        return true;
    }
    return FrameWindow::PreTranslateMessage(message);
}

bool CMainFrame::translateKey(const MSG& message) {
    if (!isKeyOrCharacter(message.message)) {
        return false;
    }
    // Keys forwarded from HAMLOG carry the modifiers held when HAMLOG got them; those typed here
    // are sampled as the tracker samples them.
    const Modifiers held = modifiersOfKey(message.message, message.lParam);
    const auto key = static_cast<unsigned int>(message.wParam);
    // F10 arrives as a system key (it opens the menu); without Alt it is a function key here.
    // Other system keys are the system's.
    if (message.message == WM_SYSKEYDOWN && (key != VK_F10 || held.alt)) {
        return false;
    }
    const FocusPlace focus = focusPlace();
    for (const KeyBinding& binding : keyBindings()) {
        if (matches(binding, message.message, key, held) && focus.holds(binding.place)) {
            if (binding.command != KeyCommand::consume) {
                routeCommand(keyCommandId(binding.command, key));
            }
            return binding.consumes;
        }
    }
    return false;
}

bool CMainFrame::FocusPlace::holds(KeyPlace place) const {
    switch (place) {
        case KeyPlace::anywhere:
            return true;
        case KeyPlace::editor:
            return inEditor;
        case KeyPlace::cwText:
            return inCwText;
        case KeyPlace::notCwText:
            return !inCwText;
        default:
            return false;  // HAMLOG's
    }
}

CMainFrame::FocusPlace CMainFrame::focusPlace() const {
    const HWND focus = GetFocus();
    const VetrinView* editor = editorView();
    return {.inEditor = editor != nullptr && focus == editor->hwnd(),
            .inCwText = focus != nullptr && focus == cwBar_.item(IDC_CW_TEXT)};
}

// The key table's commands that no menu item or button has.
void CMainFrame::registerKeyCommands() {
    const auto on = [this](KeyCommand command, std::function<void()> handler) {
        commands().on(keyCommandBlock(command), std::move(handler));
    };
    const auto onKeys = [this](KeyCommand command, UINT count,
                               std::function<void(unsigned int offset)> handler) {
        const UINT first = keyCommandBlock(command);
        commands().onRange(first, first + count - 1,
                           [first, handler](UINT id) { handler(id - first); });
    };
    const auto withModel = [this](void (*action)(AppModel&)) {
        return [this, action] {
            if (model_) {
                action(*model_);
            }
        };
    };
    onKeys(KeyCommand::sendFnMessage, 12,
           [this](unsigned int index) { onFnKey(static_cast<int>(index), false); });
    onKeys(KeyCommand::editFnMessage, 12,
           [this](unsigned int index) { onFnKey(static_cast<int>(index), true); });
    on(KeyCommand::speedUp, withModel([](AppModel& model) { model.speedUp(); }));
    on(KeyCommand::speedDown, withModel([](AppModel& model) { model.speedDown(); }));
    on(KeyCommand::takeBackOne, withModel([](AppModel& model) { model.takeBackPending(1); }));
    on(KeyCommand::stopAndClear, withModel([](AppModel& model) {
           model.stopBeacon();
           model.clearSendBuffer();
       }));
    on(KeyCommand::stopClearAndReset, withModel([](AppModel& model) {
           model.stopBeacon();
           model.clearSendBuffer();
           model.resetSendBuffer();
       }));
    on(KeyCommand::startBeacon, [this] {
        if (model_) {
            model_->startBeacon();
        }
        setBank(0);
    });
    onKeys(KeyCommand::typeInEditor, kKeyCommandBlock,
           [this](unsigned int ch) { typeInEditor(static_cast<wchar_t>(ch)); });
    on(KeyCommand::keepCaret, [this] { editorView()->moveCaretToEnd(); });
}

void CMainFrame::typeInEditor(wchar_t ch) {
    if (model_) {
        if (model_->beaconOn()) {
            model_->stopBeacon();
            model_->clearSendBuffer();
        } else {
            model_->requestText(std::wstring(1, ch));
        }
    }
    editorView()->moveCaretToEnd();
}

bool CMainFrame::translateMouse(const MSG& message) {
    if (message.message == WM_RBUTTONUP && GetParent(message.hwnd) == messageBar_.hwnd()) {
        const int id = GetDlgCtrlID(message.hwnd);
        if (id >= IDC_FN_KEY01 && id <= IDC_FN_KEY12) {
            onFnKey(id - IDC_FN_KEY01, true);
            return true;
        }
    }
    return false;
}

}  // namespace omvar::Vetrin
