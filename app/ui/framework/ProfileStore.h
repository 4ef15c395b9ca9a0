#pragma once

#include <string>

namespace omvar::ui {

// Where the profile's values live: text values by section and key. The program provides its
// settings file; the framework knows no more of it than this.
class ProfileStore {
public:
    virtual ~ProfileStore() = default;

    // The whole value, or the fallback when the key is absent.
    virtual std::wstring readString(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& fallback) const = 0;
    // The leading decimal integer of the value, 0 when it is not a number, the fallback when the
    // key is absent.
    virtual int readInt(const std::wstring& section, const std::wstring& key,
                        int fallback) const = 0;
    // False when the value could not be stored.
    virtual bool writeString(const std::wstring& section, const std::wstring& key,
                             const std::wstring& value) const = 0;
    // Makes the store keep every character of the values written after it. False when that
    // could not be settled yet (it is asked again before a later write).
    virtual bool prepareForUnicode() const = 0;
};

}  // namespace omvar::ui
