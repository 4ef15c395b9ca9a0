#include "AppOptionDialogPage1.h"

#include "NumberFields.h"
#include "resource.h"

#include <cfloat>

namespace omvar::Vetrin {

namespace {

// Any length the settings file can hold; the default limit would cut a long stored message the
// moment the operator touched it.
void unlimit(HWND edit) {
    SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
}

}  // namespace

AppOptionDialogPage1::AppOptionDialogPage1(OptionDialogData& data)
    : PropertyPage(IDD_OPTION_PAGE1), data_(data) {}

bool AppOptionDialogPage1::OnInitDialog() {
    for (int i = 0; i < kFnKeyCount; ++i) {
        unlimit(item(IDC_MSG_F01 + i));
    }
    for (int id : {IDC_MY_CALLSIGN, IDC_NUMBER, IDC_REPLACE0, IDC_REPLACE1, IDC_REPLACE9}) {
        unlimit(item(id));
    }
    return PropertyPage::OnInitDialog();
}

void AppOptionDialogPage1::exchangeMessages(ui::DataExchange& dx) {
    for (int i = 0; i < kFnKeyCount; ++i) {
        dx.text(IDC_MSG_F01 + i, data_.messages[data_.bank][i]);
    }
}

void AppOptionDialogPage1::DoDataExchange(ui::DataExchange& dx) {
    if (!dx.saving()) {
        int bank = data_.bank;
        dx.radio(IDC_BANK_A, bank);
    }
    exchangeMessages(dx);
    dx.text(IDC_MY_CALLSIGN, data_.myCallSign);
    dx.text(IDC_NUMBER, data_.number);
    dx.text(IDC_REPLACE1, data_.replace1);
    dx.text(IDC_REPLACE9, data_.replace9);
    dx.text(IDC_REPLACE0, data_.replace0);
    exchangeReal(dx, IDC_CQ_INTERVAL, data_.cqSeconds, OptionDialogData::kCqSecondsMin,
                 OptionDialogData::kCqSecondsMax, DBL_DIG);
}

void AppOptionDialogPage1::showBank(int bank) {
    if (bank == data_.bank) {
        return;
    }
    ui::DataExchange save(hwnd(), true);
    exchangeMessages(save);  // plain texts: nothing to refuse
    data_.bank = bank;
    ui::DataExchange load(hwnd(), false);
    exchangeMessages(load);
}

bool AppOptionDialogPage1::OnCommand(UINT id, UINT code, HWND) {
    if (code == BN_CLICKED && (id == IDC_BANK_A || id == IDC_BANK_B)) {
        showBank(id == IDC_BANK_A ? 0 : 1);
        return true;
    }
    return false;
}

}  // namespace omvar::Vetrin
