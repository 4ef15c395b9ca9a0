#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace omvar::sim::hamlog {

// The key and character messages that reached the stand-in's window procedures, in order:
// what a hook swallowed is missing here.
class KeyLog {
public:
    struct Entry {
        std::wstring window;
        UINT message;
        WPARAM wParam;
    };

    static bool isKeyMessage(UINT message);

    void record(std::wstring window, UINT message, WPARAM wParam);
    void clear() { entries_.clear(); }

    // One line per entry: "<window> <keydown|keyup|syskeydown|syskeyup|char|syschar> 0x<wParam>".
    std::wstring report() const;

private:
    std::vector<Entry> entries_;
};

}  // namespace omvar::sim::hamlog
