#pragma once

#include "DataExchange.h"

#include <windows.h>

#include <string>

namespace omvar::ui {

// The dialog procedure of a template shown as it is, without handlers of its own: a dialog bar,
// a page measured for its size.
INT_PTR CALLBACK plainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// What a modal dialog and a property page share: a dialog resource, the OnXxx handlers and the
// data exchange with the controls. A dialog keeps its values in members (or one data struct)
// and moves them in DoDataExchange; UpdateData(false) fills the controls, UpdateData(true)
// reads and checks them.
class DialogBase {
public:
    explicit DialogBase(UINT templateId) : templateId_(templateId) {}
    virtual ~DialogBase() = default;
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;

    HWND hwnd() const { return hwnd_; }
    UINT templateId() const { return templateId_; }
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }
    void setItemText(int id, const std::wstring& text) const;

    // False when a saved value failed its check (the user has been told).
    bool UpdateData(bool save);

protected:
    // Loads the controls (UpdateData(false)); return true to let the system set the focus.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(DataExchange&) {}
    // A command from a control or IDOK/IDCANCEL; true when handled.
    virtual bool OnCommand(UINT id, UINT code, HWND control);
    virtual bool OnNotify(NMHDR& header, LRESULT& result);
    // Any other message; return true (and set result) when handled.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    // The object's handling of one message; `self` was set at WM_INITDIALOG.
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    UINT templateId_;
    HWND hwnd_ = nullptr;
};

// A modal dialog: DoModal shows it and returns the button that ended it (IDOK, IDCANCEL, or
// what EndDialog was given). OK saves the data first and keeps the dialog open when a value
// fails its check.
class Dialog : public DialogBase {
public:
    using DialogBase::DialogBase;

    INT_PTR DoModal(HWND parent);
    void EndDialog(INT_PTR result);

protected:
    virtual void OnOK();
    virtual void OnCancel();
    bool OnCommand(UINT id, UINT code, HWND control) override;
};

}  // namespace omvar::ui
