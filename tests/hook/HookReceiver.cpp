#include "HookReceiver.h"

#include "Snarel.h"

namespace snarel_test {

using omvar::Snarel::HookMessageRecord;
using omvar::Snarel::HookRecordKind;

HookReceiver::HookReceiver() : dataId_(omvar::Snarel::GetMessageDataId()) {
    std::unique_lock<std::mutex> lock(mutex_);
    thread_ = std::thread([this] { run(); });
    ready_.wait(lock, [this] { return window_ != nullptr; });
}

HookReceiver::~HookReceiver() {
    PostMessageW(window_, WM_CLOSE, 0, 0);
    thread_.join();
}

void HookReceiver::answerWith(Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = std::move(answer);
}

std::vector<HookMessageRecord> HookReceiver::records() {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
}

std::vector<HookMessageRecord> HookReceiver::messages(UINT message) {
    std::vector<HookMessageRecord> out;
    for (const auto& r : records()) {
        if (r.kind == HookRecordKind::message && r.message == message) {
            out.push_back(r);
        }
    }
    return out;
}

int HookReceiver::foreignPayloads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return foreign_;
}

void HookReceiver::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    records_.clear();
    foreign_ = 0;
}

void HookReceiver::run() {
    static const ATOM windowClass = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = windowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SnarelTestReceiver";
        return RegisterClassW(&wc);
    }();
    HWND window = CreateWindowExW(0, MAKEINTATOM(windowClass), L"", WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), this);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        window_ = window;
    }
    ready_.notify_all();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

LRESULT HookReceiver::onCopyData(const COPYDATASTRUCT& data) {
    const auto record = omvar::Snarel::readHookRecord(data);
    Answer answer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (data.dwData != dataId_ || !record) {
            ++foreign_;
            return 0;
        }
        records_.push_back(*record);
        answer = answer_;
    }
    return answer ? answer(*record) : 0;
}

LRESULT CALLBACK HookReceiver::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<HookReceiver*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_COPYDATA:
            return self->onCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace snarel_test
