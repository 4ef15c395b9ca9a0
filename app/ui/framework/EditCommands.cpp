#include "EditCommands.h"

#include "StandardIds.h"

#include <utility>

namespace omvar::ui {

namespace {

bool hasSelection(HWND edit) {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return start != end;
}

}  // namespace

void addEditCommands(CommandMap& commands, std::function<HWND()> target) {
    auto send = [target](UINT message) {
        return [target, message] { SendMessageW(target(), message, 0, 0); };
    };
    commands.on(ID_EDIT_UNDO, send(WM_UNDO));
    commands.on(ID_EDIT_CUT, send(WM_CUT));
    commands.on(ID_EDIT_COPY, send(WM_COPY));
    commands.on(ID_EDIT_PASTE, send(WM_PASTE));
    commands.onUpdate(ID_EDIT_UNDO, [target](CommandUpdate& update) {
        update.enable(SendMessageW(target(), EM_CANUNDO, 0, 0) != 0);
    });
    auto selection = [target](CommandUpdate& update) { update.enable(hasSelection(target())); };
    commands.onUpdate(ID_EDIT_CUT, selection);
    commands.onUpdate(ID_EDIT_COPY, std::move(selection));
    commands.onUpdate(ID_EDIT_PASTE, [](CommandUpdate& update) {
        update.enable(IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE);
    });
}

}  // namespace omvar::ui
