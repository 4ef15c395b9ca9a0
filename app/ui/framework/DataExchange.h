#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace omvar::ui {

// Thrown by a DataExchange check that failed; the user has been told and the control focused.
class DataExchangeFailure : public std::runtime_error {
public:
    DataExchangeFailure() : std::runtime_error("dialog data exchange failed") {}
};

// Moves values between a dialog's controls and the members of its data struct, one call per
// control in DoDataExchange. Loading (saving() false) puts the members into the controls;
// saving reads the controls back. A check that refuses a value calls fail, which shows the
// prompt, focuses the control and throws DataExchangeFailure, so the dialog stays open.
class DataExchange {
public:
    DataExchange(HWND dialog, bool saving) : dialog_(dialog), saving_(saving) {}

    bool saving() const { return saving_; }

    void text(int id, std::wstring& value);
    void check(int id, bool& value);
    // The index of the checked radio button in the group that starts with firstId, -1 for none.
    void radio(int firstId, int& index);
    // The selected entry of a combo box (drop-down list), -1 for none.
    void comboIndex(int id, int& index);

    // Shows the prompt, focuses the last control and throws.
    [[noreturn]] void fail(const std::wstring& message);

private:
    HWND control(int id);

    HWND dialog_;
    bool saving_;
    HWND last_ = nullptr;
    bool lastIsEdit_ = false;
};

}  // namespace omvar::ui
