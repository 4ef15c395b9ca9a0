#include "ToolBar.h"

#include "Commands.h"
#include "FrameWindow.h"
#include "StandardIds.h"
#include "Strings.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

namespace omvar::ui {

namespace {

// The non-client strip that holds a docked tool bar's gripper.
constexpr int kGripperStrip = 8;
// Room around the buttons inside the bar.
constexpr int kPadding = 4;

}  // namespace

bool ToolBar::Create(FrameWindow& frame, UINT barId, UINT bitmapId, std::span<const UINT> buttons) {
    setBar(frame, barId);
    buttons_ = buttons;
    CreateParams params;
    params.style = WS_CHILD | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NOPARENTALIGN |
                   CCS_NORESIZE;
    params.x = params.y = 0;
    params.cx = 100;
    params.cy = 26;
    params.parent = frame.hwnd();
    params.menuOrId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(barId));
    if (!createControl(TOOLBARCLASSNAMEW, params)) {
        return false;
    }
    SendMessageW(hwnd(), TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(hwnd(), TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 15));
    images_ = static_cast<int>(
        std::count_if(buttons.begin(), buttons.end(), [](UINT id) { return id != 0; }));
    TBADDBITMAP bitmap{GetModuleHandleW(nullptr), bitmapId};
    if (SendMessageW(hwnd(), TB_ADDBITMAP, static_cast<WPARAM>(images_),
                     reinterpret_cast<LPARAM>(&bitmap)) < 0) {
        return false;
    }
    fillButtons(0);
    // The size of that one row, which a floating bar shows.
    SendMessageW(hwnd(), TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&row_));
    return SendMessageW(hwnd(), TB_BUTTONCOUNT, 0, 0) == static_cast<LRESULT>(buttons.size());
}

void ToolBar::fillButtons(int perRow) {
    if (perRow == perRow_) {
        return;  // a refill would flicker
    }
    perRow_ = perRow;
    while (SendMessageW(hwnd(), TB_DELETEBUTTON, 0, 0) != FALSE) {
    }
    std::vector<TBBUTTON> entries;
    int image = 0;
    for (UINT id : buttons_) {
        if (id == 0) {
            // Rows of a few buttons each read better without the gaps.
            if (perRow == 0) {
                TBBUTTON separator{};
                separator.fsStyle = BTNS_SEP;
                entries.push_back(separator);
            }
            continue;
        }
        TBBUTTON button{};
        button.iBitmap = image;
        button.idCommand = static_cast<int>(id);
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_BUTTON;
        if (perRow > 0 && (image + 1) % perRow == 0) {
            button.fsState |= TBSTATE_WRAP;
        }
        ++image;
        entries.push_back(button);
    }
    SendMessageW(hwnd(), TB_ADDBUTTONSW, entries.size(), reinterpret_cast<LPARAM>(entries.data()));
}

SIZE ToolBar::buttonSize() const {
    const DWORD size = static_cast<DWORD>(SendMessageW(hwnd(), TB_GETBUTTONSIZE, 0, 0));
    return {LOWORD(size), HIWORD(size)};
}

int ToolBar::gripperThickness() const {
    return isDockable() && style() != BarStyle::Floating ? kGripperStrip : 0;
}

int ToolBar::columnsFor(int height) const {
    const int rows =
        std::max(1, (height - gripperThickness() - kPadding) / std::max<int>(1, buttonSize().cy));
    return std::max(1, (images_ + rows - 1) / rows);
}

void ToolBar::setStyle(BarStyle style, int length) {
    fillButtons(style == BarStyle::Vertical ? columnsFor(length) : 0);
    ControlBar::setStyle(style, length);
}

int ToolBar::layoutHeight(int) {
    return buttonSize().cy + kPadding;
}

int ToolBar::layoutWidth(int height) {
    return columnsFor(height) * buttonSize().cx + kPadding;
}

SIZE ToolBar::floatingSize() {
    return {row_.cx + kPadding, row_.cy + kPadding};
}

RECT ToolBar::gripperRect() const {
    const RECT r = windowRect();
    if (style() == BarStyle::Vertical) {
        return {0, 0, r.right - r.left, gripperThickness()};
    }
    return {0, 0, gripperThickness(), r.bottom - r.top};
}

LRESULT ToolBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCALCSIZE: {
            const LRESULT result = ControlBar::WindowProc(message, wParam, lParam);
            // The client rectangle comes first in both forms of the message.
            RECT& client = *reinterpret_cast<RECT*>(lParam);
            if (style() == BarStyle::Vertical) {
                client.top += gripperThickness();
            } else {
                client.left += gripperThickness();
            }
            return result;
        }
        case WM_NCPAINT: {
            ControlBar::WindowProc(message, wParam, lParam);
            if (gripperThickness() > 0) {
                HDC dc = GetWindowDC(hwnd());
                const RECT strip = gripperRect();
                FillRect(dc, &strip, GetSysColorBrush(COLOR_BTNFACE));
                drawGripper(dc, strip, style() == BarStyle::Vertical);
                ReleaseDC(hwnd(), dc);
            }
            return 0;
        }
        case WM_NCHITTEST: {
            const RECT r = windowRect();
            const POINT point{GET_X_LPARAM(lParam) - r.left, GET_Y_LPARAM(lParam) - r.top};
            const RECT strip = gripperRect();
            if (gripperThickness() > 0 && PtInRect(&strip, point)) {
                return HTCAPTION;
            }
            break;
        }
        case WM_NCLBUTTONDOWN:
            if (wParam == HTCAPTION) {
                beginDrag({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
                return 0;
            }
            break;
        case WM_NCLBUTTONDBLCLK:
            if (wParam == HTCAPTION) {
                frame()->toggleFloating(*this);
                return 0;
            }
            break;
        default:
            break;
    }
    return ControlBar::WindowProc(message, wParam, lParam);
}

void ToolBar::updateCommands() {
    for (UINT id : buttons_) {
        if (id == 0) {
            continue;
        }
        CommandUpdate update(id);
        const bool enabled = frame()->commandEnabled(update);
        SendMessageW(hwnd(), TB_ENABLEBUTTON, id, MAKELPARAM(enabled ? TRUE : FALSE, 0));
        if (update.checked()) {
            SendMessageW(hwnd(), TB_CHECKBUTTON, id, MAKELPARAM(*update.checked(), 0));
        }
    }
}

}  // namespace omvar::ui
