#pragma once

#include <windows.h>

// The two hook procedures. They run on HAMLOG's GUI thread in HAMLOG's process and forward the
// messages the shared filter selects to the shared notify window.
namespace omvar::Snarel::detail {

// wParam of the WM_NULL the watcher posts to HAMLOG's application window to prove the hooks
// alive; its lParam is the probe's sequence number. The retrieval hook notes it and forwards
// nothing.
inline constexpr WPARAM kProbeTag = 0x5350524F;

// WH_GETMESSAGE: a nonzero answer of the receiver turns the retrieved message into WM_NULL.
LRESULT CALLBACK retrievalHookProc(int code, WPARAM wParam, LPARAM lParam);

// WH_CALLWNDPROCRET: reports the message after the window procedure; the answer is ignored.
LRESULT CALLBACK callReturnHookProc(int code, WPARAM wParam, LPARAM lParam);

}  // namespace omvar::Snarel::detail
