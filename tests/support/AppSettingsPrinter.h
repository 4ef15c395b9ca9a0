#pragma once

// Test failures print an AppSettings record field by field (long texts shortened) instead of
// its bytes. Include in test programs that link the program's core.
#include "AppSettings.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace omvar::Vetrin {
namespace settings_printer {

inline std::string printable(const std::wstring& text) {
    if (text.size() <= 40) {
        return ::testing::PrintToString(text);
    }
    return ::testing::PrintToString(text.substr(0, 40)) + "...(" + std::to_string(text.size()) +
           " characters, ending " + ::testing::PrintToString(text.substr(text.size() - 8)) + ")";
}

}  // namespace settings_printer

inline void PrintTo(const AppSettings& s, std::ostream* out) {
    using settings_printer::printable;
    for (int bank = 0; bank < kBankCount; ++bank) {
        for (int key = 0; key < kFnKeyCount; ++key) {
            *out << "\n  fnMessage[" << bank << "][" << key
                 << "]=" << printable(s.fnMessage[bank][key]);
        }
    }
    *out << "\n  myCallSign=" << printable(s.myCallSign) << " number=" << printable(s.number)
         << " replace=" << printable(s.replace0) << printable(s.replace1) << printable(s.replace9)
         << "\n  cqInt=" << s.cqInt << " wpm=" << s.wpm << " paddleRvs=" << s.paddleRvs
         << " ptt=" << s.ptt << " pttDelayP=" << s.pttDelayP << " pttDelayA=" << s.pttDelayA
         << " pttCqMachine=" << s.pttCqMachine << " sideTone=" << s.sideTone
         << " toneLevel=" << s.toneLevel << " paddleKbd=" << s.paddleKbd
         << " weightDot=" << s.weightDot << " weightDash=" << s.weightDash
         << "\n  logTime=" << s.logTime << " viewTop=" << s.viewTop << " fn12=" << s.fn12
         << " spyHlKey=" << s.spyHlKey << " zLogKey=" << s.zLogKey << " cwAlways=" << s.cwAlways
         << " hookAnyway=" << s.hookAnyway << " closeAnyway=" << s.closeAnyway
         << " endGM=" << s.endGM << " endGA=" << s.endGA << " endGE=" << s.endGE
         << "\n  noReduceDeviceFreezes=" << s.noReduceDeviceFreezes
         << " sendBufferMaxCount=" << s.sendBufferMaxCount
         << " sendBufferThreshold=" << s.sendBufferThreshold;
}

}  // namespace omvar::Vetrin
