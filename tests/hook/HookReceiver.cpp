#include "HookReceiver.h"

namespace snarel_test {

using omvar::Snarel::HookMessageRecord;
using omvar::Snarel::HookRecordKind;

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
        if (record->kind != HookRecordKind::message) {
            return 1;  // acknowledged, or the library sends it again
        }
        answer = answer_;
    }
    return answer ? answer(*record) : 0;
}

LRESULT CALLBACK HookReceiver::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<HookReceiver*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_COPYDATA && self != nullptr) {
        return self->onCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace snarel_test
