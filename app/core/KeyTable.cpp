#include "KeyTable.h"

#include <array>

namespace omvar::Vetrin {

namespace {

using enum KeyEvent;
using enum Held;
using enum KeyPlace;
using enum KeyCommand;

constexpr unsigned int kLastCharacter = 0xFFFF;

constexpr std::array kBindings = {
    // The program's window. Shift edits a function key's message instead of keying it.
    KeyBinding{down, VK_F1, VK_F12, no, no, no, anywhere, sendFnMessage, true},
    KeyBinding{down, VK_F1, VK_F12, yes, no, no, anywhere, editFnMessage, true},
    KeyBinding{down, VK_F8, VK_F8, no, yes, no, anywhere, showFn8, true},
    KeyBinding{down, VK_F12, VK_F12, no, yes, no, anywhere, showFn12, true},
    KeyBinding{down, VK_PRIOR, VK_PRIOR, no, either, no, anywhere, speedUp, true},
    KeyBinding{down, VK_NEXT, VK_NEXT, no, either, no, anywhere, speedDown, true},
    KeyBinding{down, VK_BACK, VK_BACK, either, either, either, editor, takeBackOne, true},
    KeyBinding{down, VK_LEFT, VK_LEFT, either, either, either, editor, consume, true},
    KeyBinding{down, VK_RIGHT, VK_RIGHT, either, either, either, editor, consume, true},
    KeyBinding{down, VK_RETURN, VK_RETURN, either, either, either, cwText, sendCwText, false},
    KeyBinding{down, VK_ESCAPE, VK_ESCAPE, either, either, either, anywhere, stopAndClear, false},
    KeyBinding{down, 'W', 'W', no, yes, no, cwText, clearCwText, true},
    KeyBinding{down, 'W', 'W', no, yes, no, notCwText, stopClearAndReset, true},
    KeyBinding{down, 'Z', 'Z', no, yes, no, anywhere, startBeacon, true},
    KeyBinding{up, 'K', 'K', no, no, yes, anywhere, toggleKana, false},
    KeyBinding{character, 'F', 'F', yes, no, no, anywhere, toggleBank, true},
    KeyBinding{character, 'Y', 'Y', yes, no, no, anywhere, speedUp, true},
    KeyBinding{character, 'U', 'U', yes, no, no, anywhere, speedDown, true},
    KeyBinding{character, '\t', '\t', either, either, either, editor, consume, true},
    KeyBinding{character, ' ', kLastCharacter, either, no, no, editor, typeInEditor, true},
    KeyBinding{character, 0, kLastCharacter, either, either, either, editor, keepCaret, true},

    // HAMLOG's log window.
    KeyBinding{downOrUp, VK_F1, VK_F12, either, either, either, logKeyField, forwardToFrame, false},
    KeyBinding{downOrUp, VK_ESCAPE, VK_ESCAPE, either, either, either, logCallField, forwardToFrame,
               false},
    KeyBinding{downOrUp, 'Z', 'Z', either, yes, either, logWindow, forwardToFrame, false},
    KeyBinding{downOrUp, 'Y', 'Y', yes, yes, either, logWindow, requestToUpWpm, false},
    KeyBinding{downOrUp, VK_PRIOR, VK_PRIOR, either, yes, either, logWindow, requestToUpWpm, false},
    KeyBinding{downOrUp, 'U', 'U', yes, yes, either, logWindow, requestToDownWpm, false},
    KeyBinding{downOrUp, VK_NEXT, VK_NEXT, either, yes, either, logWindow, requestToDownWpm, false},
    KeyBinding{downOrUp, 'K', 'K', either, either, yes, logWindow, swallow, false},
    KeyBinding{downOrUp, 'F', 'F', yes, yes, either, logWindow, requestToToggleBank, false},
};

bool heldAsAsked(Held rule, bool held) {
    return rule == either || (rule == yes) == held;
}

bool eventMatches(KeyEvent event, UINT message) {
    const bool isDown = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    const bool isUp = message == WM_KEYUP || message == WM_SYSKEYUP;
    switch (event) {
        case down:
            return isDown;
        case up:
            return isUp;
        case downOrUp:
            return isDown || isUp;
        case character:
            return message == WM_CHAR;
    }
    return false;
}

unsigned int upperAscii(unsigned int key) {
    return key >= 'a' && key <= 'z' ? key - 'a' + 'A' : key;
}

}  // namespace

std::span<const KeyBinding> keyBindings() {
    return kBindings;
}

bool isHamlogPlace(KeyPlace place) {
    return place == logWindow || place == logKeyField || place == logCallField;
}

bool matches(const KeyBinding& binding, UINT message, unsigned int key, Modifiers held) {
    if (!eventMatches(binding.event, message)) {
        return false;
    }
    const unsigned int k = binding.event == character ? upperAscii(key) : key;
    return k >= binding.first && k <= binding.last && heldAsAsked(binding.shift, held.shift) &&
           heldAsAsked(binding.ctrl, held.ctrl) && heldAsAsked(binding.alt, held.alt);
}

}  // namespace omvar::Vetrin
