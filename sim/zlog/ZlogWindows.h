#pragma once

#include <windows.h>

namespace omvar::sim::zlog {

inline constexpr wchar_t kMainFormClass[] = L"TMainForm";
inline constexpr wchar_t kMainFormCaption[] = L"zLog for Windows";
inline constexpr wchar_t kPanelClass[] = L"TPanel";
inline constexpr wchar_t kTrackBarClass[] = L"TTrackBar";

// The stand-in's windows on the calling thread: the main form, three panels as its children in
// this order, and in the third a track bar, a window with a horizontal scroll bar whose position
// is the track bar's (0..kTrackBarMax, at kTrackBarStart at first), also answered to TBM_GETPOS.
// Closing the main form ends the thread's message loop.
//
// Wine keeps a window's scroll bar data in the process that owns the window: there,
// SetScrollPos and GetScrollPos from another process do nothing and read 0. A test of the
// program's SetScrollPos under Wine therefore makes these windows in its own process.
class ZlogWindows {
public:
    static constexpr int kTrackBarMax = 60;
    static constexpr int kTrackBarStart = 30;

    ZlogWindows();
    ~ZlogWindows();
    ZlogWindows(const ZlogWindows&) = delete;
    ZlogWindows& operator=(const ZlogWindows&) = delete;

    HWND mainForm() const { return mainForm_; }
    HWND trackBar() const { return trackBar_; }

private:
    HWND mainForm_ = nullptr;
    HWND trackBar_ = nullptr;
};

}  // namespace omvar::sim::zlog
