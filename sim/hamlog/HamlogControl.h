#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "win32/UniqueHandles.h"

namespace omvar::sim::hamlog {

// Drives a HAMLOG stand-in process from a test or demo program: starts it (from the folder of
// the calling program by default), waits until its windows exist, sends commands on its control
// channel (README.md) and closes it. While a call waits for the stand-in, the calling thread
// still handles messages sent to its windows, so a hook receiver on the same thread keeps
// answering the stand-in. Use one object from one thread.
class HamlogControl {
public:
    struct Options {
        int logWindows = 1;
        int children = 23;
        bool plainCaptions = false;  // "Form_A", "Form_A_1", ... as log window captions
        int stallMs = 0;          // no messages taken this long right after the application window
        std::wstring executable;  // empty: hamlog_standin.exe beside the calling program
    };

    struct ReceivedKey {
        std::wstring window;  // e.g. "A:call"
        UINT message;  // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_CHAR, WM_SYSCHAR
        unsigned int wParam;

        bool operator==(const ReceivedKey&) const = default;
    };

    struct Reply {
        bool ok;
        std::wstring text;
    };

    // Starts the stand-in; throws std::runtime_error when it does not come up.
    explicit HamlogControl(Options options);
    HamlogControl() : HamlogControl(Options{}) {}
    ~HamlogControl();
    HamlogControl(const HamlogControl&) = delete;
    HamlogControl& operator=(const HamlogControl&) = delete;

    // Closes the stand-in and starts a new process (a new GUI thread) with the same options.
    void restart();
    // Asks the stand-in to quit and waits for its end; kills it if it does not end in time.
    void close();
    // Ends the process at once (TerminateProcess), as a crash or the task manager does; a
    // restart() afterwards starts a new one.
    void kill();
    bool running() const;

    DWORD processId() const { return processId_; }
    DWORD guiThreadId() const { return threadId_; }

    // The command's answer; tryCommand reports errors, command throws them.
    Reply tryCommand(std::wstring_view line,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10));
    std::wstring command(std::wstring_view line);

    HWND window(std::wstring_view name);
    // Focuses the control (and brings its window to the front).
    void focus(std::wstring_view name);
    // Focuses the control until its window is the one in front: under Wine, taking the
    // foreground from another process's window can leave no window in front, and asking again
    // then brings it forward. False when it is not in front within the bound.
    bool bringToFront(std::wstring_view control,
                      std::chrono::milliseconds bound = std::chrono::seconds(10));
    // Queues keys (syntax in README.md) for the control, which gets the focus first; the name
    // "focus" types into whatever has the focus.
    void type(std::wstring_view name, std::wstring_view keys);
    // Waits until every queued key has gone through the stand-in's message queue.
    bool waitTyped(std::chrono::milliseconds bound = std::chrono::seconds(10));
    // Types keys (same syntax) as real keyboard input, which changes the system's key state as
    // a keyboard does; the control's window comes to the front and the control gets the focus
    // first ("focus": whatever has it). Waits until every key went through the stand-in's
    // queue; false when one did not arrive (the stand-in was not in front) or the bound passed.
    bool input(std::wstring_view name, std::wstring_view keys,
               std::chrono::milliseconds bound = std::chrono::seconds(10));
    void setText(std::wstring_view name, std::wstring_view text);
    std::wstring text(std::wstring_view name);
    void setCheck(std::wstring_view name, int state);
    int checked(std::wstring_view name);
    void setCqPlaying(bool playing);
    bool cqPlaying();
    std::vector<ReceivedKey> receivedKeys();
    void clearReceivedKeys();

    // Handles messages sent to the calling thread's windows for the given time.
    static void pumpSentMessages(std::chrono::milliseconds duration);

private:
    void start();
    std::string startUpReached() const;
    // Asks the stand-in the query until it answers "0", handling the messages sent to this
    // thread in between; false when the bound passes first.
    bool waitForZero(const wchar_t* query, std::chrono::milliseconds bound);

    Options options_;
    win32::UniqueHandle process_;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
    HWND control_ = nullptr;
};

}  // namespace omvar::sim::hamlog
