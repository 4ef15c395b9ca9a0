#pragma once

#include "Dialog.h"

#include <windows.h>

#include <functional>
#include <string>

namespace omvar::Vetrin {

class AppModel;

// Edits one stored message of the model's live settings (dialog "Fn%02d メッセージ編集"). OK
// stores the text into that message and calls `stored` (the main window refreshes its buttons
// there); Cancel changes nothing. The settings file gets the message at the next save.
class CDlgEditFnMsg : public ui::Dialog {
public:
    // bank 0 or 1, index 0..11 (F1..F12). Any other index or bank throws std::runtime_error
    // "不正なFnメッセージ番号" (Shift_JIS, the program's narrow text).
    CDlgEditFnMsg(AppModel& model, int bank, int index, std::function<void()> stored = {});

protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    void OnOK() override;

private:
    AppModel& model_;
    int bank_;
    int index_;
    std::function<void()> stored_;
    std::wstring text_;
};

}  // namespace omvar::Vetrin
