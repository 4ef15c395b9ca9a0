#include "ControlWindow.h"

#include <stdexcept>
#include <string>

#include "CommandProcessor.h"
#include "ControlProtocol.h"
#include "Instrument.h"

namespace omvar::sim::hamlog {

namespace {

constexpr UINT kRunInstrument = WM_APP + 1;
constexpr UINT kHang = WM_APP + 2;
// The caller waits for the command's result meanwhile, so this only runs out on a stalled
// caller; generous for the emulated 32-bit runs.
constexpr UINT kReplyTimeoutMs = 30000;

}  // namespace

ControlWindow::ControlWindow(CommandProcessor& processor, Instrument& instrument)
    : processor_(processor), instrument_(instrument) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kControlWindowClass;
    if (!RegisterClassExW(&wc)) {
        throw std::runtime_error("RegisterClassExW of the control window failed");
    }
    window_ = CreateWindowExW(0, kControlWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, this);
    if (window_ == nullptr) {
        throw std::runtime_error("CreateWindowExW of the control window failed");
    }
}

ControlWindow::~ControlWindow() {
    if (IsWindow(window_)) {
        DestroyWindow(window_);
    }
}

LRESULT CALLBACK ControlWindow::windowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<ControlWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr) {
        if (message == WM_COPYDATA) {
            return self->onCopyData(reinterpret_cast<HWND>(wParam),
                                    *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        }
        if (message == kRunInstrument) {
            self->instrument_.runRequested();
            return 0;
        }
        if (message == kHang) {
            // A hung program: its GUI thread takes no message, posted or sent, meanwhile.
            Sleep(static_cast<DWORD>(wParam));
            return 0;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT ControlWindow::onCopyData(HWND replyTo, const COPYDATASTRUCT& data) {
    if (data.dwData != kCommandTag || (data.cbData % sizeof(wchar_t)) != 0) {
        return 0;
    }
    const std::wstring line(static_cast<const wchar_t*>(data.lpData),
                            data.cbData / sizeof(wchar_t));
    const CommandProcessor::Reply reply = processor_.run(line);
    if (instrument_.requested()) {
        PostMessageW(window_, kRunInstrument, 0, 0);
    }
    if (const DWORD hang = processor_.takeRequestedHang()) {
        PostMessageW(window_, kHang, hang, 0);
    }
    if (replyTo != nullptr) {
        COPYDATASTRUCT answer{};
        answer.dwData = kReplyTag;
        answer.cbData = static_cast<DWORD>(reply.text.size() * sizeof(wchar_t));
        answer.lpData = const_cast<wchar_t*>(reply.text.data());
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(replyTo, WM_COPYDATA, reinterpret_cast<WPARAM>(window_),
                            reinterpret_cast<LPARAM>(&answer), SMTO_ABORTIFHUNG, kReplyTimeoutMs,
                            &ignored);
    }
    return reply.ok ? 1 : 0;
}

}  // namespace omvar::sim::hamlog
