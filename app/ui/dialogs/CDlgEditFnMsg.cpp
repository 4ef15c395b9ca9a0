#include "CDlgEditFnMsg.h"

#include "AppModel.h"
#include "TextEncoding.h"
#include "resource.h"

#include <cstdio>
#include <stdexcept>
#include <string>

namespace omvar::Vetrin {

CDlgEditFnMsg::CDlgEditFnMsg(AppModel& model, int bank, int index, std::function<void()> stored)
    : Dialog(IDD_EDIT_FN_MESSAGE),
      model_(model),
      bank_(bank),
      index_(index),
      stored_(std::move(stored)) {
    if (index < 0 || index >= kFnKeyCount || bank < 0 || bank >= kBankCount) {
        throw std::runtime_error(quentrax::wide_to_shift_jis(L"不正なFnメッセージ番号"));
    }
}

bool CDlgEditFnMsg::OnInitDialog() {
    wchar_t caption[32];
    std::swprintf(caption, 32, L"Fn%02d メッセージ編集", index_ + 1);
    SetWindowTextW(hwnd(), caption);
    // Any length the settings file holds; the default limit would cut a long message.
    SendMessageW(item(IDC_FN_MESSAGE), EM_SETLIMITTEXT, 0, 0);
    text_ = model_.settings().fnMessage[bank_][index_];
    return Dialog::OnInitDialog();
}

void CDlgEditFnMsg::DoDataExchange(ui::DataExchange& dx) {
    dx.text(IDC_FN_MESSAGE, text_);
}

void CDlgEditFnMsg::OnOK() {
    if (!UpdateData(true)) {
        return;
    }
    model_.liveSettings().update([&](AppSettings& live) { live.fnMessage[bank_][index_] = text_; });
    if (stored_) {
        stored_();
    }
    EndDialog(IDOK);
}

}  // namespace omvar::Vetrin
