#include "SendQueue.h"

#include "CwText.h"
#include "MacroExpansion.h"

#include <algorithm>
#include <chrono>
#include <iterator>

namespace omvar::Vetrin {

std::int64_t SendQueue::systemClockMilliseconds() {
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    return duration_cast<milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

SendQueue::SendQueue(Clock clock)
    : clock_(clock ? std::move(clock) : Clock(systemClockMilliseconds)) {}

void SendQueue::append(std::wstring_view text, bool displayOnly) {
    const std::wstring normalized = normalizeCwText(text);
    std::lock_guard held(mutex_);
    std::vector<SendElement> added = makeCharacterElements(normalized, clock_(), displayOnly);
    const std::size_t first = elements_.size();
    std::move(added.begin(), added.end(), std::back_inserter(elements_));
    renumberFrom(first);
}

void SendQueue::appendExpanded(std::wstring_view text, const InfoForMacroExpansion& info) {
    const std::wstring normalized = normalizeCwText(text);
    std::lock_guard held(mutex_);
    const std::int64_t now = clock_();
    // Everything that can throw comes before the first element is added.
    std::vector<SendElement> added =
        tokenizeCwText(expandImmediateMacros(normalized, info, now), now);
    const std::size_t first = elements_.size();
    std::move(added.begin(), added.end(), std::back_inserter(elements_));
    renumberFrom(first);
}

bool SendQueue::expandDeferredAtCursor(const InfoForMacroExpansion& info) {
    std::lock_guard held(mutex_);
    if (cursor_ >= elements_.size() || elements_[cursor_].kind != SendElement::kDeferredMacro) {
        return true;
    }
    if (missingFieldOf(elements_[cursor_].text, info)) {
        return false;
    }
    // The value is worked out before the macro is removed, so a failure loses nothing.
    const std::wstring value = macroValue(elements_[cursor_], info);
    std::vector<SendElement> characters = makeCharacterElements(value, clock_(), false);
    const auto at = elements_.erase(elements_.begin() + static_cast<std::ptrdiff_t>(cursor_));
    // Never an empty insertion inside the deque: libstdc++ then moves the elements on one side
    // of the position onto themselves, and a self-moved text comes out empty.
    if (!characters.empty()) {
        elements_.insert(at, std::make_move_iterator(characters.begin()),
                         std::make_move_iterator(characters.end()));
    }
    renumberFrom(cursor_);
    return true;
}

std::optional<SendElement> SendQueue::peekAtCursor() const {
    std::lock_guard held(mutex_);
    if (cursor_ >= elements_.size()) {
        return std::nullopt;
    }
    return elements_[cursor_];
}

std::optional<SendElement> SendQueue::takeAtCursor() {
    std::lock_guard held(mutex_);
    if (cursor_ >= elements_.size()) {
        return std::nullopt;
    }
    return elements_[cursor_++];
}

std::size_t SendQueue::pendingCount() const {
    std::lock_guard held(mutex_);
    return elements_.size() - cursor_;
}

bool SendQueue::keyablePending() const {
    std::lock_guard held(mutex_);
    return std::any_of(elements_.begin() + static_cast<std::ptrdiff_t>(cursor_), elements_.end(),
                       [](const SendElement& element) { return !element.displayOnly; });
}

std::size_t SendQueue::removePendingFromEnd(std::size_t n) {
    std::lock_guard held(mutex_);
    const std::size_t removed = std::min(n, elements_.size() - cursor_);
    elements_.erase(elements_.end() - static_cast<std::ptrdiff_t>(removed), elements_.end());
    return removed;
}

void SendQueue::resetAll() {
    std::lock_guard held(mutex_);
    elements_.clear();
    cursor_ = 0;
}

std::wstring SendQueue::text() const {
    std::lock_guard held(mutex_);
    std::wstring all;
    for (const auto& element : elements_) {
        all += element.text;
    }
    return all;
}

std::size_t SendQueue::cursor() const {
    std::lock_guard held(mutex_);
    return cursor_;
}

std::vector<SendElement> SendQueue::elements() const {
    std::lock_guard held(mutex_);
    return {elements_.begin(), elements_.end()};
}

void SendQueue::renumberFrom(std::size_t from) {
    std::int32_t offset = 0;
    if (from > 0) {
        const SendElement& before = elements_[from - 1];
        offset = before.offset + static_cast<std::int32_t>(before.text.size());
    }
    for (std::size_t i = from; i < elements_.size(); ++i) {
        elements_[i].offset = offset;
        elements_[i].index = static_cast<std::int32_t>(i);
        offset += static_cast<std::int32_t>(elements_[i].text.size());
    }
}

}  // namespace omvar::Vetrin
