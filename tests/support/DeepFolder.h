#pragma once

// Windows only.
#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

// A new folder under the temporary folder whose path is longer than MAX_PATH (three levels of
// 90 characters), removed with the files in it when the holder goes. Made and removed through
// the system's own calls, which take such paths where the C++ library's may not.
class DeepFolder {
public:
    explicit DeepFolder(const std::wstring& name) {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        levels_.push_back(temp + name + L"-" + std::to_wstring(GetCurrentProcessId()));
        for (wchar_t last : {L'1', L'2', L'3'}) {
            levels_.push_back(levels_.back() + L"\\" + std::wstring(90, L'd') + last);
        }
        for (const auto& level : levels_) {
            CreateDirectoryW(level.c_str(), nullptr);
        }
    }
    ~DeepFolder() {
        for (const auto& file : files()) {
            DeleteFileW((path() + L"\\" + file).c_str());
        }
        for (auto level = levels_.rbegin(); level != levels_.rend(); ++level) {
            RemoveDirectoryW(level->c_str());
        }
    }
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;

    // Without a separator at its end.
    const std::wstring& path() const { return levels_.back(); }

    // The names of the files in it.
    std::vector<std::wstring> files() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW((path() + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            return names;
        }
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                names.emplace_back(found.cFileName);
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }

private:
    std::vector<std::wstring> levels_;
};

}  // namespace testing_support
