#include "CommandProcessor.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <stdexcept>
#include <vector>

#include "ControlProtocol.h"
#include "Instrument.h"
#include "KeyInjector.h"
#include "KeyLog.h"
#include "KeySequence.h"
#include "KeyTyper.h"
#include "WindowTree.h"

namespace omvar::sim::hamlog {

namespace {

// Splits off the first space-separated word; the rest keeps its inner spaces.
std::pair<std::wstring_view, std::wstring_view> splitWord(std::wstring_view text) {
    const auto start = text.find_first_not_of(L' ');
    if (start == std::wstring_view::npos) {
        return {{}, {}};
    }
    text.remove_prefix(start);
    const auto end = text.find(L' ');
    if (end == std::wstring_view::npos) {
        return {text, {}};
    }
    return {text.substr(0, end), text.substr(end + 1)};
}

std::vector<std::wstring_view> words(std::wstring_view text) {
    std::vector<std::wstring_view> result;
    for (auto [word, rest] = splitWord(text); !word.empty();
         std::tie(word, rest) = splitWord(rest)) {
        result.push_back(word);
    }
    return result;
}

// Decimal, or hexadecimal with 0x; negative values wrap as the 32-bit message parameters do.
std::int64_t number(std::wstring_view text) {
    const std::wstring copy(text);
    wchar_t* end = nullptr;
    const long long value = std::wcstoll(copy.c_str(), &end, 0);
    if (copy.empty() || end != copy.c_str() + copy.size()) {
        throw std::invalid_argument("not a number");
    }
    return value;
}

std::wstring handleText(HWND window) {
    return std::to_wstring(reinterpret_cast<std::uintptr_t>(window));
}

std::wstring windowText(HWND window) {
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied =
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

struct CommandError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace

CommandProcessor::Reply CommandProcessor::run(std::wstring_view line) {
    const auto [command, args] = splitWord(line);
    try {
        return dispatch(command, args);
    } catch (const std::exception& error) {
        const std::string what = error.what();
        return {false, std::wstring(what.begin(), what.end())};
    }
}

CommandProcessor::Reply CommandProcessor::dispatch(std::wstring_view command,
                                                   std::wstring_view args) {
    const auto target = [&](std::wstring_view name) {
        HWND window = windows_.find(name);
        if (window == nullptr) {
            throw CommandError("unknown window " + std::string(name.begin(), name.end()));
        }
        return window;
    };
    const auto arguments = [&](std::size_t count) {
        std::vector<std::wstring_view> list = words(args);
        if (list.size() != count) {
            throw CommandError("expected " + std::to_string(count) + " arguments");
        }
        return list;
    };
    const Reply ok{true, L""};

    if (command == L"ping") {
        return {true, L"pong"};
    }
    if (command == L"hwnd") {
        return {true, handleText(target(arguments(1)[0]))};
    }
    if (command == L"thread") {
        return {true, std::to_wstring(GetCurrentThreadId())};
    }
    if (command == L"focus") {
        HWND window = target(arguments(1)[0]);
        SetForegroundWindow(GetAncestor(window, GA_ROOT));
        SetFocus(window);
        return ok;
    }
    if (command == L"focused") {
        HWND focus = GetFocus();
        return {true, focus == nullptr ? L"none" : windows_.nameOf(focus)};
    }
    if (command == L"foreground") {
        HWND window = GetForegroundWindow();
        const std::wstring name = windows_.nameOf(window);
        return {true, window == nullptr ? L"none" : name == L"?" ? L"other" : name};
    }
    if (command == L"type") {
        const auto [name, keys] = splitWord(args);
        const std::vector<KeyStroke> strokes = parseKeySequence(keys);
        HWND fallback = GetFocus();
        if (name != L"focus") {
            fallback = target(name);
            SetFocus(fallback);
        }
        typer_.enqueue(fallback, strokes);
        return {true, std::to_wstring(strokes.size())};
    }
    if (command == L"typing") {
        return {true, std::to_wstring(typer_.pending())};
    }
    if (command == L"typedat") {
        return {true, std::to_wstring(typer_.firstPosted().time_since_epoch().count())};
    }
    if (command == L"input") {
        const auto [name, keys] = splitWord(args);
        const std::vector<KeyStroke> strokes = parseKeySequence(keys);
        if (name != L"focus") {
            // Real input goes to the thread in front, so the window comes to the front first.
            HWND window = target(name);
            SetForegroundWindow(GetAncestor(window, GA_ROOT));
            SetFocus(window);
        }
        injector_.enqueue(strokes);
        return {true, std::to_wstring(strokes.size())};
    }
    if (command == L"inputting") {
        arguments(0);
        return {true, std::to_wstring(injector_.pending())};
    }
    if (command == L"inputlost") {
        arguments(0);
        return {true, std::to_wstring(injector_.lost())};
    }
    if (command == L"open") {
        const auto list = words(args);
        if (list.size() == 1 && list[0] == L"app2") {
            windows_.openSecondApplication();
            return ok;
        }
        if (list.empty() || list.size() > 2 || list[0].size() != 1) {
            throw CommandError("usage: open <A..F> [children], open app2");
        }
        const int children = list.size() == 2 ? static_cast<int>(number(list[1])) : 23;
        windows_.openLogWindow(list[0][0] - L'A', children);
        return ok;
    }
    if (command == L"raised") {
        arguments(0);
        std::wstring text;
        for (const std::wstring& name : windows_.raised()) {
            text += name + L"\n";
        }
        return {true, text};
    }
    if (command == L"clearraised") {
        arguments(0);
        windows_.clearRaised();
        return ok;
    }
    if (command == L"textreads") {
        return {true, std::to_wstring(windows_.textRequests(target(arguments(1)[0])))};
    }
    if (command == L"slow") {
        const auto list = arguments(2);
        const auto milliseconds = number(list[1]);
        if (milliseconds < 0 || milliseconds > 5000) {
            throw CommandError("delay out of range");
        }
        windows_.setTextDelay(target(list[0]), static_cast<DWORD>(milliseconds));
        return ok;
    }
    if (command == L"settext") {
        const auto [name, text] = splitWord(args);
        const std::wstring value(text);
        SendMessageW(target(name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
        return ok;
    }
    if (command == L"gettext") {
        return {true, windowText(target(arguments(1)[0]))};
    }
    if (command == L"check") {
        const auto list = arguments(2);
        const auto state = number(list[1]);
        if (state < 0 || state > 2) {
            throw CommandError("check state must be 0, 1 or 2");
        }
        SendMessageW(target(list[0]), BM_SETCHECK, static_cast<WPARAM>(state), 0);
        return ok;
    }
    if (command == L"checked") {
        return {true, std::to_wstring(SendMessageW(target(arguments(1)[0]), BM_GETCHECK, 0, 0))};
    }
    if (command == L"play" || command == L"stop") {
        arguments(0);
        windows_.setCqPlaying(command == L"play");
        return ok;
    }
    if (command == L"playing") {
        return {true, windows_.cqPlaying() ? L"1" : L"0"};
    }
    if (command == L"show" || command == L"hide") {
        ShowWindow(target(arguments(1)[0]), command == L"show" ? SW_SHOWNA : SW_HIDE);
        return ok;
    }
    if (command == L"move") {
        const auto list = arguments(5);
        SetWindowPos(target(list[0]), nullptr, static_cast<int>(number(list[1])),
                     static_cast<int>(number(list[2])), static_cast<int>(number(list[3])),
                     static_cast<int>(number(list[4])), SWP_NOZORDER | SWP_NOACTIVATE);
        return ok;
    }
    if (command == L"rect") {
        RECT rect{};
        GetWindowRect(target(arguments(1)[0]), &rect);
        return {true, std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " +
                          std::to_wstring(rect.right) + L" " + std::to_wstring(rect.bottom)};
    }
    if (command == L"keys") {
        arguments(0);
        return {true, keyLog_.report()};
    }
    if (command == L"clearkeys") {
        arguments(0);
        keyLog_.clear();
        return ok;
    }
    if (command == L"post" || command == L"send") {
        const auto list = arguments(4);
        HWND window = target(list[0]);
        const auto message = static_cast<UINT>(number(list[1]));
        const auto wParam = static_cast<WPARAM>(static_cast<std::uint32_t>(number(list[2])));
        const auto lParam = static_cast<LPARAM>(static_cast<std::int32_t>(number(list[3])));
        if (command == L"post") {
            if (!PostMessageW(window, message, wParam, lParam)) {
                throw CommandError("PostMessageW failed");
            }
            return ok;
        }
        return {true, std::to_wstring(SendMessageW(window, message, wParam, lParam))};
    }
    if (command == L"bench") {
        const auto [kind, rest] = splitWord(args);
        if (kind == L"result") {
            return {true, instrument_.result()};
        }
        if (kind == L"passhook") {
            const auto state = words(rest);
            if (state.size() != 1 || (state[0] != L"on" && state[0] != L"off")) {
                throw CommandError("usage: bench passhook on|off");
            }
            instrument_.setPassThroughHook(state[0] == L"on");
            return ok;
        }
        const auto list = words(rest);
        const bool keys = kind == L"keys";
        if ((!keys && kind != L"flood") || list.size() < 2 || list.size() > (keys ? 3u : 2u)) {
            throw CommandError(
                "usage: bench keys <window> <count> [vk], bench flood <window> <count>, "
                "bench result, bench passhook on|off");
        }
        const auto count = number(list[1]);
        if (count < 1 || count > 10000000) {
            throw CommandError("count out of range");
        }
        const auto key = list.size() == 3 ? number(list[2]) : VK_F5;
        if (key < 1 || key > 0xFE) {
            throw CommandError("no such virtual key");
        }
        if (!instrument_.request(keys, target(list[0]), static_cast<int>(count),
                                 static_cast<UINT>(key))) {
            throw CommandError("a run is in progress");
        }
        return ok;
    }
    if (command == L"hang") {
        const auto milliseconds = number(arguments(1)[0]);
        if (milliseconds < 1 || milliseconds > 60000) {
            throw CommandError("hang time out of range");
        }
        requestedHang_ = static_cast<DWORD>(milliseconds);
        return ok;
    }
    if (command == L"quit") {
        arguments(0);
        // Ends the loop; the windows go with the process (see ~WindowTree).
        PostQuitMessage(0);
        return ok;
    }
    throw CommandError("unknown command " + std::string(command.begin(), command.end()));
}

}  // namespace omvar::sim::hamlog
