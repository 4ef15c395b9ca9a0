#include "AppOptionDialogPage3.h"

#include "NumberFields.h"
#include "resource.h"

namespace omvar::Vetrin {

AppOptionDialogPage3::AppOptionDialogPage3(OptionDialogData& data)
    : PropertyPage(IDD_OPTION_PAGE3), data_(data) {}

bool AppOptionDialogPage3::OnInitDialog() {
    const bool result = PropertyPage::OnInitDialog();
    enableDependents();
    return result;
}

void AppOptionDialogPage3::DoDataExchange(ui::DataExchange& dx) {
    using D = OptionDialogData;
    dx.check(IDC_LOG_TIME, data_.logTime);
    dx.check(IDC_VIEW_TOP, data_.viewTop);
    dx.radio(IDC_SHOW_FN8, data_.fnKeys);
    dx.check(IDC_SPY_HL_KEY, data_.spyHlKey);
    dx.check(IDC_ZLOG_KEY, data_.zLogKey);
    dx.check(IDC_CW_ALWAYS, data_.cwAlways);
    dx.check(IDC_HOOK_ANYWAY, data_.hookAnyway);
    dx.check(IDC_CLOSE_ANYWAY, data_.closeAnyway);
    exchangeInt(dx, IDC_END_GM, data_.endGM, D::kEndGMMin, D::kEndGMMax);
    exchangeInt(dx, IDC_END_GA, data_.endGA, D::kEndGAMin, D::kEndGAMax);
    exchangeInt(dx, IDC_END_GE, data_.endGE, D::kEndGEMin, D::kEndGEMax);
}

void AppOptionDialogPage3::enableDependents() {
    const bool on = IsDlgButtonChecked(hwnd(), IDC_SPY_HL_KEY) == BST_CHECKED;
    for (int id : {IDC_ZLOG_KEY, IDC_CW_ALWAYS, IDC_HOOK_ANYWAY}) {
        EnableWindow(item(id), on ? TRUE : FALSE);
    }
}

bool AppOptionDialogPage3::OnCommand(UINT id, UINT code, HWND) {
    if (id == IDC_SPY_HL_KEY && code == BN_CLICKED) {
        enableDependents();
        return true;
    }
    return false;
}

}  // namespace omvar::Vetrin
