#include "StatusBar.h"

#include "Commands.h"
#include "FrameWindow.h"
#include "StandardIds.h"
#include "Strings.h"

#include <commctrl.h>

namespace omvar::ui {

namespace {

// A device context of the bar with the font the bar draws its text in, for measuring.
class BarFontDc {
public:
    explicit BarFontDc(HWND bar) : bar_(bar), dc_(GetDC(bar)) {
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(bar, WM_GETFONT, 0, 0));
        old_ = SelectObject(dc_, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
    }
    ~BarFontDc() {
        SelectObject(dc_, old_);
        ReleaseDC(bar_, dc_);
    }
    BarFontDc(const BarFontDc&) = delete;
    BarFontDc& operator=(const BarFontDc&) = delete;

    HDC get() const { return dc_; }

private:
    HWND bar_;
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

}  // namespace

bool StatusBar::Create(FrameWindow& frame, UINT barId, std::span<const UINT> panes) {
    setBar(frame, barId);
    panes_ = panes;
    CreateParams params;
    // The frame places the bar; left to itself it would follow its parent's size at moments
    // of its own choosing.
    params.style = WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_NOPARENTALIGN | CCS_NORESIZE;
    params.x = params.y = params.cx = params.cy = 0;
    params.parent = frame.hwnd();
    params.menuOrId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(barId));
    if (!createControl(STATUSCLASSNAMEW, params)) {
        return false;
    }
    widths_.clear();
    for (std::size_t i = 1; i < panes.size(); ++i) {
        widths_.push_back(textWidth(loadString(panes[i])) + 12);
    }
    applyParts();
    return true;
}

int StatusBar::textWidth(const std::wstring& text) const {
    const BarFontDc dc(hwnd());
    SIZE size{};
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

void StatusBar::applyParts() {
    if (hwnd() == nullptr) {
        return;
    }
    const RECT client = clientRect();
    // Room for the size grip at the right end.
    int right = client.right - GetSystemMetrics(SM_CXVSCROLL);
    std::vector<int> edges(panes_.size());
    for (std::size_t i = panes_.size(); i-- > 1;) {
        edges[i] = right;
        right -= widths_[i - 1];
    }
    if (!edges.empty()) {
        edges[0] = right > 0 ? right : 0;
        edges.back() = -1;  // the last pane runs to the end
    }
    SendMessageW(hwnd(), SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

int StatusBar::layoutHeight(int) {
    // The text's height with the bar's borders above and below it.
    TEXTMETRICW metrics{};
    GetTextMetricsW(BarFontDc(hwnd()).get(), &metrics);
    int borders[3] = {};
    SendMessageW(hwnd(), SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
    return metrics.tmHeight + 2 * borders[1] + 4;
}

LRESULT StatusBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = Window::WindowProc(message, wParam, lParam);
    if (message == WM_SIZE || message == WM_WINDOWPOSCHANGED) {
        applyParts();
    }
    return result;
}

int StatusBar::paneIndex(UINT id) const {
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        if (panes_[i] == id) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void StatusBar::setPaneText(int index, const std::wstring& text) {
    if (index < 0 || paneText(index) == text) {
        return;
    }
    SendMessageW(hwnd(), SB_SETTEXTW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring StatusBar::paneText(int index) const {
    const LRESULT info = SendMessageW(hwnd(), SB_GETTEXTLENGTHW, static_cast<WPARAM>(index), 0);
    std::wstring text(static_cast<std::size_t>(LOWORD(info)) + 1, L'\0');
    SendMessageW(hwnd(), SB_GETTEXTW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(LOWORD(info));
    return text;
}

RECT StatusBar::paneRect(int index) const {
    RECT r{};
    SendMessageW(hwnd(), SB_GETRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    return r;
}

void StatusBar::setPaneWidth(int index, int width) {
    if (index <= 0 || static_cast<std::size_t>(index) > widths_.size() ||
        widths_[static_cast<std::size_t>(index) - 1] == width) {
        return;
    }
    widths_[static_cast<std::size_t>(index) - 1] = width;
    applyParts();
}

void StatusBar::updateCommands() {
    struct Indicator {
        UINT id;
        int key;
    };
    static constexpr Indicator kIndicators[] = {{ID_INDICATOR_CAPS, VK_CAPITAL},
                                                {ID_INDICATOR_NUM, VK_NUMLOCK},
                                                {ID_INDICATOR_SCRL, VK_SCROLL},
                                                {ID_INDICATOR_KANA, VK_KANA}};
    for (std::size_t i = 1; i < panes_.size(); ++i) {
        const UINT id = panes_[i];
        bool indicator = false;
        for (const Indicator& each : kIndicators) {
            if (each.id == id) {
                indicator = true;
                const bool on = (GetKeyState(each.key) & 1) != 0;
                setPaneText(static_cast<int>(i), on ? loadString(id) : std::wstring());
            }
        }
        if (indicator) {
            continue;
        }
        CommandUpdate update(id);
        if (frame()->updateCommand(update) && update.text()) {
            setPaneText(static_cast<int>(i), *update.text());
        }
    }
}

}  // namespace omvar::ui
