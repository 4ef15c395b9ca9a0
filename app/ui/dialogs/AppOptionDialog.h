#pragma once

#include "AppOptionDialogPage1.h"
#include "AppOptionDialogPage2.h"
#include "AppOptionDialogPage3.h"
#include "AppSettings.h"
#include "OptionDialogData.h"

#include <windows.h>

namespace omvar::Vetrin {

// The options sheet "Vetrinのオプション": three pages over a copy of the settings. It applies
// nothing itself; the caller applies settings() when DoModal returned IDOK.
//
//   AppOptionDialog options(model.settings(), bank);
//   if (options.DoModal(frame) == IDOK) model.applySettings(options.settings());
class AppOptionDialog {
public:
    // bank: the bank page 1 shows first (0 Bank-A "応答", 1 Bank-B "呼出").
    AppOptionDialog(const AppSettings& settings, int bank);

    // IDOK when confirmed, IDCANCEL otherwise.
    INT_PTR DoModal(HWND parent);
    // After OK the edited record; otherwise the record the sheet was given, unchanged.
    const AppSettings& settings() const { return settings_; }

private:
    AppSettings settings_;
    int bank_;
    OptionDialogData data_;
    AppOptionDialogPage1 page1_{data_};
    AppOptionDialogPage2 page2_{data_};
    AppOptionDialogPage3 page3_{data_};
};

}  // namespace omvar::Vetrin
