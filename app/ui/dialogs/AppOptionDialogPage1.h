#pragma once

#include "OptionDialogData.h"
#include "PropertySheet.h"

namespace omvar::Vetrin {

// Options page 1, the message memories: the twelve messages of one bank at a time (the bank
// radios switch, keeping the edits of both banks), the own call sign and number, the digit
// replacements and the CQ interval in seconds.
class AppOptionDialogPage1 : public ui::PropertyPage {
public:
    explicit AppOptionDialogPage1(OptionDialogData& data);

protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    bool OnCommand(UINT id, UINT code, HWND control) override;

private:
    // The twelve edits and the bank they show.
    void exchangeMessages(ui::DataExchange& dx);
    void showBank(int bank);

    OptionDialogData& data_;
};

}  // namespace omvar::Vetrin
