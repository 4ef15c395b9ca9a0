#include "Profile.h"

#include <climits>
#include <stdexcept>
#include <utility>

namespace omvar::ui {

namespace {
class NoStore final : public ProfileStore {
public:
    std::wstring readString(const std::wstring&, const std::wstring&,
                            const std::wstring& fallback) const override {
        return fallback;
    }
    int readInt(const std::wstring&, const std::wstring&, int fallback) const override {
        return fallback;
    }
    bool writeString(const std::wstring&, const std::wstring&, const std::wstring&) const override {
        return false;
    }
    bool prepareForUnicode() const override { return false; }
};
}  // namespace

Profile::Profile(std::unique_ptr<ProfileStore> store)
    : store_(store ? std::move(store) : std::make_unique<NoStore>()) {}

std::wstring Profile::getString(const std::wstring& section, const std::wstring& key,
                                const std::wstring& fallback) const {
    return store_->readString(section, key, fallback);
}

int Profile::getInt(const std::wstring& section, const std::wstring& key, int fallback) const {
    return store_->readInt(section, key, fallback);
}

std::optional<std::wstring> Profile::find(const std::wstring& section,
                                          const std::wstring& key) const {
    // A value can never hold a control character, so this marks an absent key.
    static const std::wstring absent(1, L'\x01');
    std::wstring text = store_->readString(section, key, absent);
    if (text == absent) {
        return std::nullopt;
    }
    return text;
}

std::optional<int> Profile::findInt(const std::wstring& section, const std::wstring& key) const {
    const auto text = find(section, key);
    if (!text || text->empty()) {
        return std::nullopt;
    }
    std::size_t used = 0;
    try {
        const long value = std::stol(*text, &used, 10);
        if (used != text->size() || value < INT_MIN || value > INT_MAX) {
            return std::nullopt;
        }
        return static_cast<int>(value);
    } catch (const std::logic_error&) {  // no number, or out of range
        return std::nullopt;
    }
}

std::optional<std::vector<std::uint8_t>> Profile::getBinary(const std::wstring& section,
                                                            const std::wstring& key) const {
    const auto text = find(section, key);
    if (!text) {
        return std::nullopt;
    }
    return decodeBinary(*text);
}

bool Profile::writeString(const std::wstring& section, const std::wstring& key,
                          const std::wstring& value) const {
    // A new file starts as UTF-16, so Japanese texts (paths, messages) keep every character.
    // Once that is settled the file stays as it is; a failure is tried again on the next write.
    if (!preparedForUnicode_) {
        preparedForUnicode_ = store_->prepareForUnicode();
    }
    return store_->writeString(section, key, value);
}

bool Profile::writeInt(const std::wstring& section, const std::wstring& key, int value) const {
    return writeString(section, key, std::to_wstring(value));
}

bool Profile::writeBinary(const std::wstring& section, const std::wstring& key,
                          std::span<const std::uint8_t> bytes) const {
    return writeString(section, key, encodeBinary(bytes));
}

std::wstring Profile::encodeBinary(std::span<const std::uint8_t> bytes) {
    std::wstring text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text.push_back(static_cast<wchar_t>(L'A' + (byte & 0x0F)));
        text.push_back(static_cast<wchar_t>(L'A' + (byte >> 4)));
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> Profile::decodeBinary(const std::wstring& text) {
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const wchar_t low = text[i];
        const wchar_t high = text[i + 1];
        if (low < L'A' || low > L'P' || high < L'A' || high > L'P') {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(((high - L'A') << 4) | (low - L'A')));
    }
    return bytes;
}

}  // namespace omvar::ui
