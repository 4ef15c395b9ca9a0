#pragma once

namespace omvar::Vetrin {

// HAMLOG's windows as the tracker recognises them.
enum class HamlogWindowId : int {
    none = 0,
    applicationWindow = 1,
    hamlogMainWindow = 2,
    logWindowA = 3,
    logWindowB = 4,
    logWindowC = 5,
    logWindowD = 6,
    logWindowE = 7,
    logWindowF = 8,
    dataEditWindow = 9,
    cqMachineWindow = 10,
};

// Controls of a log window, taken by their position among the window's children.
enum class HamlogControlId : int {
    cqCheck = 11,
    callField = 12,
    hisRstField = 13,
    control14 = 14,
    modeField = 15,
    codeField = 16,
    nameField = 17,
    qthField = 18,
    control19 = 19,
    remarks2Field = 20,
    control21 = 21,
};

}  // namespace omvar::Vetrin
