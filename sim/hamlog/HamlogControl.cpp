#include "HamlogControl.h"

#include <cwchar>
#include <sstream>
#include <stdexcept>
#include <string>

#include "ControlProtocol.h"
#include "win32/ExecutableFolder.h"

namespace omvar::sim::hamlog {

namespace {

constexpr wchar_t kReplyWindowClass[] = L"VetrinHamlogControlReply";
// Generous: under 32-bit Wine on an emulated CPU a process start can take many seconds on a
// loaded machine.
constexpr auto kStartBound = std::chrono::seconds(60);
constexpr auto kCloseBound = std::chrono::seconds(10);

std::string narrow(std::wstring_view text) {
    std::string result;
    for (wchar_t c : text) {
        result += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return result;
}

struct ReplySlot {
    bool received = false;
    std::wstring text;
};

LRESULT CALLBACK replyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        auto* slot = reinterpret_cast<ReplySlot*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (slot != nullptr && data->dwData == kReplyTag) {
            slot->text.assign(static_cast<const wchar_t*>(data->lpData),
                              data->cbData / sizeof(wchar_t));
            slot->received = true;
            return 1;
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A message-only window that takes one answer; made per command on the calling thread, so
// the stand-in's answer is handled while that thread waits for the command's result.
class ReplyWindow {
public:
    explicit ReplyWindow(ReplySlot& slot) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = replyProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kReplyWindowClass;
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            throw std::runtime_error("RegisterClassExW of the reply window failed");
        }
        window_ = CreateWindowExW(0, kReplyWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);
        if (window_ == nullptr) {
            throw std::runtime_error("CreateWindowExW of the reply window failed");
        }
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&slot));
    }
    ~ReplyWindow() { DestroyWindow(window_); }
    ReplyWindow(const ReplyWindow&) = delete;
    ReplyWindow& operator=(const ReplyWindow&) = delete;

    HWND handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

UINT messageOfKind(std::wstring_view kind) {
    for (const KeyMessageName& entry : kKeyMessageNames) {
        if (kind == entry.name) {
            return entry.message;
        }
    }
    return 0;
}

}  // namespace

HamlogControl::HamlogControl(Options options) : options_(std::move(options)) {
    start();
}

HamlogControl::~HamlogControl() {
    try {
        close();
    } catch (const std::exception&) {
        // Nothing more to do for a stand-in that will not go; its parent watch ends it with us.
    }
}

void HamlogControl::start() {
    const std::wstring executable =
        options_.executable.empty() ? win32::executableFolder() + kStandInExe : options_.executable;
    std::wstring commandLine =
        L"\"" + executable + L"\" --logs=" + std::to_wstring(options_.logWindows) +
        L" --children=" + std::to_wstring(options_.children) + L" --parent=" +
        std::to_wstring(GetCurrentProcessId()) +
        (options_.plainCaptions ? L" --plain-captions" : L"") +
        (options_.stallMs > 0 ? L" --stall=" + std::to_wstring(options_.stallMs) : std::wstring());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        throw std::runtime_error("cannot start " + narrow(executable));
    }
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
    control_ = nullptr;

    const auto deadline = std::chrono::steady_clock::now() + kStartBound;
    while (control_ == nullptr) {
        for (HWND candidate = FindWindowExW(HWND_MESSAGE, nullptr, kControlWindowClass, nullptr);
             candidate != nullptr;
             candidate = FindWindowExW(HWND_MESSAGE, candidate, kControlWindowClass, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(candidate, &owner);
            if (owner == processId_) {
                control_ = candidate;
                break;
            }
        }
        if (control_ != nullptr) {
            break;
        }
        if (!running()) {
            throw std::runtime_error("the HAMLOG stand-in ended during start-up");
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            const std::string reached = startUpReached();
            close();
            throw std::runtime_error("the HAMLOG stand-in did not come up (" + reached + ")");
        }
        pumpSentMessages(std::chrono::milliseconds(5));
    }
    threadId_ = GetWindowThreadProcessId(control_, nullptr);
}

namespace {

struct StartUpSearch {
    DWORD process;
    bool application = false;
    bool logA = false;
};

BOOL CALLBACK noteStartUpWindow(HWND window, LPARAM param) {
    auto& found = *reinterpret_cast<StartUpSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == found.process) {
        wchar_t caption[64] = {};
        GetWindowTextW(window, caption, 64);
        found.application |= std::wstring_view(caption) == L"Turbo HAMLOG/Win";
        found.logA |= std::wstring_view(caption).find(L"\uFF21") != std::wstring_view::npos;
    }
    return TRUE;
}

}  // namespace

// How far a stand-in that does not come up got: which of its first windows it has made.
std::string HamlogControl::startUpReached() const {
    StartUpSearch search{processId_};
    const HWND foreground = GetForegroundWindow();
    EnumWindows(noteStartUpWindow, reinterpret_cast<LPARAM>(&search));
    DWORD foregroundProcess = 0;
    GetWindowThreadProcessId(foreground, &foregroundProcess);
    return std::string("application window ") + (search.application ? "made" : "not made") +
           ", log window A " + (search.logA ? "made" : "not made") +
           ", the window in front belongs to process " + std::to_string(foregroundProcess);
}

void HamlogControl::restart() {
    close();
    start();
}

bool HamlogControl::running() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

void HamlogControl::close() {
    if (!process_) {
        return;
    }
    if (running()) {
        tryCommand(L"quit", std::chrono::seconds(5));
    }
    const auto deadline = std::chrono::steady_clock::now() + kCloseBound;
    while (running() && std::chrono::steady_clock::now() < deadline) {
        const HANDLE process = process_.get();
        // Closing windows sends hooked messages to a receiver that may live on this thread.
        if (MsgWaitForMultipleObjectsEx(1, &process, 20, QS_SENDMESSAGE, 0) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
    kill();  // what did not end in time
}

void HamlogControl::kill() {
    if (!process_) {
        return;
    }
    if (running()) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 5000);
    }
    process_.reset();
    control_ = nullptr;
    threadId_ = 0;
}

HamlogControl::Reply HamlogControl::tryCommand(std::wstring_view line,
                                               std::chrono::milliseconds timeout) {
    if (control_ == nullptr) {
        return {false, L"the HAMLOG stand-in is not running"};
    }
    // A thread that has taken no message for five seconds counts as hung, and the stand-in sends
    // its answer with SMTO_ABORTIFHUNG: a test that waited long on something else would lose it.
    MSG pending;
    PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE);
    ReplySlot slot;
    ReplyWindow replyWindow(slot);
    COPYDATASTRUCT data{};
    data.dwData = kCommandTag;
    data.cbData = static_cast<DWORD>(line.size() * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(line.data());
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(control_, WM_COPYDATA, reinterpret_cast<WPARAM>(replyWindow.handle()),
                             reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                             static_cast<UINT>(timeout.count()), &result)) {
        return {false, L"no answer from the HAMLOG stand-in"};
    }
    if (!slot.received) {
        return {false, L"the HAMLOG stand-in's answer text did not arrive"};
    }
    return {result != 0, slot.text};
}

std::wstring HamlogControl::command(std::wstring_view line) {
    Reply reply = tryCommand(line);
    if (!reply.ok) {
        throw std::runtime_error("stand-in command \"" + narrow(line) +
                                 "\" failed: " + narrow(reply.text));
    }
    return std::move(reply.text);
}

HWND HamlogControl::window(std::wstring_view name) {
    const std::wstring value = command(L"hwnd " + std::wstring(name));
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::stoull(value)));
}

void HamlogControl::focus(std::wstring_view name) {
    command(L"focus " + std::wstring(name));
}

bool HamlogControl::bringToFront(std::wstring_view control, std::chrono::milliseconds bound) {
    const std::wstring window(control.substr(0, control.find(L':')));
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        focus(control);
        if (command(L"foreground") == window) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        pumpSentMessages(std::chrono::milliseconds(20));
    }
}

void HamlogControl::type(std::wstring_view name, std::wstring_view keys) {
    command(L"type " + std::wstring(name) + L" " + std::wstring(keys));
}

bool HamlogControl::waitForZero(const wchar_t* query, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (command(query) == L"0") {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        pumpSentMessages(std::chrono::milliseconds(2));
    }
}

bool HamlogControl::waitTyped(std::chrono::milliseconds bound) {
    return waitForZero(L"typing", bound);
}

bool HamlogControl::input(std::wstring_view name, std::wstring_view keys,
                          std::chrono::milliseconds bound) {
    const std::wstring lostBefore = command(L"inputlost");
    command(L"input " + std::wstring(name) + L" " + std::wstring(keys));
    if (!waitForZero(L"inputting", bound)) {
        return false;
    }
    return command(L"inputlost") == lostBefore;
}

void HamlogControl::setText(std::wstring_view name, std::wstring_view text) {
    command(L"settext " + std::wstring(name) + L" " + std::wstring(text));
}

std::wstring HamlogControl::text(std::wstring_view name) {
    return command(L"gettext " + std::wstring(name));
}

void HamlogControl::setCheck(std::wstring_view name, int state) {
    command(L"check " + std::wstring(name) + L" " + std::to_wstring(state));
}

int HamlogControl::checked(std::wstring_view name) {
    return std::stoi(command(L"checked " + std::wstring(name)));
}

void HamlogControl::setCqPlaying(bool playing) {
    command(playing ? L"play" : L"stop");
}

bool HamlogControl::cqPlaying() {
    return command(L"playing") == L"1";
}

std::vector<HamlogControl::ReceivedKey> HamlogControl::receivedKeys() {
    std::vector<ReceivedKey> keys;
    std::wistringstream lines(command(L"keys"));
    std::wstring window, kind, value;
    while (lines >> window >> kind >> value) {
        keys.push_back({window, messageOfKind(kind),
                        static_cast<unsigned int>(std::wcstoul(value.c_str(), nullptr, 16))});
    }
    return keys;
}

void HamlogControl::clearReceivedKeys() {
    command(L"clearkeys");
}

void HamlogControl::pumpSentMessages(std::chrono::milliseconds duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return;
        }
        if (MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left.count()),
                                        QS_SENDMESSAGE, 0) == WAIT_OBJECT_0) {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
}

}  // namespace omvar::sim::hamlog
