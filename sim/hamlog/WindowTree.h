#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "KeyLog.h"
#include "StandInOptions.h"

namespace omvar::sim::hamlog {

// HAMLOG's windows as the system recognises them, all on the calling thread: the application
// window that owns the others, the main window, the log windows with their fixed child order,
// the data window and the CQ machine. Windows and controls are addressed by name:
//   app, main, A..F (log windows), data, cq (CQ machine), cq:play, cq:stop (its buttons),
//   A:call, A:rst, A:mode, A:code, A:name, A:qth, A:remarks2, A:cq (check box),
//   A:#N (the log window's N-th direct child, 0-based), data:#N, and app2 once opened.
// Every window records the key messages that reach it in the key log.
class WindowTree {
public:
    WindowTree(const StandInOptions& options, KeyLog& keyLog);
    ~WindowTree();
    WindowTree(const WindowTree&) = delete;
    WindowTree& operator=(const WindowTree&) = delete;

    HWND find(std::wstring_view name) const;
    std::wstring nameOf(HWND window) const;
    HWND application() const { return application_; }

    // The CQ machine plays while its stop button is visible.
    void setCqPlaying(bool playing);
    bool cqPlaying() const;

    // Opens log window A..F (index 0..5) now, with 23 or more direct children (more than 24:
    // the extra ones are hidden labels after the check box). Throws when it is open already.
    void openLogWindow(int index, int children);
    // A second application window (class and caption of the first, owning nothing), as a
    // second HAMLOG would show; named app2.
    void openSecondApplication();

    // Names of the controls that were asked to come to the top of their siblings (what
    // SwitchToThisWindow and BringWindowToTop do to a control), oldest first.
    const std::vector<std::wstring>& raised() const { return raised_; }
    void clearRaised() { raised_.clear(); }

    // Makes the control wait this long before it answers WM_GETTEXTLENGTH and WM_GETTEXT.
    void setTextDelay(HWND control, DWORD milliseconds);
    // How many WM_GETTEXTLENGTH and WM_GETTEXT requests the control has answered.
    int textRequests(HWND control) const;

private:
    static LRESULT CALLBACK formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK controlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR self);

    void registerClasses();
    HWND createForm(const wchar_t* className, const wchar_t* caption, int x, int y, int width,
                    int height, bool visible);
    HWND createChild(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                     int position, RECT bounds);
    void createLogWindow(int index, int children);
    void createDataWindow();
    void createCqMachine();
    void name(std::wstring name, HWND window);
    LRESULT handleForm(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void moveFocus(HWND from, bool backwards);
    // Makes a log window no lower than its controls need.
    static void keepControlsInside(HWND form, WINDOWPOS& position);

    KeyLog& keyLog_;
    HINSTANCE instance_;
    bool plainCaptions_;
    HWND application_ = nullptr;
    std::vector<std::pair<std::wstring, HWND>> names_;
    std::map<HWND, std::vector<HWND>> tabOrder_;  // per form, the fields Tab walks through
    std::map<HWND, HWND> lastFocus_;              // per form, restored on activation
    std::set<HWND> fixedOrder_;                   // forms whose children are all created
    std::vector<std::wstring> raised_;
    std::map<HWND, DWORD> textDelays_;
    std::map<HWND, int> textRequests_;
};

}  // namespace omvar::sim::hamlog
