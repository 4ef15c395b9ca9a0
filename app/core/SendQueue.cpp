#include "SendQueue.h"

#include "Clocks.h"
#include "CwText.h"
#include "MacroExpansion.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <string_view>

namespace omvar::Vetrin {

std::int64_t SendQueue::systemClockMilliseconds() {
    return Clocks::systemMilliseconds();
}

SendQueue::SendQueue(Clock clock, HistoryBound bound)
    : clock_(clock ? std::move(clock) : Clock(systemClockMilliseconds)), bound_(bound) {}

bool SendQueue::append(std::wstring_view text, bool displayOnly,
                       std::optional<ClearCount> unlessClearedSince) {
    const std::wstring normalized = normalizeCwText(text);
    std::lock_guard held(mutex_);
    if (clearedSince(unlessClearedSince)) {
        return false;
    }
    std::vector<SendElement> added = makeCharacterElements(normalized, clock_(), displayOnly);
    appendElements(added);
    return true;
}

bool SendQueue::appendExpanded(std::wstring_view text, const InfoForMacroExpansion& info,
                               std::optional<ClearCount> unlessClearedSince) {
    const std::wstring normalized = normalizeCwText(text);
    std::lock_guard held(mutex_);
    if (clearedSince(unlessClearedSince)) {
        return false;
    }
    const std::int64_t now = clock_();
    // Everything that can throw comes before the first element is added.
    std::vector<SendElement> added =
        tokenizeCwText(expandImmediateMacros(normalized, info, now), now);
    appendElements(added);
    return true;
}

void SendQueue::appendElements(std::vector<SendElement>& added) {
    const std::size_t first = elements_.size();
    for (auto& element : added) {
        text_ += element.text;
        elements_.push_back(std::move(element));
    }
    renumberFrom(first);
    boundHistory();
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
    std::wstring shown;
    for (const auto& element : characters) {
        shown += element.text;
    }
    const SendElement& macro = elements_[cursor_];
    text_.replace(static_cast<std::size_t>(macro.offset), macro.text.size(), shown);
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

std::optional<SendElement> SendQueue::takeAtCursorUnlessClearedSince(ClearCount clears) {
    std::lock_guard held(mutex_);
    if (cursor_ >= elements_.size() || clears_ != clears) {
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
    if (removed > 0) {
        text_.resize(static_cast<std::size_t>(elements_[elements_.size() - removed].offset));
        elements_.erase(elements_.end() - static_cast<std::ptrdiff_t>(removed), elements_.end());
    }
    return removed;
}

void SendQueue::clearPending() {
    std::lock_guard held(mutex_);
    ++clears_;
    if (cursor_ < elements_.size()) {
        text_.resize(static_cast<std::size_t>(elements_[cursor_].offset));
        elements_.erase(elements_.begin() + static_cast<std::ptrdiff_t>(cursor_), elements_.end());
    }
}

void SendQueue::resetAll() {
    std::lock_guard held(mutex_);
    ++clears_;
    elements_.clear();
    text_.clear();
    cursor_ = 0;
}

SendQueue::ClearCount SendQueue::clearCount() const {
    std::lock_guard held(mutex_);
    return clears_;
}

bool SendQueue::clearedSince(std::optional<ClearCount> count) const {
    return count && *count != clears_;
}

std::wstring SendQueue::text() const {
    std::lock_guard held(mutex_);
    return text_;
}

std::size_t SendQueue::cursor() const {
    std::lock_guard held(mutex_);
    return cursor_;
}

std::vector<SendElement> SendQueue::elements() const {
    std::lock_guard held(mutex_);
    return {elements_.begin(), elements_.end()};
}

void SendQueue::boundHistory() {
    if (text_.size() <= bound_.keep + bound_.slack || cursor_ == 0) {
        return;
    }
    // The first element that stays: the one at the cut, moved on to just after a line break
    // (else a blank) within half the slack, so the text shown starts with a whole line.
    const std::size_t cut = text_.size() - bound_.keep;
    const auto startsAt = [this](std::size_t position) {
        return static_cast<std::size_t>(
            std::partition_point(elements_.begin(), elements_.end(),
                                 [position](const SendElement& element) {
                                     return static_cast<std::size_t>(element.offset) < position;
                                 }) -
            elements_.begin());
    };
    std::size_t first = startsAt(cut);
    const std::size_t reach = std::min(text_.size(), cut + bound_.slack / 2);
    for (const wchar_t separator : {L'\n', L' '}) {
        const std::size_t at = std::wstring_view(text_).substr(0, reach).find(separator, cut);
        if (at != std::wstring::npos) {
            first = startsAt(at + 1);
            break;
        }
    }
    first = std::min(first, cursor_);  // pending elements stay, however many
    if (first == 0) {
        return;
    }
    text_.erase(0, static_cast<std::size_t>(elements_[first - 1].offset) +
                       elements_[first - 1].text.size());
    elements_.erase(elements_.begin(), elements_.begin() + static_cast<std::ptrdiff_t>(first));
    cursor_ -= first;
    renumberFrom(0);
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
