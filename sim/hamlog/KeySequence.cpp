#include "KeySequence.h"

#include <cwctype>
#include <stdexcept>
#include <string>

namespace omvar::sim::hamlog {

namespace {

struct NamedKey {
    std::wstring_view name;
    UINT vk;
    wchar_t ch;
};

constexpr NamedKey kNamedKeys[] = {
    {L"TAB", VK_TAB, L'\t'},   {L"ENTER", VK_RETURN, L'\r'}, {L"ESC", VK_ESCAPE, 0x1B},
    {L"BACK", VK_BACK, L'\b'}, {L"DEL", VK_DELETE, 0},       {L"SPACE", VK_SPACE, L' '},
    {L"LEFT", VK_LEFT, 0},     {L"RIGHT", VK_RIGHT, 0},      {L"UP", VK_UP, 0},
    {L"DOWN", VK_DOWN, 0},     {L"HOME", VK_HOME, 0},        {L"END", VK_END, 0},
    {L"PGUP", VK_PRIOR, 0},    {L"PGDN", VK_NEXT, 0},
};

// The key that types the character on a US layout, which is what the tests assume; other
// characters (kana, kanji) arrive as VK_PACKET like input-method text does.
KeyStroke strokeForCharacter(wchar_t c) {
    KeyStroke stroke;
    stroke.ch = c;
    if (c >= L'a' && c <= L'z') {
        stroke.vk = static_cast<UINT>(c - L'a' + L'A');
    } else if (c >= L'A' && c <= L'Z') {
        stroke.vk = c;
        stroke.shift = true;
    } else if (c >= L'0' && c <= L'9') {
        stroke.vk = c;
    } else if (c == L' ') {
        stroke.vk = VK_SPACE;
    } else {
        const SHORT scan = c < 0x80 ? VkKeyScanW(c) : -1;
        if (scan == -1) {
            stroke.vk = VK_PACKET;
        } else {
            stroke.vk = LOBYTE(scan);
            stroke.shift = (HIBYTE(scan) & 1) != 0;
        }
    }
    return stroke;
}

KeyStroke strokeForName(std::wstring_view keyText) {
    KeyStroke modifiers;
    std::size_t i = 0;
    for (; i + 1 < keyText.size(); ++i) {
        if (keyText[i] == L'^') {
            modifiers.ctrl = true;
        } else if (keyText[i] == L'+') {
            modifiers.shift = true;
        } else if (keyText[i] == L'%') {
            modifiers.alt = true;
        } else {
            break;
        }
    }
    const std::wstring_view name = keyText.substr(i);
    KeyStroke stroke;
    if (name.size() == 1) {
        stroke = strokeForCharacter(name[0]);
    } else if (name.size() >= 2 && name[0] == L'F' && std::iswdigit(name[1])) {
        const std::wstring digits(name.substr(1));
        std::size_t used = 0;
        const int number = digits.size() <= 2 ? std::stoi(digits, &used) : 0;
        if (used != digits.size() || number < 1 || number > 24) {
            throw std::invalid_argument("unknown key name");
        }
        stroke.vk = static_cast<UINT>(VK_F1 + number - 1);
    } else {
        bool found = false;
        for (const NamedKey& key : kNamedKeys) {
            if (key.name == name) {
                stroke.vk = key.vk;
                stroke.ch = key.ch;
                found = true;
            }
        }
        if (!found) {
            throw std::invalid_argument("unknown key name");
        }
    }
    stroke.ctrl = stroke.ctrl || modifiers.ctrl;
    stroke.shift = stroke.shift || modifiers.shift;
    stroke.alt = stroke.alt || modifiers.alt;
    if (stroke.ctrl) {
        // Ctrl turns letters into control characters and leaves other keys without one.
        const wchar_t upper = static_cast<wchar_t>(std::towupper(stroke.ch));
        stroke.ch = upper >= L'A' && upper <= L'Z' ? static_cast<wchar_t>(upper & 0x1F) : 0;
    } else if (stroke.shift && stroke.ch >= L'a' && stroke.ch <= L'z') {
        stroke.ch = static_cast<wchar_t>(std::towupper(stroke.ch));
    }
    return stroke;
}

}  // namespace

std::vector<KeyStroke> parseKeySequence(std::wstring_view text) {
    std::vector<KeyStroke> strokes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'{') {
            strokes.push_back(strokeForCharacter(text[i]));
            continue;
        }
        // "{}}" names the closing brace, so the name ends at the first '}' after one character.
        const std::size_t close = text.find(L'}', i + 2);
        if (close == std::wstring_view::npos) {
            throw std::invalid_argument("unclosed brace in key sequence");
        }
        strokes.push_back(strokeForName(text.substr(i + 1, close - i - 1)));
        i = close;
    }
    return strokes;
}

}  // namespace omvar::sim::hamlog
