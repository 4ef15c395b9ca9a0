#pragma once

#include <string>

namespace omvar::Vetrin {

// One private-profile (INI) file, read and written through the profile functions of Windows.
// Those functions trim blanks at both ends of a value and do not report a missing key apart from
// returning the fallback.
class ProfileFile {
public:
    // A name without a directory would make the profile functions look in the Windows
    // directory; it is resolved against the working directory like any other file name.
    explicit ProfileFile(const std::wstring& path);

    const std::wstring& path() const { return path_; }

    // The whole value, however long, or the fallback when the key is absent.
    std::wstring readString(const std::wstring& section, const std::wstring& key,
                            const std::wstring& fallback) const;
    // The leading decimal integer of the value, 0 when it is not a number, the fallback when the
    // key is absent.
    int readInt(const std::wstring& section, const std::wstring& key, int fallback) const;
    // Creates the file, section or key as needed. False when Windows refused the write.
    bool writeString(const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) const;

    // Windows writes a profile file in the ANSI code page unless the file already starts with a
    // UTF-16LE byte-order mark. Gives a missing or empty file that mark so that no character is
    // turned into "?"; a file with content is left as it is. False when the file could not be
    // prepared (the writes that follow will report their own failure or fall back to ANSI).
    bool prepareForUnicode() const;

private:
    std::wstring path_;
};

}  // namespace omvar::Vetrin
