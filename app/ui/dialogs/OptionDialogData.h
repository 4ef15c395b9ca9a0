#pragma once

#include "AppSettings.h"

#include <array>
#include <string>

namespace omvar::Vetrin {

// What the options sheet shows and edits, in the controls' own units (the CQ interval in
// seconds, the weights as entered). The three pages share one record; the sheet fills it from a
// settings record and turns it back into one.
struct OptionDialogData {
    // Ranges the pages accept.
    static constexpr double kCqSecondsMin = 1.0;
    static constexpr double kCqSecondsMax = 10.0;
    static constexpr int kWpmMin = kMinWpm;
    static constexpr int kWpmMax = kMaxWpm;
    static constexpr double kWeightMin = 0.0;
    static constexpr double kWeightMax = 5.0;
    static constexpr int kPttDelayMin = 0;
    static constexpr int kPttDelayMax = 255;
    static constexpr int kEndGMMin = 9;
    static constexpr int kEndGMMax = 15;
    static constexpr int kEndGAMin = 15;
    static constexpr int kEndGAMax = 21;
    static constexpr int kEndGEMin = 0;
    static constexpr int kEndGEMax = 9;

    // Page 1: both banks' messages, the bank the page shows, the own station.
    std::array<std::array<std::wstring, kFnKeyCount>, kBankCount> messages;
    int bank = 0;
    std::wstring myCallSign;
    std::wstring number;
    std::wstring replace0;
    std::wstring replace1;
    std::wstring replace9;
    double cqSeconds = 0.0;

    // Page 2: the keyer.
    int wpm = 0;
    bool paddleRvs = false;
    double weightDot = 0.0;
    double weightDash = 0.0;
    bool ptt = false;
    int pttDelayP = 0;
    int pttDelayA = 0;
    bool pttCqMachine = false;
    bool sideTone = false;
    int toneLevel = 0;  // index into the side-tone list; -1 when nothing is selected
    bool paddleKbd = false;

    // Page 3: other options.
    bool logTime = false;
    bool viewTop = false;
    int fnKeys = 0;  // radio index: 0 = F1～F8, 1 = F1～F12
    bool spyHlKey = false;
    bool zLogKey = false;
    bool cwAlways = false;
    bool hookAnyway = false;
    bool closeAnyway = false;
    int endGM = 0;
    int endGA = 0;
    int endGE = 0;

    // The dialog's values for the settings, page 1 showing the given bank (0 Bank-A, else
    // Bank-B).
    static OptionDialogData fromSettings(const AppSettings& settings, int bank);
    // The settings record the values make. Fields without a control (the "Experiment" ones) and
    // values the pages could not have accepted (a CQ interval outside its range, no side tone
    // selected) come from `base`.
    AppSettings toSettings(AppSettings base) const;
};

// A weight as stored: the nearest multiple of 0.5, and 0.5 instead of 0.
double roundedWeight(double weight);

}  // namespace omvar::Vetrin
