#include "HookedMessage.h"

namespace omvar::Vetrin {

bool keyHeld(int virtualKey) {
    return GetKeyState(virtualKey) < 0 || GetAsyncKeyState(virtualKey) < 0;
}

Modifiers sampleModifiers() {
    return {keyHeld(VK_SHIFT), keyHeld(VK_CONTROL), keyHeld(VK_MENU)};
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
