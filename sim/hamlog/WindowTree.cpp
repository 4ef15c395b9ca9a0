#include "WindowTree.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace omvar::sim::hamlog {

namespace {

constexpr wchar_t kApplicationClass[] = L"TApplication";
constexpr wchar_t kMainClass[] = L"TThwin";
constexpr wchar_t kLogClass[] = L"TForm_A";
constexpr wchar_t kCqMachineClass[] = L"TForm12";
constexpr wchar_t kBitButtonClass[] = L"TBitBtn";
constexpr wchar_t kStopCaption[] = L"再生中断(&A)";
constexpr UINT_PTR kSubclassId = 1;
constexpr int kControlIdBase = 100;
constexpr int kPlayId = 201;
constexpr int kStopId = 202;

enum class Kind { label, edit, check };

// A log window's 23 direct children in the order FindWindowEx lists them. The fields sit at
// the positions the tracker maps; `row` places a field and its label on screen (-1: hidden).
struct ChildSpec {
    Kind kind;
    const wchar_t* name;  // alias beside "#N", or null
    const wchar_t* text;
    int row;
};

constexpr ChildSpec kLogChildren[23] = {
    {Kind::label, nullptr, L"", -1},        {Kind::label, nullptr, L"", -1},
    {Kind::label, nullptr, L"Field 7", 9},  {Kind::label, nullptr, L"Remarks2", 8},
    {Kind::label, nullptr, L"Field 9", 7},  {Kind::label, nullptr, L"QTH", 6},
    {Kind::check, L"cq", L"CQ", 10},        {Kind::edit, nullptr, L"", 9},
    {Kind::edit, L"remarks2", L"", 8},      {Kind::edit, nullptr, L"", 7},
    {Kind::edit, L"qth", L"", 6},           {Kind::edit, L"name", L"", 5},
    {Kind::label, nullptr, L"Name", 5},     {Kind::label, nullptr, L"Code", 4},
    {Kind::edit, L"code", L"", 4},          {Kind::edit, L"mode", L"", 3},
    {Kind::label, nullptr, L"Mode", 3},     {Kind::edit, nullptr, L"", 2},
    {Kind::edit, L"rst", L"", 1},           {Kind::label, nullptr, L"His RST", 1},
    {Kind::label, nullptr, L"Field 17", 2}, {Kind::edit, L"call", L"", 0},
    {Kind::label, nullptr, L"Call", 0},
};
// The 24-child layout has one more hidden child right after the check box (larger counts, which
// HAMLOG never shows, have more of them there).
constexpr int kExtraChildPosition = 7;
constexpr int kMaxLogChildren = 40;

constexpr int kRowHeight = 26;
constexpr int kMargin = 8;  // around the rows

RECT rowBounds(const ChildSpec& entry) {
    if (entry.row < 0) {
        return {0, 0, 0, 0};
    }
    const int top = kMargin + entry.row * kRowHeight;
    if (entry.kind == Kind::label) {
        return {8, top + 3, 96, top + 21};
    }
    if (entry.kind == Kind::check) {
        return {104, top, 204, top + 22};
    }
    return {104, top, 344, top + 22};
}

}  // namespace

WindowTree::WindowTree(const StandInOptions& options, KeyLog& keyLog)
    : keyLog_(keyLog), instance_(GetModuleHandleW(nullptr)), plainCaptions_(options.plainCaptions) {
    registerClasses();
    application_ = createForm(kApplicationClass, L"Turbo HAMLOG/Win", 0, 0, 0, 0, false);
    name(L"app", application_);
    if (options.stallMs > 0) {
        Sleep(static_cast<DWORD>(options.stallMs));
    }
    name(L"main", createForm(kMainClass, L"HAMLOG stand-in", 0, 0, 420, 90, true));
    for (int i = 0; i < options.logWindows; ++i) {
        createLogWindow(i, options.children);
    }
    createDataWindow();
    createCqMachine();
    SetForegroundWindow(find(L"A"));
    SetFocus(find(L"A:call"));
}

// The windows are left to the system, which removes them with the thread: destroying visible
// windows one by one costs seconds under Wine without a window manager, and the tree lives as
// long as the thread anyway.
WindowTree::~WindowTree() = default;

void WindowTree::registerClasses() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = formProc;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    for (const wchar_t* className : {kApplicationClass, kMainClass, kLogClass, kCqMachineClass}) {
        wc.lpszClassName = className;
        if (!RegisterClassExW(&wc)) {
            throw std::runtime_error("RegisterClassExW failed");
        }
    }
    // The CQ machine's button is a push button under the class name the tracker looks for.
    WNDCLASSEXW button{};
    button.cbSize = sizeof button;
    if (!GetClassInfoExW(nullptr, L"BUTTON", &button)) {
        throw std::runtime_error("GetClassInfoExW(BUTTON) failed");
    }
    button.hInstance = instance_;
    button.lpszClassName = kBitButtonClass;
    if (!RegisterClassExW(&button)) {
        throw std::runtime_error("RegisterClassExW(TBitBtn) failed");
    }
}

HWND WindowTree::createForm(const wchar_t* className, const wchar_t* caption, int x, int y,
                            int width, int height, bool visible) {
    const bool isApplication = std::wstring_view(className) == kApplicationClass;
    const DWORD style = isApplication ? WS_POPUP : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND window = CreateWindowExW(0, className, caption, style, x, y, frame.right - frame.left,
                                  frame.bottom - frame.top, isApplication ? nullptr : application_,
                                  nullptr, instance_, this);
    if (window == nullptr) {
        throw std::runtime_error("CreateWindowExW of a form failed");
    }
    if (visible) {
        ShowWindow(window, SW_SHOWNOACTIVATE);
    }
    return window;
}

HWND WindowTree::createChild(HWND parent, const wchar_t* className, const wchar_t* text,
                             DWORD style, int position, RECT bounds) {
    const bool visible = bounds.right > bounds.left;
    HWND child = CreateWindowExW(
        0, className, text, WS_CHILD | (visible ? WS_VISIBLE : 0) | style, bounds.left, bounds.top,
        bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlIdBase + position)), instance_,
        nullptr);
    if (child == nullptr) {
        throw std::runtime_error("CreateWindowExW of a control failed");
    }
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
    SetWindowSubclass(child, controlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    // Later children go below the earlier ones, so FindWindowEx lists them in creation order.
    SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return child;
}

void WindowTree::openLogWindow(int index, int children) {
    if (index < 0 || index > 5 || find(std::wstring(1, static_cast<wchar_t>(L'A' + index)))) {
        throw std::invalid_argument("no such log window or open already");
    }
    if (children < 23 || children > kMaxLogChildren) {
        throw std::invalid_argument("log windows have 23 to 40 children");
    }
    createLogWindow(index, children);
}

void WindowTree::openSecondApplication() {
    if (find(L"app2") != nullptr) {
        throw std::invalid_argument("app2 is open already");
    }
    name(L"app2", createForm(kApplicationClass, L"Turbo HAMLOG/Win", 0, 0, 0, 0, false));
}

void WindowTree::setTextDelay(HWND control, DWORD milliseconds) {
    textDelays_[control] = milliseconds;
}

int WindowTree::textRequests(HWND control) const {
    const auto found = textRequests_.find(control);
    return found == textRequests_.end() ? 0 : found->second;
}

void WindowTree::createLogWindow(int index, int children) {
    // Captions carry the full-width letter between ASCII hyphen and brackets.
    std::wstring caption = L"ＬＯＧ-[";
    caption += static_cast<wchar_t>(0xFF21 + index);
    caption += L"]";
    if (plainCaptions_) {
        caption = index == 0 ? L"Form_A" : L"Form_A_" + std::to_wstring(index);
    }
    const std::wstring prefix(1, static_cast<wchar_t>(L'A' + index));
    // Three side by side, so the demo shows each window whole.
    HWND form = createForm(kLogClass, caption.c_str(), 380 * (index % 3), 120 + 340 * (index / 3),
                           352, 8 + 11 * kRowHeight, true);
    name(prefix, form);
    std::vector<HWND> fields(23, nullptr);
    int position = 0;
    for (int i = 0; i < 23; ++i) {
        for (int extra = 23; i == kExtraChildPosition && extra < children; ++extra) {
            HWND label = createChild(form, L"STATIC", L"", 0, position, {0, 0, 0, 0});
            name(prefix + L":#" + std::to_wstring(position), label);
            ++position;
        }
        const ChildSpec& entry = kLogChildren[i];
        HWND child = nullptr;
        switch (entry.kind) {
            case Kind::label:
                child =
                    createChild(form, L"STATIC", entry.text, SS_LEFT, position, rowBounds(entry));
                break;
            case Kind::check:
                child = createChild(form, L"BUTTON", entry.text, BS_AUTOCHECKBOX | WS_TABSTOP,
                                    position, rowBounds(entry));
                break;
            case Kind::edit: {
                const bool call = entry.name != nullptr && std::wstring_view(entry.name) == L"call";
                child =
                    createChild(form, L"EDIT", L"",
                                WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | (call ? ES_UPPERCASE : 0),
                                position, rowBounds(entry));
                fields[entry.row] = child;
                break;
            }
        }
        if (entry.name != nullptr) {
            name(prefix + L":" + entry.name, child);
        }
        name(prefix + L":#" + std::to_wstring(position), child);
        ++position;
    }
    // Tab walks the fields from the call sign down the rows.
    std::erase(fields, nullptr);
    tabOrder_[form] = fields;
    lastFocus_[form] = fields.front();
    fixedOrder_.insert(form);
}

void WindowTree::createDataWindow() {
    HWND form = createForm(kLogClass, L"データの表示＆修正", 380, 120, 352, 70, false);
    name(L"data", form);
    for (int i = 0; i < 2; ++i) {
        const int top = 8 + i * kRowHeight;
        HWND field = createChild(form, L"EDIT", L"", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, i,
                                 {8, top, 344, top + 22});
        name(L"data:#" + std::to_wstring(i), field);
        tabOrder_[form].push_back(field);
    }
    lastFocus_[form] = tabOrder_[form].front();
    fixedOrder_.insert(form);
}

void WindowTree::createCqMachine() {
    HWND form = createForm(kCqMachineClass, L"ＣＱマシーン", 440, 0, 240, 44, false);
    name(L"cq", form);
    HWND play = CreateWindowExW(
        0, L"BUTTON", L"再生(&P)", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 8, 8, 104, 28, form,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPlayId)), instance_, nullptr);
    HWND stop = CreateWindowExW(
        0, kBitButtonClass, kStopCaption, WS_CHILD | BS_PUSHBUTTON, 128, 8, 104, 28, form,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStopId)), instance_, nullptr);
    if (play == nullptr || stop == nullptr) {
        throw std::runtime_error("CreateWindowExW of the CQ machine's buttons failed");
    }
    for (HWND button : {play, stop}) {
        SetWindowSubclass(button, controlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    }
    name(L"cq:play", play);
    name(L"cq:stop", stop);
}

void WindowTree::name(std::wstring name, HWND window) {
    names_.emplace_back(std::move(name), window);
}

HWND WindowTree::find(std::wstring_view name) const {
    for (const auto& [key, window] : names_) {
        if (key == name) {
            return window;
        }
    }
    return nullptr;
}

std::wstring WindowTree::nameOf(HWND window) const {
    for (const auto& [key, handle] : names_) {
        if (handle == window) {
            return key;  // the first name given is the alias where there is one
        }
    }
    return L"?";
}

void WindowTree::setCqPlaying(bool playing) {
    // Showing and hiding the stop button is what the tracker watches (WM_WINDOWPOSCHANGED).
    ShowWindow(find(L"cq:stop"), playing ? SW_SHOWNA : SW_HIDE);
}

bool WindowTree::cqPlaying() const {
    return (GetWindowLongPtrW(find(L"cq:stop"), GWL_STYLE) & WS_VISIBLE) != 0;
}

void WindowTree::moveFocus(HWND from, bool backwards) {
    const auto order = tabOrder_.find(GetParent(from));
    if (order == tabOrder_.end() || order->second.empty()) {
        return;
    }
    const std::vector<HWND>& fields = order->second;
    std::size_t index = 0;
    while (index < fields.size() && fields[index] != from) {
        ++index;
    }
    const std::size_t count = fields.size();
    const std::size_t next =
        index == count ? 0 : (backwards ? index + count - 1 : index + 1) % count;
    SetFocus(fields[next]);
}

LRESULT CALLBACK WindowTree::formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<WindowTree*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handleForm(window, message, wParam, lParam);
}

LRESULT WindowTree::handleForm(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (KeyLog::isKeyMessage(message)) {
        keyLog_.record(nameOf(window), message, wParam);
    }
    switch (message) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) {
                const auto last = lastFocus_.find(window);
                if (last != lastFocus_.end()) {
                    SetFocus(last->second);
                    return 0;
                }
            }
            break;
        case WM_WINDOWPOSCHANGING:
            // Whoever sizes a log window (a test, the demo) still sees all of it, the CQ box
            // in its last row included.
            if (fixedOrder_.contains(window)) {
                keepControlsInside(window, *reinterpret_cast<WINDOWPOS*>(lParam));
            }
            break;
        case WM_SYSCOMMAND:
            // No keyboard menu mode: it would hold the thread in a modal loop.
            if ((wParam & 0xFFF0) == SC_KEYMENU) {
                return 0;
            }
            break;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kPlayId) {
                setCqPlaying(true);
            } else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kStopId) {
                setCqPlaying(false);
            }
            return 0;
        case WM_CLOSE:
            // Closing the application or main window ends the program; other windows hide.
            if (window == application_ || window == find(L"main")) {
                DestroyWindow(application_);
            } else {
                ShowWindow(window, SW_HIDE);
            }
            return 0;
        case WM_DESTROY:
            if (window == application_) {
                PostQuitMessage(0);
            }
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void WindowTree::keepControlsInside(HWND form, WINDOWPOS& position) {
    if ((position.flags & SWP_NOSIZE) != 0) {
        return;
    }
    LONG bottom = 0;
    for (HWND child = GetWindow(form, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) != 0) {
            RECT r{};
            GetWindowRect(child, &r);
            MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
            bottom = std::max(bottom, r.bottom);
        }
    }
    RECT frame{0, 0, 0, bottom + kMargin};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(form, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(form, GWL_EXSTYLE)));
    position.cy = std::max<int>(position.cy, frame.bottom - frame.top);
}

LRESULT CALLBACK WindowTree::controlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<WindowTree*>(data);
    if (KeyLog::isKeyMessage(message)) {
        self->keyLog_.record(self->nameOf(window), message, wParam);
    }
    switch (message) {
        case WM_SETFOCUS:
            self->lastFocus_[GetParent(window)] = window;
            break;
        case WM_KEYDOWN:
            if (wParam == VK_TAB) {
                self->moveFocus(window, GetKeyState(VK_SHIFT) < 0);
                return 0;
            }
            break;
        case WM_WINDOWPOSCHANGING:
            // The child order is what the tracker maps controls by; keep it whatever brings a
            // control to the top (Wine's SwitchToThisWindow on a control does), and note the
            // request.
            if (self->fixedOrder_.contains(GetParent(window))) {
                auto* position = reinterpret_cast<WINDOWPOS*>(lParam);
                if ((position->flags & SWP_NOZORDER) == 0 &&
                    position->hwndInsertAfter == HWND_TOP) {
                    self->raised_.push_back(self->nameOf(window));
                }
                position->flags |= SWP_NOZORDER;
            }
            break;
        case WM_GETTEXTLENGTH:
        case WM_GETTEXT:
            ++self->textRequests_[window];
            if (const auto delay = self->textDelays_.find(window);
                delay != self->textDelays_.end() && delay->second > 0) {
                Sleep(delay->second);
            }
            break;
        case WM_CHAR:
            // A single-line edit only beeps at these.
            if (wParam == L'\t' || wParam == L'\r') {
                return 0;
            }
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(window, controlProc, kSubclassId);
            break;
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace omvar::sim::hamlog
