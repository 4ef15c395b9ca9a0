#include "HookedMessage.h"

namespace omvar::Vetrin {

bool keyHeld(int virtualKey) {
    return GetKeyState(virtualKey) < 0 || GetAsyncKeyState(virtualKey) < 0;
}

Modifiers sampleModifiers() {
    return {keyHeld(VK_SHIFT), keyHeld(VK_CONTROL), keyHeld(VK_MENU)};
}

namespace {

constexpr LPARAM kForwardedBit = LPARAM{1} << 25;
constexpr LPARAM kShiftBit = LPARAM{1} << 26;
constexpr LPARAM kCtrlBit = LPARAM{1} << 27;
constexpr LPARAM kAltBit = LPARAM{1} << 28;

bool isKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP;
}

}  // namespace

void HeldModifiers::follow(UINT message, std::uint32_t key) {
    if (!isKeyMessage(message)) {
        return;
    }
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    switch (key) {
        case VK_SHIFT:
        case VK_LSHIFT:
        case VK_RSHIFT:
            state_.shift = down;
            break;
        case VK_CONTROL:
        case VK_LCONTROL:
        case VK_RCONTROL:
            state_.ctrl = down;
            break;
        case VK_MENU:
        case VK_LMENU:
        case VK_RMENU:
            state_.alt = down;
            break;
        default:
            break;
    }
}

Modifiers HeldModifiers::forKey(UINT message, std::uint32_t keyParam) const {
    constexpr std::uint32_t kContextBit = 1u << 29;
    const bool systemKey = message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
    return {state_.shift, state_.ctrl, state_.alt || (systemKey && (keyParam & kContextBit) != 0)};
}

LPARAM forwardedKeyParam(LPARAM keyParam, Modifiers modifiers) {
    const LPARAM others = keyParam & ~(kForwardedBit | kShiftBit | kCtrlBit | kAltBit);
    return others | kForwardedBit | (modifiers.shift ? kShiftBit : 0) |
           (modifiers.ctrl ? kCtrlBit : 0) | (modifiers.alt ? kAltBit : 0);
}

Modifiers modifiersOfKey(UINT message, LPARAM keyParam) {
    if (!isKeyMessage(message) || (keyParam & kForwardedBit) == 0) {
        return sampleModifiers();
    }
    return {(keyParam & kShiftBit) != 0, (keyParam & kCtrlBit) != 0, (keyParam & kAltBit) != 0};
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
