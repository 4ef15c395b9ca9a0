#pragma once

#include "Dialog.h"

#include <string>

namespace omvar::Vetrin {

// The about box (dialog 100, "「Vetrin」のバージョン情報"): the program's name, its version with
// the build date, and a few lines about it.
class CAboutDlg : public ui::Dialog {
public:
    CAboutDlg();

protected:
    bool OnInitDialog() override;

private:
    // The box's text, one line per row.
    static std::wstring text();
};

}  // namespace omvar::Vetrin
