#include "VetrinView.h"

#include "Document.h"
#include "Loggers.h"
#include "ScreenScale.h"
#include "Strings.h"
#include "resource.h"

namespace omvar::Vetrin {

VetrinView::~VetrinView() {
    destroy();  // the control goes before the font it uses
}

void VetrinView::PreCreateWindow(DWORD& style, DWORD& exStyle) {
    EditView::PreCreateWindow(style, exStyle);
    style &= ~static_cast<DWORD>(ES_AUTOHSCROLL | WS_HSCROLL);
}

bool VetrinView::OnCreateView() {
    font_.reset(CreateFontW(scaledForScreen(15), 0, 0, 0, 0, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0,
                            L"ＭＳ ゴシック"));
    if (!font_) {
        const char* text = "Could Not create font for editor\n";
        namedLogger("Vetrin")->error("{}", text);
        MessageBoxW(nullptr, L"Could Not create font for editor\n",
                    ui::loadString(IDS_APP_TITLE).c_str(), MB_OK | MB_ICONERROR);
        return false;
    }
    SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    return true;
}

void VetrinView::updateSendBuffer(const std::wstring& text) {
    std::wstring shown;
    shown.reserve(text.size() + text.size() / 8);
    for (const wchar_t ch : text) {
        if (ch == L'\n') {
            shown += L"\r\n";
        } else {
            shown.push_back(ch);
        }
    }
    setEditText(shown);
    moveCaretToEnd();
    if (document() != nullptr) {
        document()->setModified(true);
    }
}

void VetrinView::moveCaretToEnd() {
    // The text limit lies beyond the end of any text the view holds, so selecting the empty
    // range there puts the caret after the last character.
    const LRESULT from = SendMessageW(hwnd(), EM_GETLIMITTEXT, 0, 0);
    const LRESULT to = SendMessageW(hwnd(), EM_GETLIMITTEXT, 0, 0);
    SendMessageW(hwnd(), EM_SETSEL, static_cast<WPARAM>(from), to);
    SendMessageW(hwnd(), EM_SCROLLCARET, 0, 0);
}

}  // namespace omvar::Vetrin
