#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace omvar::Vetrin {

constexpr int kBankCount = 2;
constexpr int kFnKeyCount = 12;
// The keyer speeds the program offers, in WPM.
constexpr int kMinWpm = 5;
constexpr int kMaxWpm = 50;

// Everything the operator can set. A value type: the model holds the live copy, the options
// dialog and the document's close check hold their own. A fresh record is all empty, zero and
// false; only loading from the settings file gives it the defaults.
struct AppSettings {
    // [bank][key]: bank 0 "Bank-A", bank 1 "Bank-B"; key 0..11 = F1..F12.
    std::array<std::array<std::wstring, kFnKeyCount>, kBankCount> fnMessage;
    std::wstring myCallSign;
    std::wstring number;
    std::wstring replace0;
    std::wstring replace1;
    std::wstring replace9;
    std::int32_t cqInt = 0;
    std::int32_t wpm = 0;
    bool paddleRvs = false;
    bool ptt = false;
    std::int32_t pttDelayP = 0;
    std::int32_t pttDelayA = 0;
    bool pttCqMachine = false;
    bool sideTone = false;
    std::int32_t toneLevel = 0;
    bool paddleKbd = false;
    float weightDot = 0.0f;
    float weightDash = 0.0f;
    bool logTime = false;
    bool viewTop = false;
    bool fn12 = false;
    bool spyHlKey = false;
    bool zLogKey = false;
    bool cwAlways = false;
    bool hookAnyway = false;
    bool closeAnyway = false;
    std::int32_t endGM = 0;
    std::int32_t endGA = 0;
    std::int32_t endGE = 0;
    bool noReduceDeviceFreezes = false;
    std::int32_t sendBufferMaxCount = 0;
    std::int32_t sendBufferThreshold = 0;

    bool operator==(const AppSettings&) const = default;
};

// Fills every field from the settings file (settingsFilePath()), each absent key with its
// default. Never fails: a missing or unreadable file gives the defaults.
void loadSettings(AppSettings& settings);
// Writes every field to the settings file. Callers may ignore the result: false only says that
// Windows refused at least one write.
bool saveSettings(const AppSettings& settings);

}  // namespace omvar::Vetrin
