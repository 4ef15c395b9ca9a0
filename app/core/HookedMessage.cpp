#include "HookedMessage.h"

namespace omvar::Vetrin {

namespace {

bool held(int key) {
    return GetKeyState(key) < 0 || GetAsyncKeyState(key) < 0;
}

}  // namespace

Modifiers sampleModifiers() {
    return {held(VK_SHIFT), held(VK_CONTROL), held(VK_MENU)};
}

HookedMessage HookedMessage::from(const Snarel::HookMessageRecord& record, Modifiers modifiers) {
    HookedMessage m;
    m.hwnd = Snarel::handleFromWire(record.hwnd);
    m.message = record.message;
    m.wParam = record.wParam;
    m.lParam = record.lParam;
    m.time = record.time;
    m.ptX = record.ptX;
    m.ptY = record.ptY;
    m.focusWindow = Snarel::handleFromWire(record.focusWindow);
    m.shift = modifiers.shift;
    m.ctrl = modifiers.ctrl;
    m.alt = modifiers.alt;
    m.post = record.post != 0;
    return m;
}

}  // namespace omvar::Vetrin
