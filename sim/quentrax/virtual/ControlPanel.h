#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "UnitSocket.h"
#include "resource.h"

// The virtual unit's panel: a small window on a thread of its own with the unit's controls,
// the message button, the speed knob (up, down) and a paddle that keys one character per key
// typed into the window, and what can befall the unit: its USB cable unplugged and plugged in
// again, its firmware frozen. Shortcuts in the window: Enter the message button, Up/Right and
// Down/Left the knob, any character with a Morse code the paddle. A status text shows the
// keyer's settings (speed, weights, side tone, PTT delays), the buffer and the key, and
// whether the unit is frozen or unplugged.
namespace omvar::sim::virtual_unit {

class ControlPanel {
public:
    ControlPanel(UnitSocket& socket, HINSTANCE module);
    ~ControlPanel();  // closes the window and joins its thread
    ControlPanel(const ControlPanel&) = delete;
    ControlPanel& operator=(const ControlPanel&) = delete;

    HWND window() const { return window_; }

    // The unit's three controls, as the buttons and shortcuts run them; nothing while
    // unplugged.
    void pressMessageButton();
    void turnKnob(bool up);
    // False when the character has no Morse code or no unit is plugged in.
    bool keyPaddle(wchar_t character);

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void run(HANDLE created);
    void create();
    void onCommand(int id);
    bool onKey(const MSG& msg);
    void showStatus();
    std::wstring statusText() const;

    UnitSocket& socket_;
    HINSTANCE module_;
    std::atomic<HWND> window_ = nullptr;  // null once the operator closed the panel
    HWND status_ = nullptr;
    DWORD threadId_ = 0;
    // The unit whose paddle sequence the library has learnt; on the panel's thread only.
    std::shared_ptr<QuentraxUnit> paddlePrimed_;
    std::thread thread_;
};

}  // namespace omvar::sim::virtual_unit
