#pragma once

#include "OptionDialogData.h"
#include "PropertySheet.h"

namespace omvar::Vetrin {

// Options page 3, other options: contact time, always in front, the number of message buttons,
// the reactions to HAMLOG's keys (three of them only while reacting at all is checked), closing
// without asking, and the hours of the greeting macro.
class AppOptionDialogPage3 : public ui::PropertyPage {
public:
    explicit AppOptionDialogPage3(OptionDialogData& data);

protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    bool OnCommand(UINT id, UINT code, HWND control) override;

private:
    void enableDependents();

    OptionDialogData& data_;
};

}  // namespace omvar::Vetrin
