#include "SettingsFilePath.h"

#include <windows.h>

#include <mutex>
#include <vector>

namespace omvar::Vetrin {

namespace {

std::mutex pathMutex;
std::wstring configuredPath;

std::wstring executablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0) {
            return {};
        }
        if (length < size) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);  // cut to fit; the path may exceed MAX_PATH
    }
}

}  // namespace

void setSettingsFilePath(std::wstring path) {
    std::lock_guard held(pathMutex);
    configuredPath = std::move(path);
}

std::wstring settingsFilePath() {
    {
        std::lock_guard held(pathMutex);
        if (!configuredPath.empty()) {
            return configuredPath;
        }
    }
    return defaultSettingsFilePath();
}

std::wstring defaultSettingsFilePath() {
    std::wstring path = executablePath();
    const auto separator = path.find_last_of(L"\\/");
    path.erase(separator == std::wstring::npos ? 0 : separator + 1);
    return path + L"Vetrin.ini";
}

}  // namespace omvar::Vetrin
