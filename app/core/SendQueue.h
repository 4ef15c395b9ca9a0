#pragma once

#include "InfoForMacroExpansion.h"
#include "SendElement.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace omvar::Vetrin {

// Everything to be keyed, in order, and everything already keyed: elements before the send
// cursor stay as the history the send-buffer text shows. Every operation holds the queue's one
// mutex for its whole run, so the GUI thread, the worker and the deferred task thread can share
// it. Operations never call out of the queue except to its clock.
class SendQueue {
public:
    // Milliseconds since 1970-01-01 UTC. Called with the queue's mutex held: it must not use the
    // queue.
    using Clock = std::function<std::int64_t()>;

    static std::int64_t systemClockMilliseconds();

    explicit SendQueue(Clock clock = systemClockMilliseconds);
    SendQueue(const SendQueue&) = delete;
    SendQueue& operator=(const SendQueue&) = delete;

    // Text as it was typed: normalised, one character element each, no macros or prosigns.
    void append(std::wstring_view text, bool displayOnly);
    // A stored message: normalised, "$C", "$M", "$G" and "$N" replaced now, cut into characters,
    // prosigns and the deferred macros "$R" and "$A". Throws std::runtime_error when "$G" cannot
    // get the local time; the queue is then unchanged.
    void appendExpanded(std::wstring_view text, const InfoForMacroExpansion& info);
    // When the element at the cursor is a deferred macro, replaces it by the characters of its
    // value (nothing for an empty value); otherwise does nothing. False, and nothing changed, when
    // the macro takes a field the context is missing.
    bool expandDeferredAtCursor(const InfoForMacroExpansion& info);

    // The element at the cursor; empty when nothing is pending.
    std::optional<SendElement> peekAtCursor() const;
    // The element at the cursor, and the cursor moves past it; empty (cursor unmoved) when
    // nothing is pending.
    std::optional<SendElement> takeAtCursor();
    std::size_t pendingCount() const;
    // Whether an element to be keyed (not only shown) is pending.
    bool keyablePending() const;
    // Removes up to n pending elements from the end; keyed ones are never removed. Returns how
    // many went.
    std::size_t removePendingFromEnd(std::size_t n);
    void resetAll();

    // The texts of all elements, keyed and pending, in order.
    std::wstring text() const;
    std::size_t cursor() const;
    std::vector<SendElement> elements() const;

private:
    // Offsets and indexes from position `from` to the end.
    void renumberFrom(std::size_t from);

    Clock clock_;
    mutable std::mutex mutex_;
    std::deque<SendElement> elements_;
    std::size_t cursor_ = 0;
};

}  // namespace omvar::Vetrin
