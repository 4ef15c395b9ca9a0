#include "Commands.h"

namespace omvar::ui {

void CommandMap::on(UINT id, std::function<void()> handler) {
    onRange(id, id, [handler = std::move(handler)](UINT) { handler(); });
}

void CommandMap::onRange(UINT first, UINT last, Handler handler) {
    handlers_[first] = Range<Handler>{last, std::move(handler)};
}

void CommandMap::onUpdate(UINT id, Updater updater) {
    onUpdateRange(id, id, std::move(updater));
}

void CommandMap::onUpdateRange(UINT first, UINT last, Updater updater) {
    updaters_[first] = Range<Updater>{last, std::move(updater)};
}

template <typename Function>
const Function* CommandMap::find(const std::map<UINT, Range<Function>>& ranges, UINT id) {
    auto it = ranges.upper_bound(id);
    if (it == ranges.begin()) {
        return nullptr;
    }
    --it;
    return id <= it->second.last ? &it->second.function : nullptr;
}

bool CommandMap::execute(UINT id) const {
    const Handler* handler = find(handlers_, id);
    if (handler == nullptr) {
        return false;
    }
    (*handler)(id);
    return true;
}

bool CommandMap::hasHandler(UINT id) const {
    return find(handlers_, id) != nullptr;
}

bool CommandMap::update(CommandUpdate& update) const {
    const Updater* updater = find(updaters_, update.id());
    if (updater == nullptr) {
        return false;
    }
    (*updater)(update);
    return true;
}

}  // namespace omvar::ui
