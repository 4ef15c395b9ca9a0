#include "KeyTyper.h"

#include "ControlProtocol.h"
#include "KeyLog.h"

namespace omvar::sim::hamlog {

namespace {

LPARAM keyParam(UINT vk, bool up, bool alt) {
    const UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) & 0xFF;
    std::uint32_t value = 1 | (scan << 16) | kSyntheticKeyBit;
    if (alt) {
        value |= 1u << 29;
    }
    if (up) {
        value |= (1u << 30) | (1u << 31);
    }
    return static_cast<LPARAM>(static_cast<std::int32_t>(value));
}

bool isKeyDown(UINT message) {
    return message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
}

}  // namespace

bool KeyTyper::isSynthetic(const MSG& msg) {
    // A swallowed key message comes as WM_NULL and keeps its parameters.
    return (msg.message == WM_NULL || KeyLog::isKeyMessage(msg.message)) &&
           (static_cast<std::uint32_t>(msg.lParam) & kSyntheticKeyBit) != 0;
}

void KeyTyper::enqueue(HWND fallback, const std::vector<KeyStroke>& strokes) {
    for (const KeyStroke& stroke : strokes) {
        addStroke(fallback, stroke);
    }
    if (!outstanding_) {
        firstPosted_ = std::chrono::steady_clock::now();
        postNext();
    }
}

void KeyTyper::addStroke(HWND fallback, const KeyStroke& stroke) {
    // While Alt is held, keys are system keys; F10 is one on its own.
    const bool system = stroke.alt || stroke.vk == VK_F10;
    auto add = [&](UINT message, UINT vk, bool up, wchar_t ch) {
        steps_.push_back({message, vk, keyParam(vk, up, stroke.alt && !(vk == VK_MENU && up)), ch,
                          false, fallback});
    };
    if (stroke.ctrl) {
        add(WM_KEYDOWN, VK_CONTROL, false, 0);
    }
    if (stroke.shift) {
        add(WM_KEYDOWN, VK_SHIFT, false, 0);  // before Alt goes down
    }
    if (stroke.alt) {
        add(WM_SYSKEYDOWN, VK_MENU, false, 0);
    }
    add(system ? WM_SYSKEYDOWN : WM_KEYDOWN, stroke.vk, false, stroke.ch);
    add(system ? WM_SYSKEYUP : WM_KEYUP, stroke.vk, true, 0);
    if (stroke.alt) {
        add(WM_SYSKEYUP, VK_MENU, true, 0);
    }
    if (stroke.shift) {
        add(WM_KEYUP, VK_SHIFT, true, 0);
    }
    if (stroke.ctrl) {
        add(WM_KEYUP, VK_CONTROL, true, 0);
    }
    steps_.back().endsStroke = true;
    ++strokesLeft_;
}

void KeyTyper::retrieved(const MSG& msg) {
    if (!outstanding_) {
        return;
    }
    outstanding_ = false;
    if (pendingChar_ != 0 && isKeyDown(msg.message)) {
        const UINT charMessage = msg.message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
        steps_.push_front({charMessage, pendingChar_, msg.lParam, 0, false, nullptr});
        forcedTarget_ = msg.hwnd;
    }
    pendingChar_ = 0;
    if (outstandingEnds_ && strokesLeft_ > 0) {
        --strokesLeft_;
    }
    outstandingEnds_ = false;
    postNext();
}

void KeyTyper::postNext() {
    while (!steps_.empty()) {
        const Step step = steps_.front();
        steps_.pop_front();
        HWND target = forcedTarget_;
        forcedTarget_ = nullptr;
        if (target == nullptr) {
            target = GetFocus();
        }
        if (target == nullptr) {
            target = step.fallback;
        }
        if (PostMessageW(target, step.message, step.wParam, step.lParam)) {
            outstanding_ = true;
            outstandingEnds_ = step.endsStroke;
            pendingChar_ = step.ch;
            return;
        }
        // The window is gone: drop the step as a keyboard would lose it.
        if (step.endsStroke && strokesLeft_ > 0) {
            --strokesLeft_;
        }
    }
}

}  // namespace omvar::sim::hamlog
