#include "ProfileFile.h"

#include "win32/UniqueHandles.h"

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

// The profile functions take a file name of at most MAX_PATH characters (a longer one is cut, and
// the values go to a file of another name): a file in a deeper folder is named to them through
// the folder's short form. Unchanged when the folder has none or does not exist.
std::wstring nameForProfileFunctions(const std::wstring& path) {
    const auto separator = path.find_last_of(L"\\/");
    if (path.size() < MAX_PATH || separator == std::wstring::npos) {
        return path;
    }
    const std::wstring folder = path.substr(0, separator);
    std::wstring shortFolder(folder.size() + 1, L'\0');
    const DWORD length = GetShortPathNameW(folder.c_str(), shortFolder.data(),
                                           static_cast<DWORD>(shortFolder.size()));
    if (length == 0 || length >= shortFolder.size()) {
        return path;
    }
    shortFolder.resize(length);
    return shortFolder + path.substr(separator);
}

constexpr unsigned char kUtf16LeMark[] = {0xFF, 0xFE};
constexpr DWORD kMaxValueLength = 1u << 24;

}  // namespace

ProfileFile::ProfileFile(const std::wstring& path) : path_(fullPath(path)) {}

std::wstring ProfileFile::readString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& fallback) const {
    // A value that does not fit is cut without any other sign than a count of size - 1, so the
    // buffer grows until the value fits with room to spare. The bound only stops a runaway.
    const std::wstring name = nameForProfileFunctions(path_);
    std::vector<wchar_t> buffer(256);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetPrivateProfileStringW(
            section.c_str(), key.c_str(), fallback.c_str(), buffer.data(), size, name.c_str());
        if (length + 1 < size || size >= kMaxValueLength) {
            return std::wstring(buffer.data(), std::min<DWORD>(length, size - 1));
        }
        buffer.resize(buffer.size() * 2);
    }
}

int ProfileFile::readInt(const std::wstring& section, const std::wstring& key, int fallback) const {
    return static_cast<int>(GetPrivateProfileIntW(section.c_str(), key.c_str(), fallback,
                                                  nameForProfileFunctions(path_).c_str()));
}

bool ProfileFile::writeString(const std::wstring& section, const std::wstring& key,
                              const std::wstring& value) const {
    return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(),
                                      nameForProfileFunctions(path_).c_str()) != FALSE;
}

bool ProfileFile::prepareForUnicode() const {
    // OPEN_ALWAYS never truncates, and no sharing keeps anyone else from writing between the
    // size check and the mark.
    HANDLE opened = CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return false;
    }
    win32::UniqueHandle file(opened);
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
