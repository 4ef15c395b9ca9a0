#pragma once

#include "ProfileFile.h"
#include "ProfileStore.h"

#include <string>

namespace omvar::Vetrin {

// The window framework's profile over the program's settings file.
class ProfileFileStore final : public ui::ProfileStore {
public:
    explicit ProfileFileStore(const std::wstring& path) : file_(path) {}

    std::wstring readString(const std::wstring& section, const std::wstring& key,
                            const std::wstring& fallback) const override {
        return file_.readString(section, key, fallback);
    }
    int readInt(const std::wstring& section, const std::wstring& key, int fallback) const override {
        return file_.readInt(section, key, fallback);
    }
    bool writeString(const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) const override {
        return file_.writeString(section, key, value);
    }
    bool prepareForUnicode() const override { return file_.prepareForUnicode(); }

private:
    ProfileFile file_;
};

}  // namespace omvar::Vetrin
