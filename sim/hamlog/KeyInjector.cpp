#include "KeyInjector.h"

#include <cstdint>

namespace omvar::sim::hamlog {

namespace {

bool isExtendedKey(UINT vk) {
    switch (vk) {
        case VK_PRIOR:
        case VK_NEXT:
        case VK_END:
        case VK_HOME:
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
        case VK_INSERT:
        case VK_DELETE:
            return true;
        default:
            return false;
    }
}

}  // namespace

void KeyInjector::enqueue(const std::vector<KeyStroke>& strokes) {
    dropOnTimeout();
    for (const KeyStroke& stroke : strokes) {
        addStroke(stroke);
    }
    if (!outstanding_) {
        injectNext();
    }
}

void KeyInjector::addStroke(const KeyStroke& stroke) {
    const wchar_t unicode = stroke.vk == VK_PACKET ? stroke.ch : 0;
    auto add = [&](UINT vk, bool up) { events_.push_back({vk, unicode, up, false}); };
    // Modifiers as a keyboard has them: down before the key, up after it, Shift before Alt.
    if (stroke.ctrl) {
        add(VK_CONTROL, false);
    }
    if (stroke.shift) {
        add(VK_SHIFT, false);
    }
    if (stroke.alt) {
        add(VK_MENU, false);
    }
    add(stroke.vk, false);
    add(stroke.vk, true);
    if (stroke.alt) {
        add(VK_MENU, true);
    }
    if (stroke.shift) {
        add(VK_SHIFT, true);
    }
    if (stroke.ctrl) {
        add(VK_CONTROL, true);
    }
    events_.back().endsStroke = true;
    ++strokesLeft_;
}

void KeyInjector::injectNext() {
    while (!events_.empty()) {
        current_ = events_.front();
        events_.pop_front();
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.dwExtraInfo = kExtraInfo;
        if (current_.vk == VK_PACKET) {
            input.ki.wScan = current_.unicode;
            input.ki.dwFlags = KEYEVENTF_UNICODE;
        } else {
            input.ki.wVk = static_cast<WORD>(current_.vk);
            input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(current_.vk, MAPVK_VK_TO_VSC));
            input.ki.dwFlags = isExtendedKey(current_.vk) ? KEYEVENTF_EXTENDEDKEY : 0;
        }
        if (current_.up) {
            input.ki.dwFlags |= KEYEVENTF_KEYUP;
        }
        if (SendInput(1, &input, sizeof input) == 1) {
            outstanding_ = true;
            sentAt_ = std::chrono::steady_clock::now();
            return;
        }
        // Refused (input blocked): the event is lost as a keyboard's would be.
        ++lost_;
        if (current_.endsStroke && strokesLeft_ > 0) {
            --strokesLeft_;
        }
    }
}

void KeyInjector::retrieved(const MSG& msg, LPARAM extraInfo) {
    if (!outstanding_ || extraInfo != static_cast<LPARAM>(kExtraInfo)) {
        return;
    }
    const bool keyMessage = msg.message == WM_KEYDOWN || msg.message == WM_KEYUP ||
                            msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSKEYUP ||
                            msg.message == WM_NULL;
    const bool up = (static_cast<std::uint32_t>(msg.lParam) & (1u << 31)) != 0;
    if (!keyMessage || msg.wParam != current_.vk || up != current_.up) {
        return;
    }
    outstanding_ = false;
    if (current_.endsStroke && strokesLeft_ > 0) {
        --strokesLeft_;
    }
    injectNext();
}

std::size_t KeyInjector::pending() {
    dropOnTimeout();
    return strokesLeft_;
}

void KeyInjector::dropOnTimeout() {
    if (outstanding_ && std::chrono::steady_clock::now() - sentAt_ > kTimeout) {
        lost_ += 1 + events_.size();
        events_.clear();
        outstanding_ = false;
        strokesLeft_ = 0;
    }
}

}  // namespace omvar::sim::hamlog
