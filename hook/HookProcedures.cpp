#include "HookProcedures.h"

#include <cstdint>

#include "HookMessageRecord.h"
#include "RecordTransport.h"
#include "SharedSection.h"

namespace omvar::Snarel::detail {
namespace {

// wParam and lParam travel as 32 bits, as they are on HAMLOG's 32-bit side.
std::uint32_t low32(std::uintptr_t value) {
    return static_cast<std::uint32_t>(value);
}

HookMessageRecord messageRecord(WPARAM hookParam, HWND hwnd, UINT message, WPARAM wParam,
                                LPARAM lParam) {
    HookMessageRecord record{};
    record.kind = HookRecordKind::message;
    record.hookParam = low32(hookParam);
    record.hwnd = handleToWire(hwnd);
    record.message = message;
    record.wParam = low32(wParam);
    record.lParam = low32(static_cast<std::uintptr_t>(lParam));
    record.focusWindow = handleToWire(GetFocus());
    return record;
}

}  // namespace

LRESULT CALLBACK retrievalHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code < 0) {
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (msg->message == WM_NULL && msg->wParam == kProbeTag) {
        // The watcher's, not HAMLOG's: seen, and no record.
        noteProbe(static_cast<std::uint32_t>(msg->lParam));
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    if (!filterSelects(msg->message)) {
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    noteActivity();
    const HWND receiver = notifyWindow();
    if (receiver == nullptr) {
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HookMessageRecord record =
        messageRecord(wParam, msg->hwnd, msg->message, msg->wParam, msg->lParam);
    record.time = msg->time;
    record.ptX = msg->pt.x;
    record.ptY = msg->pt.y;
    record.post = 0;
    const auto answer = sendRecord(receiver, record);
    if (answer && *answer != 0) {
        msg->message = WM_NULL;
        return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK callReturnHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0) {
        const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (filterSelects(call->message)) {
            noteActivity();
            const HWND receiver = notifyWindow();
            if (receiver != nullptr) {
                HookMessageRecord record =
                    messageRecord(wParam, call->hwnd, call->message, call->wParam, call->lParam);
                record.post = 1;
                sendRecord(receiver, record);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace omvar::Snarel::detail
