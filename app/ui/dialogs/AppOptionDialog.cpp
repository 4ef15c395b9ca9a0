#include "AppOptionDialog.h"

#include "PropertySheet.h"
#include "Strings.h"
#include "resource.h"

namespace omvar::Vetrin {

AppOptionDialog::AppOptionDialog(const AppSettings& settings, int bank)
    : settings_(settings), bank_(bank) {}

INT_PTR AppOptionDialog::DoModal(HWND parent) {
    data_ = OptionDialogData::fromSettings(settings_, bank_);
    ui::PropertySheetDialog sheet(ui::loadString(IDS_OPTION_SHEET_CAPTION), parent);
    sheet.addPage(page1_);
    sheet.addPage(page2_);
    sheet.addPage(page3_);
    const INT_PTR result = sheet.DoModal();
    if (result == IDOK) {
        settings_ = data_.toSettings(settings_);
    }
    return result;
}

}  // namespace omvar::Vetrin
