#include "HamlogWindowMap.h"

#include "TextEncoding.h"

#include <spdlog/spdlog.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace omvar::Vetrin {

namespace {

constexpr wchar_t kApplicationClass[] = L"TApplication";
constexpr wchar_t kApplicationCaption[] = L"Turbo HAMLOG/Win";
constexpr std::size_t kMaxChildren = 1000;

// Log windows A to F and the data window: plain caption, or the text HAMLOG's captions contain.
// In "ＬＯＧ-[Ａ]" only the letters are full-width; the hyphen and brackets are ASCII.
struct LogCaption {
    HamlogWindowId id;
    const wchar_t* plain;
    const wchar_t* contained;
};
constexpr LogCaption kLogCaptions[] = {
    {HamlogWindowId::logWindowA, L"Form_A", L"ＬＯＧ-[Ａ]"},
    {HamlogWindowId::logWindowB, L"Form_A_1", L"ＬＯＧ-[Ｂ]"},
    {HamlogWindowId::logWindowC, L"Form_A_2", L"ＬＯＧ-[Ｃ]"},
    {HamlogWindowId::logWindowD, L"Form_A_3", L"ＬＯＧ-[Ｄ]"},
    {HamlogWindowId::logWindowE, L"Form_A_4", L"ＬＯＧ-[Ｅ]"},
    {HamlogWindowId::logWindowF, L"Form_A_5", L"ＬＯＧ-[Ｆ]"},
    {HamlogWindowId::dataEditWindow, nullptr, L"データの表示＆修正"},
};

// Positions with 23 and with 24 children, in control id order (cqCheck .. id 21).
constexpr std::array<int, kControlCount> kPositions23 = {6, 21, 18, 17, 15, 14, 11, 10, 9, 8, 7};
constexpr std::array<int, kControlCount> kPositions24 = {6, 22, 19, 18, 16, 15, 12, 11, 10, 9, 8};

std::wstring caption(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring className(HWND window) {
    wchar_t name[257] = {};
    GetClassNameW(window, name, 257);
    return name;
}

BOOL CALLBACK collectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::size_t index(HamlogWindowId id) {
    return static_cast<std::size_t>(id);
}

}  // namespace

HamlogWindowId classifyHamlogWindow(std::wstring_view className, std::wstring_view caption) {
    if (className == L"TThwin") {
        return HamlogWindowId::hamlogMainWindow;
    }
    if (className == L"TForm_A") {
        for (const LogCaption& log : kLogCaptions) {
            if ((log.plain != nullptr && caption == log.plain) ||
                caption.find(log.contained) != std::wstring_view::npos) {
                return log.id;
            }
        }
        return HamlogWindowId::none;
    }
    if (className == L"TForm12" || caption.find(L"ＣＱマシーン") != std::wstring_view::npos) {
        return HamlogWindowId::cqMachineWindow;
    }
    return HamlogWindowId::none;
}

std::optional<std::array<int, kControlCount>> controlPositions(std::size_t childCount) {
    if (childCount == 23) {
        return kPositions23;
    }
    if (childCount == 24) {
        return kPositions24;
    }
    return std::nullopt;
}

HamlogWindowMap::HamlogWindowMap(std::shared_ptr<spdlog::logger> logger)
    : logger_(std::move(logger)) {}

void HamlogWindowMap::findWindows() {
    logger_->info("HAMLOGのウィンドウを検索");
    const HWND found = FindWindowExW(nullptr, nullptr, kApplicationClass, kApplicationCaption);
    if (found == nullptr) {
        return;
    }
    HWND application = nullptr;
    {
        std::lock_guard lock(mutex_);
        HWND& slot = windows_[index(HamlogWindowId::applicationWindow)];
        if (slot == nullptr) {
            slot = found;
        }
        application = slot;
    }
    if (application != found) {
        logger_->warn("以前見つかったHAMLOGウィンドウとは異なるウィンドウが検出されました");
    }
    const DWORD thread = GetWindowThreadProcessId(application, nullptr);
    if (thread == 0) {
        throw std::runtime_error("Error GetWindowThreadProcessId()");
    }
    std::vector<HWND> windows;
    EnumThreadWindows(thread, collectWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
        const std::wstring name = className(window);
        const std::wstring text = caption(window);
        logger_->trace("Window: {} [{}] {}", fmt::ptr(window), quentrax::wide_to_utf8(name),
                       quentrax::wide_to_utf8(text));
        const HamlogWindowId id = classifyHamlogWindow(name, text);
        std::lock_guard lock(mutex_);
        seenWindows_.insert(window);
        if (id != HamlogWindowId::none && windows_[index(id)] == nullptr) {
            windows_[index(id)] = window;
        }
    }
}

bool HamlogWindowMap::hasUnseenWindows() const {
    const HWND found = FindWindowExW(nullptr, nullptr, kApplicationClass, kApplicationCaption);
    if (found == nullptr) {
        return false;
    }
    if (window(HamlogWindowId::applicationWindow) == nullptr) {
        return true;
    }
    std::vector<HWND> windows;
    EnumThreadWindows(GetWindowThreadProcessId(found, nullptr), collectWindow,
                      reinterpret_cast<LPARAM>(&windows));
    std::lock_guard lock(mutex_);
    for (HWND w : windows) {
        if (!seenWindows_.contains(w)) {
            return true;
        }
    }
    return false;
}

void HamlogWindowMap::findControls() {
    for (int id = static_cast<int>(HamlogWindowId::logWindowA);
         id <= static_cast<int>(HamlogWindowId::dataEditWindow); ++id) {
        HWND form = nullptr;
        {
            std::lock_guard lock(mutex_);
            form = windows_[static_cast<std::size_t>(id)];
            if (form == nullptr || controls_[static_cast<std::size_t>(id)].mapped()) {
                continue;
            }
        }
        std::vector<HWND> children;
        for (HWND child = FindWindowExW(form, nullptr, nullptr, nullptr);
             child != nullptr && children.size() < kMaxChildren;
             child = FindWindowExW(form, child, nullptr, nullptr)) {
            children.push_back(child);
        }
        const auto positions = controlPositions(children.size());
        if (!positions) {
            continue;  // tried again at the next call
        }
        std::lock_guard lock(mutex_);
        // The slots may have been cleared or filled by another thread meanwhile.
        LogControls& controls = controls_[static_cast<std::size_t>(id)];
        if (windows_[static_cast<std::size_t>(id)] == form && !controls.mapped()) {
            for (std::size_t i = 0; i < kControlCount; ++i) {
                controls.handles[i] = children[static_cast<std::size_t>((*positions)[i])];
            }
        }
    }
}

void HamlogWindowMap::clear() {
    std::lock_guard lock(mutex_);
    windows_.fill(nullptr);
    controls_.fill(LogControls{});
    seenWindows_.clear();
}

bool HamlogWindowMap::seen(HWND window) const {
    std::lock_guard lock(mutex_);
    return seenWindows_.contains(window);
}

HWND HamlogWindowMap::window(HamlogWindowId id) const {
    return window(static_cast<int>(id));
}

HWND HamlogWindowMap::window(int id) const {
    if (id < 1 || id >= static_cast<int>(kWindowSlots)) {
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    return windows_[static_cast<std::size_t>(id)];
}

int HamlogWindowMap::windowIdOf(HWND window) const {
    if (window == nullptr) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    for (int id = static_cast<int>(kWindowSlots) - 1; id >= 1; --id) {
        if (windows_[static_cast<std::size_t>(id)] == window) {
            return id;
        }
    }
    return 0;
}

int HamlogWindowMap::logWindowIdOfControl(HWND control) const {
    if (control == nullptr) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    for (int id = static_cast<int>(HamlogWindowId::dataEditWindow);
         id >= static_cast<int>(HamlogWindowId::logWindowA); --id) {
        for (HWND handle : controls_[static_cast<std::size_t>(id)].handles) {
            if (handle == control) {
                return id;
            }
        }
    }
    return 0;
}

LogControls HamlogWindowMap::controls(int windowId) const {
    if (!isLogWindow(windowId)) {
        return {};
    }
    std::lock_guard lock(mutex_);
    return controls_[static_cast<std::size_t>(windowId)];
}

}  // namespace omvar::Vetrin
