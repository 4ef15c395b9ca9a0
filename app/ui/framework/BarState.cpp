#include "BarState.h"

#include "Profile.h"

namespace omvar::ui {

namespace {

// More than any frame has: a larger count is damage, and reading that many sections would hang
// the start.
constexpr int kMostBars = 32;

std::wstring summarySection(const std::wstring& name) {
    return name + L"-Summary";
}

std::wstring barSection(const std::wstring& name, std::size_t index) {
    return name + L"-Bar" + std::to_wstring(index);
}

std::optional<bool> readFlag(const Profile& profile, const std::wstring& section,
                             const wchar_t* key) {
    const auto value = profile.findInt(section, key);
    if (!value || (*value != 0 && *value != 1)) {
        return std::nullopt;
    }
    return *value == 1;
}

}  // namespace

void writeBarState(const Profile& profile, const std::wstring& name,
                   const std::vector<SavedBar>& bars) {
    profile.writeInt(summarySection(name), L"Bars", static_cast<int>(bars.size()));
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const SavedBar& bar = bars[i];
        const std::wstring section = barSection(name, i);
        profile.writeInt(section, L"BarID", static_cast<int>(bar.id));
        profile.writeInt(section, L"Visible", bar.visible.value_or(true) ? 1 : 0);
        if (bar.edge && bar.order && bar.floating) {
            profile.writeInt(section, L"Edge", static_cast<int>(*bar.edge));
            profile.writeInt(section, L"Order", *bar.order);
            profile.writeInt(section, L"Floating", *bar.floating ? 1 : 0);
        }
        if (bar.floatPosition) {
            profile.writeInt(section, L"XPos", bar.floatPosition->x);
            profile.writeInt(section, L"YPos", bar.floatPosition->y);
        }
    }
}

std::vector<SavedBar> readBarState(const Profile& profile, const std::wstring& name) {
    const auto count = profile.findInt(summarySection(name), L"Bars");
    if (!count || *count < 0 || *count > kMostBars) {
        return {};
    }
    std::vector<SavedBar> bars;
    for (int i = 0; i < *count; ++i) {
        const std::wstring section = barSection(name, static_cast<std::size_t>(i));
        const auto id = profile.findInt(section, L"BarID");
        if (!id || *id <= 0) {
            continue;
        }
        SavedBar bar;
        bar.id = static_cast<UINT>(*id);
        bar.visible = readFlag(profile, section, L"Visible");
        if (const auto edge = profile.findInt(section, L"Edge"); edge && *edge >= 0 && *edge <= 3) {
            bar.edge = static_cast<DockEdge>(*edge);
        }
        if (const auto order = profile.findInt(section, L"Order"); order && *order >= 0) {
            bar.order = *order;
        }
        bar.floating = readFlag(profile, section, L"Floating");
        const auto x = profile.findInt(section, L"XPos");
        const auto y = profile.findInt(section, L"YPos");
        if (x && y) {
            bar.floatPosition = POINT{*x, *y};
        }
        bars.push_back(bar);
    }
    return bars;
}

}  // namespace omvar::ui
