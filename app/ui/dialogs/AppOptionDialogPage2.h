#pragma once

#include "OptionDialogData.h"
#include "PropertySheet.h"

namespace omvar::Vetrin {

// Options page 2, the keyer: speed, paddle reverse, weights, PTT and its delays, side tone and
// its frequency, paddle decoding.
class AppOptionDialogPage2 : public ui::PropertyPage {
public:
    explicit AppOptionDialogPage2(OptionDialogData& data);

protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;

private:
    OptionDialogData& data_;
};

}  // namespace omvar::Vetrin
