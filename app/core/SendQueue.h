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

// How much keyed text the history keeps. Once the text passes keep + slack characters, the
// oldest keyed elements go, up to a line break (or a blank) when one lies close enough, so about
// `keep` characters stay; pending elements always stay.
struct HistoryBound {
    std::size_t keep = 100000;
    std::size_t slack = 20000;
};

// Everything to be keyed, in order, and everything already keyed: elements before the send
// cursor stay as the history the send-buffer text shows, up to its bound. Every operation holds
// the queue's one mutex for its whole run, so the GUI thread, the worker and the deferred task
// thread can share it. Operations never call out of the queue except to its clock.
class SendQueue {
public:
    // Milliseconds since 1970-01-01 UTC. Called with the queue's mutex held: it must not use the
    // queue.
    using Clock = std::function<std::int64_t()>;
    // Counts the clears; what was read or taken under one count is void under the next.
    using ClearCount = std::uint64_t;

    static std::int64_t systemClockMilliseconds();

    explicit SendQueue(Clock clock = systemClockMilliseconds, HistoryBound bound = {});
    SendQueue(const SendQueue&) = delete;
    SendQueue& operator=(const SendQueue&) = delete;

    // Text as it was typed: normalised, one character element each, no macros or prosigns.
    // With `unlessClearedSince`, nothing is added (false) when a clear came after that count.
    bool append(std::wstring_view text, bool displayOnly,
                std::optional<ClearCount> unlessClearedSince = std::nullopt);
    // A stored message: normalised, "$C", "$M", "$G" and "$N" replaced now, cut into characters,
    // prosigns and the deferred macros "$R" and "$A". Throws std::runtime_error when "$G" cannot
    // get the local time; the queue is then unchanged. `unlessClearedSince` as for append.
    bool appendExpanded(std::wstring_view text, const InfoForMacroExpansion& info,
                        std::optional<ClearCount> unlessClearedSince = std::nullopt);
    // When the element at the cursor is a deferred macro, replaces it by the characters of its
    // value (nothing for an empty value); otherwise does nothing. False, and nothing changed, when
    // the macro takes a field the context is missing.
    bool expandDeferredAtCursor(const InfoForMacroExpansion& info);

    // The element at the cursor; empty when nothing is pending.
    std::optional<SendElement> peekAtCursor() const;
    // The element at the cursor, and the cursor moves past it; empty (cursor unmoved) when
    // nothing is pending.
    std::optional<SendElement> takeAtCursor();
    // The same, but nothing (cursor unmoved) once a clear came after `clears`.
    std::optional<SendElement> takeAtCursorUnlessClearedSince(ClearCount clears);
    std::size_t pendingCount() const;
    // Whether an element to be keyed (not only shown) is pending.
    bool keyablePending() const;
    // Removes up to n pending elements from the end; keyed ones are never removed. Returns how
    // many went.
    std::size_t removePendingFromEnd(std::size_t n);
    // Every pending element goes and the clear is counted, in one step.
    void clearPending();
    // Everything goes; counted as a clear.
    void resetAll();
    ClearCount clearCount() const;

    // The texts of all elements, keyed and pending, in order.
    std::wstring text() const;
    std::size_t cursor() const;
    std::vector<SendElement> elements() const;

private:
    // Offsets and indexes from position `from` to the end; the text follows the elements.
    void renumberFrom(std::size_t from);
    void appendElements(std::vector<SendElement>& added);
    // Drops the oldest keyed elements once the text is past its bound.
    void boundHistory();
    bool clearedSince(std::optional<ClearCount> count) const;

    Clock clock_;
    HistoryBound bound_;
    mutable std::mutex mutex_;
    std::deque<SendElement> elements_;
    std::size_t cursor_ = 0;
    ClearCount clears_ = 0;
    // The texts of all elements, kept with them, so the send-buffer text costs one copy.
    std::wstring text_;
};

}  // namespace omvar::Vetrin
