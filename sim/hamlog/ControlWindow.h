#pragma once

#include <windows.h>

namespace omvar::sim::hamlog {

class CommandProcessor;
class Instrument;

// The stand-in's end of the control channel: a message-only window, so HAMLOG's window
// enumeration never sees it. A WM_COPYDATA tagged as a command is run; the answer goes back as
// a WM_COPYDATA to the window in wParam, and the result is 1 for success, 0 for an error.
class ControlWindow {
public:
    ControlWindow(CommandProcessor& processor, Instrument& instrument);
    ~ControlWindow();
    ControlWindow(const ControlWindow&) = delete;
    ControlWindow& operator=(const ControlWindow&) = delete;

    HWND handle() const { return window_; }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onCopyData(HWND replyTo, const COPYDATASTRUCT& data);

    CommandProcessor& processor_;
    Instrument& instrument_;
    HWND window_ = nullptr;
};

}  // namespace omvar::sim::hamlog
