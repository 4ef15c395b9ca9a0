#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>

#include "QuentraxUnit.h"
#include "resource.h"

// The virtual unit's panel: a small window on a thread of its own with the unit's controls,
// the message button, the speed knob (up, down) and a paddle that keys one character per key
// typed into the window. Shortcuts in the window: Enter the message button, Up/Right and
// Down/Left the knob, any character with a Morse code the paddle. A status line shows the
// keyer's speed, side tone, buffer and key.
namespace omvar::sim::virtual_unit {

class ControlPanel {
public:
    ControlPanel(std::shared_ptr<QuentraxUnit> unit, HINSTANCE module);
    ~ControlPanel();  // closes the window and joins its thread
    ControlPanel(const ControlPanel&) = delete;
    ControlPanel& operator=(const ControlPanel&) = delete;

    HWND window() const { return window_; }

    // The three actions, as the buttons and shortcuts run them.
    void pressMessageButton();
    void turnKnob(bool up);
    // False when the character has no Morse code.
    bool keyPaddle(wchar_t character);

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void run(HANDLE created);
    void create();
    void onCommand(int id);
    bool onKey(const MSG& msg);
    void showStatus();

    std::shared_ptr<QuentraxUnit> unit_;
    HINSTANCE module_;
    std::atomic<HWND> window_ = nullptr;  // null once the operator closed the panel
    HWND status_ = nullptr;
    DWORD threadId_ = 0;
    bool paddlePrimed_ = false;  // touched on the panel's thread only
    std::thread thread_;
};

}  // namespace omvar::sim::virtual_unit
