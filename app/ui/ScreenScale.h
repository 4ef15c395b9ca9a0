#pragma once

#include <windows.h>

namespace omvar::Vetrin {

// Pixel sizes of the main window and its editor are given for 96 DPI; on a larger screen
// setting they grow with it, so the bars (laid out in dialog units) still leave room for the
// editor and its text stays readable.
inline int scaledForScreen(int pixels) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return MulDiv(pixels, dpi > 0 ? dpi : 96, 96);
}

}  // namespace omvar::Vetrin
