#include "ToolBar.h"

#include "Commands.h"
#include "FrameWindow.h"
#include "StandardIds.h"
#include "Strings.h"

#include <commctrl.h>

#include <vector>

namespace omvar::ui {

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
    int images = 0;
    for (UINT id : buttons) {
        images += id != 0 ? 1 : 0;
    }
    TBADDBITMAP bitmap{GetModuleHandleW(nullptr), bitmapId};
    if (SendMessageW(hwnd(), TB_ADDBITMAP, static_cast<WPARAM>(images),
                     reinterpret_cast<LPARAM>(&bitmap)) < 0) {
        return false;
    }
    std::vector<TBBUTTON> entries;
    int image = 0;
    for (UINT id : buttons) {
        TBBUTTON button{};
        if (id == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = image++;
            button.idCommand = static_cast<int>(id);
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
        }
        entries.push_back(button);
    }
    return SendMessageW(hwnd(), TB_ADDBUTTONSW, entries.size(),
                        reinterpret_cast<LPARAM>(entries.data())) != FALSE;
}

int ToolBar::layoutHeight(int) {
    const DWORD size = static_cast<DWORD>(SendMessageW(hwnd(), TB_GETBUTTONSIZE, 0, 0));
    return HIWORD(size) + 4;
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
