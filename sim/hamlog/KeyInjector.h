#pragma once

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <deque>
#include <vector>

#include "KeySequence.h"

namespace omvar::sim::hamlog {

// Types key strokes as real keyboard input (SendInput), so the system's key state follows them
// as it follows a keyboard; posted key messages never change it. The input goes to whichever
// thread has the keyboard focus, so the stand-in must be in front. One key event at a time, as
// a person types: the next event goes in only after the previous one has come out of this
// thread's queue (as itself, or as WM_NULL when a hook swallowed it), so a modifier is still
// held while the key it modifies passes the hooks. An event that does not come back within the
// time-out (the input went to another program) ends the typing and drops the rest.
class KeyInjector {
public:
    // Marks our events (KEYBDINPUT::dwExtraInfo, read back with GetMessageExtraInfo).
    static constexpr ULONG_PTR kExtraInfo = 0x484C4B49;  // "HLKI"
    static constexpr std::chrono::milliseconds kTimeout{3000};

    void enqueue(const std::vector<KeyStroke>& strokes);

    // After every message taken from the queue, with GetMessageExtraInfo taken right after it;
    // injects the next event when this was ours.
    void retrieved(const MSG& msg, LPARAM extraInfo);

    // Key strokes not yet completely typed (0 also after a time-out).
    std::size_t pending();
    // Events dropped because one did not come back in time, since the stand-in started.
    std::size_t lost() const { return lost_; }

private:
    struct Event {
        UINT vk;
        wchar_t unicode;  // VK_PACKET: the character
        bool up;
        bool endsStroke;
    };

    void addStroke(const KeyStroke& stroke);
    void injectNext();
    void dropOnTimeout();

    std::deque<Event> events_;
    bool outstanding_ = false;
    Event current_{};
    std::chrono::steady_clock::time_point sentAt_;
    std::size_t strokesLeft_ = 0;
    std::size_t lost_ = 0;
};

}  // namespace omvar::sim::hamlog
