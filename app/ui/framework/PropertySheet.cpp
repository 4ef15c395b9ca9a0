#include "PropertySheet.h"

#include <commctrl.h>

#include <algorithm>

namespace omvar::ui {

PROPSHEETPAGEW PropertyPage::describe() {
    PROPSHEETPAGEW page{};
    page.dwSize = sizeof page;
    page.dwFlags = PSP_DEFAULT;
    page.hInstance = GetModuleHandleW(nullptr);
    page.pszTemplate = MAKEINTRESOURCEW(templateId());
    page.pfnDlgProc = &PropertyPage::PageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return page;
}

INT_PTR CALLBACK PropertyPage::PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    // A page's WM_INITDIALOG carries its PROPSHEETPAGE, whose lParam is the object.
    if (message == WM_INITDIALOG) {
        lParam = reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam;
    }
    return DialogProc(page, message, wParam, lParam);
}

bool PropertyPage::OnNotify(NMHDR& header, LRESULT& result) {
    switch (header.code) {
        case PSN_SETACTIVE:
            result = OnSetActive() ? 0 : -1;
            return true;
        case PSN_KILLACTIVE:
            result = OnKillActive() ? FALSE : TRUE;  // TRUE keeps the page
            return true;
        case PSN_APPLY:
            // lParam TRUE: the OK button (the sheet closes), not an Apply button.
            if (sheet_ != nullptr && reinterpret_cast<PSHNOTIFY&>(header).lParam != FALSE) {
                sheet_->confirmed_ = true;
            }
            OnOK();
            result = PSNRET_NOERROR;
            return true;
        case PSN_RESET:
            OnCancel();
            result = 0;
            return true;
        default:
            return false;
    }
}

PropertySheetDialog::PropertySheetDialog(std::wstring caption, HWND parent)
    : caption_(std::move(caption)), parent_(parent) {}

thread_local PropertySheetDialog* PropertySheetDialog::creating_ = nullptr;

namespace {

// The size in pixels a page template needs with its own font.
SIZE pageSize(UINT templateId, HWND owner) {
    SIZE size{};
    HWND probe = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), owner,
                                    &plainDialogProc, 0);
    if (probe == nullptr) {
        return size;
    }
    RECT r{};
    GetClientRect(probe, &r);
    DestroyWindow(probe);
    size.cx = r.right - r.left;
    size.cy = r.bottom - r.top;
    return size;
}

void moveBy(HWND window, HWND parent, int dx, int dy) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(window, nullptr, r.left + dx, r.top + dy, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

int CALLBACK PropertySheetDialog::SheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && creating_ != nullptr) {
        creating_->fitPages(sheet);
    }
    return 0;
}

void PropertySheetDialog::fitPages(HWND sheet) const {
    // The sheet sizes its page area with its own font's dialog units; pages drawn with a larger
    // font (the Japanese UI font) would be cut off. Grow the sheet by what the largest page
    // lacks.
    HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    if (tabs == nullptr) {
        return;
    }
    RECT area{};
    GetClientRect(tabs, &area);
    SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    int needX = 0;
    int needY = 0;
    for (PropertyPage* page : pages_) {
        const SIZE size = pageSize(page->templateId(), sheet);
        needX = std::max<int>(needX, size.cx - (area.right - area.left));
        needY = std::max<int>(needY, size.cy - (area.bottom - area.top));
    }
    if (needX <= 0 && needY <= 0) {
        return;
    }
    const int dx = std::max(needX, 0);
    const int dy = std::max(needY, 0);
    for (HWND child = GetWindow(sheet, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[32] = {};
        GetClassNameW(child, className, 32);
        if (lstrcmpiW(className, L"Button") == 0) {
            moveBy(child, sheet, dx, dy);  // OK, Cancel, Apply, Help sit below the tabs
        }
    }
    RECT tabRect{};
    GetWindowRect(tabs, &tabRect);
    SetWindowPos(tabs, nullptr, 0, 0, tabRect.right - tabRect.left + dx,
                 tabRect.bottom - tabRect.top + dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT sheetRect{};
    GetWindowRect(sheet, &sheetRect);
    SetWindowPos(sheet, nullptr, 0, 0, sheetRect.right - sheetRect.left + dx,
                 sheetRect.bottom - sheetRect.top + dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The page already shown keeps the size it was given; give it the new room too.
    if (HWND current = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0))) {
        RECT pageRect{};
        GetWindowRect(current, &pageRect);
        SetWindowPos(current, nullptr, 0, 0, pageRect.right - pageRect.left + dx,
                     pageRect.bottom - pageRect.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void PropertySheetDialog::addPage(PropertyPage& page) {
    page.sheet_ = this;
    pages_.push_back(&page);
}

INT_PTR PropertySheetDialog::DoModal() {
    std::vector<PROPSHEETPAGEW> pages;
    for (PropertyPage* page : pages_) {
        pages.push_back(page->describe());
    }
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK;
    header.pfnCallback = &PropertySheetDialog::SheetCallback;
    header.hwndParent = parent_;
    header.hInstance = GetModuleHandleW(nullptr);
    header.pszCaption = caption_.c_str();
    header.nPages = static_cast<UINT>(pages.size());
    header.ppsp = pages.data();
    confirmed_ = false;
    creating_ = this;
    const INT_PTR result = PropertySheetW(&header);
    creating_ = nullptr;
    if (result < 0) {
        return IDCANCEL;
    }
    return confirmed_ ? IDOK : IDCANCEL;
}

}  // namespace omvar::ui
