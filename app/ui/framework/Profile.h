#pragma once

#include "ProfileStore.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace omvar::ui {

// The application's profile functions over its settings (its store): strings, integers and
// binary values. Binary values are stored as text, two letters 'A'..'P' per byte with the low
// nibble first, the form that settings files written by earlier versions hold.
class Profile {
public:
    // Without a store nothing is kept: reads give their fallback, writes report failure.
    explicit Profile(std::unique_ptr<ProfileStore> store = nullptr);

    std::wstring getString(const std::wstring& section, const std::wstring& key,
                           const std::wstring& fallback = {}) const;
    int getInt(const std::wstring& section, const std::wstring& key, int fallback) const;
    // Absent, or not a whole decimal integer (blanks around it aside): nullopt.
    std::optional<int> findInt(const std::wstring& section, const std::wstring& key) const;
    // Absent, or not a whole encoded value (odd length, a letter outside 'A'..'P'): nullopt.
    std::optional<std::vector<std::uint8_t>> getBinary(const std::wstring& section,
                                                       const std::wstring& key) const;

    bool writeString(const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) const;
    bool writeInt(const std::wstring& section, const std::wstring& key, int value) const;
    bool writeBinary(const std::wstring& section, const std::wstring& key,
                     std::span<const std::uint8_t> bytes) const;

    static std::wstring encodeBinary(std::span<const std::uint8_t> bytes);
    static std::optional<std::vector<std::uint8_t>> decodeBinary(const std::wstring& text);

private:
    // The value's text; nullopt when the key is absent.
    std::optional<std::wstring> find(const std::wstring& section, const std::wstring& key) const;

    std::unique_ptr<ProfileStore> store_;
    mutable bool preparedForUnicode_ = false;
};

}  // namespace omvar::ui
