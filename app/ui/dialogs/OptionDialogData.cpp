#include "OptionDialogData.h"

#include <algorithm>
#include <cstdint>

namespace omvar::Vetrin {

OptionDialogData OptionDialogData::fromSettings(const AppSettings& s, int bank) {
    OptionDialogData d;
    d.messages = s.fnMessage;
    d.bank = bank == 0 ? 0 : 1;
    d.myCallSign = s.myCallSign;
    d.number = s.number;
    d.replace0 = s.replace0;
    d.replace1 = s.replace1;
    d.replace9 = s.replace9;
    d.cqSeconds = s.cqInt / 1000.0;

    d.wpm = s.wpm;
    d.paddleRvs = s.paddleRvs;
    d.weightDot = s.weightDot;
    d.weightDash = s.weightDash;
    d.ptt = s.ptt;
    d.pttDelayP = s.pttDelayP;
    d.pttDelayA = s.pttDelayA;
    d.pttCqMachine = s.pttCqMachine;
    d.sideTone = s.sideTone;
    d.toneLevel = s.toneLevel;
    d.paddleKbd = s.paddleKbd;

    d.logTime = s.logTime;
    d.viewTop = s.viewTop;
    d.fnKeys = s.fn12 ? 1 : 0;
    d.spyHlKey = s.spyHlKey;
    d.zLogKey = s.zLogKey;
    d.cwAlways = s.cwAlways;
    d.hookAnyway = s.hookAnyway;
    d.closeAnyway = s.closeAnyway;
    d.endGM = s.endGM;
    d.endGA = s.endGA;
    d.endGE = s.endGE;
    return d;
}

double roundedWeight(double weight) {
    const double halves = static_cast<double>(static_cast<std::int64_t>(weight * 2 + 0.5));
    const double rounded = halves / 2;
    return rounded == 0.0 ? 0.5 : rounded;
}

AppSettings OptionDialogData::toSettings(AppSettings s) const {
    s.fnMessage = messages;
    s.myCallSign = myCallSign;
    s.number = number;
    // An empty replacement would make the digit vanish from the number and the report.
    s.replace0 = replace0.empty() ? L"0" : replace0;
    s.replace1 = replace1.empty() ? L"1" : replace1;
    s.replace9 = replace9.empty() ? L"9" : replace9;
    if (cqSeconds >= kCqSecondsMin && cqSeconds <= kCqSecondsMax) {
        s.cqInt = static_cast<std::int32_t>(cqSeconds * 1000 + 0.5);
    }

    s.wpm = wpm;
    s.paddleRvs = paddleRvs;
    // The keyer takes a dot no longer than a dash.
    const double dot = roundedWeight(weightDot);
    const double dash = roundedWeight(weightDash);
    s.weightDot = static_cast<float>(std::min(dot, dash));
    s.weightDash = static_cast<float>(std::max(dot, dash));
    s.ptt = ptt;
    s.pttDelayP = pttDelayP;
    s.pttDelayA = pttDelayA;
    s.pttCqMachine = pttCqMachine;
    s.sideTone = sideTone;
    if (toneLevel >= 0) {
        s.toneLevel = toneLevel;
    }
    s.paddleKbd = paddleKbd;

    s.logTime = logTime;
    s.viewTop = viewTop;
    s.fn12 = fnKeys == 1;
    s.spyHlKey = spyHlKey;
    // The three depend on reacting to HAMLOG's keys at all.
    s.zLogKey = spyHlKey && zLogKey;
    s.cwAlways = spyHlKey && cwAlways;
    s.hookAnyway = spyHlKey && hookAnyway;
    s.closeAnyway = closeAnyway;
    s.endGM = endGM;
    s.endGA = endGA;
    s.endGE = endGE;
    return s;
}

}  // namespace omvar::Vetrin
