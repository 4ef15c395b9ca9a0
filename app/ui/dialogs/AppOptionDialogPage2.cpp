#include "AppOptionDialogPage2.h"

#include "NumberFields.h"
#include "resource.h"

#include <cfloat>

namespace omvar::Vetrin {

namespace {

// Side-tone frequencies in Hz; the keyer is sent the index + 1.
constexpr const wchar_t* kToneFrequencies[] = {L"3906", L"1953", L"1302", L"977", L"781",
                                               L"651",  L"558",  L"488",  L"434", L"391",
                                               L"355",  L"326",  L"300"};

}  // namespace

AppOptionDialogPage2::AppOptionDialogPage2(OptionDialogData& data)
    : PropertyPage(IDD_OPTION_PAGE2), data_(data) {}

bool AppOptionDialogPage2::OnInitDialog() {
    HWND tones = item(IDC_TONE_LEVEL);
    for (const wchar_t* hz : kToneFrequencies) {
        SendMessageW(tones, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(hz));
    }
    return PropertyPage::OnInitDialog();
}

void AppOptionDialogPage2::DoDataExchange(ui::DataExchange& dx) {
    using D = OptionDialogData;
    exchangeInt(dx, IDC_WPM, data_.wpm, D::kWpmMin, D::kWpmMax);
    dx.check(IDC_PADDLE_REVERSE, data_.paddleRvs);
    // A float holds about six significant digits; more would show its binary noise.
    exchangeReal(dx, IDC_WEIGHT_DOT, data_.weightDot, D::kWeightMin, D::kWeightMax, FLT_DIG);
    exchangeReal(dx, IDC_WEIGHT_DASH, data_.weightDash, D::kWeightMin, D::kWeightMax, FLT_DIG);
    dx.check(IDC_PTT, data_.ptt);
    exchangeInt(dx, IDC_PTT_DELAY_BEFORE, data_.pttDelayP, D::kPttDelayMin, D::kPttDelayMax);
    exchangeInt(dx, IDC_PTT_DELAY_AFTER, data_.pttDelayA, D::kPttDelayMin, D::kPttDelayMax);
    dx.check(IDC_PTT_CQ_MACHINE, data_.pttCqMachine);
    dx.check(IDC_SIDE_TONE, data_.sideTone);
    dx.comboIndex(IDC_TONE_LEVEL, data_.toneLevel);
    dx.check(IDC_PADDLE_KEYBOARD, data_.paddleKbd);
}

}  // namespace omvar::Vetrin
