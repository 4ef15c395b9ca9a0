#pragma once

#include "Dialog.h"

#include <prsht.h>

#include <string>
#include <vector>

namespace omvar::ui {

// One page of a property sheet, from a dialog resource (its caption is the tab's text).
// Entering the page loads its controls; leaving it or confirming the sheet saves and checks
// them, and a failed check keeps the page open.
class PropertySheetDialog;

class PropertyPage : public DialogBase {
public:
    using DialogBase::DialogBase;

    PROPSHEETPAGEW describe();

protected:
    // The page becomes the current one; true to allow it.
    virtual bool OnSetActive() { return true; }
    // The page is being left (another tab, or OK): saves the data; false keeps the page.
    virtual bool OnKillActive() { return UpdateData(true); }
    // The sheet was confirmed with OK.
    virtual void OnOK() {}
    // The sheet was cancelled.
    virtual void OnCancel() {}
    bool OnNotify(NMHDR& header, LRESULT& result) override;

private:
    friend class PropertySheetDialog;
    static INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

    PropertySheetDialog* sheet_ = nullptr;
};

// A modal property sheet of pages. DoModal returns IDOK when the user confirmed it and IDCANCEL
// otherwise.
class PropertySheetDialog {
public:
    PropertySheetDialog(std::wstring caption, HWND parent);

    void addPage(PropertyPage& page);
    INT_PTR DoModal();

private:
    friend class PropertyPage;
    static int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM lParam);
    // Grows the sheet so the largest page fits at its own font's size.
    void fitPages(HWND sheet) const;

    std::wstring caption_;
    HWND parent_;
    std::vector<PropertyPage*> pages_;
    bool confirmed_ = false;
    static thread_local PropertySheetDialog* creating_;
};

}  // namespace omvar::ui
