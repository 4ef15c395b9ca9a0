#include "DockLayout.h"

#include "FloatingBarWindow.h"
#include "FrameWindow.h"

#include <algorithm>
#include <iterator>

namespace omvar::ui {

struct DockLayout::Entry {
    ControlBar* bar = nullptr;
    DockEdge edge = DockEdge::Top;
    bool floating = false;
    std::unique_ptr<FloatingBarWindow> floater;  // made at the first float, kept
    std::optional<POINT> floatPosition;          // where it floated last
};

// The room for docked bars (screen coordinates) and where each edge's bars end, one bar left out.
struct DockLayout::Bands {
    RECT room{};
    int top = 0;     // below the top bars
    int bottom = 0;  // above the bottom bars
    int left = 0;    // right of the left bars
    int right = 0;   // left of the right bars
};

namespace {

bool horizontal(DockEdge edge) {
    return edge == DockEdge::Top || edge == DockEdge::Bottom;
}

void place(ControlBar& bar, BarStyle style, int length, const RECT& r) {
    bar.setStyle(style, length);
    SetWindowPos(bar.hwnd(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

DockLayout::DockLayout(FrameWindow& frame) : frame_(frame) {}

DockLayout::~DockLayout() = default;

DockLayout::Entry* DockLayout::find(const ControlBar& bar) {
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [&](const Entry& entry) { return entry.bar == &bar; });
    return found != entries_.end() ? &*found : nullptr;
}

const DockLayout::Entry* DockLayout::find(const ControlBar& bar) const {
    return const_cast<DockLayout*>(this)->find(bar);
}

bool DockLayout::shown(const Entry& entry) const {
    return !entry.floating && entry.bar->isVisible();
}

bool DockLayout::isFloating(const ControlBar& bar) const {
    const Entry* entry = find(bar);
    return entry != nullptr && entry->floating;
}

DockEdge DockLayout::edgeOf(const ControlBar& bar) const {
    const Entry* entry = find(bar);
    return entry != nullptr ? entry->edge : DockEdge::Top;
}

std::size_t DockLayout::indexOf(const ControlBar& bar) const {
    std::size_t index = 0;
    const DockEdge edge = edgeOf(bar);
    for (const Entry& entry : entries_) {
        if (entry.bar == &bar) {
            return index;
        }
        index += entry.edge == edge ? 1 : 0;
    }
    return index;
}

std::optional<POINT> DockLayout::floatingPosition(const ControlBar& bar) const {
    const Entry* entry = find(bar);
    if (entry == nullptr) {
        return std::nullopt;
    }
    if (entry->floating) {
        const RECT r = entry->floater->windowRect();
        return POINT{r.left, r.top};
    }
    return entry->floatPosition;
}

void DockLayout::dock(ControlBar& bar, DockEdge edge, std::size_t index) {
    Entry moved;
    if (Entry* entry = find(bar)) {
        moved = std::move(*entry);
        entries_.erase(entries_.begin() + (entry - entries_.data()));
    } else {
        moved.bar = &bar;
    }
    if (moved.floating) {
        moved.floatPosition =
            POINT{moved.floater->windowRect().left, moved.floater->windowRect().top};
        SetParent(bar.hwnd(), frame_.hwnd());
        ShowWindow(moved.floater->hwnd(), SW_HIDE);
        moved.floating = false;
    }
    moved.edge = edge;
    // Before the index-th bar of the edge, or after its last one.
    auto at = entries_.end();
    std::size_t seen = 0;
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->edge != edge) {
            continue;
        }
        if (seen++ == index) {
            at = it;
            break;
        }
        at = std::next(it);
    }
    entries_.insert(at, std::move(moved));
    frame_.RecalcLayout();
}

void DockLayout::floatAt(ControlBar& bar, POINT topLeft) {
    Entry* entry = find(bar);
    if (entry == nullptr || !bar.canFloat()) {
        return;
    }
    if (!entry->floater) {
        auto floater = std::make_unique<FloatingBarWindow>(bar);
        if (!floater->Create(frame_.hwnd())) {
            return;
        }
        entry->floater = std::move(floater);
    }
    if (!entry->floating) {
        entry->floating = true;
        bar.setStyle(BarStyle::Floating, 0);
        SetParent(bar.hwnd(), entry->floater->hwnd());
    }
    entry->floatPosition = topLeft;
    entry->floater->placeAt(topLeft);
    showFloating(IsWindowVisible(frame_.hwnd()) != FALSE);
    activateFloating(GetActiveWindow() == frame_.hwnd());
    frame_.RecalcLayout();
}

void DockLayout::toggleFloating(ControlBar& bar) {
    Entry* entry = find(bar);
    if (entry == nullptr) {
        return;
    }
    if (entry->floating) {
        dock(bar, entry->edge, indexOf(bar));
    } else if (bar.canFloat()) {
        const RECT r = bar.windowRect();
        floatAt(bar, entry->floatPosition.value_or(POINT{r.left, r.top}));
    }
}

void DockLayout::apply(ControlBar& bar, const DropTarget& target) {
    switch (target.kind) {
        case DropTarget::Kind::Dock:
            dock(bar, target.edge, target.index);
            break;
        case DropTarget::Kind::Float:
            floatAt(bar, {target.outline.left, target.outline.top});
            break;
        case DropTarget::Kind::Stay:
            break;
    }
}

void DockLayout::showFloating(bool frameShown) {
    for (const Entry& entry : entries_) {
        if (entry.floating) {
            ShowWindow(entry.floater->hwnd(),
                       frameShown && entry.bar->isVisible() ? SW_SHOWNOACTIVATE : SW_HIDE);
        }
    }
}

void DockLayout::activateFloating(bool active) {
    for (const Entry& entry : entries_) {
        if (entry.floater) {
            SendMessageW(entry.floater->hwnd(), WM_NCACTIVATE, active ? TRUE : FALSE, 0);
        }
    }
}

void DockLayout::save(std::vector<SavedBar>& bars) const {
    for (SavedBar& saved : bars) {
        const auto entry = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
            return e.bar->barId() == saved.id && e.bar->isDockable();
        });
        if (entry == entries_.end()) {
            continue;
        }
        saved.edge = entry->edge;
        saved.order = static_cast<int>(indexOf(*entry->bar));
        saved.floating = entry->floating;
        saved.floatPosition = floatingPosition(*entry->bar);
    }
}

bool DockLayout::restore(const std::vector<SavedBar>& bars) {
    struct Place {
        ControlBar* bar;
        const SavedBar* saved;
    };
    std::vector<Place> places;
    for (const Entry& entry : entries_) {
        if (!entry.bar->isDockable()) {
            continue;
        }
        const SavedBar* saved = nullptr;
        for (const SavedBar& each : bars) {
            if (each.id != entry.bar->barId()) {
                continue;
            }
            if (saved != nullptr) {
                return false;  // twice
            }
            saved = &each;
        }
        if (saved == nullptr || !saved->edge || !saved->order || !saved->floating ||
            !entry.bar->canDock(*saved->edge)) {
            return false;
        }
        if (*saved->floating && (!entry.bar->canFloat() || !saved->floatPosition ||
                                 !onScreen(*entry.bar, *saved->floatPosition))) {
            return false;
        }
        places.push_back({entry.bar, saved});
    }
    // Docked again one after the other in their saved order, each edge's bars come out in it.
    std::stable_sort(places.begin(), places.end(), [](const Place& a, const Place& b) {
        return *a.saved->order < *b.saved->order;
    });
    for (const Place& place : places) {
        dock(*place.bar, *place.saved->edge, entries_.size());
        // Where it floated last, for a double click on its gripper; never off every screen.
        const auto& position = place.saved->floatPosition;
        if (position && place.bar->canFloat() && onScreen(*place.bar, *position)) {
            find(*place.bar)->floatPosition = position;
        }
    }
    for (const Place& place : places) {
        if (*place.saved->floating) {
            floatAt(*place.bar, *place.saved->floatPosition);
        }
    }
    return true;
}

bool DockLayout::onScreen(ControlBar& bar, POINT topLeft) const {
    const SIZE outer = FloatingBarWindow::sizeFor(bar);
    const RECT caption{topLeft.x, topLeft.y, topLeft.x + outer.cx,
                       topLeft.y + GetSystemMetrics(SM_CYSMCAPTION)};
    return MonitorFromRect(&caption, MONITOR_DEFAULTTONULL) != nullptr;
}

int DockLayout::depth(DockEdge edge, const ControlBar* except, int length) const {
    int total = 0;
    for (const Entry& entry : entries_) {
        if (entry.edge == edge && entry.bar != except && shown(entry)) {
            total +=
                horizontal(edge) ? entry.bar->layoutHeight(length) : entry.bar->layoutWidth(length);
        }
    }
    return total;
}

RECT DockLayout::arrange(RECT room) {
    room_ = room;
    const int width = room.right - room.left;
    const int top = room.top + depth(DockEdge::Top, nullptr, width);
    const int bottom =
        std::max(top, static_cast<int>(room.bottom) - depth(DockEdge::Bottom, nullptr, width));
    const int height = bottom - top;
    const int left = room.left + depth(DockEdge::Left, nullptr, height);
    const int right =
        std::max(left, static_cast<int>(room.right) - depth(DockEdge::Right, nullptr, height));
    stack(DockEdge::Top, {room.left, room.top, room.right, top});
    stack(DockEdge::Bottom, {room.left, bottom, room.right, room.bottom});
    stack(DockEdge::Left, {room.left, top, left, bottom});
    stack(DockEdge::Right, {right, top, room.right, bottom});
    return {left, top, right, bottom};
}

void DockLayout::stack(DockEdge edge, RECT band) {
    const bool across = horizontal(edge);
    const int length = across ? band.right - band.left : band.bottom - band.top;
    int at = across ? band.top : band.left;
    for (Entry& entry : entries_) {
        if (entry.edge != edge || !shown(entry)) {
            continue;
        }
        if (across) {
            const int height = entry.bar->layoutHeight(length);
            place(*entry.bar, BarStyle::Horizontal, length,
                  {band.left, at, band.right, at + height});
            at += height;
        } else {
            const int width = entry.bar->layoutWidth(length);
            place(*entry.bar, BarStyle::Vertical, length, {at, band.top, at + width, band.bottom});
            at += width;
        }
    }
}

DockLayout::Bands DockLayout::bandsWithout(const ControlBar& bar) const {
    Bands bands;
    bands.room = room_;
    MapWindowPoints(frame_.hwnd(), nullptr, reinterpret_cast<POINT*>(&bands.room), 2);
    const int width = bands.room.right - bands.room.left;
    bands.top = bands.room.top + depth(DockEdge::Top, &bar, width);
    bands.bottom = std::max(
        bands.top, static_cast<int>(bands.room.bottom) - depth(DockEdge::Bottom, &bar, width));
    const int height = bands.bottom - bands.top;
    bands.left = bands.room.left + depth(DockEdge::Left, &bar, height);
    bands.right = std::max(
        bands.left, static_cast<int>(bands.room.right) - depth(DockEdge::Right, &bar, height));
    return bands;
}

DropTarget DockLayout::dockTarget(ControlBar& bar, DockEdge edge, POINT point,
                                  const Bands& bands) const {
    DropTarget target;
    target.kind = DropTarget::Kind::Dock;
    target.edge = edge;
    const bool across = horizontal(edge);
    const int width = bands.room.right - bands.room.left;
    const int height = bands.bottom - bands.top;
    const int thickness = across ? bar.layoutHeight(width) : bar.layoutWidth(height);
    // The bar goes after the other bars of the edge whose middle is before the point.
    int before = 0;  // how far those reach
    std::size_t position = 0;
    for (const Entry& entry : entries_) {
        if (entry.edge != edge || entry.bar == &bar) {
            continue;
        }
        ++position;
        if (!shown(entry)) {
            continue;
        }
        const RECT r = entry.bar->windowRect();
        const bool beforePoint =
            across ? (r.top + r.bottom) / 2 < point.y : (r.left + r.right) / 2 < point.x;
        if (beforePoint) {
            target.index = position;
            before += across ? r.bottom - r.top : r.right - r.left;
        }
    }
    switch (edge) {
        case DockEdge::Top:
            target.outline = {bands.room.left, bands.room.top + before, bands.room.right,
                              bands.room.top + before + thickness};
            break;
        case DockEdge::Bottom:
            target.outline = {bands.room.left, bands.bottom - thickness + before, bands.room.right,
                              bands.bottom + before};
            break;
        case DockEdge::Left:
            target.outline = {bands.room.left + before, bands.top,
                              bands.room.left + before + thickness, bands.bottom};
            break;
        case DockEdge::Right:
            target.outline = {bands.right - thickness + before, bands.top, bands.right + before,
                              bands.bottom};
            break;
    }
    return target;
}

DropTarget DockLayout::dropTarget(ControlBar& bar, POINT point, POINT grab) const {
    const Bands bands = bandsWithout(bar);
    const RECT frameRect = frame_.windowRect();
    const bool inFrame = PtInRect(&frameRect, point) != FALSE;
    const int width = bands.room.right - bands.room.left;
    if (inFrame) {
        // Near an edge, or over the bars already there, the bar docks at that edge.
        const int thickness = bar.layoutHeight(width);
        if (bar.canDock(DockEdge::Top) && point.y < bands.top + thickness) {
            return dockTarget(bar, DockEdge::Top, point, bands);
        }
        if (bar.canDock(DockEdge::Bottom) && point.y >= bands.bottom - thickness) {
            return dockTarget(bar, DockEdge::Bottom, point, bands);
        }
        const int side = bar.layoutWidth(bands.bottom - bands.top);
        if (bar.canDock(DockEdge::Left) && point.x < bands.left + side) {
            return dockTarget(bar, DockEdge::Left, point, bands);
        }
        if (bar.canDock(DockEdge::Right) && point.x >= bands.right - side) {
            return dockTarget(bar, DockEdge::Right, point, bands);
        }
    }
    if (bar.canFloat()) {
        DropTarget target;
        target.kind = DropTarget::Kind::Float;
        const SIZE outer = FloatingBarWindow::sizeFor(bar);
        const LONG x = point.x - std::min<LONG>(grab.x, outer.cx - 1);
        const LONG y = point.y - std::min<LONG>(grab.y, outer.cy - 1);
        target.outline = {x, y, x + outer.cx, y + outer.cy};
        return target;
    }
    if (inFrame) {
        // A bar that cannot float goes to the nearer of its edges.
        const bool upper = point.y < (bands.top + bands.bottom) / 2;
        if (bar.canDock(DockEdge::Top) && (upper || !bar.canDock(DockEdge::Bottom))) {
            return dockTarget(bar, DockEdge::Top, {point.x, bands.top}, bands);
        }
        if (bar.canDock(DockEdge::Bottom)) {
            return dockTarget(bar, DockEdge::Bottom, {point.x, bands.bottom}, bands);
        }
    }
    return {};
}

}  // namespace omvar::ui
