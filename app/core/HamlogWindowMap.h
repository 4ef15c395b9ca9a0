#pragma once

#include "HamlogIds.h"

#include <windows.h>

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>

namespace spdlog {
class logger;
}

namespace omvar::Vetrin {

// What a top-level window of HAMLOG's thread is, by its class name and caption (none for the
// windows the program does not use).
HamlogWindowId classifyHamlogWindow(std::wstring_view className, std::wstring_view caption);

inline constexpr int kFirstControlId = static_cast<int>(HamlogControlId::cqCheck);
inline constexpr std::size_t kControlCount = 11;

// Where each control sits among a log window's direct children (FindWindowEx order), indexed
// by control id - kFirstControlId; nothing for a child count other than HAMLOG's 23 and 24.
std::optional<std::array<int, kControlCount>> controlPositions(std::size_t childCount);

inline bool isLogWindow(int windowId) {
    return windowId >= static_cast<int>(HamlogWindowId::logWindowA) &&
           windowId <= static_cast<int>(HamlogWindowId::dataEditWindow);
}

// The controls of one log window; null where unknown.
struct LogControls {
    std::array<HWND, kControlCount> handles{};

    HWND operator[](HamlogControlId id) const {
        return handles[static_cast<std::size_t>(static_cast<int>(id) - kFirstControlId)];
    }
    bool mapped() const { return (*this)[HamlogControlId::cqCheck] != nullptr; }
};

// HAMLOG's top-level windows by HamlogWindowId and the controls of its log windows, as found
// so far. The GUI thread and the tracker's task thread both use it: the lock is held only while
// handles are copied in or out, never while HAMLOG's windows are asked anything.
class HamlogWindowMap {
public:
    explicit HamlogWindowMap(std::shared_ptr<spdlog::logger> logger);

    // Finds HAMLOG's application window and classifies every top-level window of its thread;
    // the first window found for an id keeps its slot. Throws std::runtime_error when the stored
    // application window has no thread any more.
    void findWindows();
    // True when HAMLOG's application window is not the one stored or its thread has a top-level
    // window not enumerated yet: a findWindows would find something new. Asks HAMLOG nothing.
    bool hasUnseenWindows() const;
    // Maps the controls of each known log window not mapped yet that has 23 or 24 children.
    void findControls();
    // Forgets every handle (HAMLOG went away).
    void clear();

    bool seen(HWND window) const;
    HWND window(HamlogWindowId id) const;
    HWND window(int id) const;
    // The largest window id whose handle is this one; 0 for none (and for null).
    int windowIdOf(HWND window) const;
    // The largest log window id whose controls include this one; 0 for none (and for null).
    int logWindowIdOfControl(HWND control) const;
    // All null for an id that is not a log window's.
    LogControls controls(int windowId) const;

private:
    static constexpr std::size_t kWindowSlots = 11;  // ids 1 to 10; 0 unused

    std::shared_ptr<spdlog::logger> logger_;
    mutable std::mutex mutex_;
    std::array<HWND, kWindowSlots> windows_{};
    std::array<LogControls, kWindowSlots> controls_{};  // used for the log window ids
    std::set<HWND> seenWindows_;
};

}  // namespace omvar::Vetrin
