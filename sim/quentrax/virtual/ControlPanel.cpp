#include "ControlPanel.h"

#include <cwctype>
#include <string>

#include "KeyedTone.h"
#include "MorseCode.h"
#include "win32/UniqueHandles.h"
#include "resource.h"

namespace omvar::sim::virtual_unit {

namespace {

constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT kStatusPeriodMs = 200;
constexpr int kWidth = 400;
constexpr int kHeight = 210;
constexpr wchar_t kUnplugCaption[] = L"Unplug";
constexpr wchar_t kPlugInCaption[] = L"Plug in";

HWND child(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y,
           int width, int height, int id, HINSTANCE module) {
    HWND window =
        CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module, nullptr);
    // The dialog font: the system font a child starts with is too wide for its button.
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
    return window;
}

// Sets a control's text only when it changes: the status is shown every 200 ms.
void setText(HWND window, const std::wstring& text) {
    wchar_t current[256] = {};
    GetWindowTextW(window, current, 256);
    if (text != current) {
        SetWindowTextW(window, text.c_str());
    }
}

}  // namespace

ControlPanel::ControlPanel(UnitSocket& socket, HINSTANCE module)
    : socket_(socket), module_(module) {
    win32::UniqueHandle created(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    thread_ = std::thread([this, event = created.get()] { run(event); });
    WaitForSingleObject(created.get(), INFINITE);
}

ControlPanel::~ControlPanel() {
    if (HWND window = window_; window != nullptr) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    } else {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    }
    thread_.join();
    UnregisterClassW(kPanelClass, module_);
}

void ControlPanel::run(HANDLE created) {
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue
    threadId_ = GetCurrentThreadId();
    create();
    SetEvent(created);
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Keys typed anywhere in the panel, a focused button included, are the panel's.
        const HWND panel = window_;
        if (panel != nullptr && (msg.hwnd == panel || GetParent(msg.hwnd) == panel) && onKey(msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void ControlPanel::create() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = module_;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPanelClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return;
    }
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    HWND window = CreateWindowExW(
        WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kPanelClass, L"Virtual QUENTRAX", WS_CAPTION | WS_SYSMENU,
        work.right - kWidth - 16, work.top + 16, kWidth, kHeight, nullptr, nullptr, module_, this);
    if (window == nullptr) {
        return;
    }
    child(window, L"BUTTON", L"Message (Enter)", BS_PUSHBUTTON, 10, 10, 125, 28, IDC_PANEL_MESSAGE,
          module_);
    child(window, L"BUTTON", L"Speed + (Up)", BS_PUSHBUTTON, 140, 10, 115, 28, IDC_PANEL_SPEED_UP,
          module_);
    child(window, L"BUTTON", L"Speed - (Down)", BS_PUSHBUTTON, 260, 10, 125, 28,
          IDC_PANEL_SPEED_DOWN, module_);
    child(window, L"BUTTON", kUnplugCaption, BS_PUSHBUTTON, 10, 44, 125, 28, IDC_PANEL_PLUG,
          module_);
    child(window, L"BUTTON", L"Freeze", BS_PUSHBUTTON, 140, 44, 115, 28, IDC_PANEL_FREEZE, module_);
    child(window, L"STATIC", L"Paddle: type a character in this window", SS_LEFT, 10, 82, 375, 20,
          IDC_PANEL_PADDLE, module_);
    status_ = child(window, L"STATIC", L"", SS_LEFT, 10, 106, 375, 64, IDC_PANEL_STATUS, module_);
    window_ = window;
    SetTimer(window, kStatusTimer, kStatusPeriodMs, nullptr);
    showStatus();
    ShowWindow(window, SW_SHOWNOACTIVATE);
}

LRESULT CALLBACK ControlPanel::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<ControlPanel*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_COMMAND:
            if (self != nullptr && HIWORD(wParam) == BN_CLICKED) {
                self->onCommand(LOWORD(wParam));
                return 0;
            }
            break;
        case WM_TIMER:
            if (self != nullptr) {
                self->showStatus();
            }
            return 0;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            if (self != nullptr) {
                self->window_ = nullptr;
            }
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void ControlPanel::onCommand(int id) {
    switch (id) {
        case IDC_PANEL_MESSAGE:
            pressMessageButton();
            break;
        case IDC_PANEL_SPEED_UP:
            turnKnob(true);
            break;
        case IDC_PANEL_SPEED_DOWN:
            turnKnob(false);
            break;
        case IDC_PANEL_PLUG:
            if (!socket_.unplug()) {
                socket_.plugIn();
            }
            showStatus();
            break;
        case IDC_PANEL_FREEZE:
            socket_.freeze();
            showStatus();
            break;
        default:
            break;
    }
    SetFocus(window_);  // keys go on reaching the panel after a click
}

bool ControlPanel::onKey(const MSG& msg) {
    if (msg.message == WM_KEYDOWN) {
        switch (msg.wParam) {
            case VK_RETURN:
                pressMessageButton();
                return true;
            case VK_UP:
            case VK_RIGHT:
                turnKnob(true);
                return true;
            case VK_DOWN:
            case VK_LEFT:
                turnKnob(false);
                return true;
            default:
                // Character keys become WM_CHAR through TranslateMessage.
                return false;
        }
    }
    if (msg.message == WM_CHAR) {
        const auto character = static_cast<wchar_t>(msg.wParam);
        if (character != L'\r' && character != L' ') {
            keyPaddle(character);
        }
        return true;
    }
    return false;
}

void ControlPanel::pressMessageButton() {
    if (const auto unit = socket_.unit()) {
        unit->press_message_button();
    }
}

void ControlPanel::turnKnob(bool up) {
    if (const auto unit = socket_.unit()) {
        unit->turn_encoder(up, 1);
    }
}

bool ControlPanel::keyPaddle(wchar_t character) {
    const std::uint8_t code =
        quentrax::to_native_code(static_cast<wchar_t>(std::towupper(character)));
    const auto unit = socket_.unit();
    if (code == quentrax::kNoCode || code == quentrax::kWordSpace || !unit) {
        return false;
    }
    // The interface library learns the paddle sequence number from the first paddle report
    // after opening and takes a character from the next change only: the first character a
    // unit gets is keyed twice, one status report apart, so the operator's first key is not
    // lost. A unit plugged in again is opened anew.
    if (paddlePrimed_ != unit) {
        unit->key_paddle(code);
        unit->wait_for_status_reports(2, std::chrono::milliseconds(500));
        paddlePrimed_ = unit;
    }
    unit->key_paddle(code);
    return true;
}

void ControlPanel::showStatus() {
    const HWND window = window_;
    if (status_ == nullptr || window == nullptr) {
        return;
    }
    const bool plugged = socket_.plugged();
    setText(GetDlgItem(window, IDC_PANEL_PLUG), plugged ? kUnplugCaption : kPlugInCaption);
    for (const int id : {IDC_PANEL_MESSAGE, IDC_PANEL_SPEED_UP, IDC_PANEL_SPEED_DOWN}) {
        EnableWindow(GetDlgItem(window, id), plugged);
    }
    EnableWindow(GetDlgItem(window, IDC_PANEL_FREEZE), plugged && !socket_.frozen());
    setText(status_, statusText());
}

std::wstring ControlPanel::statusText() const {
    const auto unit = socket_.unit();
    if (!unit) {
        return L"Unplugged: no unit on the USB port";
    }
    const KeyerState keyer = unit->keyer();
    const int wpm = keyer.speed == 0 ? 0 : (600 + keyer.speed / 2) / keyer.speed;
    const double hz = sideToneHz(keyer.side_tone);
    const std::wstring tone =
        hz > 0 ? std::to_wstring(static_cast<int>(hz + 0.5)) + L" Hz" : std::wstring(L"off");
    return L"Speed " + std::to_wstring(wpm) + L" WPM   weights " +
           std::to_wstring(keyer.dot_weight) + L"/" + std::to_wstring(keyer.dash_weight) +
           L"   side tone " + tone + L"\nPTT " + (keyer.ptt_control ? L"" : L"off, ") + L"delays " +
           std::to_wstring(keyer.ptt_delay1) + L"/" + std::to_wstring(keyer.ptt_delay2) +
           L"\nBuffer " + std::to_wstring(unit->buffer_size()) +
           (unit->paddle_mode() ? L" (paddle)" : L"") + L"   key " +
           ((unit->port0() & 0x01) == 0 ? L"DOWN" : L"up") +
           (unit->generator_stalled() ? L"   FROZEN" : L"");
}

}  // namespace omvar::sim::virtual_unit
