#include "EditView.h"

#include "EditCommands.h"
#include "FrameWindow.h"

namespace omvar::ui {

EditView::EditView() {
    addEditCommands(commands(), [this] { return hwnd(); });
}

void EditView::PreCreateWindow(DWORD& style, DWORD& exStyle) {
    style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
            ES_AUTOHSCROLL | ES_NOHIDESEL;
    exStyle = WS_EX_CLIENTEDGE;
}

bool EditView::CreateView(FrameWindow& frame) {
    CreateParams params;
    PreCreateWindow(params.style, params.exStyle);
    params.x = params.y = params.cx = params.cy = 0;
    params.parent = frame.hwnd();
    params.menuOrId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(FrameWindow::kViewId));
    if (!createControl(L"EDIT", params)) {
        return false;
    }
    // The control's own limit (32767 characters for a multi-line edit) is far too small for a
    // log that grows all day.
    SendMessageW(hwnd(), EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    if (!OnCreateView()) {
        destroy();
        return false;
    }
    return true;
}

}  // namespace omvar::ui
