#include "VetrinView.h"

#include "Document.h"
#include "Loggers.h"
#include "ScreenScale.h"
#include "Strings.h"
#include "resource.h"

#include <algorithm>
#include <string_view>

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

namespace {

UINT showMessage() {
    static const UINT message = RegisterWindowMessageW(L"VetrinView::ShowSendBuffer");
    return message;
}

std::wstring withCrLf(const std::wstring& text) {
    std::wstring shown;
    shown.reserve(text.size() + text.size() / 8);
    for (const wchar_t ch : text) {
        if (ch == L'\n') {
            shown += L"\r\n";
        } else {
            shown.push_back(ch);
        }
    }
    return shown;
}

std::size_t commonPrefix(std::wstring_view a, std::wstring_view b) {
    const auto [end, unused] =
        std::mismatch(a.begin(), a.begin() + std::min(a.size(), b.size()), b.begin());
    return static_cast<std::size_t>(end - a.begin());
}

// A send buffer whose oldest text was dropped starts with text from inside the old one; this
// much of its start is looked for there.
constexpr std::size_t kFrontProbe = 256;
// What goes into the control in one step.
constexpr std::size_t kPiece = 2048;

}  // namespace

void VetrinView::showSendBuffer(std::wstring text) {
    std::lock_guard held(latestMutex_);
    latest_ = std::move(text);
    postStep();
}

void VetrinView::postStep() {
    if (posted_ || hwnd() == nullptr) {
        return;
    }
    posted_ = PostMessageW(hwnd(), showMessage(), 0, 0) != FALSE;
}

LRESULT VetrinView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == showMessage() && message != 0) {
        std::optional<std::wstring> text;
        {
            std::lock_guard held(latestMutex_);
            text.swap(latest_);
            posted_ = false;
        }
        if (text) {
            target_ = withCrLf(*text);
        }
        if (text || shown_.size() != target_.size()) {
            showStep();
            if (document() != nullptr) {
                document()->setModified(true);
            }
        }
        if (shown_ != target_) {
            std::lock_guard held(latestMutex_);
            postStep();  // the rest after the window's other messages
        }
        return 0;
    }
    return EditView::WindowProc(message, wParam, lParam);
}

void VetrinView::updateSendBuffer(const std::wstring& text) {
    target_ = withCrLf(text);
    do {
        showStep();
    } while (shown_ != target_);
    if (document() != nullptr) {
        document()->setModified(true);
    }
}

bool VetrinView::controlHoldsShown() const {
    return SendMessageW(hwnd(), EM_GETMODIFY, 0, 0) == 0 &&
           static_cast<std::size_t>(GetWindowTextLengthW(hwnd())) == shown_.size();
}

void VetrinView::showStep() {
    if (!controlHoldsShown()) {
        setEditText(L"");  // changed by someone else: shown anew from the start
        shown_.clear();
    }
    dropOldest();
    const std::size_t same = commonPrefix(shown_, target_);
    if (same < shown_.size()) {
        replaceRange(same, shown_.size(), L"");  // a cut at the end: only the last line is laid out
        shown_.resize(same);
    }
    if (shown_.size() < target_.size()) {
        // Added at the end, a piece at a time: the control lays out a long line again for every
        // change inside it, so a long text set at once would hold the window for seconds.
        std::size_t length = std::min(kPiece, target_.size() - same);
        if (same + length < target_.size() && target_[same + length - 1] == L'\r') {
            ++length;  // a line break stays whole
        }
        const std::wstring piece = target_.substr(same, length);
        replaceRange(same, same, piece.c_str());
        shown_ += piece;
    }
    SendMessageW(hwnd(), EM_SETMODIFY, FALSE, 0);  // set again only by someone else's change
    moveCaretToEnd();
}

void VetrinView::dropOldest() {
    const std::wstring_view old(shown_);
    if (target_.empty() || commonPrefix(old, target_) >= old.size() / 2) {
        return;
    }
    // The oldest text went: it is cut from the front when a line break follows soon after the
    // cut (the lines after it keep their layout); otherwise the text is shown anew.
    const std::size_t front = old.find(std::wstring_view(target_).substr(0, kFrontProbe));
    if (front == std::wstring_view::npos || front == 0) {
        return;
    }
    const std::size_t lineEnd = old.find(L"\r\n", front);
    if (lineEnd != std::wstring_view::npos && lineEnd - front <= kPiece) {
        replaceRange(0, front, L"");
        shown_.erase(0, front);
    } else {
        setEditText(L"");
        shown_.clear();
    }
}

void VetrinView::replaceRange(std::size_t from, std::size_t to, const wchar_t* text) {
    SendMessageW(hwnd(), EM_SETSEL, static_cast<WPARAM>(from), static_cast<LPARAM>(to));
    SendMessageW(hwnd(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
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
