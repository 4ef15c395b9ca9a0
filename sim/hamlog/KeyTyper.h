#pragma once

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <deque>
#include <vector>

#include "KeySequence.h"

namespace omvar::sim::hamlog {

// Types key strokes into the stand-in's own thread the way a keyboard does, through the
// message queue so that hooks on the thread see every message: key-down, the character that
// TranslateMessage would make of it, key-up, one message at a time. A message goes out only
// after the previous one has come back from GetMessage, so a character is posted only when its
// key-down was not swallowed, and the key-up follows the character as with real input.
// Messages go to the window that has the focus when they are posted (so a Tab that moves the
// focus moves the typing too), or to the fallback window when no window has the focus.
class KeyTyper {
public:
    static bool isSynthetic(const MSG& msg);

    void enqueue(HWND fallback, const std::vector<KeyStroke>& strokes);

    // After a synthetic message was dispatched: posts the next one.
    void retrieved(const MSG& msg);

    // Key strokes not yet completely typed.
    std::size_t pending() const { return strokesLeft_; }

    // When the first message of the last enqueue that found the typer idle was posted: the
    // moment a benchmark's key press begins, on the clock every process of the machine shares.
    std::chrono::steady_clock::time_point firstPosted() const { return firstPosted_; }

private:
    struct Step {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        wchar_t ch;       // character to post after a key-down that came through
        bool endsStroke;  // the last step of one key stroke
        HWND fallback;
    };

    void addStroke(HWND fallback, const KeyStroke& stroke);
    void postNext();

    std::deque<Step> steps_;
    bool outstanding_ = false;
    bool outstandingEnds_ = false;
    wchar_t pendingChar_ = 0;
    HWND forcedTarget_ = nullptr;  // a character goes where its key-down went
    std::size_t strokesLeft_ = 0;
    std::chrono::steady_clock::time_point firstPosted_{};
};

}  // namespace omvar::sim::hamlog
