#include "Commands.h"

namespace omvar::ui {

void CommandMap::on(UINT id, std::function<void()> handler) {
    handlers_[id] = Range{id, [handler = std::move(handler)](UINT) { handler(); }, {}};
}

void CommandMap::onRange(UINT first, UINT last, Handler handler) {
    handlers_[first] = Range{last, std::move(handler), {}};
}

void CommandMap::onUpdate(UINT id, Updater updater) {
    onUpdateRange(id, id, std::move(updater));
}

void CommandMap::onUpdateRange(UINT first, UINT last, Updater updater) {
    updaters_[first] = Range{last, {}, std::move(updater)};
}

const CommandMap::Range* CommandMap::find(const std::map<UINT, Range>& ranges, UINT id) const {
    auto it = ranges.upper_bound(id);
    if (it == ranges.begin()) {
        return nullptr;
    }
    --it;
    return id <= it->second.last ? &it->second : nullptr;
}

bool CommandMap::execute(UINT id) const {
    const Range* range = find(handlers_, id);
    if (range == nullptr) {
        return false;
    }
    range->handler(id);
    return true;
}

bool CommandMap::hasHandler(UINT id) const {
    return find(handlers_, id) != nullptr;
}

bool CommandMap::update(CommandUpdate& update) const {
    const Range* range = find(updaters_, update.id());
    if (range == nullptr) {
        return false;
    }
    range->updater(update);
    return true;
}

}  // namespace omvar::ui
