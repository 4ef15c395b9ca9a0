#pragma once

#include "HookedMessage.h"

#include <span>

namespace omvar::Vetrin {

// Which key message a binding takes.
enum class KeyEvent {
    down,      // WM_KEYDOWN, WM_SYSKEYDOWN
    up,        // WM_KEYUP, WM_SYSKEYUP
    downOrUp,  // both: HAMLOG loses the key's down and up alike
    character  // WM_CHAR; letters match in either case
};

// What a binding asks of Shift, Ctrl or Alt.
enum class Held { no, yes, either };

// Where the focus is for the binding to hold.
enum class KeyPlace {
    // The program's own window.
    anywhere,
    editor,
    cwText,     // the CW bar's text field
    notCwText,  // anywhere but there
    // A field of HAMLOG's log window in front.
    logWindow,
    logKeyField,  // any field but CODE and QTH, unless function keys are taken there too
    logCallField,
};

enum class KeyCommand {
    // The program's window.
    sendFnMessage,  // the stored message of key - VK_F1 in the current bank
    editFnMessage,
    showFn8,
    showFn12,
    speedUp,
    speedDown,
    takeBackOne,
    sendCwText,
    stopAndClear,
    clearCwText,
    stopClearAndReset,
    startBeacon,
    toggleKana,
    toggleBank,
    typeInEditor,  // queues the character and keeps the caret at the end
    keepCaret,     // keeps the caret at the end
    consume,
    // HAMLOG's log window: HAMLOG loses the key; on its key-down the reaction follows.
    forwardToFrame,
    requestToUpWpm,
    requestToDownWpm,
    requestToToggleBank,
    swallow,
};

struct KeyBinding {
    KeyEvent event;
    unsigned int first;  // virtual key or character, first..last
    unsigned int last;
    Held shift;
    Held ctrl;
    Held alt;
    KeyPlace place;
    KeyCommand command;
    bool consumes;  // the program's window: the message goes no further
};

// Every key binding of the program's window and of HAMLOG's log windows, in the order they are
// tried. The frame takes the first of its own that matches; the tracker applies every one of
// HAMLOG's that matches.
std::span<const KeyBinding> keyBindings();

bool isHamlogPlace(KeyPlace place);
// The binding's event, key and modifiers match the message (its place is left to the caller).
bool matches(const KeyBinding& binding, UINT message, unsigned int key, Modifiers held);

}  // namespace omvar::Vetrin
