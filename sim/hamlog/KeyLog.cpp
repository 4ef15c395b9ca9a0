#include "KeyLog.h"

#include <cwchar>

#include "ControlProtocol.h"

namespace omvar::sim::hamlog {

namespace {

const KeyMessageName* entryOf(UINT message) {
    for (const KeyMessageName& entry : kKeyMessageNames) {
        if (entry.message == message) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

bool KeyLog::isKeyMessage(UINT message) {
    return entryOf(message) != nullptr;
}

void KeyLog::record(std::wstring window, UINT message, WPARAM wParam) {
    entries_.push_back({std::move(window), message, wParam});
}

std::wstring KeyLog::report() const {
    std::wstring text;
    for (const Entry& entry : entries_) {
        wchar_t value[24];
        std::swprintf(value, 24, L" 0x%llX\n", static_cast<unsigned long long>(entry.wParam));
        text += entry.window;
        text += L' ';
        const KeyMessageName* known = entryOf(entry.message);
        text += known != nullptr ? known->name : L"other";
        text += value;
    }
    return text;
}

}  // namespace omvar::sim::hamlog
