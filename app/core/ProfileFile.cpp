#include "ProfileFile.h"

#include "FileHandle.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <type_traits>
#include <vector>

namespace omvar::Vetrin {

namespace {

std::wstring fullPath(const std::wstring& path) {
    if (path.empty()) {
        return path;
    }
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()),
                                              buffer.data(), nullptr);
        if (length == 0) {
            return path;
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(length);  // the size asked for includes the terminating null
    }
}

constexpr unsigned char kUtf16LeMark[] = {0xFF, 0xFE};
constexpr DWORD kMaxValueLength = 1u << 24;

}  // namespace

ProfileFile::ProfileFile(const std::wstring& path) : path_(fullPath(path)) {}

std::wstring ProfileFile::readString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& fallback) const {
    // A value that does not fit is cut without any other sign than a count of size - 1, so the
    // buffer grows until the value fits with room to spare. The bound only stops a runaway.
    std::vector<wchar_t> buffer(256);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetPrivateProfileStringW(
            section.c_str(), key.c_str(), fallback.c_str(), buffer.data(), size, path_.c_str());
        if (length + 1 < size || size >= kMaxValueLength) {
            return std::wstring(buffer.data(), std::min<DWORD>(length, size - 1));
        }
        buffer.resize(buffer.size() * 2);
    }
}

int ProfileFile::readInt(const std::wstring& section, const std::wstring& key, int fallback) const {
    return static_cast<int>(
        GetPrivateProfileIntW(section.c_str(), key.c_str(), fallback, path_.c_str()));
}

bool ProfileFile::writeString(const std::wstring& section, const std::wstring& key,
                              const std::wstring& value) const {
    return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path_.c_str()) !=
           FALSE;
}

bool ProfileFile::prepareForUnicode() const {
    // OPEN_ALWAYS never truncates, and no sharing keeps anyone else from writing between the
    // size check and the mark.
    HANDLE opened = CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return false;
    }
    FileHandle file(opened);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        return false;
    }
    if (size.QuadPart != 0) {
        return true;
    }
    DWORD written = 0;
    return WriteFile(file.get(), kUtf16LeMark, sizeof kUtf16LeMark, &written, nullptr) &&
           written == sizeof kUtf16LeMark;
}

}  // namespace omvar::Vetrin
