#pragma once

#include "AppSettings.h"
#include "Dialog.h"

#include <windows.h>

namespace omvar::Vetrin {

class AppModel;

// The speed slider "WPM速度", opened from the main window's WPM pane next to the mouse cursor.
// The slider runs upside down, 50 WPM at the top and 5 at the bottom; every move sets the
// model's speed at once (stored, sent to the interface, "updateWPM" emitted).
class CSetWpmDlg : public ui::Dialog {
public:
    static constexpr int kTopWpm = kMaxWpm;
    static constexpr int kBottomWpm = kMinWpm;

    explicit CSetWpmDlg(AppModel& model);

protected:
    bool OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void showSpeed(int wpm);
    void placeByCursor();

    AppModel& model_;
};

}  // namespace omvar::Vetrin
