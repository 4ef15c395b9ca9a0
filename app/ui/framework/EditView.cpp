#include "EditView.h"

#include "FrameWindow.h"
#include "StandardIds.h"

namespace omvar::ui {

EditView::EditView() {
    commands().on(ID_EDIT_UNDO, [this] { SendMessageW(hwnd(), WM_UNDO, 0, 0); });
    commands().onUpdate(ID_EDIT_UNDO, [this](CommandUpdate& update) {
        update.enable(SendMessageW(hwnd(), EM_CANUNDO, 0, 0) != 0);
    });
    commands().on(ID_EDIT_CUT, [this] { SendMessageW(hwnd(), WM_CUT, 0, 0); });
    commands().onUpdate(ID_EDIT_CUT,
                        [this](CommandUpdate& update) { update.enable(hasSelection()); });
    commands().on(ID_EDIT_COPY, [this] { SendMessageW(hwnd(), WM_COPY, 0, 0); });
    commands().onUpdate(ID_EDIT_COPY,
                        [this](CommandUpdate& update) { update.enable(hasSelection()); });
    commands().on(ID_EDIT_PASTE, [this] { SendMessageW(hwnd(), WM_PASTE, 0, 0); });
    commands().onUpdate(ID_EDIT_PASTE, [](CommandUpdate& update) {
        update.enable(IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE);
    });
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

bool EditView::hasSelection() const {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(hwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    return start != end;
}

}  // namespace omvar::ui
